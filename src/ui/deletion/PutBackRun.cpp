// "Put Back Last Run…": the newest recorded run's files go back from the trash, with the progress
// bar and the busy pointer of a deletion run.
#include "deletion/DeletionController.h"

#include "BusyState.h"
#include "Controls.h"
#include "MenuEntry.h"
#include "SummaryBox.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"

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
      m_putBackAction(new QAction(QStringLiteral("Put Back Last Run…"), this)) {
    connect(m_putBackAction, &QAction::triggered, this,
            [this] { Main::untrapped([this] { putBackLastRun(); }); });
    m_summary.addAction(m_putBackAction);
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
    addEntryFor(menu, m_putBackAction);
    menu.exec(where);
}

void DeletionController::updatePutBackAction() {
    m_putBackAction->setEnabled(!m_busy.isRunning() && !m_busy.isBusy() &&
                                !RunRecord::ids().isEmpty());
}

void DeletionController::putBackLastRun() {
    updatePutBackAction();
    if (!m_putBackAction->isEnabled())
        return;
    std::optional<RunRecord::Run> run = RunRecord::load(QString());
    if (!run)
        return;
    const auto asked = static_cast<qsizetype>(run->entries.size());
    const QString question =
        asked == 1 ? QStringLiteral("Put back the 1 file that the last run moved to the trash?")
                   : QStringLiteral("Put back the %1 files that the last run moved to the trash?")
                         .arg(asked);
    if (!m_dialogs.question(question, m_appTitle))
        return;
    // Read again under the lock, held to the end: another put-back of it finishes first.
    QString reason;
    run = RunRecord::load(run->id, &reason, RunRecord::Access::PutBack);
    if (!run) {
        m_dialogs.message(reason, m_appTitle, MessageIcon::None);
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
        tally.count(entry, Delete1::putBack(entry));
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
