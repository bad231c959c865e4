#include "deletelist/NameFilters.h"

#include "Form1.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"

#include <QCoreApplication>
#include <QPointer>

namespace Main {

std::optional<QString> filterListRows(Form1& form, ListView& list, const QString& text,
                                      NameFilterKind kind, ErrorTrap& trap) {
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

        RowScanHooks hooks;
        // The scan goes on while its list is untouched and the window open; a closed window
        // means the program is ending, and nothing more is written.
        const auto goesOn = [&] { return !alive.isNull() && !changed && !form.isUnloaded(); };
        hooks.yield = [&] {
            trap.run(104, [] { QCoreApplication::processEvents(); });
            return goesOn();
        };
        hooks.testFailed = [&](const std::exception& failure) { trap.report(failure, 106); };
        std::optional<QStringList> kept;
        bool scanned = false;
        trap.run(102, [&] {
            kept = keptRows(rows, text, kind, hooks);
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
    trap.run(124, [&] { summary = plainSummaryText(list.rows()); });
    return summary;
}

namespace {

void removeItems(Form1& form, ListView& list, const QString& text, NameFilterKind kind,
                 const char* location) {
    ErrorTrap trap(form.dialogs(), location);
    const std::optional<QString> summary = filterListRows(form, list, text, kind, trap);
    // The summary box is written once, whole; a summary that could not be built leaves it empty.
    if (summary)
        trap.run(120, [&] { form.Text4->setText(*summary); });
}

} // namespace

void RemoveItemsWith(Form1& form, ListView& list, const QString& text) {
    removeItems(form, list, text, NameFilterKind::RemoveContaining, Location::RemoveItemsWith);
}

void RemoveItemsWithout(Form1& form, ListView& list, const QString& text) {
    removeItems(form, list, text, NameFilterKind::RemoveNotContaining,
                Location::RemoveItemsWithout);
}

} // namespace Main

namespace {

using FilterProcedure = void (*)(Form1&, ListView&, const QString&);

void filterClick(Form1& form, const char* location, const QString& prompt,
                 FilterProcedure procedure) {
    Main::ErrorTrap trap(form.dialogs(), location);
    QString text;
    trap.run(100, [&] {
        text = form.dialogs().input(prompt, form.appTitle(), QString()).value_or(QString());
    });
    // Cancel and an empty field both answer the empty text: nothing changes.
    if (trap.test(102, [&] { return text.isEmpty(); }))
        return;
    trap.run(104, [&] { form.setMousePointer(Form1::PointerBusy); });
    trap.run(106, [&] { procedure(form, *form.ListView3, text); });
    trap.run(108, [&] { form.setMousePointer(Form1::PointerDefault); });
}

} // namespace

void Form1::PushButton11_Click() {
    filterClick(*this, Location::PushButton11_Click, QStringLiteral("Remove entries containing: "),
                &Main::RemoveItemsWith);
}

void Form1::PushButton13_Click() {
    filterClick(*this, Location::PushButton13_Click,
                QStringLiteral("Remove entries not containing: "), &Main::RemoveItemsWithout);
}
