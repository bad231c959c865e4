#include "sources/ListFile.h"

#include <QFileInfo>

namespace AddFolder {

bool IsBadFileName(const QString& path) noexcept {
    try {
        if (path.isEmpty() || path.contains(QChar(0)))
            return true;
        const QFileInfo info(path);
        // A link counts by its own attributes, even when what it leads to is gone.
        return !info.isSymLink() && !info.exists();
    } catch (...) {
        return true;
    }
}

} // namespace AddFolder

namespace Main {

QList<ChosenFile> splitChosenFiles(const QStringList& paths, QChar separator) {
    QList<ChosenFile> chosen;
    chosen.reserve(paths.size());
    for (const QString& path : paths) {
        const qsizetype k = path.lastIndexOf(separator);
        if (k < 0) {
            chosen.append({QString(), path});
            continue;
        }
        QString folder = path.left(k);
        const bool isRoot =
            folder.isEmpty() || (folder.size() == 2 && folder[1] == QLatin1Char(':'));
        if (isRoot)
            folder = path.left(k + 1);
        chosen.append({folder, path.mid(k + 1)});
    }
    return chosen;
}

} // namespace Main
