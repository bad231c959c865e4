#include "deletion/DeletionController.h"

#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

constexpr qint64 YieldIntervalMs = 16;
constexpr QStringView Processing = u"Processing: ";

} // namespace

void DeletionController::run() {
    // A second click while a run is in progress is ignored: that run goes on with its own list.
    const BusyState::RunScope running(m_busy);
    if (!running.started())
        return;

    // The run works on the list as it stood when the button was pressed: edits, filters and
    // rebuilds that run while it yields cannot change which files it moves.
    const QStringList paths = m_deleteList.rows();
    Main::ErrorTrap trap(m_dialogs, Location::PushButton2_Click);
    trap.run(106, [] { QCoreApplication::processEvents(); });
    if (m_busy.isUnloaded())
        return;
    if (trap.test(108, [&] { return paths.isEmpty(); })) {
        trap.run(134, [&] {
            m_dialogs.message(QStringLiteral("No files added."), m_appTitle, MessageIcon::None);
        });
        return;
    }
    const auto n = paths.size();
    QElapsedTimer sinceYield;
    QString text; // the bar's text, its room kept from file to file
    // What went to the trash is durable and recorded even when the run ends early, so it can be
    // put back.
    Delete1::TrashRun run(m_trash);
    for (qsizetype i = 1; i <= n; ++i) {
        QString path;
        trap.run(112, [&] { path = paths.at(i - 1); });
        trap.run(114,
                 [&] { m_bar.setValueF(static_cast<double>(i) / static_cast<double>(n) * 100.0); });
        trap.run(116, [&] {
            // "Processing: " and the path's file name part, made in one piece.
            const QStringView name = Main::fileNameView(path);
            text.resize(0);
            text.append(Processing).append(name);
            m_bar.setBarText(text);
        });
        // The bar repaints and the window answers at least once per frame; more often would
        // only slow a long run down.
        trap.run(118, [&] {
            if (i == 1 || sinceYield.elapsed() >= YieldIntervalMs) {
                QCoreApplication::processEvents();
                sinceYield.start();
            }
        });
        if (m_busy.isUnloaded())
            return; // the window was closed: the program ends, nothing more is moved
        trap.run(120, [&] {
            if (!m_busy.isBusy())
                m_busy.setPointer(BusyState::PointerBusy);
        });
        trap.run(122, [&] { run.trashOne(path); });
    }
    // The run's trash records made durable, once per volume, and its record written before
    // "Done." is shown; a failure here is reported under a label of its own, not as a move's.
    trap.run(124, [&] { run.finish(); });
    trap.run(126, [&] { m_busy.setPointer(BusyState::PointerDefault); });
    trap.run(128, [&] { m_bar.setValueF(0); });
    trap.run(130, [&] { m_bar.setBarText(QStringLiteral("Progress Bar")); });
    trap.run(132, [&] {
        QString text = run.closingMessage();
        if (const QString& error = run.recordError(); !error.isEmpty())
            text += QStringLiteral("\n\nThe record of this run could not be written (%1); it "
                                   "cannot be put back.")
                        .arg(error);
        m_dialogs.message(text, m_appTitle, MessageIcon::None);
    });
}
