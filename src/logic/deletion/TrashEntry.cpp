#include "deletion/TrashEntry.h"

#include "deletion/RunRecordText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unistd.h>

namespace TrashEntry {

namespace {

// A dot and up to this many bytes after it count as an extension that shortened and numbered
// names keep at their end.
constexpr qsizetype LongestExtension = 16;

// How many bytes of a name to keep so that it has at most `size` bytes, without splitting a UTF-8
// sequence.
qsizetype cutSize(QByteArrayView name, qsizetype size) {
    if (name.size() <= size)
        return name.size();
    qsizetype end = size;
    while (end > 0 && (static_cast<unsigned char>(name.at(end)) & 0xC0U) == 0x80U)
        --end;
    return end;
}

} // namespace

// time() reads the kernel's coarse clock, which can lag the real one by a tick and so name the
// second before the move; the real-time clock does not. The text is made once per second.
QByteArray deletionDate() {
    static thread_local std::time_t madeFor = -1;
    static thread_local QByteArray made;
    timespec precise{};
    if (::clock_gettime(CLOCK_REALTIME, &precise) != 0)
        return {};
    const std::time_t now = precise.tv_sec;
    if (now == madeFor)
        return made;
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return {};
    made = text;
    madeFor = now;
    return made;
}

QByteArray trashName(const QByteArray& name, const QByteArray& tag, qsizetype nameMax) {
    if (tag.isEmpty() && name.size() <= nameMax - InfoSuffix.size())
        return name; // fits as it is
    qsizetype stemSize = name.size();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0 && name.size() - dot <= LongestExtension)
        stemSize = dot;
    const QByteArrayView stem(name.constData(), stemSize);
    const QByteArrayView extension(name.constData() + stemSize, name.size() - stemSize);
    const qsizetype room = nameMax - InfoSuffix.size() - tag.size() - extension.size();
    const qsizetype kept = cutSize(stem, std::max<qsizetype>(room, 1));
    // Made in one piece: a run of many files of one name makes one per file.
    QByteArray made;
    made.reserve(kept + tag.size() + extension.size());
    made.append(stem.first(kept)).append(tag).append(extension);
    return made;
}

void infoText(const QByteArray& recordedPath, QByteArray& text) {
    static constexpr std::string_view Head = "[Trash Info]\nPath=";
    static constexpr std::string_view Date = "\nDeletionDate=";
    const QByteArray date = deletionDate();
    // Written in place, as each file of a run has one.
    text.resize(0);
    text.append(Head.data(), static_cast<qsizetype>(Head.size()));
    RunRecord::Text::appendEncoded(text, recordedPath);
    const qsizetype at = text.size();
    text.resize(at + static_cast<qsizetype>(Date.size()) + date.size() + 1);
    char* to = text.data() + at;
    std::memcpy(to, Date.data(), Date.size());
    to += Date.size();
    std::memcpy(to, date.constData(), static_cast<std::size_t>(date.size()));
    to[date.size()] = '\n';
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

} // namespace TrashEntry
