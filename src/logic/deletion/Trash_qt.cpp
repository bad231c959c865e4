// The trash on Windows and macOS: the platform's own, through Qt.
#include "deletion/Trash.h"

#include <QFile>
#include <QFileInfo>

struct DesktopTrash::State {};

DesktopTrash::DesktopTrash() = default;
DesktopTrash::~DesktopTrash() = default;

// The platform's trash keeps its own records.
void DesktopTrash::flush() {}

std::vector<std::pair<QString, QString>> DesktopTrash::takeMovedFolders() {
    return {};
}

TrashResult DesktopTrash::moveToTrash(const QString& path) {
    TrashResult result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        result.gone = true;
        return result;
    }
    if (info.isDir() && !info.isSymLink()) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }
    QFile file(path);
    if (file.moveToTrash()) {
        result.moved = true;
        result.trashedPath = file.fileName(); // QFile reports the new location after the move
        return result;
    }
    result.reason = file.errorString();
    return result;
}
