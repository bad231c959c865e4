// Putting a file back on Windows. A file the Recycle Bin took is recorded without the place it
// went to, so it is left to the Recycle Bin's own Restore; a file with a recorded place is renamed
// to its original path when nothing is there, its folder made again when missing.
#include "deletion/PutBack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Delete1 {

PutBackResult putBack(const RunRecord::Entry& entry) {
    if (entry.damaged)
        return damagedEntry();
    PutBackResult result;
    // The Recycle Bin does not say where it put a file: only its own Restore finds it again.
    if (entry.trashed.isEmpty()) {
        result.reason = QStringLiteral("the Recycle Bin does not say where it keeps it; restore "
                                       "it with the Recycle Bin's Restore");
        return result;
    }
    if (!QDir::isAbsolutePath(entry.original) || !QDir::isAbsolutePath(entry.trashed) ||
        QDir::cleanPath(entry.original) != QDir::fromNativeSeparators(entry.original)) {
        result.reason = QStringLiteral("refused: the record names %1 and %2; both must be "
                                       "absolute paths without . or ..")
                            .arg(entry.original, entry.trashed);
        return result;
    }
    if (!QFileInfo::exists(entry.trashed)) {
        result.missing = true;
        result.reason = QStringLiteral("it is no longer in the trash");
        return result;
    }
    QDir().mkpath(QFileInfo(entry.original).absolutePath());
    if (QFileInfo::exists(entry.original) || !QFile::rename(entry.trashed, entry.original)) {
        result.reason =
            QStringLiteral("its place is taken; it stays in the trash as %1").arg(entry.trashed);
        return result;
    }
    result.restored = true;
    return result;
}

} // namespace Delete1
