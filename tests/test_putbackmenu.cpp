// "Put Back Last Run…" as assistive technology and the keyboard reach it: an entry of its own in
// every context menu, the delete list's menu key opening the menu over the summary box, Shift+F10
// wherever the menu key works, Ctrl+Z, the question that names the run, and the entry greyed with
// its reason while a run is still moving files.
#include "Controls.h"
#include "Form1.h"
#include "SummaryBox.h"
#include "TestSupport.h"
#include "deletion/RunRecord.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const QString EntryName = QStringLiteral("Put Back Last Run…");

// What a screen reader finds in an open menu: the entry's accessible item, its parent, its state
// and shortcut, and every entry's name.
struct ReadEntry {
    bool found = false;
    bool parentIsTheMenu = false;
    bool disabled = true;
    QString shortcut;
    QStringList names;
    QRect menuGeometry;
};

// Runs open() (which opens a context menu); while the menu is up, reads the entry named `name`
// through accessibility, presses it when asked to, and closes the menu.
ReadEntry readMenu(const std::function<void()>& open, bool press, const QString& name = EntryName) {
    ReadEntry read;
    bool looked = false;
    QTimer::singleShot(0, [&] {
        looked = true;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        read.menuGeometry = menu->geometry();
        QAccessibleInterface* menuItem = QAccessible::queryAccessibleInterface(menu);
        QAccessibleInterface* wanted = nullptr;
        for (int i = 0; menuItem != nullptr && i < menuItem->childCount(); ++i) {
            QAccessibleInterface* item = menuItem->child(i);
            if (item == nullptr)
                continue;
            // A standard menu names an entry with its shortcut after a tab.
            const QString itemName = item->text(QAccessible::Name).section(QLatin1Char('\t'), 0, 0);
            read.names.append(itemName);
            if (wanted == nullptr && itemName == name)
                wanted = item;
        }
        if (wanted != nullptr) {
            read.found = true;
            read.parentIsTheMenu =
                wanted->parent() != nullptr && wanted->parent()->object() == menu;
            read.disabled = wanted->state().disabled;
            read.shortcut = wanted->text(QAccessible::Accelerator);
            if (press && wanted->actionInterface() != nullptr)
                wanted->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        menu->close(); // a no-op when choosing the entry already closed it
    });
    open();
    // A menu shown with popup() leaves open() at once; one shown with exec() was read inside it.
    if (!QTest::qWaitFor([&] { return looked; }))
        read.names.append(QStringLiteral("(the menu was never read)"));
    return read;
}

// Sends the event to the widget and reads the menu it opens.
ReadEntry openMenuAndRead(QWidget* target, QContextMenuEvent& event, bool press) {
    return readMenu([&] { QCoreApplication::sendEvent(target, &event); }, press);
}

ReadEntry openSummaryMenu(Form1& form, bool press = false) {
    auto* box = form.findChild<SummaryBox*>(QStringLiteral("Text4"));
    const QPoint inside(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, box->viewport()->mapToGlobal(inside));
    return openMenuAndRead(box->viewport(), event, press);
}

// A recorded run whose files lie in the trash, written as a trash run writes it.
void recordFilesInTrash(const QStringList& names, const QString& folder) {
    RunRecord::Run run;
    for (const QString& name : names) {
        const QString trashed = TestEnv::dataHome() + QStringLiteral("/Trash/files/") + name;
        TestEnv::makeFile(trashed);
        run.entries.emplace_back(folder + QLatin1Char('/') + name, trashed);
    }
    QVERIFY(RunRecord::save(run).isEmpty());
}

void recordOneFile() {
    recordFilesInTrash({QStringLiteral("gone.txt")}, TestEnv::root());
}

} // namespace

class PutBackMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        QDir(RunRecord::runsFolder()).removeRecursively();
        TestEnv::resetTrash();
    }

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
            QCOMPARE(read.shortcut, QStringLiteral("Ctrl+Z"));
            QVERIFY(read.names.contains(QStringLiteral("Put Back a Run…")));
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
        QVERIFY(dialogs.calls().front().text.startsWith(QStringLiteral("Put back the last run, ")));
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

    // Ctrl+Z puts back the last run from anywhere in the window, unless the number box has typing
    // of its own to undo. The run is recorded after a menu showed the entry greyed: the key looks
    // afresh.
    void ctrlZPutsBackUnlessTheNumberBoxCanUndo_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("asks");
        QTest::newRow("hidden delete list") << QStringLiteral("ListView3") << QString() << true;
        QTest::newRow("summary box") << QStringLiteral("Text4") << QString() << true;
        QTest::newRow("number box, nothing typed") << QStringLiteral("Text1") << QString() << true;
        QTest::newRow("number box after typing")
            << QStringLiteral("Text1") << QStringLiteral("7") << false;
    }
    void ctrlZPutsBackUnlessTheNumberBoxCanUndo() {
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(bool, asks);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(openSummaryMenu(form).disabled); // nothing recorded yet: the entry greys
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        recordOneFile();
        auto* widget = form.findChild<QWidget*>(control);
        widget->setFocus();
        QCOMPARE(QApplication::focusWidget(), widget);
        auto* number = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
        const QString before = number->text();
        if (!typed.isEmpty())
            QTest::keyClicks(widget, typed);
        if (asks)
            dialogs.expectQuestion(false);
        QTest::keyClick(widget, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(dialogs.calls().size(), std::size_t{asks ? 1U : 0U});
        QCOMPARE(number->text(), before);
    }

    // Shift+F10 opens the same menu as the menu key: the control's own, or for the hidden delete
    // list the one over the summary box.
    void shiftF10OpensTheMenuOfTheFocusedControl_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("entry");
        QTest::newRow("summary box") << QStringLiteral("Text4") << EntryName;
        QTest::newRow("hidden delete list") << QStringLiteral("ListView3") << EntryName;
        QTest::newRow("number box") << QStringLiteral("Text1") << QStringLiteral("Paste");
    }
    void shiftF10OpensTheMenuOfTheFocusedControl() {
        QFETCH(QString, control);
        QFETCH(QString, entry);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* widget = form.findChild<QWidget*>(control);
        widget->setFocus();
        const ReadEntry read = readMenu(
            [&] { QTest::keyClick(widget, Qt::Key_F10, Qt::ShiftModifier); }, false, entry);
        QVERIFY2(read.found, qPrintable(read.names.join(QStringLiteral(", "))));
        const auto* box = form.findChild<QWidget*>(QStringLiteral("Text4"));
        if (control != QStringLiteral("Text1"))
            QVERIFY(QRect(box->mapToGlobal(QPoint(0, 0)), box->size())
                        .contains(read.menuGeometry.topLeft()));
    }

    // The question names the run: its time, file count and folder, and what of it is left in the
    // trash.
    void theQuestionNamesTheRunAndWhatIsLeft_data() {
        QTest::addColumn<int>("goneFromTrash");
        QTest::addColumn<int>("placesTaken");
        QTest::addColumn<QString>("ending");
        QTest::newRow("all in the trash")
            << 0 << 0 << QStringLiteral("\n\nAll 3 of its files are still in the trash.");
        QTest::newRow("one gone from the trash")
            << 1 << 0 << QStringLiteral("\n\n2 of its 3 files are still in the trash.");
        QTest::newRow("two gone from the trash")
            << 2 << 0 << QStringLiteral("\n\n1 of its 3 files is still in the trash.");
        QTest::newRow("one place taken")
            << 0 << 1
            << QStringLiteral("\n\nAll 3 of its files are still in the trash. Another file "
                              "stands in the place of 1 of them; it stays in the trash.");
    }
    void theQuestionNamesTheRunAndWhatIsLeft() {
        QFETCH(int, goneFromTrash);
        QFETCH(int, placesTaken);
        QFETCH(QString, ending);
        const QString folder = TestEnv::root() + QStringLiteral("/Photos 2026");
        const QStringList names = {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                   QStringLiteral("c.jpg")};
        recordFilesInTrash(names, folder);
        for (int i = 0; i < goneFromTrash; ++i)
            QVERIFY(
                QFile::remove(TestEnv::dataHome() + QStringLiteral("/Trash/files/") + names.at(i)));
        for (int i = 0; i < placesTaken; ++i)
            TestEnv::makeFile(folder + QLatin1Char('/') + names.at(names.size() - 1 - i));
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(false);
        Form1 form(dialogs);
        form.PutBackLastRun_Click();
        QCOMPARE(dialogs.calls().size(), std::size_t{1});
        const QString text = dialogs.calls().front().text;
        QVERIFY2(text.startsWith(QStringLiteral("Put back the last run, run 1 of ")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("(3 files from ") + TestEnv::native(folder) +
                               QStringLiteral(")?")),
                 qPrintable(text));
        QVERIFY2(text.endsWith(ending), qPrintable(text));
    }

    // An entry that cannot act is greyed, and its tooltip (and status tip) says why, in a whole
    // sentence.
    void entryGreysWithItsReason_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("listEnabled");
        QTest::newRow("no run") << QStringLiteral("none")
                                << QStringLiteral("No run is recorded, so there is nothing to put "
                                                  "back.")
                                << QString() << false;
        QTest::newRow("nothing left in the trash")
            << QStringLiteral("emptied")
            << QStringLiteral("None of the files of the last run, run 2 of ")
            << QStringLiteral(" (1 file from %1), is still in the trash.")
                   .arg(TestEnv::native(TestEnv::root()))
            << true;
        QTest::newRow("still moving, from the command line")
            << QStringLiteral("moving") << QStringLiteral("The last run, run 2 of ")
            << QStringLiteral(" from the command line (1 file from %1), is still moving files to "
                              "the trash; put it back once it has ended.")
                   .arg(TestEnv::native(TestEnv::root()))
            << true;
        QTest::newRow("window busy")
            << QStringLiteral("busy")
            << QStringLiteral("Files are being moved or the window is busy; wait until it has "
                              "finished.")
            << QString() << false;
    }
    void entryGreysWithItsReason() {
        QFETCH(QString, situation);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(bool, listEnabled);
        // An older run that could go back: only the last run counts for the entry.
        if (situation != QStringLiteral("none"))
            recordOneFile();
        std::unique_ptr<RunRecord::Recorder> moving;
        if (situation == QStringLiteral("emptied")) {
            recordFilesInTrash({QStringLiteral("gone too.txt")}, TestEnv::root());
        } else if (situation == QStringLiteral("moving")) {
            // A trash run of another process holds its record open while it moves files.
            moving = std::make_unique<RunRecord::Recorder>();
            moving->setOrigin(RunRecord::FromCommandLine);
            const QString trashed = TestEnv::dataHome() + QStringLiteral("/Trash/files/m.txt");
            TestEnv::makeFile(trashed);
            moving->add(TestEnv::root() + QStringLiteral("/m.txt"), trashed);
        }
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (situation == QStringLiteral("busy"))
            form.setMousePointer(Form1::PointerBusy);
        if (situation == QStringLiteral("emptied")) {
            // Offered while its file is in the trash; emptying the trash changes no record.
            QVERIFY(!openSummaryMenu(form).disabled);
            QVERIFY(
                QFile::remove(TestEnv::dataHome() + QStringLiteral("/Trash/files/gone too.txt")));
        }
        const ReadEntry read = openSummaryMenu(form);
        QVERIFY(read.found);
        QVERIFY(read.disabled);
        const QString tip = form.putBackAction()->toolTip();
        QVERIFY2(tip.startsWith(start) && tip.endsWith(end), qPrintable(tip));
        QCOMPARE(form.putBackAction()->statusTip(), tip);
        QCOMPARE(form.deletion().putBackRunAction()->isEnabled(), listEnabled);
        // Chosen anyway (from a menu left open meanwhile), it says why instead of asking.
        if (situation != QStringLiteral("busy")) {
            dialogs.expectMessage();
            form.PutBackLastRun_Click();
            QCOMPARE(dialogs.messageTexts(), QStringList{tip});
        }
        form.setMousePointer(Form1::PointerDefault);
        if (moving) {
            // The run ends: its files can go back now.
            QVERIFY(moving->save().isEmpty());
            QVERIFY(!openSummaryMenu(form).disabled);
        }
    }

    // Ctrl+Z in the middle of a rebuild, which lets the window paint, waits until it has finished
    // and then asks.
    void ctrlZDuringARebuildWaitsForIt() {
        recordOneFile();
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        {
            const BusyState::RebuildScope rebuilding(form.busyState());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
            QCoreApplication::processEvents();
            QVERIFY(dialogs.calls().empty());
            dialogs.expectQuestion(false);
        }
        QTRY_COMPARE(dialogs.calls().size(), std::size_t{1});
        QVERIFY(dialogs.calls().front().text.startsWith(QStringLiteral("Put back the last run, ")));
    }
};

THINWICK_TEST_MAIN(PutBackMenuTest)

#include "test_putbackmenu.moc"
