// The trash on Linux and other freedesktop systems: the freedesktop.org trash, in POSIX calls.
//
// A file on the device of the home trash ($XDG_DATA_HOME/Trash) goes there; a file on another
// device goes to the trash at the top of that device's mount: $topdir/.Trash/$uid when .Trash is
// a real folder with the sticky bit, else $topdir/.Trash-$uid. Nothing is ever copied.
//
// The order keeps every file findable: the info file is created (O_EXCL, which also reserves the
// name) and written completely first; only then is the entry renamed into files/. When any step
// fails the info file is removed again and the entry stays where it was. After the rename, the
// moved entry is looked at once more: a folder that took the file's place is put back.
#include "deletion/Trash.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr mode_t PrivateFolderMode = 0700;
constexpr int NameAttempts = 64;
// A dot and up to this many bytes after it count as an extension that shortened and numbered
// names keep at their end.
constexpr qsizetype LongestExtension = 16;
const QByteArray InfoSuffix = QByteArrayLiteral(".trashinfo");

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

QByteArray dataHome() {
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    if (xdg.startsWith('/'))
        return cleanAbsolute(xdg);
    return cleanAbsolute(qgetenv("HOME") + "/.local/share");
}

// The device a path is on, or would be on once made: that of its nearest existing ancestor.
bool deviceOf(QByteArray path, dev_t& device) {
    struct stat st {};
    while (::stat(path.constData(), &st) != 0) {
        if (errno != ENOENT || path == "/")
            return false;
        path = parentOf(path);
    }
    device = st.st_dev;
    return true;
}

// Makes every missing folder of the path, each with mode 0700.
void makePath(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1); slash != -1; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), PrivateFolderMode);
    ::mkdir(path.constData(), PrivateFolderMode);
}

// Opens the folder `name` inside the folder `at`, making it (mode 0700) when missing. A symbolic
// link is not followed, and with `ownedByUser` a folder of another user is refused.
Fd openTrashFolder(int at, const char* name, const QByteArray& path, bool ownedByUser,
                   QString& reason) {
    Fd fd(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT) {
        if (::mkdirat(at, name, PrivateFolderMode) != 0 && errno != EEXIST) {
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
    if (ownedByUser && (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid())) {
        reason = QStringLiteral("the trash folder %1 belongs to another user").arg(shown(path));
        return {};
    }
    return fd;
}

// A trash folder with its files/ and info/ open, and what Path= records for the entry.
struct TrashFolder {
    QByteArray path;
    Fd files;
    Fd info;
    QByteArray recordedPath;
};

bool openFilesAndInfo(int trash, TrashFolder& folder, QString& reason) {
    folder.files = openTrashFolder(trash, "files", folder.path + "/files", false, reason);
    if (folder.files.valid())
        folder.info = openTrashFolder(trash, "info", folder.path + "/info", false, reason);
    return folder.files.valid() && folder.info.valid();
}

// The home trash, made when missing. Path= records the absolute path.
bool openHomeTrash(const QByteArray& trashPath, const QByteArray& path, TrashFolder& folder,
                   QString& reason) {
    folder.path = trashPath;
    folder.recordedPath = path;
    // The user's own folder: a Trash that is a link to a folder of theirs is followed.
    Fd trash(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!trash.valid() && errno == ENOENT) {
        makePath(trashPath);
        trash.reset(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!trash.valid()) {
        reason = errno == ENOTDIR
                     ? QStringLiteral("the trash folder %1 is not a folder").arg(shown(trashPath))
                     : QStringLiteral("cannot open the trash folder %1: %2")
                           .arg(shown(trashPath), errorText(errno));
        return false;
    }
    return openFilesAndInfo(trash.get(), folder, reason);
}

// The mount point of the device that holds `folder` (a canonical path): its highest ancestor on
// the same device.
QByteArray mountPointOf(QByteArray folder, dev_t device) {
    while (folder != "/") {
        const QByteArray up = parentOf(folder);
        struct stat st {};
        if (::stat(up.constData(), &st) != 0 || st.st_dev != device)
            break;
        folder = up;
    }
    return folder;
}

// The trash at the top of the entry's mount. Path= records the path relative to the top.
bool openTopTrash(const QByteArray& parent, const QByteArray& name, dev_t device,
                  TrashFolder& folder, QString& reason) {
    char* real = ::realpath(parent.constData(), nullptr);
    if (real == nullptr) {
        reason =
            QStringLiteral("cannot resolve the folder %1: %2").arg(shown(parent), errorText(errno));
        return false;
    }
    const QByteArray realParent(real);
    std::free(real); // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    const QByteArray top = mountPointOf(realParent, device);
    const QByteArray topPrefix = top == "/" ? top : top + '/';
    folder.recordedPath = (realParent == "/" ? realParent : realParent + '/') + name;
    folder.recordedPath.remove(0, topPrefix.size());

    Fd topFd(::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!topFd.valid()) {
        reason = QStringLiteral("cannot open %1: %2").arg(shown(top), errorText(errno));
        return false;
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    // $topdir/.Trash: an administrator's shared trash, used only when it is a real folder with
    // the sticky bit; each user has a folder of their own inside.
    struct stat st {};
    if (::fstatat(topFd.get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0) {
        Fd shared(::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        QString sharedReason;
        if (shared.valid() && ::fstat(shared.get(), &opened) == 0 &&
            (opened.st_mode & S_ISVTX) != 0) {
            folder.path = topPrefix + ".Trash/" + uid;
            Fd own =
                openTrashFolder(shared.get(), uid.constData(), folder.path, true, sharedReason);
            if (own.valid() && openFilesAndInfo(own.get(), folder, sharedReason))
                return true;
        }
        // Not usable for this user: the per-user trash below is the fallback.
    }
    folder.path = topPrefix + ".Trash-" + uid;
    const QByteArray ownName = ".Trash-" + uid;
    Fd own = openTrashFolder(topFd.get(), ownName.constData(), folder.path, true, reason);
    return own.valid() && openFilesAndInfo(own.get(), folder, reason);
}

QByteArray deletionDate() {
    const std::time_t now = std::time(nullptr);
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
};

DesktopTrash::DesktopTrash() : m_state(std::make_unique<State>()) {}
DesktopTrash::~DesktopTrash() = default;

TrashResult DesktopTrash::moveToTrash(const QString& path) {
    TrashResult result;
    const QByteArray full = cleanAbsolute(QFile::encodeName(path));
    const QByteArray parent = parentOf(full);
    const QByteArray name = full.mid(full.lastIndexOf('/') + 1);
    if (name.isEmpty() || name == "." || name == "..") {
        result.reason = QStringLiteral("the path does not name a file");
        return result;
    }

    Fd parentFd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat before {};
    if (!parentFd.valid() ||
        ::fstatat(parentFd.get(), name.constData(), &before, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            result.gone = true;
        else
            result.reason = errorText(errno);
        return result;
    }
    if (S_ISDIR(before.st_mode)) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }

    const QByteArray homeTrash = dataHome() + "/Trash";
    dev_t homeDevice = 0;
    TrashFolder folder;
    const bool home = deviceOf(homeTrash, homeDevice) && homeDevice == before.st_dev;
    if (home ? !openHomeTrash(homeTrash, full, folder, result.reason)
             : !openTopTrash(parent, name, before.st_dev, folder, result.reason)) {
        if (!home)
            result.reason =
                QStringLiteral("no trash can be used on its file system: ") + result.reason;
        return result;
    }

    const QByteArray info = QByteArrayLiteral("[Trash Info]\nPath=") +
                            folder.recordedPath.toPercentEncoding("/") +
                            QByteArrayLiteral("\nDeletionDate=") + deletionDate() + '\n';
    const long limit = ::fpathconf(folder.info.get(), _PC_NAME_MAX);
    const qsizetype nameMax = limit > 0 ? limit : NAME_MAX;

    QByteArray trashed;
    QByteArray infoName;
    // A name already found taken in this run goes straight to its next number.
    for (int attempt = m_state->nextNumber.contains(name) ? 1 : 0;; ++attempt) {
        if (attempt == NameAttempts) {
            result.reason =
                QStringLiteral("no free name for it in the trash %1").arg(shown(folder.path));
            return result;
        }
        QByteArray tag;
        if (attempt == 1) {
            unsigned& number = m_state->nextNumber[name];
            number = std::max(number, 2U);
            tag = '.' + QByteArray::number(number++);
        } else if (attempt > 1) {
            tag = '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        }
        trashed = trashName(name, tag, nameMax);
        infoName = trashed + InfoSuffix;
        const int fd = ::openat(folder.info.get(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        const QByteArray infoPath = folder.path + "/info/" + infoName;
        if (fd < 0) {
            result.reason = QStringLiteral("cannot create the trash information file %1: %2")
                                .arg(shown(infoPath), errorText(errno));
            return result;
        }
        int error = writeAll(fd, info) ? 0 : errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            ::unlinkat(folder.info.get(), infoName.constData(), 0);
            result.reason = QStringLiteral("cannot write the trash information file %1: %2")
                                .arg(shown(infoPath), errorText(error));
            return result;
        }

        if (beforeMove)
            beforeMove(path);
        if (renameNoReplace(parentFd.get(), name.constData(), folder.files.get(),
                            trashed.constData()) == 0)
            break;
        error = errno;
        ::unlinkat(folder.info.get(), infoName.constData(), 0);
        if (error == EEXIST)
            continue; // an entry without an info file holds the name in files/
        struct stat now {};
        if (error == ENOENT &&
            ::fstatat(parentFd.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
            result.gone = true;
            return result;
        }
        result.reason =
            error == EXDEV
                ? QStringLiteral("it is on another file system than the trash %1; files are "
                                 "never copied between file systems")
                      .arg(shown(folder.path))
                : QStringLiteral("cannot move it into the trash %1: %2")
                      .arg(shown(folder.path), errorText(error));
        return result;
    }
    result.trashedPath = shown(folder.path + "/files/" + trashed);

    // A folder that took the file's place between the look and the rename goes back.
    struct stat moved {};
    if (::fstatat(folder.files.get(), trashed.constData(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(moved.st_mode)) {
        result.isFolder = true;
        if (renameNoReplace(folder.files.get(), trashed.constData(), parentFd.get(),
                            name.constData()) == 0) {
            ::unlinkat(folder.info.get(), infoName.constData(), 0);
            result.trashedPath.clear();
            result.reason = QStringLiteral("it is a folder; folders are never deleted");
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
