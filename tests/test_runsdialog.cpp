// "Put Back a Run…": the recorded runs listed newest first with what is left of each in the trash
// or why it cannot go back, read and driven through accessibility; the selected run goes back while
// another is still moving files.
#include "Form1.h"
#include "TestSupport.h"
#include "deletion/RunRecord.h"
#include "deletion/RunsDialog.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace {

const QString Moving =
    QStringLiteral("It is still moving files to the trash; put it back once it has ended.");

// The trash under the test's own data folder: every path a test moves lies inside its root.
QString trashFiles() {
    return TestEnv::dataHome() + QStringLiteral("/Trash/files/");
}

bool insideRoot(const QString& path) {
    return QDir::cleanPath(path).startsWith(TestEnv::root() + QLatin1Char('/'));
}

// A run written as a trash run writes it, its files lying in the trash.
void recordFilesInTrash(const QStringList& names, const QString& folder) {
    RunRecord::Run run;
    for (const QString& name : names) {
        TestEnv::makeFile(trashFiles() + name);
        run.entries.emplace_back(folder + QLatin1Char('/') + name, trashFiles() + name);
    }
    QVERIFY(RunRecord::save(run).isEmpty());
}

// A trash run of another program, still moving files: its record stays open while it lives.
std::unique_ptr<RunRecord::Recorder> startMovingRun(const QString& folder) {
    auto recorder = std::make_unique<RunRecord::Recorder>();
    recorder->setOrigin(RunRecord::FromCommandLine);
    TestEnv::makeFile(trashFiles() + QStringLiteral("moving.txt"));
    recorder->add(folder + QStringLiteral("/moving.txt"),
                  trashFiles() + QStringLiteral("moving.txt"));
    return recorder;
}

// What a screen reader reads in the dialog's list: each row's cells.
QList<QStringList> readRows(RunsDialog* dialog) {
    QList<QStringList> rows;
    auto* list = dialog->findChild<QTreeWidget*>();
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(list)->tableInterface();
    for (int row = 0; row < table->rowCount(); ++row)
        rows.append({table->cellAt(row, 0)->text(QAccessible::Name),
                     table->cellAt(row, 1)->text(QAccessible::Name)});
    return rows;
}

void selectRow(RunsDialog* dialog, int row) {
    auto* list = dialog->findChild<QTreeWidget*>();
    QVERIFY(QAccessible::queryAccessibleInterface(list)->tableInterface()->selectRow(row));
}

QPushButton* putBackButton(RunsDialog* dialog) {
    for (auto* button : dialog->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Put Back"))
            return button;
    return nullptr;
}

void press(QWidget* button) {
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(button);
    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

RunsDialog* openDialog(Form1& form) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return nullptr;
    form.PutBackRun_Click();
    return form.deletion().runsDialog();
}

} // namespace

class RunsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        QDir(RunRecord::runsFolder()).removeRecursively();
        TestEnv::resetTrash();
    }
    void cleanup() { RunRecord::setClock({}); }

    void listsRunsNewestFirstWithWhatIsLeftOrWhyNot() {
        QDateTime clock(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC);
        RunRecord::setClock([&clock] { return clock; });
        const QString root = TestEnv::root();
        recordFilesInTrash({QStringLiteral("a.txt"), QStringLiteral("b.txt")},
                           root + QStringLiteral("/oldest"));
        clock = clock.addSecs(3600);
        recordFilesInTrash({QStringLiteral("c.txt"), QStringLiteral("d.txt")},
                           root + QStringLiteral("/emptied"));
        QVERIFY(QFile::remove(trashFiles() + QStringLiteral("c.txt")));
        QVERIFY(QFile::remove(trashFiles() + QStringLiteral("d.txt")));
        clock = clock.addSecs(3600);
        const auto moving = startMovingRun(root + QStringLiteral("/moving"));

        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        RunsDialog* dialog = openDialog(form);
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Put Back a Run"));
        const QList<QStringList> rows = readRows(dialog);
        QCOMPARE(rows.size(), 3);
        const QStringList folders = {QStringLiteral("/moving"), QStringLiteral("/emptied"),
                                     QStringLiteral("/oldest")};
        const QStringList counts = {QStringLiteral(" from the command line (1 file from "),
                                    QStringLiteral("(2 files from "),
                                    QStringLiteral("(2 files from ")};
        const QStringList states = {Moving,
                                    QStringLiteral("None of its files is still in the trash."),
                                    QStringLiteral("2 of 2 files in the trash.")};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(rows[i][0].contains(counts[i] + TestEnv::native(root + folders[i]) +
                                         QLatin1Char(')')),
                     qPrintable(rows[i][0]));
            QVERIFY2(rows[i][0].startsWith(QStringLiteral("Run %1 of ").arg(3 - i)),
                     qPrintable(rows[i][0]));
            QCOMPARE(rows[i][1], states[i]);
        }
        // The run that can go back is the one chosen at first.
        QVERIFY(putBackButton(dialog)->isEnabled());
        selectRow(dialog, 0);
        QVERIFY(!putBackButton(dialog)->isEnabled());
        QCOMPARE(putBackButton(dialog)->toolTip(), Moving);
        QVERIFY(dialogs.calls().empty());
    }

    void putsBackTheSelectedRunWhileAnotherIsBlocked() {
        const QString folder = TestEnv::root() + QStringLiteral("/Photos 2026");
        const QStringList files = {folder + QStringLiteral("/one.jpg"),
                                   folder + QStringLiteral("/zwei ä.jpg")};
        for (const QString& path : files) {
            QVERIFY(insideRoot(path)); // the test trashes nothing outside its own folder
            TestEnv::makeFile(path, QFileInfo(path).fileName().toUtf8());
        }
        {
            DesktopTrash trash;
            Delete1::TrashRun run(trash);
            run.run(files);
            run.finish();
            QCOMPARE(run.moved(), 2);
        }
        const auto moving = startMovingRun(TestEnv::root() + QStringLiteral("/elsewhere"));

        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        RunsDialog* dialog = openDialog(form);
        QVERIFY(dialog != nullptr);
        QCOMPARE(readRows(dialog).size(), 2);
        QCOMPARE(readRows(dialog)[0][1], Moving);
        if (!TestEnv::trashSaysWhere()) {
            // The Recycle Bin did not say where it put the files: the row says how they come back.
            selectRow(dialog, 1);
            QVERIFY(readRows(dialog)[1][1].endsWith(
                QStringLiteral("restore them with the Recycle Bin's Restore.")));
            QVERIFY(!putBackButton(dialog)->isEnabled());
            return;
        }
        selectRow(dialog, 1);
        QVERIFY(putBackButton(dialog)->isEnabled());
        dialogs.expectQuestion(true);
        dialogs.expectMessage();
        press(putBackButton(dialog)); // a click the button shows, a moment later
        QTRY_COMPARE(dialogs.calls().size(), std::size_t{2});
        const QString question = dialogs.calls().front().text;
        QVERIFY2(question.startsWith(QStringLiteral("Put back run 1 of ")) &&
                     question.contains(QStringLiteral("(2 files from ") + TestEnv::native(folder)),
                 qPrintable(question));
        const QString done = dialogs.messageTexts().value(0);
        QVERIFY2(done.startsWith(QStringLiteral("Put-back of run 1 of ")) &&
                     done.endsWith(QStringLiteral(":\n2 files were put back.")),
                 qPrintable(done));
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()), QFileInfo(path).fileName());
        }
        // The run that went back whole leaves the list; the blocked one stays, still saying why.
        QCOMPARE(readRows(dialog).size(), 1);
        QCOMPARE(readRows(dialog)[0][1], Moving);
        QVERIFY(!putBackButton(dialog)->isEnabled());
    }
};

THINWICK_TEST_MAIN(RunsDialogTest)

#include "test_runsdialog.moc"
