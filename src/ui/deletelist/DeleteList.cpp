#include "deletelist/DeleteList.h"

#include "BusyState.h"
#include "Controls.h"
#include "SummaryBox.h"
#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"

DeleteListController::DeleteListController(const ListView& sources, TextBox& number,
                                           ListView& deleteList, SummaryBox& summary,
                                           Dialogs& dialogs, const QString& appTitle,
                                           BusyState& busy, QObject* parent)
    : QObject(parent), m_sources(sources), m_number(number), m_deleteList(deleteList),
      m_summary(summary), m_dialogs(dialogs), m_appTitle(appTitle), m_busy(busy) {
    // The delete list lies below the window's client area: its rows are laid out only when
    // something asks where a row is, not for every rebuild.
    deleteList.setLayoutOnlyWhenNeeded(true);
}

void DeleteListController::keepListing(Delete1::FolderListing&& listing) {
    m_cache.prime(std::move(listing));
}

void DeleteListController::CorrelateListviewsWrapper() {
    // The listing lets the window paint; every other handler waits until the rebuild is done.
    const BusyState::RebuildScope rebuilding(m_busy);
    Main::ErrorTrap trap(m_dialogs, Location::CorrelateListviewsWrapper);
    trap.run(100, [&] { m_deleteList.clearRows(); });
    trap.run(102, [&] { m_summary.setText(QString()); });
    if (trap.test(104, [&] { return m_sources.count() == 0; })) {
        // No source left: the listings kept for the next rebuild are of no more use.
        m_cache.clear();
        return;
    }
    Delete1::DrawnFiles result;
    trap.run(106, [&] { result = randomFileList(); });
    // Both controls are filled in one step each rather than row by row, and share the result:
    // the summary box shows each path with the ending after it without copying the text.
    trap.run(114, [&] { m_deleteList.setRows(result); });
    trap.run(116, [&] { m_summary.setLines(result, QStringLiteral(" will be deleted.")); });
}

void DeleteListController::numberChanged() {
    if (Main::countValue(m_number.text()) > 0) {
        try {
            Main::saveSetting(QString::fromUtf8(Product::SettingsApp),
                              QString::fromUtf8(Product::SettingsSection), QStringLiteral("Text1"),
                              m_number.text());
        } catch (const std::exception& failure) {
            // A store that cannot be written keeps its earlier value; the count still applies
            // to this run, and a report on every keystroke would help nobody.
            qCWarning(lcThinwick) << "the number could not be stored:" << failure.what();
        }
        if (m_sources.count() > 0)
            CorrelateListviewsWrapper();
    }
}

void DeleteListController::validateNumber() {
    if (Main::countValue(m_number.text()) == 0)
        m_number.setText(QStringLiteral("1"));
}

void DeleteListController::generate() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton12_Click);
    if (trap.test(100,
                  [&] { return Main::countValue(m_number.text()) > 0 && m_sources.count() > 0; })) {
        trap.run(102, [&] { m_busy.setPointer(BusyState::PointerBusy); });
        trap.run(104, [&] {
            // An explicit redraw lists every folder afresh.
            m_cache.expire();
            CorrelateListviewsWrapper();
        });
        trap.run(106, [&] { m_busy.setPointer(BusyState::PointerDefault); });
    } else {
        trap.run(108, [&] {
            m_dialogs.message(QStringLiteral("You must have at least one source folder and number "
                                             "of files to delete."),
                              m_appTitle, MessageIcon::None);
        });
    }
}

void DeleteListController::keyDown(int keyCode) {
    if (keyCode == Qt::Key_Delete && !m_busy.isBusy())
        m_deleteList.removeSelectedRow();
}

void DeleteListController::clear() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton9_Click);
    if (trap.test(100, [&] { return m_busy.isBusy(); }))
        return;
    trap.run(102, [&] { m_deleteList.clearRows(); });
    trap.run(104, [&] { m_summary.setText(QString()); });
}
