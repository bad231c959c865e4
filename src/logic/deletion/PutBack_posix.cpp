// Putting a file back from a freedesktop trash: the entry files/NAME goes back to the folder it
// left, with its information info/NAME.trashinfo removed.
//
// Nothing a record says is taken on trust. The entry must lie in files/ of a trash of this user's
// (the home trash, or $top/.Trash/$uid or $top/.Trash-$uid: real folders of the user's that no one
// else can write to), its information file must name exactly the recorded original, and the file
// goes back only into the very folder it left (its device and inode), opened without following a
// link; a folder that is gone is made again one component at a time, never through a link. Every
// step after the checks works on the opened folders' descriptors, so nothing can be swapped in
// between.
#include "deletion/PutBack.h"

#include "common/UserFolders.h"
#include "deletion/RenameNoReplace.h"
#include "deletion/RunRecord.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace Delete1 {

namespace {

constexpr qint64 LongestInfo = qint64{64} * 1024;
const QByteArray InfoSuffix = QByteArrayLiteral(".trashinfo");

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// An absolute path without empty, "." or ".." components.
bool isPlain(const QByteArray& path) {
    if (!path.startsWith('/') || path.size() < 2 || path.endsWith('/'))
        return false;
    const QList<QByteArray> parts = path.mid(1).split('/');
    for (const QByteArray& part : parts)
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    return true;
}

bool sameFile(const struct stat& st, const RunRecord::FileId& id) {
    return static_cast<quint64>(st.st_dev) == id.device &&
           static_cast<quint64>(st.st_ino) == id.inode;
}

// A trash folder of the user's: a real folder (not a link), theirs, and for a volume's trash
// writable by no one else.
Fd openTrashPart(int at, const QByteArray& name, const QByteArray& path, bool privateToUser,
                 QString& reason) {
    Fd fd(::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid()) {
        reason =
            ::fstatat(at, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)
                ? QStringLiteral("the trash folder %1 is a symbolic link").arg(shown(path))
                : QStringLiteral("the trash folder %1 cannot be opened: %2")
                      .arg(shown(path), errorText(errno));
        return Fd();
    }
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        reason = QStringLiteral("the trash folder %1 belongs to another user").arg(shown(path));
        return Fd();
    }
    if (privateToUser && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        reason =
            QStringLiteral("the trash folder %1 can be written to by other users").arg(shown(path));
        return Fd();
    }
    return fd;
}

// The trash that holds an entry, opened and checked: its files/ and info/, and the volume's top
// for a top-directory trash (empty for the home trash).
struct OpenedTrash {
    QByteArray top;
    Fd files;
    Fd info;
};

bool openTrashOf(const QByteArray& trashed, OpenedTrash& trash, QString& reason) {
    const QByteArray filesPath = parentOf(trashed);
    const QByteArray trashPath = parentOf(filesPath);
    if (nameOf(filesPath) != "files") {
        reason = QStringLiteral("%1 is not in the files folder of a trash").arg(shown(trashed));
        return false;
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    Fd folder;
    bool privateToUser = true;
    if (trashPath == UserFolders::homeTrash()) {
        // The user's own home trash, which may be a link to a folder of theirs.
        folder = Fd(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        privateToUser = false;
        if (!folder.valid()) {
            reason = QStringLiteral("the trash folder %1 cannot be opened: %2")
                         .arg(shown(trashPath), errorText(errno));
            return false;
        }
    } else if (nameOf(trashPath) == ".Trash-" + uid) {
        trash.top = parentOf(trashPath);
        const Fd top(::open(trash.top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        folder = top.valid() ? openTrashPart(top.get(), nameOf(trashPath), trashPath, true, reason)
                             : Fd();
    } else if (nameOf(trashPath) == uid && nameOf(parentOf(trashPath)) == ".Trash") {
        // The administrator's shared .Trash: a real folder with the sticky bit.
        const QByteArray shared = parentOf(trashPath);
        trash.top = parentOf(shared);
        const Fd top(::open(trash.top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const Fd sharedFd(top.valid() ? ::openat(top.get(), ".Trash",
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                      : -1);
        struct stat st {};
        if (!sharedFd.valid() || ::fstat(sharedFd.get(), &st) != 0 || (st.st_mode & S_ISVTX) == 0) {
            reason = QStringLiteral("%1 is not a shared trash folder").arg(shown(shared));
            return false;
        }
        folder = openTrashPart(sharedFd.get(), uid, trashPath, true, reason);
    } else {
        reason = QStringLiteral("%1 is not in a trash of this user").arg(shown(trashed));
        return false;
    }
    if (!folder.valid()) {
        if (reason.isEmpty())
            reason = QStringLiteral("the trash folder %1 cannot be opened").arg(shown(trashPath));
        return false;
    }
    trash.files = openTrashPart(folder.get(), "files", filesPath, privateToUser, reason);
    if (trash.files.valid())
        trash.info =
            openTrashPart(folder.get(), "info", trashPath + "/info", privateToUser, reason);
    return trash.info.valid();
}

// The Path= of an information file, as the absolute path it names; empty when there is none.
QByteArray infoPath(int infoFolder, const QByteArray& infoName, const QByteArray& top) {
    const Fd fd(::openat(infoFolder, infoName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > LongestInfo)
        return {};
    QByteArray text(static_cast<qsizetype>(st.st_size), '\0');
    if (::read(fd.get(), text.data(), static_cast<size_t>(text.size())) != text.size())
        return {};
    bool inGroup = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            inGroup = line == "[Trash Info]";
        else if (inGroup && line.startsWith("Path=")) {
            QByteArray path = QByteArray::fromPercentEncoding(line.mid(5));
            if (path.startsWith('/'))
                return path;
            if (top.isEmpty() || path.isEmpty())
                return {};
            return (top.endsWith('/') ? top : top + '/') + path;
        }
    }
    return {};
}

// Whether the folder was born when the record says (a folder removed and made again may reuse
// the inode number); true when either side does not know.
bool sameBirth(int folder, const RunRecord::Birth& recorded) {
#ifdef STATX_BTIME
    struct statx sx {};
    if (!recorded.known() || ::statx(folder, "", AT_EMPTY_PATH, STATX_BTIME, &sx) != 0 ||
        (sx.stx_mask & STATX_BTIME) == 0)
        return true;
    return sx.stx_btime.tv_sec == recorded.seconds && sx.stx_btime.tv_nsec == recorded.nanoseconds;
#else
    (void)folder;
    (void)recorded;
    return true;
#endif
}

// Whether an information file's path names the original: exactly, or in its resolved folder.
bool namesOriginal(const QByteArray& named, const QByteArray& original,
                   const QByteArray& resolvedFolder, const QByteArray& base) {
    return named == original || (!resolvedFolder.isEmpty() && named == resolvedFolder + '/' + base);
}

// Makes the folder again from its nearest existing ancestor, one component at a time, each opened
// without following a link.
Fd makeFolder(const QByteArray& path, QString& reason) {
    Fd at(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QByteArray walked;
    for (const QByteArray& part : path.mid(1).split('/')) {
        walked += '/' + part;
        Fd next(
            ::openat(at.get(), part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid() && errno == ENOENT) {
            if (::mkdirat(at.get(), part.constData(), 0777) != 0 && errno != EEXIST) {
                reason = QStringLiteral("its folder %1 cannot be made again: %2")
                             .arg(shown(walked), errorText(errno));
                return Fd();
            }
            next = Fd(::openat(at.get(), part.constData(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!next.valid()) {
            reason = errno == ELOOP || errno == ENOTDIR
                         ? QStringLiteral("%1 on the way to its folder is a symbolic link or not "
                                          "a folder, which is not followed")
                               .arg(shown(walked))
                         : QStringLiteral("its folder %1 cannot be opened: %2")
                               .arg(shown(walked), errorText(errno));
            return Fd();
        }
        at = std::move(next);
    }
    return at;
}

// The folders this process made again in place of removed ones: by the identity recorded of the
// folder that was removed, the identity of the one made. The other files of that folder go back
// into it too.
struct Remade {
    RunRecord::FileId recorded;
    RunRecord::Birth born;
    RunRecord::FileId made;
};

std::vector<Remade>& remadeFolders() {
    static std::vector<Remade> folders;
    return folders;
}

bool isRemadeFor(const struct stat& st, const RunRecord::Entry& entry) {
    return std::any_of(remadeFolders().begin(), remadeFolders().end(), [&](const Remade& remade) {
        return remade.recorded == entry.folder && remade.born == entry.folderBorn &&
               sameFile(st, remade.made);
    });
}

// The folder the file left, opened: the first of the recorded, the resolved and the information
// file's folder paths that is that very folder, or the folder made again in its place by an
// earlier put-back here. A folder that is gone from all of them is made again. Without a recorded
// identity (a record of the last release) only a path without any link on it is taken.
Fd openOriginalFolder(const RunRecord::Entry& entry, const QList<QByteArray>& candidates,
                      QString& reason) {
    // A folder made again follows the path the folder had when the file left it, as resolved
    // then: any link on it now was made since.
    const QByteArray remade =
        entry.realFolder.isEmpty() ? candidates.last() : QFile::encodeName(entry.realFolder);
    if (!entry.folder.known())
        return makeFolder(remade, reason);
    bool gone = true;
    for (const QByteArray& path : candidates) {
        Fd fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        const bool looked = fd.valid() && ::fstat(fd.get(), &st) == 0;
        if (looked && ((sameFile(st, entry.folder) && sameBirth(fd.get(), entry.folderBorn)) ||
                       isRemadeFor(st, entry)))
            return fd;
        if (fd.valid() || (errno != ENOENT))
            gone = false;
    }
    if (gone) {
        Fd made = makeFolder(remade, reason);
        struct stat st {};
        if (made.valid() && ::fstat(made.get(), &st) == 0)
            remadeFolders().push_back(
                {entry.folder,
                 entry.folderBorn,
                 {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)}});
        return made;
    }
    reason = QStringLiteral("its folder %1 is another folder now (or a link to one)")
                 .arg(shown(candidates.first()));
    return Fd();
}

} // namespace

PutBackResult putBack(const RunRecord::Entry& entry) {
    if (entry.damaged)
        return damagedEntry();
    PutBackResult result;
    const QByteArray trashed = QFile::encodeName(entry.trashed);
    const QByteArray original = QFile::encodeName(entry.original);
    const auto refuse = [&](const QString& why) {
        result.reason = QStringLiteral("refused: ") + why;
        return result;
    };
    if (!isPlain(original) || !isPlain(trashed))
        return refuse(QStringLiteral("the record names %1 and %2; both must be absolute paths "
                                     "without . or ..")
                          .arg(shown(original), shown(trashed)));
    OpenedTrash trash;
    QString reason;
    if (!openTrashOf(trashed, trash, reason))
        return refuse(reason);

    const QByteArray name = nameOf(trashed);
    const QByteArray base = nameOf(original);
    const QByteArray realFolder = QFile::encodeName(entry.realFolder);
    struct stat inTrash {};
    const bool present =
        ::fstatat(trash.files.get(), name.constData(), &inTrash, AT_SYMLINK_NOFOLLOW) == 0;
    const QByteArray named = infoPath(trash.info.get(), name + InfoSuffix, trash.top);
    if (!present || (entry.file.known() && !sameFile(inTrash, entry.file))) {
        // Gone from the trash: already back where it was (another put-back, another tool), or
        // emptied away.
        struct stat there {};
        const QByteArray folder = realFolder.isEmpty() ? parentOf(original) : realFolder;
        if (entry.file.known() && ::lstat((folder + '/' + base).constData(), &there) == 0 &&
            sameFile(there, entry.file)) {
            // Its information file still naming it, with nothing in files/: the run was killed
            // after recording the move and before making it. The file never left.
            if (!present && !named.isEmpty() && namesOriginal(named, original, folder, base)) {
                ::unlinkat(trash.info.get(), (name + InfoSuffix).constData(), 0);
                result.neverMoved = true;
                return result;
            }
            result.restored = true;
            return result;
        }
        result.missing = true;
        result.reason = QStringLiteral("it is no longer in the trash");
        return result;
    }
    if (named.isEmpty())
        return refuse(QStringLiteral("its trash information file is missing or names no path; it "
                                     "stays in the trash as %1")
                          .arg(entry.trashed));
    // The information file must name the recorded path exactly, or the path with the recorded
    // folder resolved (a file trashed through a linked folder is named by its real path).
    const QByteArray resolvedFolder =
        realFolder.isEmpty()
            ? QFile::encodeName(QDir(QFile::decodeName(parentOf(original))).canonicalPath())
            : realFolder;
    if (!namesOriginal(named, original, resolvedFolder, base))
        return refuse(QStringLiteral("its trash information names %1, not %2")
                          .arg(shown(named), shown(original)));
    if (!isPlain(named))
        return refuse(QStringLiteral("its trash information names %1, which is not a plain "
                                     "absolute path")
                          .arg(shown(named)));

    QList<QByteArray> candidates{parentOf(original)};
    if (!realFolder.isEmpty())
        candidates.append(realFolder);
    candidates.append(parentOf(named));
    const Fd folder = openOriginalFolder(entry, candidates, reason);
    if (!folder.valid()) {
        result.reason = reason + QStringLiteral("; it stays in the trash as %1").arg(entry.trashed);
        return result;
    }
    if (NoReplace::rename(trash.files.get(), name.constData(), folder.get(), base.constData()) !=
        0) {
        const int error = errno;
        result.reason = error == EEXIST
                            ? QStringLiteral("its place is taken; it stays in the trash as %1")
                                  .arg(entry.trashed)
                            : QStringLiteral("%1; it stays in the trash as %2")
                                  .arg(errorText(error), entry.trashed);
        return result;
    }
    result.restored = true;
    if (::unlinkat(trash.info.get(), (name + InfoSuffix).constData(), 0) != 0)
        result.reason =
            QStringLiteral("its trash information file %1 could not be removed: %2")
                .arg(QFile::decodeName(parentOf(parentOf(trashed)) + "/info/" + name + InfoSuffix),
                     errorText(errno));
    return result;
}

} // namespace Delete1
