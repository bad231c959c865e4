// Reading folders on POSIX systems: the pool listing with readdir and d_type, and a folder's
// change stamps.
#include "common/ErrorReport.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/ListingCache.h"
#include "deletelist/OrdinaryFiles.h"
#include "deletelist/Sampling.h"

#include <QFile>
#include <QUtf8StringView>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace Delete1 {

namespace {

bool isAscii(const char* name, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    }
    return true;
}

// True when the text is the file name (UTF-8) decoded.
bool sameName(QStringView text, const char* name, std::size_t length, bool ascii) {
    if (!ascii)
        return text == QFile::decodeName(name);
    if (text.size() != static_cast<qsizetype>(length))
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[static_cast<qsizetype>(i)].unicode() != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

bool stampOf(const struct stat& status, FolderStamp& stamp) {
    if (!S_ISDIR(status.st_mode))
        return false;
#ifdef Q_OS_DARWIN
    const timespec& modified = status.st_mtimespec;
    const timespec& changed = status.st_ctimespec;
#else
    const timespec& modified = status.st_mtim;
    const timespec& changed = status.st_ctim;
#endif
    stamp = {modified.tv_sec, modified.tv_nsec, changed.tv_sec, changed.tv_nsec};
    return true;
}

} // namespace

bool isOrdinaryFile(int folderHandle, const char* name, std::size_t length, unsigned char type) {
    if (name[0] == '.')
        return false; // hidden, and "." and ".."
    if (!isAscii(name, length) &&
        !QUtf8StringView(name, static_cast<qsizetype>(length)).isValidUtf8())
        return false;
    if (type != DT_REG) {
        if (type != DT_LNK && type != DT_UNKNOWN)
            return false;
        // A link counts when it leads to a regular file; the file system may not say the
        // type at all, then ask.
        struct stat target {};
        if (fstatat(folderHandle, name, &target, 0) != 0 || !S_ISREG(target.st_mode))
            return false;
    }
    return true;
}

namespace {

// Calls take(name, length) for every ordinary file of the folder, in listing order. A missing
// folder, or a path that is no folder, has none; any other failure throws Failure.
template <class Take> void readOrdinaryFiles(const QString& folder, Take&& take) {
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = opendir(encoded.constData());
    if (dir == nullptr) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return;
        throw Failure(QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + folder);
    }
    const int fd = dirfd(dir);
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (isOrdinaryFile(fd, entry->d_name, length, entry->d_type))
            take(entry->d_name, length);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    if (error != 0)
        throw Failure(QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + folder);
}

} // namespace

void appendOrdinaryFiles(const QString& folder, QStringList& pool, const QStringList* previous) {
    const qsizetype first = pool.size();
    readOrdinaryFiles(folder, [&](const char* name, std::size_t length) {
        const bool ascii = isAscii(name, length);
        // The same file at the same place as in the previous listing keeps its text.
        const qsizetype index = pool.size() - first;
        if (previous != nullptr && index < previous->size() &&
            sameName(QStringView(previous->at(index)).mid(folder.size()), name, length, ascii)) {
            pool.append(previous->at(index));
        } else if (ascii) {
            QString path;
            path.reserve(folder.size() + static_cast<qsizetype>(length));
            path.append(folder);
            path.append(QLatin1StringView(name, static_cast<qsizetype>(length)));
            pool.append(std::move(path));
        } else {
            pool.append(folder + QFile::decodeName(name));
        }
    });
}

void listOrdinaryFiles(FolderFiles& files) {
    readOrdinaryFiles(files.folder(), [&](const char* name, std::size_t length) {
        files.append(QByteArrayView(name, static_cast<qsizetype>(length)));
    });
}

bool readFolderStamp(const QString& folder, FolderStamp& stamp) {
    struct stat status {};
    return ::stat(QFile::encodeName(folder).constData(), &status) == 0 && stampOf(status, stamp);
}

bool readFolderStamp(int folderHandle, FolderStamp& stamp) {
    struct stat status {};
    return ::fstat(folderHandle, &status) == 0 && stampOf(status, stamp);
}

} // namespace Delete1
