#include "BusyState.h"
#include "Controls.h"
#include "SummaryBox.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "deletelist/DeleteList.h"

#include <QCoreApplication>
#include <QPointer>

using Main::NameFilterKind;

std::optional<QString> DeleteListController::filterListRows(ListView& list, const QString& text,
                                                            NameFilterKind kind,
                                                            Main::ErrorTrap& trap) {
    // The scan works on the rows as they are now. Whatever changes the list while the scan yields
    // (a rebuild, another filter, a removal) wins: the scan's result would mix the old list into
    // the new one, so it is dropped and the list and the summary stay as that change left them.
    QStringList rows;
    trap.run(100, [&] { rows = list.rows(); });
    bool changed = false;
    QPointer<ListView> alive(&list);
    {
        QObject watcher;
        const QAbstractItemModel* model = list.model();
        const auto mark = [&changed] { changed = true; };
        QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, &watcher, mark);
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeInserted, &watcher, mark);
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, &watcher, mark);
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeMoved, &watcher, mark);
        QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, &watcher, mark);
        QObject::connect(model, &QAbstractItemModel::dataChanged, &watcher, mark);

        Main::RowScanHooks hooks;
        // The scan goes on while its list is untouched and the window open; a closed window
        // means the program is ending, and nothing more is written.
        const auto goesOn = [&] { return !alive.isNull() && !changed && !m_busy.isUnloaded(); };
        hooks.yield = [&] {
            trap.run(104, [] { QCoreApplication::processEvents(); });
            return goesOn();
        };
        hooks.testFailed = [&](const std::exception& failure) { trap.report(failure, 106); };
        std::optional<QStringList> kept;
        bool scanned = false;
        trap.run(102, [&] {
            kept = Main::keptRows(rows, text, kind, hooks);
            scanned = true;
        });
        // An error report shown for a row also lets other handlers run.
        if ((scanned && !kept) || !goesOn())
            return std::nullopt;
        // A scan that failed as a whole removes nothing.
        if (kept && kept->size() != rows.size()) {
            // One model reset for all removals: the same list as removing the matching rows one by
            // one from the highest position down, in time linear in the rows.
            trap.run(116, [&] { list.setRows(*std::move(kept)); });
        }
    }
    QString summary;
    trap.run(124, [&] { summary = Main::plainSummaryText(list.rows()); });
    return summary;
}

void DeleteListController::removeItems(ListView& list, const QString& text, NameFilterKind kind,
                                       const char* location) {
    Main::ErrorTrap trap(m_dialogs, location);
    const std::optional<QString> summary = filterListRows(list, text, kind, trap);
    // The summary box is written once, whole; a summary that could not be built leaves it empty.
    if (summary)
        trap.run(120, [&] { m_summary.setText(*summary); });
}

void DeleteListController::RemoveItemsWith(ListView& list, const QString& text) {
    removeItems(list, text, NameFilterKind::RemoveContaining, Location::RemoveItemsWith);
}

void DeleteListController::RemoveItemsWithout(ListView& list, const QString& text) {
    removeItems(list, text, NameFilterKind::RemoveNotContaining, Location::RemoveItemsWithout);
}

void DeleteListController::filterClick(const char* location, const QString& prompt,
                                       NameFilterKind kind) {
    Main::ErrorTrap trap(m_dialogs, location);
    QString text;
    trap.run(100,
             [&] { text = m_dialogs.input(prompt, m_appTitle, QString()).value_or(QString()); });
    // Cancel and an empty field both answer the empty text: nothing changes.
    if (trap.test(102, [&] { return text.isEmpty(); }))
        return;
    trap.run(104, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(106, [&] {
        if (kind == NameFilterKind::RemoveContaining)
            RemoveItemsWith(m_deleteList, text);
        else
            RemoveItemsWithout(m_deleteList, text);
    });
    trap.run(108, [&] { m_busy.setPointer(BusyState::PointerDefault); });
}

void DeleteListController::removeContainingClick() {
    filterClick(Location::PushButton11_Click, QStringLiteral("Remove entries containing: "),
                NameFilterKind::RemoveContaining);
}

void DeleteListController::removeNotContainingClick() {
    filterClick(Location::PushButton13_Click, QStringLiteral("Remove entries not containing: "),
                NameFilterKind::RemoveNotContaining);
}
