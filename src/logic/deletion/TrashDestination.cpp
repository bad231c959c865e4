#include "deletion/TrashDestination.h"

#include "common/UserFolders.h"

#include "deletion/TrashFolders.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

namespace TrashDestination {

using TrashFolders::errorText;
using TrashFolders::shown;
using TrashFolders::withSlash;

namespace {

// Calls `part` with the offset after each "/" of the path until it returns true; whether one did.
// (Slashes are found with memchr: a run looks at every file's path.)
template <typename Part> bool anyAfterSlash(const QByteArray& path, Part part) {
    const char* const begin = path.constData();
    const char* const end = begin + path.size();
    for (const char* slash = begin; slash < end;) {
        slash = static_cast<const char*>(std::memchr(slash, '/', static_cast<size_t>(end - slash)));
        if (slash == nullptr)
            return false;
        ++slash;
        if (part(slash - begin))
            return true;
    }
    return false;
}

// The path made absolute, with runs of "/" collapsed and a trailing "/" dropped; "." and ".."
// are kept as written.
QByteArray cleanAbsolute(const QByteArray& path) {
    const auto doubled = [&path](qsizetype after) {
        return after < path.size() && path.at(after) == '/';
    };
    if (path.startsWith('/') && !anyAfterSlash(path, doubled) &&
        (path.size() == 1 || !path.endsWith('/')))
        return path; // clean already, as the paths of a list are
    QByteArray full = path;
    if (!full.startsWith('/')) {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr)
            full = QByteArray(cwd) + '/' + full;
    }
    QByteArray clean;
    clean.reserve(full.size());
    for (const char c : full)
        if (c != '/' || !clean.endsWith('/'))
            clean.append(c);
    if (clean.size() > 1 && clean.endsWith('/'))
        clean.chop(1);
    return clean;
}

// The resolved path of a folder, or empty with errno set.
QByteArray realPath(const QByteArray& path) {
    char* real = ::realpath(path.constData(), nullptr);
    if (real == nullptr)
        return {};
    QByteArray result(real);
    std::free(real); // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    return result;
}

// The highest ancestor of `folder` (a resolved path) on the device: the mount point as found
// without a mount table.
QByteArray walkUpToMountPoint(QByteArray folder, dev_t device) {
    while (folder != "/") {
        const QByteArray up = parentOf(folder);
        struct stat st {};
        if (::stat(up.constData(), &st) != 0 || st.st_dev != device)
            break;
        folder = up;
    }
    return folder;
}

// The folder opened only when no part of its path is a symbolic link; -1 when one is, and where
// the kernel cannot tell (before Linux 5.6, or where openat2 is filtered out).
int openWithoutLinks(const QByteArray& path, int flags) {
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    static std::atomic<bool> unavailable{false};
    if (unavailable.load(std::memory_order_relaxed))
        return -1;
    open_how how{};
    how.flags = static_cast<quint64>(flags);
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.constData(), &how, sizeof how);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == E2BIG))
        unavailable.store(true, std::memory_order_relaxed);
    return static_cast<int>(fd);
#else
    Q_UNUSED(path)
    Q_UNUSED(flags)
    return -1;
#endif
}

} // namespace

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool hasDotParts(const QByteArray& path) {
    const qsizetype size = path.size();
    // Whether the part starting at `at` is "." or "..".
    const auto dots = [&path, size](qsizetype at) {
        qsizetype end = at;
        while (end < size && end - at < 3 && path.at(end) == '.')
            ++end;
        return end > at && end - at < 3 && (end == size || path.at(end) == '/');
    };
    return anyAfterSlash(path, dots);
}

QByteArray withoutDots(const QByteArray& path) {
    return hasDotParts(path) ? QFile::encodeName(QDir::cleanPath(QFile::decodeName(path))) : path;
}

FolderLook lookAtFolder(const QByteArray& folder, int* keep) {
    if (keep != nullptr)
        *keep = -1;
    FolderLook look;
#ifdef O_PATH
    constexpr int Access = O_PATH; // a folder the user may search but not read is looked at too
#else
    constexpr int Access = O_RDONLY;
#endif
    // A path without any link leads where it says: opened so, its resolved path is the path
    // itself and need not be asked of the kernel (a readlink of /proc costs more than the open).
    int fd = openWithoutLinks(folder, Access | O_DIRECTORY | O_CLOEXEC);
    const bool plain = fd >= 0;
    if (fd < 0)
        fd = ::open(folder.constData(), Access | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return look;
    bool looked = false;
#ifdef STATX_BTIME
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &sx) == 0) {
        looked = true;
        look.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        look.inode = sx.stx_ino;
        if ((sx.stx_mask & STATX_BTIME) != 0) {
            look.bornSeconds = sx.stx_btime.tv_sec;
            look.bornNanoseconds = sx.stx_btime.tv_nsec;
        }
    }
#endif
    if (struct stat st{}; !looked && ::fstat(fd, &st) == 0) {
        look.device = st.st_dev;
        look.inode = st.st_ino;
    }
    if (plain) {
        if (keep != nullptr)
            *keep = fd;
        else
            ::close(fd);
        return look;
    }
    // Where the opened folder is, as the kernel names it; realpath where /proc is missing.
    char real[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t size = ::readlink(link.constData(), real, sizeof real);
    look.real = size > 0 && static_cast<size_t>(size) < sizeof real && real[0] == '/'
                    ? QByteArray(real, size)
                    : realPath(folder);
    if (keep != nullptr)
        *keep = fd;
    else
        ::close(fd);
    if (look.real == folder)
        look.real.clear();
    return look;
}

bool lookAt(int at, const char* name, bool follow, Look& look) {
    int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (*name == '\0')
        flags |= AT_EMPTY_PATH;
#ifdef STATX_MNT_ID
    struct statx sx {};
    if (::statx(at, name, flags, STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) == 0) {
        look.mode = sx.stx_mode;
        look.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        look.inode = sx.stx_ino;
        look.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
        look.mountId = sx.stx_mnt_id;
        return true;
    }
    if (errno != ENOSYS)
        return false;
#endif
    struct stat st {};
    if (::fstatat(at, name, &st, flags) != 0)
        return false;
    look.mode = st.st_mode;
    look.device = st.st_dev;
    look.inode = st.st_ino;
    look.hasMountId = false;
    return true;
}

bool nameEntry(const QString& path, Entry& entry, TrashResult& result,
               const QByteArray& knownFolder) {
    entry.path = path;
    entry.full = cleanAbsolute(QFile::encodeName(path));
    entry.dots = hasDotParts(entry.full);
    // The folder of the entry before, when it is this one's too, is shared rather than copied.
    const qsizetype slash = entry.full.lastIndexOf('/');
    if (slash > 0 && slash == knownFolder.size() && entry.full.startsWith(knownFolder))
        entry.parent = knownFolder;
    else
        entry.parent = parentOf(entry.full);
    entry.name = entry.full.mid(slash + 1);
    if (entry.name.isEmpty() || entry.name == "." || entry.name == "..") {
        result.reason = QStringLiteral("the path does not name a file");
        return false;
    }
    return true;
}

bool lookBefore(Entry& entry, TrashResult& result) {
    // The entry is looked at and moved by the same name: what a swap in between could bring is
    // caught after the move (a folder goes back) or refused by the rename (another mount).
    if (!lookAt(entry.folder, entry.at(), false, entry.before)) {
        if (errno == ENOENT || errno == ENOTDIR)
            result.gone = true;
        else
            result.reason = errorText(errno);
        return false;
    }
    if (S_ISDIR(entry.before.mode)) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return false;
    }
    return true;
}

bool lookBefore(const QString& path, Entry& entry, TrashResult& result) {
    return nameEntry(path, entry, result) && lookBefore(entry, result);
}

bool Destinations::readMounts() {
    m_mountsRead = true;
    m_mountsError = MountTable::read(m_mounts) ? 0 : errno;
    return m_mountsError == 0;
}

const MountTable::Mount* Destinations::mountById(std::uint64_t id) {
    for (int pass = 0; pass < 2; ++pass) {
        if ((pass == 1 || !m_mountsRead) && !readMounts())
            return nullptr;
        if (const MountTable::Mount* mount = MountTable::byId(m_mounts, id))
            return mount;
    }
    return nullptr;
}

// The mount point holding a resolved path, by the longest prefix; null without a table.
const MountTable::Mount* Destinations::mountHolding(const QByteArray& path) {
    if (!m_mountsRead)
        readMounts();
    return m_mountsError == 0 ? MountTable::holding(m_mounts, path) : nullptr;
}

QString Destinations::mountTableFault() const {
    const QString table = QString::fromLatin1(MountTable::path());
    if (m_mountsError == 0)
        return QStringLiteral("its mount is missing from the mount table %1, so the volume's "
                              "top was found by walking up the folders: ")
            .arg(table);
    return QStringLiteral("the mount table %1 cannot be read (%2), so the volume's top was "
                          "found by walking up the folders: ")
        .arg(table, errorText(m_mountsError));
}

// The home trash's files folder, or its nearest existing ancestor.
bool Destinations::lookAtHome(const QByteArray& trashPath) {
    if (m_homeKnown && m_homePath == trashPath)
        return true;
    m_homePath = trashPath;
    QByteArray path = trashPath + "/files";
    while (!lookAt(AT_FDCWD, path.constData(), true, m_homeLook)) {
        if ((errno != ENOENT && errno != ENOTDIR) || path == "/")
            return false;
        path = parentOf(path);
    }
    m_homeFound = path;
    m_homeKnown = true;
    return true;
}

// Whether the entry's folder lies on the home trash's mount. The entry's own mount is the
// folder's unless the entry is a mount point itself, and no mount point is the home trash's
// mount, so one look at the entry answers. Without mount ids the folder is resolved and its
// mount (kept in realParent and mount for findTop) compared with the home trash's.
bool Destinations::isHome(const Entry& entry, const QByteArray& homeTrash, QByteArray& realParent,
                          const MountTable::Mount*& mount) {
    if (!lookAtHome(homeTrash))
        return false;
    if (entry.before.hasMountId && m_homeLook.hasMountId)
        return entry.before.mountId == m_homeLook.mountId;
    realParent = realPath(entry.parent);
    const QByteArray realHome = realPath(m_homeFound);
    const MountTable::Mount* homeMount = realHome.isEmpty() ? nullptr : mountHolding(realHome);
    mount = realParent.isEmpty() ? nullptr : mountHolding(realParent);
    return homeMount != nullptr && mount != nullptr
               ? homeMount->point == mount->point
               : entry.before.device == m_homeLook.device; // no mount table
}

// The top of the volume that holds the entry's folder, and the path recorded relative to it.
bool Destinations::findTop(const Entry& entry, QByteArray realParent,
                           const MountTable::Mount* mount, Destination& to, TrashResult& result) {
    to.refusal = QStringLiteral("no trash can be used on its file system: ");
    if (realParent.isEmpty())
        realParent = realPath(entry.parent);
    if (realParent.isEmpty()) {
        result.reason = to.refusal + QStringLiteral("cannot resolve the folder %1: %2")
                                         .arg(shown(entry.parent), errorText(errno));
        return false;
    }
    if (entry.before.hasMountId) {
        Look folderLook;
        if (!lookAt(AT_FDCWD, entry.parent.constData(), true, folderLook)) {
            result.reason = errorText(errno);
            return false;
        }
        if (folderLook.hasMountId && folderLook.mountId != entry.before.mountId) {
            result.reason = QStringLiteral(
                "it is a mount point of its own (mounted over the file at its path) and "
                "cannot be moved");
            return false;
        }
        mount = mountById(entry.before.mountId);
    } else if (mount == nullptr) {
        mount = mountHolding(realParent);
    }
    if (mount != nullptr) {
        to.top = mount->point;
    } else {
        // No mount table: the highest folder on the folder's own device.
        struct stat folder {};
        if (::stat(entry.parent.constData(), &folder) != 0) {
            result.reason = errorText(errno);
            return false;
        }
        to.top = walkUpToMountPoint(realParent, folder.st_dev);
        to.refusal += mountTableFault();
    }
    if (!MountTable::isUnder(realParent, to.top)) {
        result.reason = to.refusal + QStringLiteral("its folder %1 is not under the top %2 of "
                                                    "its mount")
                                         .arg(shown(realParent), shown(to.top));
        return false;
    }
    to.recordedPath = withSlash(realParent).mid(withSlash(to.top).size()) + entry.name;
    return true;
}

bool Destinations::find(const Entry& entry, Destination& to, TrashResult& result) {
    // The home trash's path follows the environment, read once between two resets (a run's
    // files all go to one home trash); it is made again only when that changed.
    if (!m_environmentRead) {
        m_environmentRead = true;
        QByteArray homeTrash = UserFolders::homeTrash();
        if (homeTrash != m_homeTrash)
            m_last.known = false;
        m_homeTrash = std::move(homeTrash);
    }
    to.homeTrash = m_homeTrash;
    // A file from the folder and mount of the one before goes where that one went.
    if (m_last.known && entry.before.hasMountId && entry.before.mountId == m_last.mountId &&
        entry.parent == m_last.parent) {
        to.home = m_last.home;
        to.top = m_last.top;
        to.refusal = m_last.refusal;
        to.recordedPath = to.home ? entry.full : m_last.prefix + entry.name;
        return true;
    }
    QByteArray realParent;
    const MountTable::Mount* mount = nullptr;
    to.home = isHome(entry, to.homeTrash, realParent, mount);
    if (to.home)
        to.recordedPath = entry.full;
    else if (!findTop(entry, realParent, mount, to, result))
        return false;
    if (entry.before.hasMountId) {
        m_last.known = true;
        m_last.parent = entry.parent;
        m_last.mountId = entry.before.mountId;
        m_last.home = to.home;
        m_last.top = to.top;
        m_last.refusal = to.refusal;
        m_last.prefix = to.home ? QByteArray()
                                : to.recordedPath.left(to.recordedPath.size() - entry.name.size());
    }
    return true;
}

} // namespace TrashDestination
