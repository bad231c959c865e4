// "Put Back Last Run…": the newest recorded run's files go back from the trash, with the progress
// bar and the busy pointer of a deletion run.
#include "Form1.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScopeGuard>

namespace {

constexpr qint64 YieldIntervalMs = 16;

} // namespace

void Form1::setUpPutBack() {
    m_putBackAction = new QAction(QStringLiteral("Put Back Last Run…"), this);
    connect(m_putBackAction, &QAction::triggered, this,
            [this] { Main::untrapped([this] { PutBackLastRun_Click(); }); });
    Text4->addAction(m_putBackAction);
    connect(Text4, &SummaryBox::contextMenuOpening, this, [this] { updatePutBackAction(); });
    ListView3->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView3, &QWidget::customContextMenuRequested, this, [this](QPoint point) {
        updatePutBackAction();
        QMenu menu(ListView3);
        menu.addAction(m_putBackAction);
        menu.exec(ListView3->viewport()->mapToGlobal(point));
    });
}

void Form1::updatePutBackAction() {
    m_putBackAction->setEnabled(!m_deletionRunning && !isBusy() && !RunRecord::ids().isEmpty());
}

void Form1::PutBackLastRun_Click() {
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
    // Busy like a run: the run button, the entry and other long work wait until it is done.
    m_deletionRunning = true;
    const auto running = qScopeGuard([this] { m_deletionRunning = false; });

    Delete1::PutBackTally tally;
    QElapsedTimer sinceYield;
    qsizetype i = 0;
    for (; i < n; ++i) {
        const RunRecord::Entry& entry = run->entries[static_cast<std::size_t>(i)];
        ProgressBar1->setValueF(static_cast<double>(i + 1) / static_cast<double>(n) * 100.0);
        ProgressBar1->setBarText(QStringLiteral("Putting back: ") +
                                 Main::FileNameOf(entry.original));
        if (i == 0 || sinceYield.elapsed() >= YieldIntervalMs) {
            QCoreApplication::processEvents();
            sinceYield.start();
        }
        if (m_unloaded)
            break; // the window was closed: what is left stays recorded
        if (!isBusy())
            setMousePointer(PointerBusy);
        tally.count(entry, Delete1::putBack(entry));
    }
    // What went back, or is gone from the trash, leaves the record.
    tally.kept.insert(tally.kept.end(), run->entries.begin() + static_cast<std::ptrdiff_t>(i),
                      run->entries.end());
    run->entries = std::move(tally.kept);
    const QString error = RunRecord::update(*run);
    if (m_unloaded)
        return;
    setMousePointer(PointerDefault);
    ProgressBar1->setValueF(0);
    ProgressBar1->setBarText(QStringLiteral("Progress Bar"));
    QString text = Delete1::putBackMessage(tally);
    if (!error.isEmpty())
        text += QStringLiteral("\n\nThe run's record could not be updated: ") + error;
    m_dialogs.message(text, m_appTitle, MessageIcon::None);
}
