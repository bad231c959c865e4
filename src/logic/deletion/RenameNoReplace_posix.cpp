#include "deletion/RenameNoReplace.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NoReplace {

namespace {

std::atomic<Missing> pretended{Missing::Nothing};

bool unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

int renameWithFlag(int fromAt, const char* from, int toAt, const char* to) {
    if (pretended.load() != Missing::Nothing) {
        errno = EINVAL;
        return -1;
    }
#ifdef RENAME_NOREPLACE
    return ::renameat2(fromAt, from, toAt, to, RENAME_NOREPLACE);
#else
    (void)fromAt, (void)from, (void)toAt, (void)to;
    errno = ENOSYS;
    return -1;
#endif
}

// A second name for the entry (a symbolic link gets one itself), then the old name removed.
int linkThenUnlink(int fromAt, const char* from, int toAt, const char* to) {
    if (pretended.load() == Missing::NoReplaceFlagAndLinks) {
        errno = EPERM;
        return -1;
    }
    if (::linkat(fromAt, from, toAt, to, 0) != 0)
        return -1;
    if (::unlinkat(fromAt, from, 0) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(toAt, to, 0); // the entry keeps its old name only
    errno = error;
    return -1;
}

// The target's name reserved by an exclusively made placeholder of the entry's kind, then the
// entry renamed over it.
int renameOverPlaceholder(int fromAt, const char* from, int toAt, const char* to) {
    struct stat st {};
    if (::fstatat(fromAt, from, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    const bool folder = S_ISDIR(st.st_mode);
    if (folder) {
        if (::mkdirat(toAt, to, 0700) != 0)
            return -1;
    } else {
        const int fd =
            ::openat(toAt, to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return -1;
        ::close(fd);
    }
    if (::renameat(fromAt, from, toAt, to) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(toAt, to, folder ? AT_REMOVEDIR : 0);
    errno = error;
    return -1;
}

} // namespace

int rename(int fromAt, const char* from, int toAt, const char* to) {
    if (renameWithFlag(fromAt, from, toAt, to) == 0)
        return 0;
    if (!unsupported(errno))
        return -1;
    if (linkThenUnlink(fromAt, from, toAt, to) == 0)
        return 0;
    // A folder cannot be hard-linked either (EPERM): it takes the placeholder too.
    if (errno != EPERM && errno != EOPNOTSUPP)
        return -1;
    return renameOverPlaceholder(fromAt, from, toAt, to);
}

void pretendMissing(Missing missing) {
    pretended.store(missing);
}

} // namespace NoReplace
