// "Put Back Last Run…" in the window: the entry of both context menus, greyed without a record or
// while busy, asking through the scripted dialogs, and putting a real run back from the real trash.
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"
#include "common/PathRules.h"
#include "deletelist/DeleteList.h"
#include "deletion/RunRecord.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class PutBackTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_files;

    // Three files drawn and moved to the trash by a window run.
    void runDeletion(Form1& form, ScriptedDialogs& dialogs) {
        m_files.clear();
        const QString pool = m_dir.path() + QStringLiteral("/pool");
        for (const char* name : {"one.txt", "two words.txt", "drei ä.txt"}) {
            m_files.append(pool + QLatin1Char('/') + QString::fromUtf8(name));
            TestEnv::makeFile(m_files.last(), QByteArray(name));
        }
        FormControls(form).Text1->setText(QStringLiteral("3"));
        form.addSourceFolder(Main::terminatedFolderPath(pool));
        form.deleteList().CorrelateListviewsWrapper();
        dialogs.expectMessage();
        form.PushButton2_Click();
        for (const QString& path : m_files)
            QVERIFY(!QFileInfo::exists(path));
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { QDir(RunRecord::runsFolder()).removeRecursively(); }

    void entryIsInBothMenusAndGreyedWithoutRecord() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        QAction* action = form.putBackAction();
        QCOMPARE(action->text(), QStringLiteral("Put Back Last Run…"));
        QVERIFY(FormControls(form).Text4->actions().contains(action));
        QCOMPARE(FormControls(form).ListView3->contextMenuPolicy(), Qt::CustomContextMenu);
        form.updatePutBackAction();
        QVERIFY(!action->isEnabled());
        // Triggered anyway (say, by a stale menu), it asks nothing and does nothing.
        action->trigger();
        QVERIFY(dialogs.calls().empty());
    }

    void greyedWhileBusy() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        runDeletion(form, dialogs);
        form.updatePutBackAction();
        if (!TestEnv::trashSaysWhere())
            QSKIP("the Recycle Bin did not say where it put the files: the entry is greyed anyway");
        QVERIFY(form.putBackAction()->isEnabled());
        form.setMousePointer(Form1::PointerBusy); // a walk or a filter is under way
        form.updatePutBackAction();
        QVERIFY(!form.putBackAction()->isEnabled());
        form.setMousePointer(Form1::PointerDefault);
    }

    void answeringNoLeavesTheTrash() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        runDeletion(form, dialogs);
        dialogs.clear();
        form.updatePutBackAction();
        if (!TestEnv::trashSaysWhere()) {
            // The Recycle Bin did not say where it put the files: nothing is asked, the entry
            // greys and says how they come back.
            QVERIFY(!form.putBackAction()->isEnabled());
            QVERIFY2(form.putBackAction()->toolTip().endsWith(
                         QStringLiteral("restore them with the Recycle Bin's Restore.")),
                     qPrintable(form.putBackAction()->toolTip()));
            return;
        }
        dialogs.expectQuestion(false);
        form.putBackAction()->trigger();
        QCOMPARE(dialogs.calls().size(), std::size_t{1});
        const QString question = dialogs.calls().front().text;
        QVERIFY2(question.startsWith(QStringLiteral("Put back the last run, ")) &&
                     question.endsWith(QStringLiteral("\n\nAll 3 of its files are still in the "
                                                      "trash.")),
                 qPrintable(question));
        for (const QString& path : m_files)
            QVERIFY(!QFileInfo::exists(path));
    }

    void yesPutsTheRunBack() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        runDeletion(form, dialogs);
        dialogs.clear();
        if (!TestEnv::trashSaysWhere()) {
            // Nothing can come back from here: chosen anyway, it says how they come back and
            // asks nothing.
            dialogs.expectMessage();
            form.PutBackLastRun_Click();
            QCOMPARE(dialogs.calls().size(), std::size_t{1});
            QVERIFY2(dialogs.messageTexts().value(0).endsWith(
                         QStringLiteral("restore them with the Recycle Bin's Restore.")),
                     qPrintable(dialogs.messageTexts().value(0)));
            for (const QString& path : m_files)
                QVERIFY(!QFileInfo::exists(path));
            return;
        }
        dialogs.expectQuestion(true);
        dialogs.expectMessage();
        QList<double> values;
        bool busyDuring = false;
        connect(FormControls(form).ProgressBar1, &ProgressBar::valueSet, &form, [&](double value) {
            values.append(value);
            busyDuring = busyDuring || (value > 0 && form.isDeletionRunning());
        });
        form.updatePutBackAction();
        form.putBackAction()->trigger();
        // The message names the run it put back: the first run, its three files from one folder.
        QCOMPARE(dialogs.messageTexts().size(), 1);
        const QString text = dialogs.messageTexts().front();
        QVERIFY2(text.startsWith(QStringLiteral("Put-back of run 1 of ")), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral(" (3 files from %1):\n3 files were put back.")
                                   .arg(TestEnv::native(QFileInfo(m_files.front()).path()))),
                 qPrintable(text));
        for (const QString& path : m_files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()), QFileInfo(path).fileName());
        }
        QCOMPARE(values.size(), 4);
        QCOMPARE(values.last(), 0.0);
        QVERIFY(busyDuring);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(FormControls(form).ProgressBar1->text(), QStringLiteral("Progress Bar"));
        // The run went back whole: its record is gone and the entry greys.
        form.updatePutBackAction();
        QVERIFY(!form.putBackAction()->isEnabled());
    }
};

THINWICK_TEST_MAIN(PutBackTest)

#include "test_putback.moc"
