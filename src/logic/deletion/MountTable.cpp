#include "deletion/MountTable.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace MountTable {

namespace {

const char* const TablePath = "/proc/self/mountinfo";

bool isOctal(const QByteArray& text, qsizetype at) {
    return at < text.size() && text.at(at) >= '0' && text.at(at) <= '7';
}

} // namespace

bool isUnder(const QByteArray& path, const QByteArray& folder) {
    return folder == "/" || path == folder || path.startsWith(folder + '/');
}

QByteArray decodeField(const QByteArray& field) {
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && isOctal(field, i + 1) && isOctal(field, i + 2) &&
            isOctal(field, i + 3)) {
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

std::vector<Mount> parse(const QByteArray& text) {
    std::vector<Mount> mounts;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        bool ok = false;
        const std::uint64_t id = fields.at(0).toULongLong(&ok);
        if (ok)
            mounts.push_back({id, decodeField(fields.at(4))});
    }
    return mounts;
}

const Mount* holding(const std::vector<Mount>& mounts, const QByteArray& path) {
    const Mount* best = nullptr;
    for (const Mount& mount : mounts)
        if (isUnder(path, mount.point) &&
            (best == nullptr || mount.point.size() >= best->point.size()))
            best = &mount;
    return best;
}

const Mount* byId(const std::vector<Mount>& mounts, std::uint64_t id) {
    for (const Mount& mount : mounts)
        if (mount.id == id)
            return &mount;
    return nullptr;
}

bool read(std::vector<Mount>& mounts) {
    mounts.clear();
    const int fd = ::open(TablePath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray text;
    char buffer[16384];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        text.append(buffer, got);
    }
    ::close(fd);
    if (error != 0) {
        errno = error;
        return false;
    }
    mounts = parse(text);
    if (mounts.empty()) {
        errno = ENODATA;
        return false;
    }
    return true;
}

const char* path() {
    return TablePath;
}

} // namespace MountTable
