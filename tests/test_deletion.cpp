// The deletion run ("3. Start Deleting Files") against real files and the real desktop trash under
// the temporary XDG_DATA_HOME; a fake trash only where the machine cannot be made to fail.
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "deletelist/DeleteList.h"
#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

QString trashDir() {
    return TestEnv::dataHome() + QStringLiteral("/Trash");
}

QStringList trashedNames() {
    return QDir(trashDir() + QStringLiteral("/files"))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

// The decoded Path= of a trashed entry's info file; empty when there is none.
QString trashedFrom(const QString& name) {
    QFile info(trashDir() + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : info.readAll().split('\n'))
        if (line.startsWith("Path="))
            return TestEnv::pathFromTrashInfo(QUrl::fromPercentEncoding(line.mid(5)));
    return {};
}

// The original paths of everything in the trash.
QSet<QString> trashedOriginals() {
    QSet<QString> paths;
    for (const QString& name : trashedNames())
        paths.insert(trashedFrom(name));
    return paths;
}

// Paths as the platform writes them: with its own separator.
QSet<QString> natives(const QStringList& paths) {
    QSet<QString> set;
    for (const QString& path : paths)
        set.insert(TestEnv::native(path));
    return set;
}

bool present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Every entry under the root, recursively: files with sizes, links with targets, folders.
QMap<QString, QString> listing(const QString& root) {
    QMap<QString, QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString key = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink())
            entries.insert(key, QStringLiteral("link ") + info.symLinkTarget());
        else if (info.isDir())
            entries.insert(key, QStringLiteral("folder"));
        else
            entries.insert(key, QStringLiteral("file %1").arg(info.size()));
    }
    return entries;
}

QStringList makeFiles(const QString& folder, const QStringList& names) {
    QStringList paths;
    for (const QString& name : names) {
        paths.append(folder + QLatin1Char('/') + name);
        TestEnv::makeFile(paths.last(), name.toUtf8());
    }
    return paths;
}

// A trash that refuses every path, as a full disk or a broken trash would.
class RefusingTrash : public Trash {
public:
    QStringList asked;
    TrashResult moveToTrash(const QString& path) override {
        asked.append(path);
        TrashResult result;
        result.reason = QStringLiteral("refused");
        return result;
    }
};

// Refuses every path, and its flush at the run's end fails as a full disk would make it.
class FlushFailingTrash : public RefusingTrash {
public:
    void flush() override { throw Failure(QStringLiteral("No space left on device")); }
};

} // namespace

class DeletionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The run's outcome is checked in the trash itself; test_trash_win checks real Windows.
        if (!TestEnv::seesTrash())
            QSKIP("the Recycle Bin cannot be looked into here");
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void init() { TestEnv::resetTrash(); }
    void cleanup() { TestEnv::resetTrash(); }

    void emptyListOnlySaysNoFilesAdded() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        int barChanges = 0;
        connect(FormControls(form).ProgressBar1, &ProgressBar::valueSet, &form,
                [&] { ++barChanges; });
        connect(FormControls(form).ProgressBar1, &ProgressBar::textSet, &form,
                [&] { ++barChanges; });
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("No files added.")});
        QCOMPARE(barChanges, 0);
        QCOMPARE(FormControls(form).ProgressBar1->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
    }

    // A list drawn from a real source folder: progress, pointer, trash records, the list and
    // summary left as they were, and nothing else in the tree touched. A second run moves nothing.
    void movesEveryListedFileAndNothingElse() {
        QTemporaryDir dir;
        makeFiles(dir.path() + QStringLiteral("/pool"),
                  {QStringLiteral("a.txt"), QStringLiteral("b.dat"), QStringLiteral("c"),
                   QStringLiteral("d.jpg")});
        makeFiles(dir.path() + QStringLiteral("/keep"),
                  {QStringLiteral("k.txt"), QStringLiteral("sub/deep.txt"), QStringLiteral(".h")});
        QVERIFY(QFile::link(dir.path() + QStringLiteral("/pool/a.txt"),
                            dir.path() + QStringLiteral("/keep/to-a")));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText(QStringLiteral("4"));
        form.addSourceFolder(Main::terminatedFolderPath(dir.path() + QStringLiteral("/pool")));
        form.deleteList().CorrelateListviewsWrapper();
        const QStringList rows = FormControls(form).ListView3->rows();
        QCOMPARE(rows.size(), 4);
        const QString summary = FormControls(form).Text4->text();
        QVERIFY(!summary.isEmpty());
        const QMap<QString, QString> before = listing(dir.path());

        QList<double> values;
        QStringList texts;
        int pointerAtSecond = -1;
        bool busyAtSecond = false;
        connect(FormControls(form).ProgressBar1, &ProgressBar::valueSet, &form, [&](double value) {
            values.append(value);
            if (values.size() == 2) {
                pointerAtSecond = form.mousePointer();
                busyAtSecond = form.isBusy();
            }
        });
        connect(FormControls(form).ProgressBar1, &ProgressBar::textSet, &form,
                [&](const QString& text) { texts.append(text); });
        dialogs.expectMessage();
        FormControls(form).PushButton2->click();

        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(values, (QList<double>{25, 50, 75, 100, 0}));
        QStringList expectedTexts;
        for (const QString& path : rows)
            expectedTexts.append(QStringLiteral("Processing: ") + QFileInfo(path).fileName());
        expectedTexts.append(QStringLiteral("Progress Bar"));
        QCOMPARE(texts, expectedTexts);
        QCOMPARE(pointerAtSecond, Form1::PointerBusy);
        QVERIFY(busyAtSecond);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);

        QCOMPARE(trashedNames().size(), 4);
        for (const QString& path : rows) {
            const QString name = QFileInfo(path).fileName();
            QVERIFY2(!present(path), qPrintable(path));
            QCOMPARE(trashedFrom(name), TestEnv::native(path));
            QFile trashed(trashDir() + QStringLiteral("/files/") + name);
            QVERIFY(trashed.open(QIODevice::ReadOnly));
            QCOMPARE(trashed.readAll(), name.toUtf8()); // the file itself, not a new one
        }
        QMap<QString, QString> expected = before;
        for (const QString& path : rows)
            expected.remove(QDir(dir.path()).relativeFilePath(path));
        QCOMPARE(listing(dir.path()), expected);
        QCOMPARE(FormControls(form).ListView3->rows(), rows);
        QCOMPARE(FormControls(form).Text4->text(), summary);

        // A second run finds none of them and says so.
        dialogs.clear();
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{QStringLiteral("Done.\n\n4 listed files were no longer where they "
                                            "were listed and were skipped.")});
        QCOMPARE(trashedNames().size(), 4);
        QCOMPARE(listing(dir.path()), expected);
    }

    // Rows that do not simply name an ordinary file.
    void rowsThatAreNotPlainFiles() {
        if (!TestEnv::canLink())
            QSKIP("rows written the POSIX way: a link, a leading \"//\", a dot name; the hidden "
                  "attribute is checked in hiddenFileRowStays");
        QTemporaryDir dir;
        const QString d = dir.path();
        makeFiles(d, {QStringLiteral("slash.txt"), QStringLiteral("double.txt"),
                      QStringLiteral(".hidden"), QStringLiteral("target.txt"),
                      QStringLiteral("folder/inside.txt")});
        QVERIFY(QFile::link(d + QStringLiteral("/target.txt"), d + QStringLiteral("/link")));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        // A row may start with a doubled separator (a hand-written list file): "//tmp/...". The
        // trash records the path as users write it.
        FormControls(form).ListView3->setRows(
            {d + QStringLiteral("/slash.txt/"), d + QStringLiteral("/.hidden"),
             d + QStringLiteral("/link"), QLatin1Char('/') + d + QStringLiteral("/double.txt")});
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(trashedOriginals(),
                 (QSet<QString>{d + QStringLiteral("/slash.txt"), d + QStringLiteral("/link"),
                                d + QStringLiteral("/double.txt")}));
        QVERIFY(!present(d + QStringLiteral("/double.txt")));
        QVERIFY(!present(d + QStringLiteral("/slash.txt")));
        QVERIFY(present(d + QStringLiteral("/.hidden")));
        QVERIFY(!present(d + QStringLiteral("/link")));
        QVERIFY(QFileInfo(trashDir() + QStringLiteral("/files/link")).isSymLink());
        QVERIFY(QFileInfo(d + QStringLiteral("/target.txt")).isFile());

        // A folder is never deleted; the closing message names it.
        const QMap<QString, QString> before = listing(d);
        dialogs.clear();
        FormControls(form).ListView3->setRows({d + QStringLiteral("/folder")});
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts().size(), 1);
        const QStringList lines = dialogs.messageTexts().first().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), QStringLiteral("Done."));
        QCOMPARE(lines.at(1), QString());
        QVERIFY2(lines.at(2).contains(QStringLiteral("could not be moved to the trash")) &&
                     lines.at(2).contains(QStringLiteral("left in place")),
                 qPrintable(lines.at(2)));
        QVERIFY2(lines.at(3).startsWith(d + QStringLiteral("/folder")), qPrintable(lines.at(3)));
        QCOMPARE(listing(d), before);
        QCOMPARE(trashedNames().size(), 3);
    }

    void rowRemovedWithDeleteKeyStays() {
        QTemporaryDir dir;
        const QStringList paths =
            makeFiles(dir.path(),
                      {QStringLiteral("1.txt"), QStringLiteral("2.txt"), QStringLiteral("3.txt")});
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(paths);
        FormControls(form).ListView3->selectRow(2);
        QTest::keyClick(FormControls(form).ListView3, Qt::Key_Delete);
        QCOMPARE(FormControls(form).ListView3->rows(), (QStringList{paths[0], paths[2]}));
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(trashedOriginals(), natives({paths[0], paths[2]}));
        QVERIFY(present(paths[1]));
    }

    // The rows of rowsThatAreNotPlainFiles that every platform has: a hidden file's row is skipped
    // and the file stays; a row ending in the separator names the file before it.
    void hiddenFileRowStays() {
        QTemporaryDir dir;
        const QString d = dir.path();
        makeFiles(d, {QStringLiteral(".hidden"), QStringLiteral("slash.txt")});
        TestEnv::makeHidden(d + QStringLiteral("/.hidden"));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows({TestEnv::native(d + QStringLiteral("/slash.txt/")),
                                               TestEnv::native(d + QStringLiteral("/.hidden"))});
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(trashedOriginals(), natives({d + QStringLiteral("/slash.txt")}));
        QVERIFY(present(d + QStringLiteral("/.hidden")));
        QVERIFY(!present(d + QStringLiteral("/slash.txt")));
    }

    void unusualNamesKeepTheirExactPath() {
        QTemporaryDir dir;
        QStringList names{QStringLiteral("with space.txt"),  QStringLiteral("100% sure.txt"),
                          QStringLiteral("%41%2F.txt"),      QStringLiteral("ünï çødé.txt"),
                          QStringLiteral("line\nbreak.txt"), QStringLiteral("日本語")};
        // Windows holds no line break in a name.
        names.removeIf([](const QString& name) { return !TestEnv::canHoldName(name); });
        const QStringList paths = makeFiles(dir.path() + QStringLiteral("/sub dir"), names);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(paths);
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(trashedNames().size(), paths.size());
        for (const QString& path : paths) {
            QVERIFY2(!present(path), qPrintable(path));
            QCOMPARE(trashedFrom(QFileInfo(path).fileName()), TestEnv::native(path));
        }
    }

    // With a regular file where the trash folder should be, the real trash refuses every move.
    void unusableTrashLeavesFilesInPlace() {
        QTemporaryDir dir;
        const QStringList paths =
            makeFiles(dir.path(),
                      {QStringLiteral("x.txt"), QStringLiteral("y.txt"), QStringLiteral("z.txt")});
        QVERIFY(QDir(trashDir()).removeRecursively());
        TestEnv::makeFile(trashDir(), "not a folder");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(paths);
        dialogs.expectMessage();
        form.PushButton2_Click();
        for (const QString& path : paths)
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        QVERIFY(QFileInfo(trashDir()).isFile());
        QCOMPARE(dialogs.messageTexts().size(), 1);
        const QStringList lines = dialogs.messageTexts().first().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.at(0), QStringLiteral("Done."));
        QCOMPARE(lines.at(1), QString());
        QCOMPARE(lines.at(2), QStringLiteral("3 files could not be moved to the trash and were "
                                             "left in place:"));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(lines.at(3 + i).startsWith(paths.at(i) + QLatin1Char(' ')),
                     qPrintable(lines.at(3 + i)));
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
    }

    void longFailureListIsCut() {
        QTemporaryDir dir;
        QStringList names;
        for (int i = 1; i <= 25; ++i)
            names.append(QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0')));
        const QStringList paths = makeFiles(dir.path(), names);
        ScriptedDialogs dialogs;
        RefusingTrash trash;
        Form1 form(dialogs, &trash);
        FormControls(form).ListView3->setRows(paths);
        dialogs.expectMessage();
        form.PushButton2_Click();
        QCOMPARE(trash.asked, paths);
        QCOMPARE(dialogs.messageTexts().size(), 1);
        const QStringList lines = dialogs.messageTexts().first().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 24);
        QCOMPARE(lines.at(0), QStringLiteral("Done."));
        QCOMPARE(lines.at(1), QString());
        QVERIFY2(lines.at(2).startsWith(QStringLiteral("25 files could not be moved")),
                 qPrintable(lines.at(2)));
        for (int i = 0; i < 20; ++i)
            QCOMPARE(lines.at(3 + i), paths.at(i) + QStringLiteral(" (refused)"));
        QCOMPARE(lines.at(23), QStringLiteral("... and 5 more."));
    }

    // Whatever happens to the delete list while the run yields, it moves exactly the files that
    // were listed when the button was pressed. "start" edits from a zero-delay timer, which fires
    // at the run's first yield; "midRun" edits when the second file's progress is shown.
    void runKeepsTheListItStartedWith_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("atStart");
        QTest::newRow("clear at start") << QStringLiteral("clear") << true;
        QTest::newRow("replace at start") << QStringLiteral("replace") << true;
        QTest::newRow("delete key at start") << QStringLiteral("key") << true;
        QTest::newRow("replace mid-run") << QStringLiteral("replace") << false;
    }
    void runKeepsTheListItStartedWith() {
        QFETCH(QString, edit);
        QFETCH(bool, atStart);
        QTemporaryDir dir;
        const QStringList listed =
            makeFiles(dir.path() + QStringLiteral("/listed"),
                      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        const QStringList others =
            makeFiles(dir.path() + QStringLiteral("/others"),
                      {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(listed);
        FormControls(form).ListView3->selectRow(2);
        bool edited = false;
        auto doEdit = [&] {
            edited = true;
            if (edit == QLatin1String("clear"))
                form.PushButton9_Click();
            else if (edit == QLatin1String("replace"))
                FormControls(form).ListView3->setRows(others);
            else
                QTest::keyClick(FormControls(form).ListView3, Qt::Key_Delete);
        };
        if (atStart) {
            QTimer::singleShot(0, &form, doEdit);
        } else {
            connect(FormControls(form).ProgressBar1, &ProgressBar::valueSet, &form,
                    [&](double value) {
                        if (!edited && value > 60 && value < 70)
                            doEdit();
                    });
        }
        dialogs.expectMessage();
        form.PushButton2_Click();
        QVERIFY(edited);
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(trashedOriginals(), natives(listed));
        for (const QString& path : others)
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
    }

    // A second press during a run is ignored; closing the window stops the run without a word.
    void pressOrCloseDuringRun_data() {
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("atStart");
        QTest::newRow("press at start") << false << true;
        QTest::newRow("press mid-run") << false << false;
        QTest::newRow("close at start") << true << true;
        QTest::newRow("close mid-run") << true << false;
    }
    void pressOrCloseDuringRun() {
        QFETCH(bool, close);
        QFETCH(bool, atStart);
        QTemporaryDir dir;
        const QStringList paths = makeFiles(dir.path(), {QStringLiteral("1"), QStringLiteral("2"),
                                                         QStringLiteral("3"), QStringLiteral("4")});
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(paths);
        bool acted = false;
        auto act = [&] {
            acted = true;
            if (close)
                form.close();
            else
                FormControls(form).PushButton2->click();
        };
        if (atStart) {
            QTimer::singleShot(0, &form, act);
        } else {
            connect(FormControls(form).ProgressBar1, &ProgressBar::valueSet, &form,
                    [&](double value) {
                        if (!acted && value == 50)
                            act();
                    });
        }
        if (!close)
            dialogs.expectMessage();
        form.PushButton2_Click();
        QVERIFY(acted);
        QVERIFY(!form.isDeletionRunning());
        if (close) {
            QCOMPARE(dialogs.messageTexts(), QStringList());
            // Mid-run, the first file was moved before the window closed; the rest stay.
            const qsizetype moved = atStart ? 0 : 1;
            QCOMPARE(trashedOriginals(), natives(paths.mid(0, moved)));
            for (qsizetype i = moved; i < paths.size(); ++i)
                QVERIFY2(QFileInfo(paths.at(i)).isFile(), qPrintable(paths.at(i)));
        } else {
            QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Done.")});
            QCOMPARE(trashedNames().size(), 4);
            QCOMPARE(trashedOriginals(), natives(paths));
            QCOMPARE(form.mousePointer(), Form1::PointerDefault);
            QCOMPARE(FormControls(form).ProgressBar1->text(), QStringLiteral("Progress Bar"));
        }
    }

    // One path straight to ShellDelete with the real trash.
    void shellDeleteEdgeCases() {
        QTemporaryDir dir;
        const QString d = dir.path();
        DesktopTrash trash;

        const Delete1::ShellDeleteResult missing =
            Delete1::ShellDelete(d + QStringLiteral("/nothing"), true, trash);
        QVERIFY(!missing.found && !missing.moved && !missing.isFolder);

        makeFiles(d, {QStringLiteral("folder/inside.txt"), QStringLiteral("target/t.txt")});
        const QMap<QString, QString> folderBefore = listing(d);
        const Delete1::ShellDeleteResult folder =
            Delete1::ShellDelete(d + QStringLiteral("/folder/"), true, trash);
        QVERIFY(!folder.found && !folder.moved && folder.isFolder);
        QVERIFY(!folder.reason.isEmpty());
        QCOMPARE(listing(d), folderBefore);
        QCOMPARE(trashedNames(), QStringList());

        // A dangling link is still something at the path: the link itself goes.
        if (!TestEnv::canLink())
            return; // no symbolic links here
        QVERIFY(QFile::link(d + QStringLiteral("/gone"), d + QStringLiteral("/dangling")));
        const Delete1::ShellDeleteResult dangling =
            Delete1::ShellDelete(d + QStringLiteral("/dangling"), true, trash);
        QVERIFY(dangling.found && dangling.moved && !dangling.isFolder);
        QVERIFY(!present(d + QStringLiteral("/dangling")));
        QVERIFY(QFileInfo(trashDir() + QStringLiteral("/files/dangling")).isSymLink());
        QCOMPARE(trashedFrom(QStringLiteral("dangling")), d + QStringLiteral("/dangling"));

        // A link to a folder goes as the link; the folder and its contents stay.
        QVERIFY(QFile::link(d + QStringLiteral("/target"), d + QStringLiteral("/folderlink")));
        const Delete1::ShellDeleteResult folderLink =
            Delete1::ShellDelete(d + QStringLiteral("/folderlink"), true, trash);
        QVERIFY(folderLink.found && folderLink.moved && !folderLink.isFolder);
        QVERIFY(!present(d + QStringLiteral("/folderlink")));
        QVERIFY(QFileInfo(d + QStringLiteral("/target/t.txt")).isFile());
        QCOMPARE(trashedNames(),
                 (QStringList{QStringLiteral("dangling"), QStringLiteral("folderlink")}));

        // A path that cannot be looked at is not "already gone": it stays and says why.
        QVERIFY(QFile::link(d + QStringLiteral("/loop"), d + QStringLiteral("/loop")));
        const Delete1::ShellDeleteResult looped =
            Delete1::ShellDelete(d + QStringLiteral("/loop/file"), true, trash);
        QVERIFY(!looped.moved && Delete1::leftInPlace(looped));
        QVERIFY(Delete1::leftInPlace(folder));
        QVERIFY(!Delete1::leftInPlace(missing) && !Delete1::leftInPlace(dangling));
    }

    // Files that left their listed path after the draw are counted, apart from those that could
    // not be moved; a row that is a folder is neither.
    void closingMessageCountsFilesNoLongerListedWhere_data() {
        QTest::addColumn<QStringList>("goneFiles");
        QTest::addColumn<bool>("renameFolder");
        QTest::addColumn<bool>("withFolderRow");
        QTest::addColumn<QString>("expected");
        const QString one = QStringLiteral("\n\n1 listed file was no longer where it was listed "
                                           "and was skipped.");
        const QString three = QStringLiteral("\n\n3 listed files were no longer where they were "
                                             "listed and were skipped.");
        const QString folder = QStringLiteral("\n\n1 file could not be moved to the trash and "
                                              "was left in place:");
        QTest::newRow("all went") << QStringList() << false << false << QStringLiteral("Done.");
        QTest::newRow("one deleted")
            << QStringList{QStringLiteral("a")} << false << false << QStringLiteral("Done.") + one;
        QTest::newRow("one deleted, folder renamed")
            << QStringList{QStringLiteral("a")} << true << false << QStringLiteral("Done.") + three;
        QTest::newRow("with a folder row") << QStringList{QStringLiteral("a")} << false << true
                                           << QStringLiteral("Done.") + one + folder;
    }
    void closingMessageCountsFilesNoLongerListedWhere() {
        QFETCH(QStringList, goneFiles);
        QFETCH(bool, renameFolder);
        QFETCH(bool, withFolderRow);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString d = dir.path();
        QStringList rows = makeFiles(d, {QStringLiteral("a"), QStringLiteral("b")});
        rows += makeFiles(d + QStringLiteral("/sub"), {QStringLiteral("c"), QStringLiteral("e")});
        QDir().mkpath(d + QStringLiteral("/folder"));
        if (withFolderRow)
            rows.append(d + QStringLiteral("/folder"));
        for (const QString& name : goneFiles)
            QVERIFY(QFile::remove(d + QLatin1Char('/') + name));
        if (renameFolder)
            QVERIFY(QDir(d).rename(QStringLiteral("sub"), QStringLiteral("renamed")));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(rows);
        dialogs.expectMessage();
        form.PushButton2_Click();
        const QString text = dialogs.messageTexts().value(0);
        QCOMPARE(text.left(expected.size()), expected);
        QCOMPARE(text.size() > expected.size(), withFolderRow);
        QVERIFY(!present(d + QStringLiteral("/b")));
        QCOMPARE(present(d + QStringLiteral("/renamed/c")), renameFolder);
        QVERIFY(QFileInfo(d + QStringLiteral("/folder")).isDir());
    }

    // Nothing is ever deleted for good: without the trash, ShellDelete refuses.
    void shellDeleteWithoutTrashRefuses() {
        QTemporaryDir dir;
        const QString path = makeFiles(dir.path(), {QStringLiteral("keep.txt")}).first();
        RefusingTrash trash;
        const Delete1::ShellDeleteResult result = Delete1::ShellDelete(path, false, trash);
        QVERIFY(!result.moved && Delete1::leftInPlace(result));
        QVERIFY(!result.reason.isEmpty());
        QVERIFY(trash.asked.isEmpty());
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep.txt"));
    }

    void aFailedFlushIsReportedUnderItsOwnLabel() {
        // Told apart from a failed move (122): the report names the flush's statement.
        FlushFailingTrash trash;
        ScriptedDialogs dialogs;
        Form1 form(dialogs, &trash);
        FormControls(form).ListView3->setRows({QStringLiteral("/nowhere/a.jpg")});
        dialogs.expectMessage(2);
        form.PushButton2_Click();
        const QStringList texts = dialogs.messageTexts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0), Main::errorReportText(QStringLiteral("No space left on device"),
                                                    Location::PushButton2_Click, 124));
        QVERIFY2(texts.at(1).startsWith(QStringLiteral("Done.")), qPrintable(texts.at(1)));
    }

    void unreadablePathsAreReportedNotSkipped() {
        if (!TestEnv::canLink())
            QSKIP("a path through a link to itself needs symbolic links");
        QTemporaryDir dir;
        const QString d = dir.path();
        const QStringList kept = makeFiles(d, {QStringLiteral("kept.txt")});
        QVERIFY(QFile::link(d + QStringLiteral("/loop"), d + QStringLiteral("/loop")));
        const QString tooLong = d + QLatin1Char('/') + QString(300, QLatin1Char('n'));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).ListView3->setRows(
            {d + QStringLiteral("/loop/a.jpg"), tooLong, kept.first()});
        dialogs.expectMessage();
        form.PushButton2_Click();
        const QString text = dialogs.messageTexts().value(0);
        QVERIFY2(text.startsWith(QStringLiteral("Done.\n\n2 files could not be moved")),
                 qPrintable(text));
        QVERIFY(text.contains(d + QStringLiteral("/loop/a.jpg (")));
        QVERIFY(text.contains(tooLong + QStringLiteral(" (")));
        QVERIFY(!present(kept.first()));
    }
};

THINWICK_TEST_MAIN(DeletionTest)
#include "test_deletion.moc"
