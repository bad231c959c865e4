// The trash on Linux and other freedesktop systems: the freedesktop.org trash, in POSIX calls.
//
// Which trash takes a file follows from the mount that holds its folder, read from the mount table
// (/proc/self/mountinfo): the home trash ($XDG_DATA_HOME/Trash) when that mount is the home trash's
// own, else the trash at that mount's top: $topdir/.Trash/$uid when .Trash is a real folder with
// the sticky bit, else $topdir/.Trash-$uid. So a bind mount's trash is at its bind point and an
// overlay's at the overlay's mount point, whatever device the file itself reports. Nothing is
// ever copied.
//
// The order keeps every file findable: the info file is created (O_EXCL, which also reserves the
// name) and written completely first; only then is the entry renamed into files/. When any step
// fails the info file is removed again, the entry stays where it was, and trash folders this call
// made are removed; an info file that cannot be removed is named in the reason. After the rename,
// the moved entry is looked at once more: a folder that took the file's place is put back.
//
// A trash once opened stays open: its folders' descriptors are kept and re-checked with fstat when
// a run first uses it, so a run of many files costs little more than the info file and the
// rename. flush() makes the records durable with one syncfs per volume trashed on.
#include "deletion/Trash.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr mode_t PrivateFolderMode = 0700;
constexpr mode_t WritableByOthers = S_IWGRP | S_IWOTH;
constexpr int NameAttempts = 64;
// A dot and up to this many bytes after it count as an extension that shortened and numbered
// names keep at their end.
constexpr qsizetype LongestExtension = 16;
const QByteArray InfoSuffix = QByteArrayLiteral(".trashinfo");
const char* const MountTable = "/proc/self/mountinfo";

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    ~Fd() { reset(); }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

// The path made absolute, with runs of "/" collapsed and a trailing "/" dropped; "." and ".."
// are kept as written.
QByteArray cleanAbsolute(const QByteArray& path) {
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

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The folder path with "/" after it, ready to have a name appended.
QByteArray withSlash(const QByteArray& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

bool isUnder(const QByteArray& path, const QByteArray& folder) {
    return folder == "/" || path == folder || path.startsWith(folder + '/');
}

QByteArray dataHome() {
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    if (xdg.startsWith('/'))
        return cleanAbsolute(xdg);
    return cleanAbsolute(qgetenv("HOME") + "/.local/share");
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

// What one look at an entry tells: its type, its device and, where the kernel says, the id of
// the mount it lies on.
struct Look {
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;
};

// Looks at `name` in the folder `at` (the folder itself for an empty name), following a
// symbolic link only with `follow`.
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

// One line of the mount table: the mount's id and where it is mounted.
struct Mount {
    std::uint64_t id = 0;
    QByteArray point;
};

// A field of the mount table with its octal escapes ("\040" for a blank) decoded.
QByteArray decodeMountField(const QByteArray& field) {
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) {
            return at < field.size() && field.at(at) >= '0' && field.at(at) <= '7';
        };
        if (field.at(i) == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            decoded.append(static_cast<char>(((field.at(i + 1) - '0') << 6) |
                                             ((field.at(i + 2) - '0') << 3) |
                                             (field.at(i + 3) - '0')));
            i += 3;
        } else {
            decoded.append(field.at(i));
        }
    }
    return decoded;
}

// Reads the mount table; false with errno set when it cannot be read.
bool readMountTable(std::vector<Mount>& mounts) {
    mounts.clear();
    Fd fd(::open(MountTable, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return false;
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        bool ok = false;
        const std::uint64_t id = fields.at(0).toULongLong(&ok);
        if (ok)
            mounts.push_back({id, decodeMountField(fields.at(4))});
    }
    if (mounts.empty()) {
        errno = ENODATA;
        return false;
    }
    return true;
}

// The longest mount point that holds the path; of two mounts at one point the later one, which
// covers the earlier.
const Mount* longestMountOf(const std::vector<Mount>& mounts, const QByteArray& path) {
    const Mount* best = nullptr;
    for (const Mount& mount : mounts)
        if (isUnder(path, mount.point) &&
            (best == nullptr || mount.point.size() >= best->point.size()))
            best = &mount;
    return best;
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

// A trash folder of the top of a volume is the user's alone: a real folder of theirs that no
// one else can write to.
bool checkPrivate(const struct stat& st, const QByteArray& path, QString& reason) {
    if (!S_ISDIR(st.st_mode)) {
        reason = QStringLiteral("the trash folder %1 is not a folder").arg(shown(path));
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        reason = QStringLiteral("the trash folder %1 belongs to another user").arg(shown(path));
        return false;
    }
    if ((st.st_mode & WritableByOthers) != 0) {
        reason =
            QStringLiteral("the trash folder %1 can be written to by other users").arg(shown(path));
        return false;
    }
    return true;
}

// The folders this call made, removed again (the last made first) when it moves nothing.
class MadeFolders {
public:
    MadeFolders() = default;
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    MadeFolders(MadeFolders&&) = delete;
    MadeFolders& operator=(MadeFolders&&) = delete;
    ~MadeFolders() {
        if (!m_kept)
            undo();
    }
    void add(const QByteArray& path) { m_paths.push_back(path); }
    [[nodiscard]] bool any() const { return !m_paths.empty(); }
    [[nodiscard]] std::size_t size() const { return m_paths.size(); }
    // Removes those made after the first `keep`.
    void undo(std::size_t keep = 0) {
        while (m_paths.size() > keep) {
            ::rmdir(m_paths.back().constData());
            m_paths.pop_back();
        }
    }
    void keep() { m_kept = true; }

private:
    std::vector<QByteArray> m_paths;
    bool m_kept = false;
};

// Opens the folder `name` inside the folder `at`, making it (mode 0700) when missing. A symbolic
// link is not followed, and with `privateToUser` a folder that is not wholly the user's is refused.
Fd openTrashFolder(int at, const char* name, const QByteArray& path, bool privateToUser,
                   MadeFolders& made, QString& reason) {
    Fd fd(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT) {
        if (::mkdirat(at, name, PrivateFolderMode) == 0)
            made.add(path);
        else if (errno != EEXIST) {
            reason = QStringLiteral("cannot make the trash folder %1: %2")
                         .arg(shown(path), errorText(errno));
            return {};
        }
        fd.reset(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!fd.valid()) {
        const int error = errno;
        struct stat st {};
        if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            reason = QStringLiteral("the trash folder %1 is a symbolic link, which is not followed")
                         .arg(shown(path));
        else if (error == ENOTDIR)
            reason = QStringLiteral("the trash folder %1 is not a folder").arg(shown(path));
        else
            reason = QStringLiteral("cannot open the trash folder %1: %2")
                         .arg(shown(path), errorText(error));
        return {};
    }
    struct stat st {};
    if (privateToUser) {
        if (::fstat(fd.get(), &st) != 0) {
            reason = QStringLiteral("cannot open the trash folder %1: %2")
                         .arg(shown(path), errorText(errno));
            return {};
        }
        if (!checkPrivate(st, path, reason))
            return {};
    }
    return fd;
}

// An open trash: its folder, files/ and info/, kept for the life of the trash object.
struct OpenTrash {
    QByteArray path; // the trash folder
    QByteArray top;  // the volume's top, for a top-directory trash; empty for the home trash
    Fd folder;
    Fd files;
    Fd info;
    qsizetype nameMax = NAME_MAX;
    bool checkedByPath = false; // found again at its path since the last flush
};

bool openFilesAndInfo(OpenTrash& trash, bool privateToUser, MadeFolders& made, QString& reason) {
    trash.files = openTrashFolder(trash.folder.get(), "files", trash.path + "/files", privateToUser,
                                  made, reason);
    if (trash.files.valid())
        trash.info = openTrashFolder(trash.folder.get(), "info", trash.path + "/info",
                                     privateToUser, made, reason);
    if (!trash.info.valid())
        return false;
    const long limit = ::fpathconf(trash.info.get(), _PC_NAME_MAX);
    trash.nameMax = limit > 0 ? limit : NAME_MAX;
    trash.checkedByPath = true;
    return true;
}

// The home trash, made when missing.
std::unique_ptr<OpenTrash> openHomeTrash(const QByteArray& trashPath, MadeFolders& made,
                                         QString& reason) {
    auto trash = std::make_unique<OpenTrash>();
    trash->path = trashPath;
    // The user's own folder: a Trash that is a link to a folder of theirs is followed.
    trash->folder.reset(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!trash->folder.valid() && errno == ENOENT) {
        for (qsizetype slash = trashPath.indexOf('/', 1); slash != -1;
             slash = trashPath.indexOf('/', slash + 1))
            if (::mkdir(trashPath.left(slash).constData(), PrivateFolderMode) == 0)
                made.add(trashPath.left(slash));
        if (::mkdir(trashPath.constData(), PrivateFolderMode) == 0)
            made.add(trashPath);
        trash->folder.reset(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!trash->folder.valid()) {
        reason = errno == ENOTDIR
                     ? QStringLiteral("the trash folder %1 is not a folder").arg(shown(trashPath))
                     : QStringLiteral("cannot open the trash folder %1: %2")
                           .arg(shown(trashPath), errorText(errno));
        return {};
    }
    if (!openFilesAndInfo(*trash, false, made, reason))
        return {};
    return trash;
}

// The trash at the top of a volume: $top/.Trash/$uid when the administrator made .Trash a real
// folder with the sticky bit and the user's folder there is usable, else $top/.Trash-$uid.
std::unique_ptr<OpenTrash> openTopTrash(const QByteArray& top, MadeFolders& made, QString& reason) {
    Fd topFd(::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!topFd.valid()) {
        reason = QStringLiteral("cannot open %1: %2").arg(shown(top), errorText(errno));
        return {};
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    auto trash = std::make_unique<OpenTrash>();
    trash->top = top;
    struct stat st {};
    if (::fstatat(topFd.get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0) {
        Fd shared(::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        QString sharedReason;
        const std::size_t before = made.size();
        if (shared.valid() && ::fstat(shared.get(), &opened) == 0 &&
            (opened.st_mode & S_ISVTX) != 0) {
            trash->path = withSlash(top) + ".Trash/" + uid;
            trash->folder = openTrashFolder(shared.get(), uid.constData(), trash->path, true, made,
                                            sharedReason);
            if (trash->folder.valid() && openFilesAndInfo(*trash, true, made, sharedReason))
                return trash;
        }
        // Not usable for this user: the per-user trash below is the fallback, and what was made
        // on the way goes again.
        made.undo(before);
        trash->files.reset();
        trash->info.reset();
    }
    trash->path = withSlash(top) + ".Trash-" + uid;
    const QByteArray ownName = ".Trash-" + uid;
    trash->folder =
        openTrashFolder(topFd.get(), ownName.constData(), trash->path, true, made, reason);
    if (!trash->folder.valid() || !openFilesAndInfo(*trash, true, made, reason))
        return {};
    return trash;
}

// Whether a kept trash is still the one at its path, whole and (for a top trash) private: fstat on
// the open folders and a look at the paths, once per run (after each flush). Within a run a
// folder that goes is noticed by the calls that use it, which then find the trash again.
bool stillUsable(OpenTrash& trash) {
    if (trash.checkedByPath)
        return true;
    struct stat files {};
    struct stat info {};
    if (::fstat(trash.files.get(), &files) != 0 || ::fstat(trash.info.get(), &info) != 0 ||
        files.st_nlink == 0 || info.st_nlink == 0)
        return false;
    if (!trash.top.isEmpty()) {
        struct stat folder {};
        QString unused;
        if (::fstat(trash.folder.get(), &folder) != 0 ||
            !checkPrivate(folder, trash.path, unused) || !checkPrivate(files, trash.path, unused) ||
            !checkPrivate(info, trash.path, unused))
            return false;
    }
    struct stat atPath {};
    for (const auto& [name, opened] : {std::pair{"/files", &files}, std::pair{"/info", &info}})
        if (::stat((trash.path + name).constData(), &atPath) != 0 ||
            atPath.st_dev != opened->st_dev || atPath.st_ino != opened->st_ino)
            return false;
    trash.checkedByPath = true;
    return true;
}

// The time of the move in local time. time() reads the kernel's coarse clock, which can lag the
// real one by a tick and so name the second before the move; the real-time clock does not.
QByteArray deletionDate() {
    timespec precise{};
    if (::clock_gettime(CLOCK_REALTIME, &precise) != 0)
        return {};
    const std::time_t now = precise.tv_sec;
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return {};
    return text;
}

// Cuts a name to at most `size` bytes without splitting a UTF-8 sequence.
QByteArray cutName(const QByteArray& name, qsizetype size) {
    if (name.size() <= size)
        return name;
    qsizetype end = size;
    while (end > 0 && (static_cast<unsigned char>(name.at(end)) & 0xC0U) == 0x80U)
        --end;
    return name.left(end);
}

// The name in files/ for an attempt: the original name, or with a tag before its extension, cut
// where needed so that the name with ".trashinfo" fits the file system's limit.
QByteArray trashName(const QByteArray& name, const QByteArray& tag, qsizetype nameMax) {
    QByteArray stem = name;
    QByteArray extension;
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0 && name.size() - dot <= LongestExtension) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    const qsizetype room = nameMax - InfoSuffix.size() - tag.size() - extension.size();
    return cutName(stem, std::max<qsizetype>(room, 1)) + tag + extension;
}

bool writeAll(int fd, const QByteArray& data) {
    const char* next = data.constData();
    auto left = static_cast<size_t>(data.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// Renames without replacing anything at the target.
int renameNoReplace(int fromAt, const char* from, int toAt, const char* to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(fromAt, from, toAt, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
        // The file system cannot refuse to replace: look first, then rename.
#endif
    struct stat st {};
    if (::fstatat(toAt, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromAt, from, toAt, to);
}

} // namespace

struct DesktopTrash::State {
    // Per original name, the next number to try when the name is taken: one attempt per file
    // however many files of that name go in one run.
    QHash<QByteArray, unsigned> nextNumber;
    // Every trash opened so far, by its path; "" + the home trash's path for the home trash.
    QHash<QByteArray, std::shared_ptr<OpenTrash>> trashes;
    // Those that took a file since the last flush.
    std::vector<std::shared_ptr<OpenTrash>> touched;
    // The mount table as last read, and the error when it could not be read; read again after each
    // flush and when a mount is missing from it.
    std::vector<Mount> mounts;
    bool mountsRead = false;
    int mountsError = 0;
    // The home trash and where it is (or would be made), found again after each flush.
    QByteArray homePath;
    Look homeLook;
    QByteArray homeFound; // the path looked at: files/ or its nearest existing ancestor
    bool homeKnown = false;

    bool readMounts() {
        mountsRead = true;
        mountsError = readMountTable(mounts) ? 0 : errno;
        return mountsError == 0;
    }
    const Mount* mountById(std::uint64_t id) {
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1 || !mountsRead)
                if (!readMounts())
                    return nullptr;
            for (const Mount& mount : mounts)
                if (mount.id == id)
                    return &mount;
        }
        return nullptr;
    }
    // The mount point holding a resolved path, by the longest prefix; null without a table.
    const Mount* mountHolding(const QByteArray& path) {
        if (!mountsRead)
            readMounts();
        return mountsError == 0 ? longestMountOf(mounts, path) : nullptr;
    }
    QString mountTableFault() const {
        const QString table = QString::fromLatin1(MountTable);
        if (mountsError == 0)
            return QStringLiteral("its mount is missing from the mount table %1, so the volume's "
                                  "top was found by walking up the folders: ")
                .arg(table);
        return QStringLiteral("the mount table %1 cannot be read (%2), so the volume's top was "
                              "found by walking up the folders: ")
            .arg(table, errorText(mountsError));
    }
    // The home trash's files folder, or its nearest existing ancestor.
    bool lookAtHome(const QByteArray& trashPath) {
        if (homeKnown && homePath == trashPath)
            return true;
        homePath = trashPath;
        QByteArray path = trashPath + "/files";
        while (!lookAt(AT_FDCWD, path.constData(), true, homeLook)) {
            if ((errno != ENOENT && errno != ENOTDIR) || path == "/")
                return false;
            path = parentOf(path);
        }
        homeFound = path;
        homeKnown = true;
        return true;
    }
};

DesktopTrash::DesktopTrash() : m_state(std::make_unique<State>()) {}

DesktopTrash::~DesktopTrash() {
    // A trashing outside a run (or a run cut short) is made durable here.
    DesktopTrash::flush();
}

void DesktopTrash::flush() {
    // One syncfs per volume: trashes on one device share it.
    std::vector<dev_t> synced;
    for (const auto& trash : m_state->touched) {
        struct stat st {};
        if (::fstat(trash->info.get(), &st) != 0)
            continue;
        if (std::find(synced.begin(), synced.end(), st.st_dev) != synced.end())
            continue;
        ::syncfs(trash->info.get());
        synced.push_back(st.st_dev);
    }
    m_state->touched.clear();
    for (const auto& trash : std::as_const(m_state->trashes))
        trash->checkedByPath = false;
    m_state->mountsRead = false;
    m_state->homeKnown = false;
}

TrashResult DesktopTrash::moveToTrash(const QString& path) {
    TrashResult result;
    const QByteArray full = cleanAbsolute(QFile::encodeName(path));
    const QByteArray parent = parentOf(full);
    const QByteArray name = full.mid(full.lastIndexOf('/') + 1);
    if (name.isEmpty() || name == "." || name == "..") {
        result.reason = QStringLiteral("the path does not name a file");
        return result;
    }

    // The path is looked at and moved by its full name: what a swap in between could bring is
    // caught after the move (a folder goes back) or refused by the rename (another mount).
    Look before;
    if (!lookAt(AT_FDCWD, full.constData(), false, before)) {
        if (errno == ENOENT || errno == ENOTDIR)
            result.gone = true;
        else
            result.reason = errorText(errno);
        return result;
    }
    if (S_ISDIR(before.mode)) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }

    State& state = *m_state;
    const QByteArray homeTrash = dataHome() + "/Trash";
    // The folder's mount decides. The entry's own mount is the folder's unless the entry is a
    // mount point itself, and no mount point is the home trash's mount, so one look at the entry
    // answers for the home trash.
    Look folderLook;
    QByteArray realParent;
    const Mount* mount = nullptr;
    bool home = false;
    QByteArray top; // the volume's top, for a top-directory trash
    if (state.lookAtHome(homeTrash)) {
        if (before.hasMountId && state.homeLook.hasMountId) {
            home = before.mountId == state.homeLook.mountId;
        } else {
            realParent = realPath(parent);
            const QByteArray realHome = realPath(state.homeFound);
            const Mount* homeMount = realHome.isEmpty() ? nullptr : state.mountHolding(realHome);
            mount = realParent.isEmpty() ? nullptr : state.mountHolding(realParent);
            home = homeMount != nullptr && mount != nullptr
                       ? homeMount->point == mount->point
                       : before.device == state.homeLook.device; // no mount table
        }
    }

    MadeFolders made;
    QByteArray recordedPath;
    QString refusal; // said before the reason when no trash can be used
    if (home) {
        recordedPath = full;
    } else {
        refusal = QStringLiteral("no trash can be used on its file system: ");
        if (realParent.isEmpty())
            realParent = realPath(parent);
        if (realParent.isEmpty()) {
            result.reason = refusal + QStringLiteral("cannot resolve the folder %1: %2")
                                          .arg(shown(parent), errorText(errno));
            return result;
        }
        if (before.hasMountId) {
            if (!lookAt(AT_FDCWD, parent.constData(), true, folderLook)) {
                result.reason = errorText(errno);
                return result;
            }
            if (folderLook.hasMountId && folderLook.mountId != before.mountId) {
                result.reason = QStringLiteral(
                    "it is a mount point of its own (mounted over the file at its path) and "
                    "cannot be moved");
                return result;
            }
            mount = state.mountById(before.mountId);
        } else if (mount == nullptr) {
            mount = state.mountHolding(realParent);
        }
        if (mount != nullptr) {
            top = mount->point;
        } else {
            // No mount table: the highest folder on the folder's own device.
            struct stat folder {};
            if (::stat(parent.constData(), &folder) != 0) {
                result.reason = errorText(errno);
                return result;
            }
            top = walkUpToMountPoint(realParent, folder.st_dev);
            refusal += state.mountTableFault();
        }
        if (!isUnder(realParent, top)) {
            result.reason = refusal + QStringLiteral("its folder %1 is not under the top %2 of "
                                                     "its mount")
                                          .arg(shown(realParent), shown(top));
            return result;
        }
        recordedPath = withSlash(realParent).mid(withSlash(top).size()) + name;
    }

    // The kept trash, or the trash opened (and made where missing) at its path; `again` opens it
    // anew after its kept folders were found gone.
    const QByteArray key = home ? homeTrash : "\n" + top;
    const auto openTrash = [&](bool again) {
        std::shared_ptr<OpenTrash>& slot = state.trashes[key];
        if (slot && (again || !stillUsable(*slot)))
            slot.reset();
        if (!slot)
            slot = home ? openHomeTrash(homeTrash, made, result.reason)
                        : openTopTrash(top, made, result.reason);
        std::shared_ptr<OpenTrash> opened = slot;
        if (!opened) {
            state.trashes.remove(key);
            result.reason = refusal + result.reason;
        }
        return opened;
    };
    std::shared_ptr<OpenTrash> trash = openTrash(false);
    if (!trash)
        return result;
    bool foundAgain = false;
    // Trash folders made by this call stay only once the entry is in; then the trash is kept.
    const auto forget = [&] {
        if (made.any())
            state.trashes.remove(key);
    };

    const QByteArray info = QByteArrayLiteral("[Trash Info]\nPath=") +
                            recordedPath.toPercentEncoding("/") +
                            QByteArrayLiteral("\nDeletionDate=") + deletionDate() + '\n';
    // An info file that could not be removed again stays in the trash and is said.
    const auto removeInfo = [&](const QByteArray& infoName) {
        if (::unlinkat(trash->info.get(), infoName.constData(), 0) == 0)
            return QString();
        return QStringLiteral("; its trash information file %1 could not be removed and stays "
                              "in the trash: %2")
            .arg(shown(trash->path + "/info/" + infoName), errorText(errno));
    };

    QByteArray trashed;
    QByteArray infoName;
    // A name already found taken in this run goes straight to its next number.
    for (int attempt = state.nextNumber.contains(name) ? 1 : 0;; ++attempt) {
        if (attempt == NameAttempts) {
            result.reason =
                QStringLiteral("no free name for it in the trash %1").arg(shown(trash->path));
            forget();
            return result;
        }
        QByteArray tag;
        if (attempt == 1) {
            unsigned& number = state.nextNumber[name];
            number = std::max(number, 2U);
            tag = '.' + QByteArray::number(number++);
        } else if (attempt > 1) {
            tag = '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        }
        trashed = trashName(name, tag, trash->nameMax);
        infoName = trashed + InfoSuffix;
        const int fd = ::openat(trash->info.get(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0 && errno == ENOENT && !foundAgain) {
            // info/ went since the trash was opened: the trash is found again at its path.
            foundAgain = true;
            trash = openTrash(true);
            if (!trash)
                return result;
            --attempt;
            continue;
        }
        const QByteArray infoPath = trash->path + "/info/" + infoName;
        if (fd < 0) {
            result.reason = QStringLiteral("cannot create the trash information file %1: %2")
                                .arg(shown(infoPath), errorText(errno));
            forget();
            return result;
        }
        int error = writeAll(fd, info) ? 0 : errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            result.reason = QStringLiteral("cannot write the trash information file %1: %2")
                                .arg(shown(infoPath), errorText(error)) +
                            removeInfo(infoName);
            forget();
            return result;
        }

        if (beforeMove)
            beforeMove(path);
        if (renameNoReplace(AT_FDCWD, full.constData(), trash->files.get(), trashed.constData()) ==
            0)
            break;
        error = errno;
        const QString leftover = removeInfo(infoName);
        if (error == EEXIST && leftover.isEmpty())
            continue; // an entry without an info file holds the name in files/
        Look now;
        if (error == ENOENT && leftover.isEmpty()) {
            if (!lookAt(AT_FDCWD, full.constData(), false, now)) {
                result.gone = true;
                forget();
                return result;
            }
            if (!foundAgain) {
                // The entry is there, so files/ went since the trash was opened.
                foundAgain = true;
                trash = openTrash(true);
                if (!trash)
                    return result;
                --attempt;
                continue;
            }
        }
        result.reason =
            (error == EXDEV
                 ? QStringLiteral("it is on another file system than the trash %1; files are "
                                  "never copied between file systems")
                       .arg(shown(trash->path))
                 : QStringLiteral("cannot move it into the trash %1: %2")
                       .arg(shown(trash->path), errorText(error))) +
            leftover;
        forget();
        return result;
    }
    made.keep();
    if (std::find(state.touched.begin(), state.touched.end(), trash) == state.touched.end())
        state.touched.push_back(trash);
    result.trashedPath = shown(trash->path + "/files/" + trashed);

    // A folder that took the file's place between the look and the rename goes back.
    struct stat moved {};
    if (::fstatat(trash->files.get(), trashed.constData(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(moved.st_mode)) {
        result.isFolder = true;
        if (renameNoReplace(trash->files.get(), trashed.constData(), AT_FDCWD, full.constData()) ==
            0) {
            result.trashedPath.clear();
            result.reason =
                QStringLiteral("it is a folder; folders are never deleted") + removeInfo(infoName);
        } else {
            // Its place was taken again: it stays in the trash, complete with its info file.
            result.reason = QStringLiteral("a folder took its place just before the move and "
                                           "could not be put back; it is in the trash as %1: %2")
                                .arg(result.trashedPath, errorText(errno));
        }
        return result;
    }
    result.moved = true;
    return result;
}
