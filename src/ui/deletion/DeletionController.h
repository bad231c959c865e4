#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class BusyState;
class Dialogs;
class ListView;
class ProgressBar;
class QAction;
class SummaryBox;
class Trash;

// The deletion run ("3. Delete Files Now") and "Put Back Last Run…": both show their progress on
// the progress bar and hold the busy state while they work. The run takes the delete list's rows
// as they stand when it starts. The put-back entry sits in the context menus of the summary box
// and of the delete list.
class DeletionController : public QObject {
    Q_OBJECT
public:
    // appTitle is read when a message is shown: the window sets it during start-up.
    DeletionController(ListView& deleteList, SummaryBox& summary, ProgressBar& bar, Trash& trash,
                       Dialogs& dialogs, const QString& appTitle, BusyState& busy,
                       QObject* parent = nullptr);

    // Moves every listed file to the trash; a second start while a run is under way is ignored.
    void run();

    // Asks, then puts back the files the newest recorded run moved to the trash, with the
    // progress bar and the busy pointer of a run, and ends with a summary box.
    void putBackLastRun();
    // Greys the entry when there is no record, or while a run, a walk or a filter is busy.
    void updatePutBackAction();
    QAction* putBackAction() const { return m_putBackAction; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDeleteListMenu(QPoint where);

    ListView& m_deleteList;
    SummaryBox& m_summary;
    ProgressBar& m_bar;
    Trash& m_trash;
    Dialogs& m_dialogs;
    const QString& m_appTitle;
    BusyState& m_busy;
    QAction* m_putBackAction;
};
