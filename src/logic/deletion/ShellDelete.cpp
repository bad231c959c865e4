#include "deletion/ShellDelete.h"

#include "common/PathRules.h"
#include "deletion/Trash.h"

#include <QFile>
#include <filesystem>

namespace Delete1 {

namespace {

ShellDeleteResult takeOver(ShellDeleteResult& result, const TrashResult& moved) {
    result.moved = moved.moved;
    result.reason = moved.reason;
    result.isFolder = moved.isFolder;
    result.gone = moved.gone;
    result.trashedPath = moved.trashedPath;
    result.destroyed = moved.destroyed;
    return result;
}

} // namespace

ShellDeleteResult ShellDelete(QString path, bool recycle, Trash& trash) {
    if (path.endsWith(Main::nativeSeparator()))
        path.chop(1);
    ShellDeleteResult result;
    if (path.isEmpty())
        return result;
    // A trash that looks at the path itself answers for what is there: its look is the only one
    // before the move. (Hidden is a name starting with "." on Unix, so no look is needed to tell;
    // a hidden entry takes the look below, which counts it as gone when it is.)
    if (recycle && trash.looksBeforeMoving() && !isHiddenOrSystem(path)) {
        const TrashResult moved = trash.moveToTrash(path);
        result.found = moved.moved || (!moved.gone && !moved.isFolder);
        return takeOver(result, moved);
    }
    // One look at the entry itself, not at what a link leads to.
    const std::filesystem::path native = nativePath(path);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(native, error);
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory) {
        // Not "already gone": something is there that cannot be looked at. It stays, and the
        // run says so.
        result.reason = QString::fromLocal8Bit(error.message());
        return result;
    }
    if (!std::filesystem::exists(status)) {
        result.gone = true;
        return result;
    }
    if (isHiddenOrSystem(path))
        return result;
    if (std::filesystem::is_directory(status)) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }
    result.found = true;
    if (!recycle) {
        result.reason = QStringLiteral("permanent deletion is never done; it stays in place");
        return result;
    }
    return takeOver(result, trash.moveToTrash(path));
}

} // namespace Delete1
