#include "sources/Drop.h"

#include "Paths.h"
#include "common/ErrorReport.h"
#include "deletelist/Listing.h"
#include "sources/FolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <optional>

namespace AddFolder {

namespace {

constexpr qsizetype NamedItems = 20;

QString terminated(const QString& path) {
    QString row = Main::NormalizeFolderPath(path);
    if (!row.endsWith(Main::nativeSeparator()))
        row += Main::nativeSeparator();
    return row;
}

// A link to a folder, or on Windows a junction: Qt names neither a link there, while the folder's
// attributes carry the alias (reparse point) bit.
bool isFolderLink(const QString& path, FolderTree& tree) {
    if (QFileInfo(path).isSymLink())
        return true;
    try {
        const std::optional<int> value = tree.attributes(path);
        return value && (*value & Attribute::Alias) != 0;
    } catch (const FolderFailure&) {
        return false;
    }
}

bool holdsOrdinaryFile(const QString& folder) {
    QStringList files;
    try {
        Delete1::appendOrdinaryFiles(folder, files);
    } catch (const Failure&) { // NOLINT(bugprone-empty-catch)
        // A folder that cannot be listed to the end counts by what was found in it.
    }
    return !files.isEmpty();
}

} // namespace

bool offersLocalFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() &&
           std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

Qt::DropAction dragEffect(const QMimeData* data, Qt::DropAction proposed,
                          Qt::DropActions possible) {
    if (!offersLocalFiles(data))
        return Qt::IgnoreAction;
    if (proposed == Qt::CopyAction || proposed == Qt::LinkAction)
        return proposed;
    if (possible.testFlag(Qt::CopyAction))
        return Qt::CopyAction;
    if (possible.testFlag(Qt::LinkAction))
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

DroppedItems droppedItems(const QMimeData* data) {
    DroppedItems items;
    if (data == nullptr || !data->hasUrls())
        return items;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            items.paths.append(QDir::toNativeSeparators(url.toLocalFile()));
        else
            items.others.append(url.toDisplayString());
    }
    return items;
}

QStringList droppedFolderRows(const QString& folder, Dialogs& dialogs, FolderTree& tree,
                              const WalkYield& yield) {
    const QString own = terminated(folder);
    QStringList rows{own};
    // As the walk treats links: the link is a folder row, what it leads to is not searched. A
    // trailing separator would make the test look through the link.
    QString itself = folder;
    while (itself.size() > 1 && itself.endsWith(Main::nativeSeparator()))
        itself.chop(1);
    if (isFolderLink(itself, tree))
        return rows;
    QStringList folders{own};
    GetSubDirectories2016(folders, true, dialogs, tree, yield);
    for (const QString& below : folders) {
        if (!yield())
            break;
        if (below != own && holdsOrdinaryFile(below))
            rows.append(below);
    }
    return rows;
}

QString notFoldersMessage(const QStringList& items) {
    QString text = items.size() == 1
                       ? QStringLiteral("This item is not a folder and was not added:")
                       : QStringLiteral("These %1 items are not folders and were not added:")
                             .arg(items.size());
    for (qsizetype i = 0; i < items.size() && i < NamedItems; ++i)
        text += QLatin1Char('\n') + items.at(i);
    if (items.size() > NamedItems)
        text += QStringLiteral("\n... and %1 more.").arg(items.size() - NamedItems);
    return text;
}

} // namespace AddFolder
