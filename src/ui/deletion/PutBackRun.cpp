// "Put Back Last Run…" and "Put Back a Run…": a recorded run's files go back from the trash, with
// the progress bar and the busy pointer of a deletion run.
#include "deletion/DeletionController.h"

#include "BusyState.h"
#include "Controls.h"
#include "MenuEntry.h"
#include "SummaryBox.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "deletion/PutBack.h"
#include "deletion/RunChoice.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "deletion/RunsDialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>

namespace {

constexpr qint64 YieldIntervalMs = 16;

} // namespace

DeletionController::DeletionController(ListView& deleteList, SummaryBox& summary, ProgressBar& bar,
                                       Trash& trash, Dialogs& dialogs, const QString& appTitle,
                                       BusyState& busy, QObject* parent)
    : QObject(parent), m_deleteList(deleteList), m_summary(summary), m_bar(bar), m_trash(trash),
      m_dialogs(dialogs), m_appTitle(appTitle), m_busy(busy),
      m_putBackAction(new QAction(QStringLiteral("Put Back Last Run…"), this)),
      m_putBackRunAction(new QAction(QStringLiteral("Put Back a Run…"), this)) {
    // The window's undo: active wherever no text field has an undo of its own to offer.
    m_putBackAction->setShortcut(QKeySequence::Undo);
    // Chosen while a rebuild lets the window paint, they wait until it has finished, as every
    // handler does.
    connect(m_putBackAction, &QAction::triggered, this, [this] {
        m_busy.runOrHold([this] { Main::untrapped([this] { putBackLastRun(); }); });
    });
    connect(m_putBackRunAction, &QAction::triggered, this, [this] {
        m_busy.runOrHold([this] { Main::untrapped([this] { showRunsDialog(); }); });
    });
    m_summary.addAction(m_putBackAction);
    m_summary.addAction(m_putBackRunAction);
    connect(&m_summary, &SummaryBox::contextMenuOpening, this, [this] { updatePutBackAction(); });
    m_deleteList.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_deleteList, &QWidget::customContextMenuRequested, this, [this](QPoint point) {
        showDeleteListMenu(m_deleteList.viewport()->mapToGlobal(point));
    });
    // The menu key opens the menu over the summary box, where the list is seen: the list itself
    // lies below the window's client area.
    m_deleteList.installEventFilter(this);
}

bool DeletionController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_deleteList && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        showDeleteListMenu(m_summary.viewport()->mapToGlobal(QPoint(0, 0)));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void DeletionController::showDeleteListMenu(QPoint where) {
    updatePutBackAction();
    QMenu menu(&m_deleteList);
    menu.setToolTipsVisible(true);
    addEntryFor(menu, m_putBackAction);
    addEntryFor(menu, m_putBackRunAction);
    menu.exec(where);
}

void DeletionController::updatePutBackAction() {
    QString whyNotLast;
    QString whyNotAny;
    QString lastTip;
    if (m_busy.isRunning() || m_busy.isBusy()) {
        whyNotLast = whyNotAny =
            QStringLiteral("Files are being moved or the window is busy; wait until it has "
                           "finished.");
    } else if (const std::optional<RunChoice> last =
                   RunChoices::last(whyNotLast, RunChoices::Look::UntilOneCanGo)) {
        whyNotLast = last->whyNotLast();
        lastTip = QStringLiteral("Puts back the last run, %1.").arg(last->title);
    } else {
        whyNotAny = whyNotLast;
    }
    const auto show = [](QAction* action, const QString& whyNot, const QString& tip) {
        action->setEnabled(whyNot.isEmpty());
        action->setToolTip(whyNot.isEmpty() ? tip : whyNot);
        action->setStatusTip(action->toolTip());
    };
    show(m_putBackAction, whyNotLast, lastTip);
    show(m_putBackRunAction, whyNotAny,
         QStringLiteral("Lists the recorded runs; any of them can be put back."));
}

void DeletionController::putBackLastRun() {
    updatePutBackAction();
    if (!m_putBackAction->isEnabled()) {
        // Chosen from a menu that was open while things changed: the reason, not a question.
        if (!m_busy.isRunning() && !m_busy.isBusy())
            m_dialogs.message(m_putBackAction->toolTip(), m_appTitle, MessageIcon::None);
        return;
    }
    QString why;
    if (const std::optional<RunChoice> last =
            RunChoices::last(why, RunChoices::Look::UntilOneCanGo))
        askAndPutBack(last->id, true);
}

void DeletionController::showRunsDialog() {
    updatePutBackAction();
    if (!m_putBackRunAction->isEnabled())
        return;
    if (m_runsDialog == nullptr) {
        m_runsDialog = new RunsDialog(
            [this](const QString& id) {
                Main::untrapped([this, &id] { askAndPutBack(id, false); });
            },
            m_summary.window());
        m_runsDialog->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_runsDialog->refresh();
    }
    m_runsDialog->open();
}

void DeletionController::askAndPutBack(const QString& id, bool isLast) {
    if (m_busy.isRunning() || m_busy.isBusy())
        return;
    // Looked at again just before asking: it may have changed since it was listed.
    const RunChoice run = RunChoices::look(id);
    if (!run.canPutBack()) {
        m_dialogs.message(isLast ? run.whyNotLast()
                                 : run.sentenceTitle() + QStringLiteral(" cannot be put back. ") +
                                       run.whyNot(),
                          m_appTitle, MessageIcon::None);
        return;
    }
    if (m_dialogs.question(RunChoices::question(run, isLast), m_appTitle))
        putBack(id);
}

void DeletionController::putBack(const QString& id) {
    // Read again under the lock, held to the end: another put-back of it finishes first.
    QString reason;
    std::optional<RunRecord::Run> run = RunRecord::load(id, &reason, RunRecord::Access::PutBack);
    if (!run) {
        m_dialogs.message(RunChoices::sentence(reason), m_appTitle, MessageIcon::None);
        return;
    }
    const auto n = static_cast<qsizetype>(run->entries.size());
    const QString title = Delete1::runTitle(*run);
    // Busy like a run: the run button, the entry and other long work wait until it is done.
    const BusyState::RunScope running(m_busy);

    Delete1::PutBackTally tally;
    QElapsedTimer sinceYield;
    qsizetype i = 0;
    for (; i < n; ++i) {
        const RunRecord::Entry& entry = run->entries[static_cast<std::size_t>(i)];
        m_bar.setValueF(static_cast<double>(i + 1) / static_cast<double>(n) * 100.0);
        m_bar.setBarText(QStringLiteral("Putting back: ") + Main::FileNameOf(entry.original));
        if (i == 0 || sinceYield.elapsed() >= YieldIntervalMs) {
            QCoreApplication::processEvents();
            sinceYield.start();
        }
        if (m_busy.isUnloaded())
            break; // the window was closed: what is left stays recorded
        if (!m_busy.isBusy())
            m_busy.setPointer(BusyState::PointerBusy);
        tally.count(entry, Delete1::putBack(entry, run->time));
    }
    // What went back, or is gone from the trash, leaves the record.
    tally.kept.insert(tally.kept.end(), run->entries.begin() + static_cast<std::ptrdiff_t>(i),
                      run->entries.end());
    run->entries = std::move(tally.kept);
    const QString error = RunRecord::update(*run);
    if (m_busy.isUnloaded())
        return;
    m_busy.setPointer(BusyState::PointerDefault);
    m_bar.setValueF(0);
    m_bar.setBarText(QStringLiteral("Progress Bar"));
    QString text = Delete1::putBackMessage(title, tally);
    if (!error.isEmpty())
        text += QStringLiteral("\n\nThe run's record could not be updated: ") + error;
    m_dialogs.message(text, m_appTitle, MessageIcon::None);
}
