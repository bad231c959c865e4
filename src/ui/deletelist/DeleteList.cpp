#include "deletelist/DeleteList.h"

#include "Form1.h"
#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"
#include "deletelist/RandomFileList.h"

namespace Delete1 {

void CorrelateListviewsWrapper(Form1& form) {
    // The listing lets the window paint; every other handler waits until the rebuild is done.
    const BusyState::RebuildScope rebuilding(form.busyState());
    Main::ErrorTrap trap(form.dialogs(), Location::CorrelateListviewsWrapper);
    trap.run(100, [&] { form.ListView3->clearRows(); });
    trap.run(102, [&] { form.Text4->setText(QString()); });
    if (trap.test(104, [&] { return form.ListView1->count() == 0; })) {
        // No source left: the listings kept for the next rebuild are of no more use.
        form.listingCache.clear();
        return;
    }
    QStringList result;
    trap.run(106, [&] { result = randomFileList(form); });
    // Both controls are filled in one step each rather than row by row, and share the result:
    // the summary box shows each path with the ending after it without copying the text.
    trap.run(114, [&] { form.ListView3->setRows(result); });
    trap.run(116, [&] { form.Text4->setLines(result, QStringLiteral(" will be deleted.")); });
}

} // namespace Delete1

void Form1::Text1_Change() {
    if (Main::countValue(Text1->text()) > 0) {
        try {
            Main::saveSetting(QString::fromUtf8(Product::SettingsApp),
                              QString::fromUtf8(Product::SettingsSection), QStringLiteral("Text1"),
                              Text1->text());
        } catch (const std::exception& failure) {
            // A store that cannot be written keeps its earlier value; the count still applies
            // to this run, and a report on every keystroke would help nobody.
            qCWarning(lcThinwick) << "the number could not be stored:" << failure.what();
        }
        if (ListView1->count() > 0)
            Delete1::CorrelateListviewsWrapper(*this);
    }
}

void Form1::Text1_Validate() {
    if (Main::countValue(Text1->text()) == 0)
        Text1->setText(QStringLiteral("1"));
}

void Form1::PushButton12_Click() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton12_Click);
    if (trap.test(100,
                  [&] { return Main::countValue(Text1->text()) > 0 && ListView1->count() > 0; })) {
        trap.run(102, [&] { setMousePointer(PointerBusy); });
        trap.run(104, [&] {
            // An explicit redraw lists every folder afresh.
            listingCache.expire();
            Delete1::CorrelateListviewsWrapper(*this);
        });
        trap.run(106, [&] { setMousePointer(PointerDefault); });
    } else {
        trap.run(108, [&] {
            m_dialogs.message(QStringLiteral("You must have at least one source folder and number "
                                             "of files to delete."),
                              m_appTitle, MessageIcon::None);
        });
    }
}

void Form1::ListView3_KeyDown(int keyCode, Qt::KeyboardModifiers /*shift*/) {
    if (keyCode == Qt::Key_Delete && !isBusy())
        ListView3->removeSelectedRow();
}

void Form1::PushButton9_Click() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton9_Click);
    if (trap.test(100, [&] { return isBusy(); }))
        return;
    trap.run(102, [&] { ListView3->clearRows(); });
    trap.run(104, [&] { Text4->setText(QString()); });
}
