// "Put Back Last Run…" as assistive technology and the keyboard reach it: an entry of its own in
// every context menu, and the delete list's menu key opening the menu over the summary box.
#include "Controls.h"
#include "Form1.h"
#include "SummaryBox.h"
#include "TestSupport.h"
#include "deletion/RunRecord.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace {

const QString EntryName = QStringLiteral("Put Back Last Run…");

// What a screen reader finds in an open menu: the entry's accessible item, its parent, its state.
struct ReadEntry {
    bool found = false;
    bool parentIsTheMenu = false;
    bool disabled = true;
    QRect menuGeometry;
};

// Sends the event to the widget; while the menu it opens is up, reads the entry through
// accessibility, presses it when asked to, and closes the menu.
ReadEntry openMenuAndRead(QWidget* target, QContextMenuEvent& event, bool press) {
    ReadEntry read;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        read.menuGeometry = menu->geometry();
        QAccessibleInterface* menuItem = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; menuItem != nullptr && i < menuItem->childCount(); ++i) {
            QAccessibleInterface* item = menuItem->child(i);
            if (item == nullptr || item->text(QAccessible::Name) != EntryName)
                continue;
            read.found = true;
            read.parentIsTheMenu = item->parent() != nullptr && item->parent()->object() == menu;
            read.disabled = item->state().disabled;
            if (press && item->actionInterface() != nullptr)
                item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            break;
        }
        menu->close(); // a no-op when choosing the entry already closed it
    });
    QCoreApplication::sendEvent(target, &event);
    return read;
}

// A recorded run of one file, so the entry is enabled and its question can be asked.
void recordOneFile() {
    RunRecord::Run run;
    run.time = QDateTime::currentDateTimeUtc();
    run.entries.push_back({TestEnv::root() + QStringLiteral("/gone.txt"),
                           TestEnv::dataHome() + QStringLiteral("/Trash/files/gone.txt")});
    QVERIFY(RunRecord::save(run).isEmpty());
}

} // namespace

class PutBackMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { QDir(RunRecord::runsFolder()).removeRecursively(); }

    void everyMenuReadsTheEntryAsItsOwn_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("summary box") << QStringLiteral("Text4");
        QTest::newRow("delete list") << QStringLiteral("ListView3");
    }
    void everyMenuReadsTheEntryAsItsOwn() {
        QFETCH(QString, control);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* widget = form.findChild<QAbstractScrollArea*>(control);
        QVERIFY(widget != nullptr);
        // Three menus in a row: each must hold the entry as its own child.
        for (int round = 0; round < 3; ++round) {
            const QPoint inside(20, 20);
            QContextMenuEvent event(QContextMenuEvent::Mouse, inside,
                                    widget->viewport()->mapToGlobal(inside));
            const ReadEntry read = openMenuAndRead(widget->viewport(), event, false);
            QVERIFY2(read.found, qPrintable(QStringLiteral("menu %1").arg(round + 1)));
            QVERIFY(read.parentIsTheMenu);
            QVERIFY(read.disabled); // no run is recorded
        }
    }

    void pressingTheEntryThroughAccessibilityAsksToPutBack() {
        recordOneFile();
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(false);
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* box = form.findChild<SummaryBox*>(QStringLiteral("Text4"));
        for (int round = 0; round < 2; ++round) {
            const QPoint inside(20, 20);
            QContextMenuEvent event(QContextMenuEvent::Mouse, inside,
                                    box->viewport()->mapToGlobal(inside));
            const ReadEntry read = openMenuAndRead(box->viewport(), event, round == 1);
            QVERIFY(read.found);
            QVERIFY(!read.disabled);
        }
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.calls().size(), std::size_t{1});
        QCOMPARE(dialogs.calls().front().text,
                 QStringLiteral("Put back the 1 file that the last run moved to the trash?"));
    }

    void menuKeyOnTheDeleteListOpensOverTheSummaryBox() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* list = form.findChild<ListView*>(QStringLiteral("ListView3"));
        auto* box = form.findChild<SummaryBox*>(QStringLiteral("Text4"));
        // The delete list holds the focus at start; the menu key sends a keyboard event to it at
        // its own middle, which lies below the window's client area.
        QCOMPARE(QApplication::focusWidget(), list);
        const QPoint middle = list->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, middle, list->mapToGlobal(middle));
        const ReadEntry read = openMenuAndRead(list, event, false);
        QVERIFY(read.found);
        const QRect boxOnScreen(box->mapToGlobal(QPoint(0, 0)), box->size());
        const QRect windowOnScreen(form.mapToGlobal(QPoint(0, 0)), form.size());
        QVERIFY2(boxOnScreen.contains(read.menuGeometry.topLeft()),
                 qPrintable(QStringLiteral("menu at %1,%2")
                                .arg(read.menuGeometry.x())
                                .arg(read.menuGeometry.y())));
        QVERIFY(windowOnScreen.contains(read.menuGeometry.topLeft()));
    }
};

THINWICK_TEST_MAIN(PutBackMenuTest)

#include "test_putbackmenu.moc"
