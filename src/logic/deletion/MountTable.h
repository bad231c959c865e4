#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// The mount table of this process (/proc/self/mountinfo on Linux): which mount holds a path, and
// where a mount with a given id is mounted. A volume's top for the trash is the mount point, so a
// bind mount's top is its bind point and an overlay's its mount point.
namespace MountTable {

// One line of the mount table: the mount's id and where it is mounted.
struct Mount {
    std::uint64_t id = 0;
    QByteArray point;
};

// True when path lies in folder or is folder (both absolute, without a trailing "/").
bool isUnder(const QByteArray& path, const QByteArray& folder);

// A field of the mount table with its octal escapes ("\040" for a blank) decoded.
QByteArray decodeField(const QByteArray& field);

// The mounts named by the text of a mountinfo file, in its order; lines that are not mounts are
// left out.
std::vector<Mount> parse(const QByteArray& text);

// The longest mount point that holds the path (absolute, resolved); of two mounts at one point
// the later one, which covers the earlier. Null when none does.
const Mount* holding(const std::vector<Mount>& mounts, const QByteArray& path);

// The mount with that id, or null.
const Mount* byId(const std::vector<Mount>& mounts, std::uint64_t id);

// Reads this process's mount table; false with errno set when it cannot be read or holds no mount.
bool read(std::vector<Mount>& mounts);

// Where the table is read from, for messages.
const char* path();

} // namespace MountTable
