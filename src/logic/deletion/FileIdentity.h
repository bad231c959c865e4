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

// Opens `other` read-write on the very file `file` has open, as a second file object that sees
// the file's current size (a mapping made through it may reach past the size `file` first saw).
bool openAgain(QFile& file, QFile& other);

} // namespace RunRecord
