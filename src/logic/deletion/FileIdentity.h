#pragma once

#include "deletion/RunRecord.h"

#include <QFile>
#include <QString>

// What the run records need to know of files and folders beyond Qt: identity and ownership.
namespace RunRecord {

// The device and inode of the path (of a link itself unless `follow`); unknown when it cannot be
// looked at or the platform has none.
FileId identityOf(const QString& path, bool follow);

// Why the path is not wholly the user's (another user's, or writable by others, which a folder
// with the sticky bit may be when `stickyAllowed`), empty when it is.
QString ownershipFault(const QString& path, bool stickyAllowed = false);

// Takes group and others' access away from a folder of the user's own.
void closeToOthers(const QString& folder);

// Makes the open file at least `size` bytes long with its blocks given by the file system (zero
// bytes past its end), so writes below that size cannot fail for want of space. The reason when
// the room cannot be had, empty when it was.
QString reserveRoom(QFile& file, qint64 size);

} // namespace RunRecord
