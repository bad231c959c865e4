// The folders on disk and the 8-bit code page of the subfolder walk, on POSIX systems.
#include "common/PathRules.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AddFolder {

namespace {

FolderFailure folderFailure(int error, const QString& folder) {
    const QString description =
        QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + folder;
    switch (error) {
    case EACCES:
    case EPERM:
        return {FolderFailure::Kind::PermissionDenied, description};
    case ENOENT:
    case ENOTDIR:
        return {FolderFailure::Kind::NotFound, description};
    default:
        return {FolderFailure::Kind::Other, description};
    }
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

bool hasUnsupportedCharacter(QStringView name) {
    // Windows-1252 holds the characters 160 to 255 under their own codes; every other character
    // outside printable ASCII either has no single byte there or one from 128 to 159.
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool held = (u >= 32 && u <= 126 && u != u'?') || (u >= 160 && u <= 255);
        if (!held)
            return true;
    }
    return false;
}

DiskFolderTree::~DiskFolderTree() {
    if (m_parentHandle >= 0)
        ::close(m_parentHandle);
}

namespace {

// Where a folder is found: its parent's open handle and its name, or the whole path from the
// working folder when the parent cannot be opened (it may be searchable but not readable).
struct Place {
    int at;
    QByteArray name;
};

Place placeOf(const QString& folder, QString& parent, bool& opened, int& handle) {
    const QChar separator = Main::nativeSeparator();
    qsizetype end = folder.size();
    while (end > 0 && folder[end - 1] == separator)
        --end;
    const qsizetype cut = end > 0 ? folder.lastIndexOf(separator, end - 1) : -1;
    if (cut < 0)
        return {AT_FDCWD, QFile::encodeName(folder)};
    const QStringView parentText = QStringView(folder).left(cut + 1);
    if (!opened || parentText != parent) {
        if (handle >= 0)
            ::close(handle);
        parent = parentText.toString();
        handle = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        opened = true;
    }
    if (handle < 0)
        return {AT_FDCWD, QFile::encodeName(folder)};
    return {handle, QFile::encodeName(folder.mid(cut + 1, end - cut - 1))};
}

} // namespace

std::optional<int> DiskFolderTree::attributes(const QString& folder) {
    const Place place = placeOf(folder, m_parent, m_parentOpened, m_parentHandle);
    struct stat status {};
    // The path itself may be a link the user chose; it counts as the folder it leads to.
    if (fstatat(place.at, place.name.constData(), &status, 0) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    int value = Attribute::Directory;
    if ((status.st_mode & S_IWUSR) == 0)
        value |= Attribute::ReadOnly;
    QStringView name(folder);
    while (name.endsWith(Main::nativeSeparator()))
        name.chop(1);
    name = name.mid(name.lastIndexOf(Main::nativeSeparator()) + 1);
    if (name.startsWith(QLatin1Char('.')))
        value |= Attribute::Hidden;
    return value;
}

bool DiskFolderTree::isRoot(const QString& folder) {
    return QDir(folder).isRoot();
}

void DiskFolderTree::subFolders(const QString& folder, QStringList& names) {
    const Place place = placeOf(folder, m_parent, m_parentOpened, m_parentHandle);
    const int handle =
        ::openat(place.at, place.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        throw folderFailure(errno, folder);
    DIR* dir = fdopendir(handle);
    if (dir == nullptr) {
        const int error = errno;
        ::close(handle);
        throw folderFailure(error, folder);
    }
    const int fd = dirfd(dir);
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN && !isDotOrDotDot(name)) {
            // The file system does not say the type; ask without following a link.
            struct stat status {};
            isFolder =
                fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
        }
        // A name that is not UTF-8 decodes with replacement characters, which the walk's
        // character test refuses.
        if (isFolder && !isDotOrDotDot(name))
            names.append(QFile::decodeName(name));
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    if (error != 0)
        throw folderFailure(error, folder);
}

} // namespace AddFolder
