#include "deletion/TrashFolders.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace TrashFolders {

namespace {

constexpr mode_t PrivateFolderMode = 0700;
constexpr mode_t WritableByOthers = S_IWGRP | S_IWOTH;

} // namespace

void Fd::reset(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString shown(const QByteArray& path) {
    // Names are UTF-8 on POSIX; one of ASCII only reads the same as Latin-1, which Qt converts
    // several times faster (a run shows where each file went).
    const bool ascii = std::all_of(path.cbegin(), path.cend(), [](char c) {
        return (static_cast<unsigned char>(c) & 0x80U) == 0;
    });
    return ascii ? QString::fromLatin1(path) : QFile::decodeName(path);
}

QByteArray withSlash(const QByteArray& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

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

MadeFolders::~MadeFolders() {
    if (!m_kept)
        undo();
}

void MadeFolders::undo(std::size_t keep) {
    while (m_paths.size() > keep) {
        ::rmdir(m_paths.back().constData());
        m_paths.pop_back();
    }
}

Fd openFolder(int at, const char* name, const QByteArray& path, bool privateToUser,
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

namespace {

bool openFilesAndInfo(OpenTrash& trash, bool privateToUser, MadeFolders& made, QString& reason) {
    trash.files =
        openFolder(trash.folder.get(), "files", trash.path + "/files", privateToUser, made, reason);
    if (trash.files.valid())
        trash.info = openFolder(trash.folder.get(), "info", trash.path + "/info", privateToUser,
                                made, reason);
    if (!trash.info.valid())
        return false;
    const long limit = ::fpathconf(trash.info.get(), _PC_NAME_MAX);
    trash.nameMax = limit > 0 ? limit : NAME_MAX;
    trash.checkedByPath = true;
    return true;
}

} // namespace

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
            trash->folder =
                openFolder(shared.get(), uid.constData(), trash->path, true, made, sharedReason);
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
    trash->folder = openFolder(topFd.get(), ownName.constData(), trash->path, true, made, reason);
    if (!trash->folder.valid() || !openFilesAndInfo(*trash, true, made, reason))
        return {};
    return trash;
}

// Within a run a folder that goes is noticed by the calls that use it, which then find the trash
// again.
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
    if (!atItsPath(trash))
        return false;
    trash.checkedByPath = true;
    return true;
}

namespace {

bool sameAs(int at, const char* name, int opened) {
    struct stat there {};
    struct stat kept {};
    return ::fstatat(at, name, &there, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(opened, &kept) == 0 &&
           S_ISDIR(there.st_mode) && there.st_dev == kept.st_dev && there.st_ino == kept.st_ino;
}

} // namespace

bool atItsPath(const OpenTrash& trash) {
    // The home trash may be a link to a folder of the user's; a top trash's folders never are.
    Fd folder;
    if (trash.top.isEmpty()) {
        folder.reset(::open(trash.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    } else {
        const Fd top(::open(trash.top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const QByteArray inTop = trash.path.mid(withSlash(trash.top).size());
        const qsizetype slash = inTop.indexOf('/'); // .Trash/$uid
        Fd shared;
        if (slash > 0 && top.valid())
            shared.reset(::openat(top.get(), inTop.left(slash).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const int at = slash > 0 ? shared.get() : top.get();
        const QByteArray name = slash > 0 ? inTop.mid(slash + 1) : inTop;
        if (at < 0 || !sameAs(at, name.constData(), trash.folder.get()))
            return false;
        folder.reset(
            ::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return folder.valid() && sameAs(folder.get(), "files", trash.files.get()) &&
           sameAs(folder.get(), "info", trash.info.get());
}

QByteArray currentPath(const OpenTrash& trash) {
    char target[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(trash.folder.get());
    const ssize_t size = ::readlink(link.constData(), target, sizeof target);
    if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target || target[0] != '/')
        return {};
    return QByteArray(target, static_cast<qsizetype>(size));
}

} // namespace TrashFolders
