#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>

class BusyState;
class Dialogs;
class ListView;
class QMimeData;

namespace Delete1 {
struct FolderListing;
} // namespace Delete1

// The source folder list (ListView1) and the buttons that fill it: one folder, a folder with all
// its subfolders, folder list files, drops, removing and reordering rows. It knows nothing of the
// delete list: it signals sourcesChanged() where the list is to be drawn afresh.
class SourcesController : public QObject {
    Q_OBJECT
public:
    // appTitle is read when a message is shown: the window sets it during start-up.
    SourcesController(ListView& list, Dialogs& dialogs, const QString& appTitle, BusyState& busy,
                      QObject* parent = nullptr);

    // Where the subfolder walk hands the listings it read anyway, so the next rebuild need not
    // read those folders again.
    void keepListingsWith(std::function<void(Delete1::FolderListing&&)> keep);

    void addSourceFolder(const QString& text);
    // Adds each text as a row after the last, in one step.
    void addSourceFolders(const QStringList& texts);

    // "1. Add Folder": one chosen folder.
    void addFolder();
    // The folders the program was started with, each added as "1. Add Folder" adds a chosen
    // folder (relative to the working folder); what is not a folder is named in one message. The
    // delete list is then drawn afresh.
    void addStartFolders(const QStringList& paths);
    // "1. Add All Subfolders In Folder": the chosen folder and every folder below it.
    void addSubfolders();
    // "1. Load List Of Folders From File": every line of the chosen list files.
    void loadListFiles();
    // Clearing the list, and removing one row by a double-click.
    void clear();
    void removeSelectedRow();

    // Dragging a row to reorder the list.
    void mouseDown();
    void itemClick();
    void mouseMove(QPoint point);
    void mouseUp();
    // The row dragged last, 0 when none.
    int draggedRow() const;
    bool isDragging() const { return m_dragging; }

    // Dropping onto the list: only local files and folders are taken; each dropped folder adds
    // its own row and the folders below it that hold files.
    void dragOver(const QMimeData* data, Qt::DropActions possible, Qt::DropAction& effect);
    void drop(const QMimeData* data);
    void addDroppedItems(const QStringList& paths, const QStringList& others);

signals:
    // The rows changed in a way that asks for a fresh delete list.
    void sourcesChanged();

private:
    void autoScrollDuringDrag(int rowUnderPointer, QPoint point);

    ListView& m_list;
    Dialogs& m_dialogs;
    const QString& m_appTitle;
    BusyState& m_busy;
    std::function<void(Delete1::FolderListing&&)> m_keepListing;
    bool m_dragging = false;
    QPersistentModelIndex m_draggedRow;
};
