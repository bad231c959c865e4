#pragma once

#include "sources/SubDirectories.h"

#include <QString>
#include <QStringList>
#include <Qt>

class Dialogs;
class QMimeData;

namespace AddFolder {

class FolderTree;

// What a drop onto the source list carries: the local paths in the order delivered, and anything
// else (addresses that are not local files) as its display text.
struct DroppedItems {
    QStringList paths;
    QStringList others;
};

// True when the dragged data is a non-empty list of local files and folders.
bool offersLocalFiles(const QMimeData* data);

// The effect a drag over the source list gets: none unless it offers local files; otherwise the
// proposed effect when it is copy or link, else copy or link when the source allows it, else none.
// A move is never reported: the source would take it as leave to delete what was dragged.
Qt::DropAction dragEffect(const QMimeData* data, Qt::DropAction proposed, Qt::DropActions possible);

DroppedItems droppedItems(const QMimeData* data);

// The source rows a dropped folder gives: its own terminated path first, then, in the walk's level
// order, every folder below it that holds at least one ordinary file. A link to a folder gives its
// own row only and is not walked into. yield is called between folders; when it answers false the
// folders below are left out.
QStringList droppedFolderRows(const QString& folder, Dialogs& dialogs, FolderTree& tree,
                              const WalkYield& yield);

// The one message after a drop that held items that are not folders: at most 20 are named, then
// how many more there were.
QString notFoldersMessage(const QStringList& items);

} // namespace AddFolder
