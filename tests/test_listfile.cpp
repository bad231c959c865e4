// "1. Load List Of Folders From File" through the scripted dialogs, and reading list files into the
// source list.
#include "Form1.h"
#include "FormControls.h"
#include "Paths.h"
#include "TestSupport.h"
#include "common/ErrorReport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

const QString Intro = QStringLiteral("Load a list of destination folders from a text file.");
const QString NoFiles = QStringLiteral("There are no files in folder ");

QString notAdded(const QString& path) {
    return path + "\r\rwas not added because it has bad characters in the filename.";
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// A window with its title set, as after start-up.
struct Window {
    ScriptedDialogs dialogs;
    Form1 form{dialogs};
    Window() {
        form.setWindowTitle("Thinwick");
        form.SetAppTitle();
        FormControls(form).Text1->setText("100");
    }
};

} // namespace

class ListFileTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TestEnv::removeSettings(); }

    void oneFileIsUsedAsReturned() {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/photos";
        TestEnv::makeFile(folder + "/a.jpg");
        TestEnv::makeFile(tmp.path() + "/lists/one.txt", (folder + "/\r\n").toUtf8());
        Window w;
        w.dialogs.expectMessage();
        // The doubled separator stays: the one path is not normalised (the file system reads it).
        w.dialogs.expectFiles({tmp.path() + "/lists//one.txt"});
        FormControls(w.form).PushButton1->click();
        QCOMPARE(FormControls(w.form).ListView1->rows(),
                 QStringList{TestEnv::native(folder + "/")});
        QCOMPARE(FormControls(w.form).ListView3->rows(),
                 QStringList{TestEnv::native(folder + "/a.jpg")});
        QCOMPARE(FormControls(w.form).Text4->text(),
                 TestEnv::native(folder + "/a.jpg") + " will be deleted.\r\n");
        QCOMPARE(w.form.mousePointer(), Form1::PointerDefault);

        const auto& calls = w.dialogs.calls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[0].kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(calls[0].text, Intro);
        QCOMPARE(calls[0].title, QString("Thinwick"));
        QCOMPARE(calls[0].icon, MessageIcon::None);
        QCOMPARE(calls[1].kind, ScriptedDialogs::Kind::PickFiles);
        QCOMPARE(calls[1].text, QString("Add File(s) - Hold Ctrl to select multiple files"));
        QCOMPARE(calls[1].title, QString("All Files (*.*)"));

        // A missing single file is named exactly as returned.
        w.dialogs.clear();
        w.dialogs.expectMessage(2);
        w.dialogs.expectFiles({tmp.path() + "//lists//gone.txt"});
        w.form.PushButton1_Click();
        QCOMPARE(w.dialogs.messageTexts(),
                 (QStringList{Intro, notAdded(TestEnv::native(tmp.path() + "//lists//gone.txt"))}));
        QCOMPARE(FormControls(w.form).ListView1->rows(),
                 QStringList{TestEnv::native(folder + "/")});
    }

    void severalFilesAreReadInOrderThenRebuiltOnce() {
        QTemporaryDir tmp;
        const QString lists = tmp.path() + "/my lists";
        const QString missing = tmp.path() + "/missing";
        const QString one = tmp.path() + "/one/";
        TestEnv::makeFile(one + "x.txt");
        TestEnv::makeFile(lists + "/c.txt", "c1\r\nc2");
        TestEnv::makeFile(lists + "/a.txt", (missing + "\r\n" + one + "\r\n").toUtf8());
        TestEnv::makeFile(lists + "/b.txt", "b1\nb2\n");
        Window w;
        const QStringList expected{
            TestEnv::native(missing), TestEnv::native(one), "b1", "b2", "c1", "c2"};
        // Rows without files are reported in one box per rebuild: one box means one rebuild, and
        // the rows seen then show it came after all three files were read.
        QList<QStringList> rowsAtReport;
        QList<int> pointerAtReport;
        w.dialogs.whileOpen = [&](const ScriptedDialogs::Call& call) {
            if (call.kind == ScriptedDialogs::Kind::Message && call.text.startsWith(NoFiles)) {
                rowsAtReport.append(FormControls(w.form).ListView1->rows());
                pointerAtReport.append(w.form.mousePointer());
            }
        };
        w.dialogs.expectMessage(2);
        w.dialogs.expectFiles({lists + "/a.txt", lists + "/b.txt", lists + "/c.txt"});
        w.form.PushButton1_Click();
        QCOMPARE(FormControls(w.form).ListView1->rows(), expected);
        QCOMPARE(w.dialogs.messageTexts(),
                 (QStringList{Intro, QStringList{NoFiles + TestEnv::native(missing + "/"),
                                                 NoFiles + TestEnv::native("b1/"),
                                                 NoFiles + TestEnv::native("b2/"),
                                                 NoFiles + TestEnv::native("c1/"),
                                                 NoFiles + TestEnv::native("c2/")}
                                         .join('\n')}));
        QCOMPARE(rowsAtReport, QList<QStringList>(1, expected));
        QCOMPARE(pointerAtReport, QList<int>(1, Form1::PointerBusy));
        QCOMPARE(FormControls(w.form).ListView3->rows(),
                 QStringList{TestEnv::native(one + "x.txt")});
        QCOMPARE(w.form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(w.dialogs.unusedAnswers(), 0);
    }

    void severalFilesInTheRootFolderAreJoinedWithOneSeparator() {
        // Files of the root folder, chosen together: the dialog gives "/" as their folder, and
        // the joined "//name" is collapsed. They do not exist, so the message shows the path.
        const QString stem =
            QDir::rootPath() + "thinwick-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QVERIFY(!QFile::exists(stem + "-a.txt") && !QFile::exists(stem + "-b.txt"));
        Window w;
        w.dialogs.expectMessage(3);
        w.dialogs.expectFiles({stem + "-a.txt", stem + "-b.txt"});
        w.form.PushButton1_Click();
        QCOMPARE(w.dialogs.messageTexts(),
                 (QStringList{Intro, notAdded(TestEnv::native(stem + "-a.txt")),
                              notAdded(TestEnv::native(stem + "-b.txt"))}));
        QCOMPARE(FormControls(w.form).ListView1->count(), 0);
    }

    void rejectedFilesAreNamedAndTheOthersRead() {
        QTemporaryDir tmp;
        const QString binary = tmp.path() + "/photo.jpg";
        const QString missing = tmp.path() + "/missing.txt";
        TestEnv::makeFile(tmp.path() + "/a.txt", "a\r\n");
        TestEnv::makeFile(binary, QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + "b\r\n");
        TestEnv::makeFile(tmp.path() + "/c.txt", "c\r\n");
        Window w;
        w.dialogs.expectMessage(4);
        w.dialogs.expectFiles({tmp.path() + "/a.txt", missing, binary, tmp.path() + "/c.txt"});
        w.form.PushButton1_Click();
        QCOMPARE(FormControls(w.form).ListView1->rows(), (QStringList{"a", "c"}));
        const QStringList texts = w.dialogs.messageTexts();
        // Byte for byte: lone carriage returns, no line feed. A file that is not text is named
        // for what it is, not for its name.
        QCOMPARE(
            texts.mid(0, 3),
            (QStringList{
                Intro,
                TestEnv::native(missing) + "\r\rwas not added because it has bad characters in the "
                                           "filename.",
                TestEnv::native(binary) + " was not added because it is not a text file."}));
        for (const int i : {2, 3}) { // after the intro and the picker
            QCOMPARE(w.dialogs.calls()[i].title, QString("Thinwick"));
            QCOMPARE(w.dialogs.calls()[i].icon, MessageIcon::None);
        }
        // Then the rebuild: neither row is a folder, and one box says so.
        QCOMPARE(texts[3],
                 NoFiles + TestEnv::native("a/") + "\n" + NoFiles + TestEnv::native("c/"));
    }

    void vanishedFileIsNotFoundAndTheOthersRead() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/a.txt", "a");
        TestEnv::makeFile(tmp.path() + "/c.txt", "c");
        // The link was chosen; the file it leads to went away before it was read.
        if (!TestEnv::canLink())
            QSKIP("symbolic links need a privilege here");
        TestEnv::makeFile(tmp.path() + "/target.txt", "b");
        QVERIFY(QFile::link(tmp.path() + "/target.txt", tmp.path() + "/b.txt"));
        QVERIFY(QFile::remove(tmp.path() + "/target.txt"));
        Window w;
        w.dialogs.expectMessage(4);
        w.dialogs.expectFiles(
            {tmp.path() + "/a.txt", tmp.path() + "/b.txt", tmp.path() + "/c.txt"});
        w.form.PushButton1_Click();
        QCOMPARE(FormControls(w.form).ListView1->rows(), (QStringList{"a", "c"}));
        QCOMPARE(w.dialogs.messageTexts().mid(0, 2), (QStringList{Intro, "File not found"}));
    }

    void cancelReadsNothingAndDrawsAfresh() {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/f/";
        TestEnv::makeFile(folder + "1.txt");
        TestEnv::makeFile(folder + "2.txt");
        Window w;
        w.form.addSourceFolder(TestEnv::native(folder));
        FormControls(w.form).ListView3->setRows(
            {TestEnv::native(folder + "1.txt")}); // pruned by hand
        FormControls(w.form).Text4->setText(TestEnv::native(folder + "1.txt") +
                                            " will be deleted.\r\n");
        w.dialogs.expectMessage();
        w.dialogs.expectFiles({});
        w.form.PushButton1_Click();
        QCOMPARE(FormControls(w.form).ListView1->rows(), QStringList{TestEnv::native(folder)});
        QCOMPARE(
            sorted(FormControls(w.form).ListView3->rows()),
            (QStringList{TestEnv::native(folder + "1.txt"), TestEnv::native(folder + "2.txt")}));
        QCOMPARE(FormControls(w.form).Text4->text().count(" will be deleted.\r\n"), 2);
        QCOMPARE(w.dialogs.messageTexts(), QStringList{Intro});
        QCOMPARE(w.form.mousePointer(), Form1::PointerDefault);
    }

    void failureWhileReadingIsReportedAndTheRebuildRuns() {
        QTemporaryDir tmp;
        Window w;
        FormControls(w.form).ListView3->setRows({"stale"});
        w.dialogs.expectMessage(2);
        w.dialogs.expectFiles({tmp.path()}); // a folder, not a list file
        w.form.PushButton1_Click();
        QCOMPARE(w.dialogs.calls().size(), size_t(3));
        const ScriptedDialogs::Call& report = w.dialogs.calls()[2];
        QCOMPARE(report.title, QString(Main::ErrorReportTitle));
        QCOMPARE(report.text,
                 Main::errorReportText("Is a directory: " + TestEnv::native(tmp.path()),
                                       Location::PushButton1_Click, 120));
        QCOMPARE(FormControls(w.form).ListView1->count(), 0);
        QCOMPARE(FormControls(w.form).ListView3->count(), 0);
        QCOMPARE(w.form.mousePointer(), Form1::PointerDefault);
    }

    void listFileLines_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("rows");
        // clang-format off
        QTest::newRow("blanks kept") << QByteArray(" /a \r\n\t/b\t\r\n") << QStringList{" /a ", "\t/b\t"};
        QTest::newRow("equal lines") << QByteArray("/a\r\n/a\r\n") << QStringList{"/a", "/a"};
        QTest::newRow("missing folder") << QByteArray("/no/such/folder\r\n") << QStringList{"/no/such/folder"};
        QTest::newRow("CR only") << QByteArray("/a\r/b\r/c") << QStringList{"/a", "/b", "/c"};
        QTest::newRow("mixed ends") << QByteArray("/a\r\n/b\n/c\r/d") << QStringList{"/a", "/b", "/c", "/d"};
        QTest::newRow("empty lines") << QByteArray("\r\n/a\n\n\r/b\r\n\r\n") << QStringList{"/a", "/b"};
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF/a\r\n/b") << QStringList{"/a", "/b"};
        QTest::newRow("UTF-8") << QByteArray("/caf\xC3\xA9\r\n/m\xC3\xBCll")
                               << QStringList{QString::fromUtf8("/café"), QString::fromUtf8("/müll")};
        QTest::newRow("Windows-1252") << QByteArray("/caf\xE9\r\n/m\xFCll")
                                      << QStringList{QString::fromUtf8("/café"), QString::fromUtf8("/müll")};
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE/\0a\0\r\0\n\0/\0\xE9\0", 14)
                                << QStringList{"/a", QString::fromUtf8("/é")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        // clang-format on
    }

    void listFileLines() {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, rows);
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/list", contents);
        Window w;
        w.dialogs.expectMessage(rows.isEmpty() ? 1 : 2);
        w.dialogs.expectFiles({tmp.path() + "/list"});
        w.form.PushButton1_Click();
        // A row takes the platform's separator.
        for (QString& row : rows)
            row = TestEnv::native(row);
        QCOMPARE(FormControls(w.form).ListView1->rows(), rows);
        QStringList noFiles;
        for (const QString& row : rows)
            noFiles.append(NoFiles + row + TestEnv::native("/"));
        QStringList texts{Intro};
        if (!noFiles.isEmpty())
            texts.append(noFiles.join('\n'));
        QCOMPARE(w.dialogs.messageTexts(), texts);
    }

    void largeListIsAddedInOneStep() {
        QTemporaryDir tmp;
        QByteArray contents;
        for (int i = 0; i < 100000; ++i)
            contents += "/data/folder " + QByteArray::number(i) + (i % 2 != 0 ? "\r\n" : "\n");
        TestEnv::makeFile(tmp.path() + "/big.txt", contents);
        ScriptedDialogs dialogs;
        ListView list;
        list.addRow("kept");
        list.show();
        QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(list.model(), &QAbstractItemModel::modelReset);
        Main::LoadListFromFile(list, tmp.path() + "/big.txt", dialogs, "Title");
        QCOMPARE(list.count(), 100001);
        QCOMPARE(list.rowText(1), QString("kept"));
        QCOMPARE(list.rowText(100001), TestEnv::native("/data/folder 99999"));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(reset.count(), 0);
        QVERIFY(dialogs.calls().empty());
    }
};

THINWICK_TEST_MAIN(ListFileTest)
#include "test_listfile.moc"
