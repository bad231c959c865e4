// Dropping files and folders onto the source list.
#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "sources/Drop.h"
#include "sources/FolderTree.h"
#include "sources/SourcesController.h"

#include <QMetaObject>

void SourcesController::dragOver(const QMimeData* data, Qt::DropActions possible,
                                 Qt::DropAction& effect) {
    effect = AddFolder::dragEffect(data, effect, possible);
}

void SourcesController::drop(const QMimeData* data) {
    // The paths are taken now, while the data exists; the folders are walked right after the drop
    // has been answered, so the program the items came from is not held while big trees are read.
    // A drop that arrives while a rebuild lets the window paint is walked after the rebuild.
    AddFolder::DroppedItems items = AddFolder::droppedItems(data);
    QMetaObject::invokeMethod(
        this,
        [this, items = std::move(items)] {
            m_busy.runOrHold([this, items] {
                Main::untrapped([&] { addDroppedItems(items.paths, items.others); });
            });
        },
        Qt::QueuedConnection);
}

void SourcesController::addDroppedItems(const QStringList& paths, const QStringList& others) {
    // Neither the pointer nor the delete list changes: the next rebuild takes the new rows.
    AddFolder::DiskFolderTree tree;
    const AddFolder::WalkYield yield =
        AddFolder::messageLoopTurns([this] { return !m_busy.isUnloaded(); });
    QStringList notFolders;
    for (const QString& path : paths) {
        if (m_busy.isUnloaded())
            return;
        if (!Main::IsFolder(path)) {
            notFolders.append(path);
            continue;
        }
        const QStringList rows = AddFolder::droppedFolderRows(path, m_dialogs, tree, yield);
        if (m_busy.isUnloaded())
            return;
        addSourceFolders(rows);
    }
    notFolders += others;
    if (!notFolders.isEmpty())
        m_dialogs.message(AddFolder::notFoldersMessage(notFolders), m_appTitle, MessageIcon::None);
}
