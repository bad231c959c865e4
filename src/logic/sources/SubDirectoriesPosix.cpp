// The folders on disk and the 8-bit code page of the subfolder walk, on POSIX systems.
#include "common/PathRules.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/OrdinaryFiles.h"
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
#include <utility>

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
    if (m_anchorHandle >= 0)
        ::close(m_anchorHandle);
}

namespace {

// Where a folder is found: from the anchor by the rest of its path when it lies below it,
// otherwise by its whole path.
struct Place {
    int at;
    QByteArray name;
};

Place placeOf(const QString& folder, const QString& anchor, int anchorHandle) {
    if (anchorHandle >= 0 && folder.size() > anchor.size() && folder.startsWith(anchor))
        return {anchorHandle, QFile::encodeName(folder.sliced(anchor.size()))};
    return {AT_FDCWD, QFile::encodeName(folder)};
}

} // namespace

std::optional<int> DiskFolderTree::attributes(const QString& folder) {
    const Place place = placeOf(folder, m_anchor, m_anchorHandle);
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

namespace {

// An open folder, closed when it goes out of scope unless released.
class Handle {
public:
    explicit Handle(const Place& place)
        : m_fd(::openat(place.at, place.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    Q_DISABLE_COPY_MOVE(Handle)
    ~Handle() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Appends the entry when it is a subfolder: not "." or "..", not a link. A name that is not UTF-8
// decodes with replacement characters, which the walk's character test refuses. An ordinary file
// goes to files, when given.
void takeEntry(int handle, const char* name, unsigned char type, QStringList& names,
               Delete1::FolderFiles* files) {
    if (isDotOrDotDot(name))
        return;
    bool isFolder = type == DT_DIR;
    if (type == DT_UNKNOWN) {
        // The file system does not say the type; ask without following a link.
        struct stat status {};
        isFolder =
            fstatat(handle, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
    }
    if (isFolder) {
        names.append(QFile::decodeName(name));
    } else if (files != nullptr) {
        const std::size_t length = std::strlen(name);
        if (Delete1::isOrdinaryFile(handle, name, length, type))
            files->append(QByteArrayView(name, static_cast<qsizetype>(length)));
    }
}

#ifdef Q_OS_LINUX
// Reads the entries straight from the kernel: readdir over fdopendir would first look at the
// handle again (fstat, two fcntl) for every folder of the tree.
void readSubFolders(Handle& handle, const QString& folder, QStringList& names,
                    Delete1::FolderFiles* files) {
    alignas(dirent64) static thread_local char buffer[32768];
    for (;;) {
        const ssize_t size = getdents64(handle.get(), buffer, sizeof buffer);
        if (size == 0)
            return;
        if (size < 0)
            throw folderFailure(errno, folder);
        for (ssize_t at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            takeEntry(handle.get(), entry->d_name, entry->d_type, names, files);
            at += entry->d_reclen;
        }
    }
}
#else
void readSubFolders(Handle& handle, const QString& folder, QStringList& names,
                    Delete1::FolderFiles* files) {
    DIR* dir = fdopendir(handle.get());
    if (dir == nullptr)
        throw folderFailure(errno, folder);
    const int fd = handle.release();
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        takeEntry(fd, entry->d_name, entry->d_type, names, files);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    if (error != 0)
        throw folderFailure(error, folder);
}
#endif

} // namespace

void DiskFolderTree::subFolders(const QString& folder, QStringList& names) {
    Handle handle(placeOf(folder, m_anchor, m_anchorHandle));
    if (handle.get() < 0)
        throw folderFailure(errno, folder);
    readSubFolders(handle, folder, names, nullptr);
}

bool DiskFolderTree::searchFolder(const QString& folder, const std::function<bool()>& goOn,
                                  QStringList& names) {
    Handle handle(placeOf(folder, m_anchor, m_anchorHandle));
    if (handle.get() < 0) {
        // No folder, or one that may not be read: a look at the path itself tells which.
        const int error = errno;
        if (!attributes(folder))
            return false;
        if (goOn())
            throw folderFailure(error, folder);
        return true;
    }
    if (m_anchorHandle < 0 && folder.endsWith(Main::nativeSeparator())) {
        // Kept open for the folders below it; reading its entries does not disturb that.
        m_anchorHandle = ::dup(handle.get());
        if (m_anchorHandle >= 0)
            m_anchor = folder;
    }
    if (!goOn())
        return true;
    Delete1::FolderListing listing;
    // The stamp is read before the entries, as the rebuild's own listing reads it; without one
    // the listing is not gathered.
    const bool kept = m_listingSink && Delete1::readFolderStamp(handle.get(), listing.stamp);
    if (!kept) {
        readSubFolders(handle, folder, names, nullptr);
        return true;
    }
    listing.listedAtNsec = Delete1::stampClockNsec();
    listing.folder = folder;
    listing.files = Delete1::FolderFiles(folder);
    readSubFolders(handle, folder, names, &listing.files);
    listing.files.squeeze();
    // Only a listing read to its end is handed over.
    m_listingSink(std::move(listing));
    return true;
}

} // namespace AddFolder
