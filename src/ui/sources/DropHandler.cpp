// Dropping files and folders onto the source list.
#include "Form1.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "sources/Drop.h"
#include "sources/FolderTree.h"

#include <QMetaObject>

void Form1::ListView1_OLEDragOver(const QMimeData* data, Qt::DropActions possible,
                                  Qt::DropAction& effect) {
    effect = AddFolder::dragEffect(data, effect, possible);
}

void Form1::ListView1_OLEDragDrop(const QMimeData* data) {
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

void Form1::addDroppedItems(const QStringList& paths, const QStringList& others) {
    // Neither the pointer nor the delete list changes: the next rebuild takes the new rows.
    AddFolder::DiskFolderTree tree;
    const AddFolder::WalkYield yield =
        AddFolder::messageLoopTurns([this] { return !isUnloaded(); });
    QStringList notFolders;
    for (const QString& path : paths) {
        if (isUnloaded())
            return;
        if (!Main::IsFolder(path)) {
            notFolders.append(path);
            continue;
        }
        const QStringList rows = AddFolder::droppedFolderRows(path, m_dialogs, tree, yield);
        if (isUnloaded())
            return;
        addSourceFolders(rows);
    }
    notFolders += others;
    if (!notFolders.isEmpty())
        m_dialogs.message(AddFolder::notFoldersMessage(notFolders), m_appTitle, MessageIcon::None);
}
