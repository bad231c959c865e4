// The folders on disk and the 8-bit code page of the subfolder walk, on POSIX systems.
#include "common/PathRules.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/OrdinaryFiles.h"
#include "sources/FolderTree.h"
#include "sources/ReadAhead.h"
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
#include <vector>

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

// The attribute value of the folder, reached as placeOf() reaches it.
std::optional<int> attributesAt(const QString& folder, const QString& anchor, int anchorHandle) {
    const Place place = placeOf(folder, anchor, anchorHandle);
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

} // namespace

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
// handle again (fstat, two fcntl) for every folder of the tree. Returns the error that broke the
// listing off, or 0; the entries read before it stay.
int readSubFolders(Handle& handle, QStringList& names, Delete1::FolderFiles* files) {
    alignas(dirent64) static thread_local char buffer[32768];
    for (;;) {
        const ssize_t size = getdents64(handle.get(), buffer, sizeof buffer);
        if (size == 0)
            return 0;
        if (size < 0)
            return errno;
        for (ssize_t at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            takeEntry(handle.get(), entry->d_name, entry->d_type, names, files);
            at += entry->d_reclen;
        }
    }
}
#else
int readSubFolders(Handle& handle, QStringList& names, Delete1::FolderFiles* files) {
    DIR* dir = fdopendir(handle.get());
    if (dir == nullptr)
        return errno;
    const int fd = handle.release();
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        takeEntry(fd, entry->d_name, entry->d_type, names, files);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    return error;
}
#endif

// One folder read: its subfolders' names, and with a listing wanted its ordinary files with the
// stamp read before them.
struct FolderRead {
    // The error of a failed opening, or 0.
    int openError = 0;
    // The error that broke the listing off, or 0.
    int readError = 0;
    // True when the listing below was read to its end.
    bool kept = false;
    QStringList names;
    Delete1::FolderListing listing;
};

void readOpened(Handle& handle, const QString& folder, bool withListing, FolderRead& read) {
    // The stamp is read before the entries, as the rebuild's own listing reads it; without one
    // the listing is not gathered.
    const bool kept = withListing && Delete1::readFolderStamp(handle.get(), read.listing.stamp);
    if (!kept) {
        read.readError = readSubFolders(handle, read.names, nullptr);
        return;
    }
    read.listing.listedAtNsec = Delete1::stampClockNsec();
    read.listing.folder = folder;
    read.listing.files = Delete1::FolderFiles(folder);
    read.readError = readSubFolders(handle, read.names, &read.listing.files);
    // Only a listing read to its end is handed over.
    read.kept = read.readError == 0;
    if (read.kept)
        read.listing.files.squeeze();
}

// Hands the folder's read to the walk: its subfolders' names, then the failure that broke the
// listing off, or else its listing to the sink.
bool deliver(const QString& folder, FolderRead& read, QStringList& names,
             const DiskFolderTree::ListingSink& sink) {
    names.append(std::move(read.names));
    if (read.readError != 0)
        throw folderFailure(read.readError, folder);
    if (read.kept && sink)
        sink(std::move(read.listing));
    return true;
}

} // namespace

// The folders of one level as the walk will ask for them, read or looked at by a second thread.
struct DiskFolderTree::Ahead {
    enum class Mode { Search, Look };
    Mode mode = Mode::Search;
    QStringList folders;
    // The next folder the walk is expected to ask for.
    qsizetype next = 0;
    std::vector<FolderRead> reads;
    std::vector<std::optional<int>> attributes;
    ReadAhead work;

    // The place of the walk's next folder when it is this one; -1 otherwise (the walk then asks
    // the disk itself).
    qsizetype take(Mode wanted, const QString& folder) {
        if (mode != wanted || next >= folders.size() || folders.at(next) != folder)
            return -1;
        work.finish(next);
        return next++;
    }
    // Ends the work on the last level and sets up this one's: room for one result per folder.
    void restart(Mode newMode, const QStringList& newFolders) {
        work.stop();
        mode = newMode;
        folders = newFolders;
        next = 0;
        const auto count = static_cast<std::size_t>(folders.size());
        reads.clear();
        attributes.clear();
        if (mode == Mode::Search)
            reads.resize(count);
        else
            attributes.assign(count, std::nullopt);
    }
};

DiskFolderTree::DiskFolderTree() = default;

DiskFolderTree::~DiskFolderTree() {
    // The helper may still be reading from the anchor.
    m_ahead.reset();
    if (m_anchorHandle >= 0)
        ::close(m_anchorHandle);
}

void DiskFolderTree::searchAhead(const QStringList& folders) {
    // The first folder searched opens the anchor the others are reached from.
    if (m_anchorHandle < 0 || folders.size() < 2)
        return;
    if (!m_ahead)
        m_ahead = std::make_unique<Ahead>();
    Ahead& ahead = *m_ahead;
    ahead.restart(Ahead::Mode::Search, folders);
    const bool withListing = static_cast<bool>(m_listingSink);
    ahead.work.start(folders.size(), [&ahead, withListing, anchor = m_anchor,
                                      anchorHandle = m_anchorHandle](qsizetype i) {
        const QString& folder = ahead.folders.at(i);
        FolderRead& read = ahead.reads[static_cast<std::size_t>(i)];
        Handle handle(placeOf(folder, anchor, anchorHandle));
        if (handle.get() < 0)
            read.openError = errno;
        else
            readOpened(handle, folder, withListing, read);
    });
}

void DiskFolderTree::lookAhead(const QStringList& folders) {
    if (folders.size() < 2)
        return;
    if (!m_ahead)
        m_ahead = std::make_unique<Ahead>();
    Ahead& ahead = *m_ahead;
    ahead.restart(Ahead::Mode::Look, folders);
    ahead.work.start(folders.size(),
                     [&ahead, anchor = m_anchor, anchorHandle = m_anchorHandle](qsizetype i) {
                         ahead.attributes[static_cast<std::size_t>(i)] =
                             attributesAt(ahead.folders.at(i), anchor, anchorHandle);
                     });
}

std::optional<int> DiskFolderTree::attributes(const QString& folder) {
    if (m_ahead) {
        const qsizetype at = m_ahead->take(Ahead::Mode::Look, folder);
        if (at >= 0)
            return m_ahead->attributes[static_cast<std::size_t>(at)];
    }
    return attributesAt(folder, m_anchor, m_anchorHandle);
}

void DiskFolderTree::subFolders(const QString& folder, QStringList& names) {
    Handle handle(placeOf(folder, m_anchor, m_anchorHandle));
    if (handle.get() < 0)
        throw folderFailure(errno, folder);
    const int error = readSubFolders(handle, names, nullptr);
    if (error != 0)
        throw folderFailure(error, folder);
}

bool DiskFolderTree::searchFolder(const QString& folder, const std::function<bool()>& goOn,
                                  QStringList& names) {
    FolderRead read;
    const qsizetype at = m_ahead ? m_ahead->take(Ahead::Mode::Search, folder) : -1;
    if (at >= 0) {
        read = std::move(m_ahead->reads[static_cast<std::size_t>(at)]);
    } else {
        Handle handle(placeOf(folder, m_anchor, m_anchorHandle));
        if (handle.get() < 0) {
            read.openError = errno;
        } else {
            if (m_anchorHandle < 0 && folder.endsWith(Main::nativeSeparator())) {
                // Kept open for the folders below it; reading its entries does not disturb that.
                m_anchorHandle = ::dup(handle.get());
                if (m_anchorHandle >= 0)
                    m_anchor = folder;
            }
            if (!goOn())
                return true;
            readOpened(handle, folder, static_cast<bool>(m_listingSink), read);
            return deliver(folder, read, names, m_listingSink);
        }
    }
    if (read.openError != 0) {
        // No folder, or one that may not be read: a look at the path itself tells which.
        if (!attributes(folder))
            return false;
        if (goOn())
            throw folderFailure(read.openError, folder);
        return true;
    }
    // Read ahead: what the walk does not search is dropped.
    if (!goOn())
        return true;
    return deliver(folder, read, names, m_listingSink);
}

} // namespace AddFolder
