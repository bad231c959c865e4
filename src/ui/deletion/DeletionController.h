#pragma once

#include "deletion/RunsDialog.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class BusyState;
class Dialogs;
class ListView;
class ProgressBar;
class QAction;
class SummaryBox;
class Trash;

// The deletion run ("3. Start Deleting Files") and putting runs back: both show their progress on
// the progress bar and hold the busy state while they work. The run takes the delete list's rows as
// they stand when it starts. "Put Back Last Run…" (Ctrl+Z) and "Put Back a Run…" sit in the
// context menus of the summary box and of the delete list; an entry that cannot act is greyed,
// with the reason as its tooltip and status tip.
class DeletionController : public QObject {
    Q_OBJECT
public:
    // appTitle is read when a message is shown: the window sets it during start-up.
    DeletionController(ListView& deleteList, SummaryBox& summary, ProgressBar& bar, Trash& trash,
                       Dialogs& dialogs, const QString& appTitle, BusyState& busy,
                       QObject* parent = nullptr);

    // Moves every listed file to the trash; a second start while a run is under way is ignored.
    void run();

    // Asks, naming the run, then puts back the files the newest recorded run moved to the
    // trash, with the progress bar and the busy pointer of a run, and ends with a summary box.
    void putBackLastRun();
    // Opens the list of recorded runs, from which any one can be put back.
    void showRunsDialog();
    // Greys each entry, with its reason, while a run, a walk or a filter is busy or when there is
    // no record; "Put Back Last Run…" also while the last run is still moving files, when none of
    // its files is left in the trash, or when other files stand in all their places.
    void updatePutBackAction();
    QAction* putBackAction() const { return m_putBackAction; }
    QAction* putBackRunAction() const { return m_putBackRunAction; }
    // The list of runs while it is open.
    RunsDialog* runsDialog() const { return m_runsDialog; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDeleteListMenu(QPoint where);
    // Asks whether to put the run back, after looking at it again; a run that can no longer go
    // back is named with the reason instead.
    void askAndPutBack(const QString& id, bool isLast);
    void putBack(const QString& id);

    ListView& m_deleteList;
    SummaryBox& m_summary;
    ProgressBar& m_bar;
    Trash& m_trash;
    Dialogs& m_dialogs;
    const QString& m_appTitle;
    BusyState& m_busy;
    QAction* m_putBackAction;
    QAction* m_putBackRunAction;
    QPointer<RunsDialog> m_runsDialog;
};
