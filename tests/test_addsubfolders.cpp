// "1. Add All Subfolders In Folder" in the window: rows, rebuild, cancel, and what other buttons do
// while the walk runs.
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"
#include "common/Random.h"
#include "deletelist/ListingCache.h"

#include <QApplication>
#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

// A path as rows and messages show it: with the platform's separator.
QString n(const QString& path) {
    return TestEnv::native(path);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// A tree with files at several depths; "pick/a/b/" holds only a folder.
struct Tree {
    QTemporaryDir tmp;
    QString pick = tmp.path() + "/pick";
    QStringList files;

    Tree() {
        for (const char* file : {"/top.txt", "/a/one.txt", "/a/b/c/deep.txt", "/z/last.txt"}) {
            TestEnv::makeFile(pick + file);
            files.append(n(pick + file));
        }
        files.sort();
    }
    // As a row shows it.
    QString folder(const QString& relative) const { return n(pick + "/" + relative); }
};

// The walk's order, level by level: the folder, then the folders one level below it, then two
// levels, ...; within a level each folder's subfolders stand together, in its parent's place, in
// the order the file system lists them.
QStringList levelOrder(const QString& folder) {
    QStringList order{n(folder + "/")};
    for (qsizetype i = 0; i < order.size(); ++i) {
        const QString parent = order.at(i);
        for (const QString& name :
             QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted))
            order.append(parent + name + QDir::separator());
    }
    return order;
}

} // namespace

class AddSubfoldersTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TestEnv::removeSettings(); }

    void addsTheTreeAndDrawsFromAllOfIt() {
        Tree tree;
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");
        dialogs.expectFolder(tree.pick);
        // "a/b/" holds no file: the rebuild says so, under the busy pointer.
        int pointerDuringRebuild = -1;
        dialogs.whileOpen = [&](const ScriptedDialogs::Call& call) {
            if (call.kind == ScriptedDialogs::Kind::Message)
                pointerDuringRebuild = form.mousePointer();
        };
        dialogs.expectMessage();
        FormControls(form).PushButton6->click();

        const QStringList rows = FormControls(form).ListView1->rows();
        QCOMPARE(rows, levelOrder(tree.pick));
        QCOMPARE(sorted(rows), sorted({n(tree.pick + "/"), tree.folder("a/"), tree.folder("z/"),
                                       tree.folder("a/b/"), tree.folder("a/b/c/")}));
        QCOMPARE(dialogs.calls()[0].kind, ScriptedDialogs::Kind::PickFolder);
        QCOMPARE(dialogs.calls()[0].text, QString("Please select folder:"));
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{"There are no files in folder " + tree.folder("a/b/")});
        QCOMPARE(pointerDuringRebuild, Form1::PointerBusy);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        // The draw takes files from every depth of the tree.
        QCOMPARE(sorted(FormControls(form).ListView3->rows()), tree.files);

        dialogs.expectMessage();
        FormControls(form).Text1->setText("2");
        QCOMPARE(FormControls(form).ListView3->count(), 2);
        for (const QString& file : FormControls(form).ListView3->rows())
            QVERIFY(tree.files.contains(file));
        QCOMPARE(dialogs.unusedAnswers(), 0);
    }

    void theRebuildTakesTheListingsTheWalkRead_data() {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<int>("reused");
        QTest::newRow("as the walk reads it") << QString() << 5;
        // The chosen folder's row is the path made normal, which the walk did not read; the
        // rows below it are the walk's own.
        QTest::newRow("written otherwise") << QStringLiteral("//") << 4;
    }
    void theRebuildTakesTheListingsTheWalkRead() {
        QFETCH(QString, picked);
        QFETCH(int, reused);
        Tree tree;
        // Folders changed within the racy window are listed again by every rebuild: let them
        // settle.
        QThread::msleep(Delete1::RacyWindowNsec / 1'000'000 + 100);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("2");
        dialogs.expectFolder(picked.isEmpty() ? tree.pick : tree.tmp.path() + picked + "pick");
        dialogs.expectMessage(2);
        Main::Random::seed(7);
        form.PushButton6_Click();
        // Five folders, none read again by the rebuild that the walk read under its row's text.
        QCOMPARE(FormControls(form).ListView1->count(), 5);
        QCOMPARE(form.deleteList().listingCache().reusedCount(), reused);
        QCOMPARE(form.deleteList().listingCache().listedCount(), 5 - reused);
        const QStringList drawn = FormControls(form).ListView3->rows();
        // "2. Start Generating List" reads every folder afresh, and the same seed draws the same
        // files from what it reads.
        Main::Random::seed(7);
        form.PushButton12_Click();
        QCOMPARE(form.deleteList().listingCache().listedCount(), 5);
        QCOMPARE(form.deleteList().listingCache().reusedCount(), 0);
        QCOMPARE(FormControls(form).ListView3->rows(), drawn);
        QCOMPARE(drawn.size(), 2);
    }

    void folderWithoutSubfoldersAddsOneRow() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/only/f.txt");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");
        // A picker answer with its final separator is taken as it is.
        dialogs.expectFolder(tmp.path() + "//only/");
        form.PushButton6_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), QStringList{n(tmp.path() + "/only/")});
        QCOMPARE(FormControls(form).ListView3->rows(), QStringList{n(tmp.path() + "/only/f.txt")});
    }

    void alreadyListedFolderAddsItsTreeAgain() {
        Tree tree;
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        dialogs.expectFolder(tree.pick);
        dialogs.expectFolder(tree.pick);
        dialogs.expectMessage(2); // "a/b/" once, then twice in one box
        form.PushButton6_Click();
        const QStringList once = FormControls(form).ListView1->rows();
        form.PushButton6_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), once + once);
        const QString noFiles = "There are no files in folder " + tree.folder("a/b/");
        QCOMPARE(dialogs.messageTexts(), (QStringList{noFiles, noFiles + "\n" + noFiles}));
    }

    void cancelAddsNothingAndRebuilds() {
        Tree tree;
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");
        form.addSourceFolder(tree.folder("z/"));
        FormControls(form).ListView3->setRows({"stale"});
        dialogs.expectFolder(QString());
        form.PushButton6_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), QStringList{tree.folder("z/")});
        QCOMPARE(FormControls(form).ListView3->rows(), QStringList{tree.folder("z/last.txt")});
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
    }

    void otherButtonsWhileTheWalkRuns() {
        // The walk yields at once: a click arriving then finds the busy pointer. "Clear List" and
        // double-click removal do nothing; "1. Add Folder(s)" adds its row at once, before the
        // walk's rows, and its pointer changes replace the busy pointer.
        Tree tree;
        QTemporaryDir other;
        TestEnv::makeFile(other.path() + "/o.txt");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        dialogs.expectFolder(tree.pick);
        dialogs.expectFolder(other.path());
        dialogs.expectMessage(); // "a/b/", by the rebuild after the walk
        int pointerInWalk = -1;
        QStringList rowsInWalk;
        QTimer::singleShot(0, &form, [&] {
            pointerInWalk = form.mousePointer();
            FormControls(form).ListView1->selectRow(1);
            FormControls(form).PushButton4->click();
            form.ListView1_DblClick();
            rowsInWalk = FormControls(form).ListView1->rows();
            FormControls(form).PushButton8->click();
        });
        FormControls(form).PushButton6->click();
        QCOMPARE(pointerInWalk, Form1::PointerBusy);
        QCOMPARE(rowsInWalk, QStringList{n(tree.pick + "/")});
        QStringList expected = levelOrder(tree.pick);
        expected.insert(1, n(other.path() + "/"));
        QCOMPARE(FormControls(form).ListView1->rows(), expected);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(dialogs.unusedAnswers(), 0);
    }

    void closingTheWindowEndsTheWalk() {
        // The program is ending: nothing is added and no rebuild asks anything.
        Tree tree;
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        dialogs.expectFolder(tree.pick);
        QTimer::singleShot(0, &form, [&] { form.close(); });
        form.PushButton6_Click();
        QVERIFY(form.isUnloaded());
        QCOMPARE(FormControls(form).ListView1->rows(), QStringList{n(tree.pick + "/")});
        QCOMPARE(dialogs.calls().size(), size_t(1));
    }

    void rowsAddedInOneBatchKeepSelectionAndDrag() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.addSourceFolder("first/");
        FormControls(form).ListView1->selectRow(1);
        form.ListView1_ItemClick();
        QStringList many;
        for (int i = 0; i < 100000; ++i)
            many.append(QString::number(i) + "/");
        form.addSourceFolders(many);
        QCOMPARE(FormControls(form).ListView1->count(), 100001);
        QCOMPARE(FormControls(form).ListView1->rowText(2), QString("0/"));
        QCOMPARE(FormControls(form).ListView1->rowText(100001), QString("99999/"));
        QCOMPARE(FormControls(form).ListView1->selectedRow(), 1);
        QCOMPARE(form.draggedRow(), 1);
        form.addSourceFolders({});
        QCOMPARE(FormControls(form).ListView1->count(), 100001);
    }
};

THINWICK_TEST_MAIN(AddSubfoldersTest)
#include "test_addsubfolders.moc"
