#include "Form1.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopeGuard>

namespace {

constexpr qint64 YieldIntervalMs = 16;

} // namespace

void Form1::PushButton2_Click() {
    // A second click while a run is in progress is ignored: that run goes on with its own list.
    if (m_deletionRunning)
        return;
    m_deletionRunning = true;
    const auto running = qScopeGuard([this] { m_deletionRunning = false; });

    // The run works on the list as it stood when the button was pressed: edits, filters and
    // rebuilds that run while it yields cannot change which files it moves.
    const QStringList paths = ListView3->rows();
    Main::ErrorTrap trap(m_dialogs, Location::PushButton2_Click);
    trap.run(106, [] { QCoreApplication::processEvents(); });
    if (m_unloaded)
        return;
    if (trap.test(108, [&] { return paths.isEmpty(); })) {
        trap.run(134, [&] {
            m_dialogs.message(QStringLiteral("No files added."), m_appTitle, MessageIcon::None);
        });
        return;
    }
    const auto n = paths.size();
    QElapsedTimer sinceYield;
    // What went to the trash is durable and recorded even when the run ends early, so it can be
    // put back.
    Delete1::TrashRun run(trash());
    for (qsizetype i = 1; i <= n; ++i) {
        QString path;
        trap.run(112, [&] { path = paths.at(i - 1); });
        trap.run(114, [&] {
            ProgressBar1->setValueF(static_cast<double>(i) / static_cast<double>(n) * 100.0);
        });
        trap.run(116, [&] {
            ProgressBar1->setBarText(QStringLiteral("Processing: ") + Main::FileNameOf(path));
        });
        // The bar repaints and the window answers at least once per frame; more often would
        // only slow a long run down.
        trap.run(118, [&] {
            if (i == 1 || sinceYield.elapsed() >= YieldIntervalMs) {
                QCoreApplication::processEvents();
                sinceYield.start();
            }
        });
        if (m_unloaded)
            return; // the window was closed: the program ends, nothing more is moved
        trap.run(120, [&] {
            if (!isBusy())
                setMousePointer(PointerBusy);
        });
        trap.run(122, [&] { run.trashOne(path); });
    }
    // The run's trash records made durable, once per volume, and its record written before
    // "Done." is shown.
    trap.run(122, [&] { run.finish(); });
    trap.run(126, [&] { setMousePointer(PointerDefault); });
    trap.run(128, [&] { ProgressBar1->setValueF(0); });
    trap.run(130, [&] { ProgressBar1->setBarText(QStringLiteral("Progress Bar")); });
    trap.run(132, [&] {
        QString text = run.closingMessage();
        if (const QString& error = run.recordError(); !error.isEmpty())
            text += QStringLiteral("\n\nThe record of this run could not be written (%1); it "
                                   "cannot be put back.")
                        .arg(error);
        m_dialogs.message(text, m_appTitle, MessageIcon::None);
    });
}
