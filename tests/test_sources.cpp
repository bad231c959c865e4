// Path helpers and the source folder list: list files, double-click removal, "Clear List",
// drag reordering, "1. Add Folder(s)" and the folders the program is started with.
#include "Form1.h"
#include "FormControls.h"
#include "Paths.h"
#include "RunApart.h"
#include "TestSupport.h"
#include "deletelist/DeleteList.h"
#include "sources/AddFolder.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

QPoint rowCenter(const ListView* list, int position) {
    return list->visualRect(list->model()->index(position - 1, 0)).center();
}

void press(ListView* list, QPoint point) {
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, point);
}

void release(ListView* list, QPoint point) {
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, point);
}

// A pointer move over the list's viewport with the given buttons held.
void moveTo(ListView* list, QPoint point, Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent move(QEvent::MouseMove, point, list->viewport()->mapToGlobal(point), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
}

// Press, release, double-click and release at one point, as the platform delivers them.
void doubleClick(ListView* list, QPoint point) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, point);
}

void addRows(Form1& form, const QStringList& rows) {
    for (const QString& row : rows)
        form.addSourceFolder(row);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QString dragIconBesideProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/drag.ico");
}

} // namespace

class SourcesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TestEnv::removeSettings(); }

    void normalizeFolderPath_data() {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        struct Case {
            const char* name;
            const char* path;
            const char* expected;
        };
        // Written with '\'; each case runs again with every '\' turned into '/'.
        const Case cases[] = {
            {"doubled", "C:\\\\Data\\\\Sub", "C:\\Data\\Sub"},
            {"run of three", "C:\\Data\\\\\\Sub", "C:\\Data\\\\Sub"},
            {"run of four", "C:\\Data\\\\\\\\Sub", "C:\\Data\\\\Sub"},
            {"four leading", "\\\\\\\\server\\share", "\\\\server\\share"},
            {"network path", "\\\\server\\share", "\\\\server\\share"},
            {"one leading", "\\folder", "\\\\folder"},
            {"leading run and doubles", "\\\\\\a\\\\b", "\\\\a\\b"},
            {"empty", "", ""},
            {"lone separator", "\\", "\\\\"},
            {"trailing separator", "C:\\Data\\", "C:\\Data\\"},
            {"doubled trailing", "C:\\Data\\\\", "C:\\Data\\"},
        };
        for (const Case& c : cases)
            QTest::addRow("\\ %s", c.name)
                << QChar('\\') << QString::fromLatin1(c.path) << QString::fromLatin1(c.expected);
        // With "/" there is no network path: a leading run is collapsed like any other pair.
        // clang-format off
        QTest::newRow("/ absolute") << QChar('/') << "/home/a" << "/home/a";
        QTest::newRow("/ doubled leading and inside") << QChar('/') << "//home//a" << "/home/a";
        QTest::newRow("/ lone") << QChar('/') << "/" << "/";
        QTest::newRow("/ pair") << QChar('/') << "//" << "/";
        QTest::newRow("/ run of three") << QChar('/') << "///a" << "//a";
        QTest::newRow("/ doubled inside, trailing") << QChar('/') << "/a//b/" << "/a/b/";
        QTest::newRow("/ run of four inside") << QChar('/') << "/a////b" << "/a//b";
        QTest::newRow("/ relative") << QChar('/') << "a//b" << "a/b";
        QTest::newRow("/ empty") << QChar('/') << "" << "";
        // clang-format on
        // clang-format off
        QTest::newRow("\\ leaves /") << QChar('\\') << "C://a//b/" << "C://a//b/";
        QTest::newRow("/ leaves \\") << QChar('/') << "\\\\a\\\\b" << "\\\\a\\\\b";
        // clang-format on
    }

    void normalizeFolderPath() {
        QFETCH(QChar, separator);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(Main::NormalizeFolderPath(path, separator), expected);
    }

    void fileNameOf() {
        QCOMPARE(Main::FileNameOf("C:\\Data\\x.txt", '\\'), QString("x.txt"));
        QCOMPARE(Main::FileNameOf("x.txt", '\\'), QString("x.txt"));
        QCOMPARE(Main::FileNameOf("C:\\Data\\", '\\'), QString());
        // The default is the native separator; on Unix a backslash is an ordinary character.
        if (QDir::separator() == QLatin1Char('\\')) {
            QCOMPARE(Main::FileNameOf("C:\\Data\\x.txt"), QString("x.txt"));
            QCOMPARE(Main::FileNameOf("\\\\server\\share\\"), QString());
            QCOMPARE(Main::FileNameOf("C:/Data/x.txt"), QString("C:/Data/x.txt"));
            return;
        }
        QCOMPARE(Main::FileNameOf("/home/u/x.txt"), QString("x.txt"));
        QCOMPARE(Main::FileNameOf("/home/u/"), QString());
        QCOMPARE(Main::FileNameOf("C:\\Data\\x.txt"), QString("C:\\Data\\x.txt"));
    }

    void folderAndFileChecks() {
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/f.txt";
        TestEnv::makeFile(file);
        const QString missing = tmp.path() + "/missing";
        QVERIFY(Main::IsFolder(tmp.path()));
        QVERIFY(!Main::IsFolder(file));
        QVERIFY(!Main::IsFolder(missing));
        QVERIFY(!Main::IsFolder(QString()));
        QVERIFY(Main::FileExists(file));
        QVERIFY(Main::FileExists(tmp.path()));
        QVERIFY(!Main::FileExists(missing));
        QVERIFY(!Main::FileExists(QString()));
    }

    void splitListLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        // The line-end kinds themselves are covered by the file table below.
        QTest::newRow("LF CR is two ends") << "a\n\rb" << QStringList{"a", "", "b"};
        QTest::newRow("empty lines kept") << "a\n\n\r\rb" << QStringList{"a", "", "", "", "b"};
        QTest::newRow("one empty line") << "\r\n" << QStringList{""};
        QTest::newRow("blanks kept") << " a \t\r\n\tb " << QStringList{" a \t", "\tb "};
        QTest::newRow("no text") << "" << QStringList{};
    }

    void splitListLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(Main::splitListLines(text), expected);
    }

    void loadListFromFile_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("added");
        const QStringList abc{"a", "b", "c"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\n") << abc;
        QTest::newRow("CR") << QByteArray("a\rb\rc\r") << abc;
        QTest::newRow("LF") << QByteArray("a\nb\nc\n") << abc;
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\r") << abc;
        QTest::newRow("last line open") << QByteArray("a\r\nb\r\nc") << abc;
        QTest::newRow("blanks kept") << QByteArray("  a \r\n\tb\t") << QStringList{"  a ", "\tb\t"};
        QTest::newRow("empty lines left out") << QByteArray("\r\na\r\n\r\n\nb\r\rc\n\n") << abc;
        QTest::newRow("only line ends") << QByteArray("\r\n\n\r") << QStringList{};
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF"
                                           "a\r\nb\r\nc")
                             << abc;
        QTest::newRow("non-ASCII")
            << QByteArray("/tmp/Übersicht\r\n/tmp/日本語/\r\n")
            << QStringList{QString::fromUtf8("/tmp/Übersicht"), QString::fromUtf8("/tmp/日本語/")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }

    void loadListFromFile() {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, added);
        QTemporaryDir tmp;
        const QString path = tmp.path() + "/list.txt";
        TestEnv::makeFile(path, contents);
        ScriptedDialogs dialogs; // no dialog scripted: any message fails the test
        ListView list;
        list.addRow("kept");
        Main::LoadListFromFile(list, path, dialogs, "Title");
        // On Windows a row takes the native separator.
        for (QString& row : added)
            row = TestEnv::native(row);
        QCOMPARE(list.rows(), QStringList{"kept"} + added);
        QVERIFY(dialogs.calls().empty());
    }

    void loadListFromFileRefusals() {
        QTemporaryDir tmp;
        ScriptedDialogs dialogs;
        ListView list;
        list.addRow("kept");
        dialogs.expectMessage();
        Main::LoadListFromFile(list, tmp.path() + "/missing.txt", dialogs, "Some Title");
        QCOMPARE(dialogs.calls().size(), size_t(1));
        const ScriptedDialogs::Call& call = dialogs.calls().front();
        QCOMPARE(call.kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(call.text, QString("File not found"));
        QCOMPARE(call.title, QString("Some Title"));
        QCOMPARE(call.icon, MessageIcon::None);
        QCOMPARE(list.rows(), QStringList{"kept"});

        QVERIFY_THROWS_EXCEPTION(std::exception,
                                 Main::LoadListFromFile(list, tmp.path(), dialogs, "Some Title"));
        QCOMPARE(list.rows(), QStringList{"kept"});
        QCOMPARE(dialogs.calls().size(), size_t(1));
    }

    void addSourceFolderKeepsText() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        addRows(form, {"x//y", "/dup", "/dup", ""});
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{"x//y", "/dup", "/dup", ""}));
    }

    void terminatedFolderPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        // clang-format off
        if (QDir::separator() == QLatin1Char('\\')) {
            // Windows: drive paths, and the network path's leading pair.
            QTest::newRow("drive, doubled inside") << "C:\\a\\\\b" << "C:\\a\\b\\";
            QTest::newRow("drive, ends in separator") << "C:\\a\\b\\" << "C:\\a\\b\\";
            QTest::newRow("drive root") << "C:\\" << "C:\\";
            QTest::newRow("network path") << "\\\\server\\share" << "\\\\server\\share\\";
            QTest::newRow("leading run") << "\\\\\\srv\\\\x" << "\\\\srv\\x\\";
            QTest::newRow("relative, doubled inside") << "a\\\\b" << "a\\b\\";
            QTest::newRow("bare name") << "a" << "a\\";
            QTest::newRow("empty") << "" << "\\";
            QTest::newRow("lone separator") << "\\" << "\\\\";
            return;
        }
        QTest::newRow("absolute, doubled inside") << "/a//b" << "/a/b/";
        QTest::newRow("absolute, ends in separator") << "/a/b/" << "/a/b/";
        QTest::newRow("leading run") << "///srv//x" << "//srv/x/";
        QTest::newRow("relative, doubled inside") << "a//b" << "a/b/";
        QTest::newRow("doubled end, nothing added") << "a/b//" << "a/b/";
        QTest::newRow("bare name") << "a" << "a/";
        QTest::newRow("empty") << "" << "/";
        QTest::newRow("lone separator") << "/" << "/";
        // clang-format on
    }

    void terminatedFolderPath() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(Main::terminatedFolderPath(path), expected);
    }

    void pickedFolderRow() {
        if (QDir::separator() == QLatin1Char('/'))
            QCOMPARE(AddFolder::pickedFolderRow("/"), QString("/"));
        QTemporaryDir tmp;
        QCOMPARE(AddFolder::pickedFolderRow(TestEnv::native(tmp.path())),
                 TestEnv::native(tmp.path() + "/"));
    }

    void doubleClickRemovesSelectedRow() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.ListView1_DblClick(); // empty list: nothing to do
        QCOMPARE(FormControls(form).ListView1->count(), 0);

        addRows(form, {"A", "B", "C", "D"});
        FormControls(form).ListView3->setRows({"stale"});
        FormControls(form).Text4->setText("stale summary");
        FormControls(form).ListView1->selectRow(2);
        form.ListView1_DblClick();
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{"A", "C", "D"}));

        doubleClick(FormControls(form).ListView1, rowCenter(FormControls(form).ListView1, 2));
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{"A", "D"}));

        FormControls(form).ListView1->clearSelection();
        form.ListView1_DblClick();
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{"A", "D"}));

        form.setMousePointer(Form1::PointerBusy);
        FormControls(form).ListView1->selectRow(1);
        form.ListView1_DblClick();
        doubleClick(FormControls(form).ListView1, rowCenter(FormControls(form).ListView1, 1));
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{"A", "D"}));

        // A double-click never rebuilds the delete list or the summary.
        QCOMPARE(FormControls(form).ListView3->rows(), QStringList{"stale"});
        QCOMPARE(FormControls(form).Text4->text(), QString("stale summary"));
        QVERIFY(dialogs.calls().empty());
    }

    void doubleClickForgetsRemovedDraggedRow() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        addRows(form, {"A", "B", "C"});
        ListView* list = FormControls(form).ListView1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCenter(list, 3));
        QCOMPARE(form.draggedRow(), 3);
        // Removing another row: the remembered row follows its text.
        list->selectRow(1);
        form.ListView1_DblClick();
        QCOMPARE(form.draggedRow(), 2);
        QCOMPARE(list->rowText(form.draggedRow()), QString("C"));
        doubleClick(list, rowCenter(list, 2));
        QCOMPARE(list->rows(), QStringList{"B"});
        QCOMPARE(form.draggedRow(), 0);
    }

    void clearList() {
        QTemporaryDir tmp;
        const QString one = TestEnv::native(tmp.path() + "/one/");
        const QString two = TestEnv::native(tmp.path() + "/two");
        TestEnv::makeFile(one + "a.txt");
        TestEnv::makeFile(one + "b.txt");
        TestEnv::makeFile(two + "/c.txt");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");
        addRows(form, {one, two});
        form.deleteList().CorrelateListviewsWrapper();
        const QStringList files{one + "a.txt", one + "b.txt", TestEnv::native(two + "/c.txt")};
        QCOMPARE(sorted(FormControls(form).ListView3->rows()), files);
        QVERIFY(!FormControls(form).Text4->text().isEmpty());

        form.setMousePointer(Form1::PointerBusy);
        form.PushButton4_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{one, two}));
        QCOMPARE(sorted(FormControls(form).ListView3->rows()), files);

        form.setMousePointer(Form1::PointerDefault);
        FormControls(form).PushButton4->click();
        QCOMPARE(FormControls(form).ListView1->count(), 0);
        QCOMPARE(FormControls(form).ListView3->count(), 0);
        QCOMPARE(FormControls(form).Text4->text(), QString());

        // On an empty list the click still leaves an empty delete list.
        FormControls(form).ListView3->setRows({"stale"});
        FormControls(form).Text4->setText("stale");
        form.PushButton4_Click();
        QCOMPARE(FormControls(form).ListView3->count(), 0);
        QCOMPARE(FormControls(form).Text4->text(), QString());
        QVERIFY(dialogs.calls().empty());
    }

    void dragSwapsRowsUnderPointer() {
        QVERIFY(!QFile::exists(dragIconBesideProgram()));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListView* list = FormControls(form).ListView1;
        addRows(form, {"A", "B", "C", "D"});
        FormControls(form).ListView3->setRows({"keep"});
        FormControls(form).Text4->setText("keep");

        press(list, rowCenter(list, 1));
        QVERIFY(form.isDragging());
        QCOMPARE(form.draggedRow(), 1);
        QCOMPARE(list->mousePointer(), ListView::PointerCustom);
        QVERIFY(!list->hasMouseIcon()); // no drag.ico: the drag goes on without an image
        moveTo(list, rowCenter(list, 2));
        QCOMPARE(list->rows(), (QStringList{"B", "A", "C", "D"}));
        moveTo(list, rowCenter(list, 2)); // over the dragged row itself
        QCOMPARE(list->rows(), (QStringList{"B", "A", "C", "D"}));
        moveTo(list, rowCenter(list, 3));
        QCOMPARE(list->rows(), (QStringList{"B", "C", "A", "D"}));
        QCOMPARE(list->selectedRow(), 3);
        QCOMPARE(form.draggedRow(), 3);
        release(list, rowCenter(list, 3));
        QVERIFY(!form.isDragging());
        QCOMPARE(list->mousePointer(), ListView::PointerArrow);
        QCOMPARE(form.draggedRow(), 3);

        // Moving with the flag clear changes nothing.
        moveTo(list, rowCenter(list, 1), Qt::NoButton);
        QCOMPARE(list->rows(), (QStringList{"B", "C", "A", "D"}));
        QCOMPARE(form.draggedRow(), 3);

        // A jump from the first row straight to the third exchanges just those two.
        list->setRows({"A", "B", "C", "D"});
        press(list, rowCenter(list, 1));
        moveTo(list, rowCenter(list, 3));
        release(list, rowCenter(list, 3));
        QCOMPARE(list->rows(), (QStringList{"C", "B", "A", "D"}));
        QCOMPARE(form.draggedRow(), 3);

        QCOMPARE(FormControls(form).ListView3->rows(), QStringList{"keep"});
        QCOMPARE(FormControls(form).Text4->text(), QString("keep"));
        QVERIFY(dialogs.calls().empty());
    }

    void dragKeepsEqualRowsInPlace() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListView* list = FormControls(form).ListView1;
        addRows(form, {"A", "A", "C"});
        const QPoint first = rowCenter(list, 1);
        const QPoint second = rowCenter(list, 2);
        const QPoint third = rowCenter(list, 3);
        // Through the handlers, with the points the real events would carry.
        list->selectRow(1);
        form.ListView1_MouseDown();
        form.ListView1_ItemClick();
        form.ListView1_MouseMove(second);
        QCOMPARE(list->selectedRow(), 1);
        QCOMPARE(form.draggedRow(), 1);
        form.ListView1_MouseMove(third);
        QCOMPARE(list->rows(), (QStringList{"C", "A", "A"}));
        QCOMPARE(form.draggedRow(), 3);
        form.ListView1_MouseUp();
        form.ListView1_MouseMove(first);
        QCOMPARE(list->rows(), (QStringList{"C", "A", "A"}));
        QVERIFY(!form.isDragging());
    }

    void dragIconBesideProgramIsUsed() {
        const QString icon = dragIconBesideProgram();
        QVERIFY(QFile::copy(THINWICK_ASSETS_DIR "/drag.ico", icon));
        const auto removeIcon = qScopeGuard([&] { QFile::remove(icon); });
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListView* list = FormControls(form).ListView1;
        addRows(form, {"A", "B"});
        press(list, rowCenter(list, 1));
        QVERIFY(list->hasMouseIcon());
        QCOMPARE(list->mousePointer(), ListView::PointerCustom);
        moveTo(list, rowCenter(list, 2));
        release(list, rowCenter(list, 2));
        QCOMPARE(list->rows(), (QStringList{"B", "A"}));
    }

    void dragScrollsAtEdges() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListView* list = FormControls(form).ListView1;
        for (int i = 1; i <= 50; ++i)
            form.addSourceFolder(QStringLiteral("row %1").arg(i));
        QScrollBar* bar = list->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        // The lowest row whose centre lies within one row height of the bottom edge.
        const int edge = list->rowHeightPixels();
        const QPoint low(10, list->viewport()->height() - edge / 2 - 1);
        const int under = list->hitTest(low);
        QVERIFY(under > 1 && under < 50);
        const auto nextRowShown = [&](int position) {
            return list->viewport()->rect().contains(
                list->visualRect(list->model()->index(position - 1, 0)));
        };
        QVERIFY(!nextRowShown(under + 1));

        press(list, rowCenter(list, 1));
        moveTo(list, low);
        QCOMPARE(list->rowText(under), QString("row 1"));
        QVERIFY(bar->value() > 0);
        QVERIFY(nextRowShown(under + 1));

        // At the top edge the row above comes into view again.
        const int scrolled = bar->value();
        const QPoint high(10, 1);
        const int top = list->hitTest(high);
        QVERIFY(top > 1);
        moveTo(list, high);
        release(list, high);
        QCOMPARE(list->rowText(top), QString("row 1"));
        QVERIFY(bar->value() < scrolled);
        QVERIFY(nextRowShown(top - 1));
        QCOMPARE(list->count(), 50);
    }

    void addFolderPicksAndRebuilds() {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/pick";
        TestEnv::makeFile(folder + "/f1.txt");
        TestEnv::makeFile(folder + "/f2.txt");
        // The row reads as the user writes the path: "/tmp/.../pick/".
        const QString row = TestEnv::native(folder + "/");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");

        dialogs.expectFolder(folder);
        FormControls(form).PushButton8->click();
        QCOMPARE(FormControls(form).ListView1->rows(), QStringList{row});
        const QStringList files{row + "f1.txt", row + "f2.txt"};
        QCOMPARE(sorted(FormControls(form).ListView3->rows()), files);
        QStringList summary = FormControls(form).Text4->text().split("\r\n");
        QCOMPARE(summary.takeLast(), QString());
        QCOMPARE(sorted(summary),
                 (QStringList{files[0] + " will be deleted.", files[1] + " will be deleted."}));
        QCOMPARE(dialogs.calls().size(), size_t(1));
        QCOMPARE(dialogs.calls()[0].kind, ScriptedDialogs::Kind::PickFolder);
        QCOMPARE(dialogs.calls()[0].text, QString("Please select folder:"));
        QCOMPARE(dialogs.calls()[0].title, QString());
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);

        // Cancelled: no row, but the delete list is drawn afresh from the listed folder.
        FormControls(form).ListView3->setRows({"dummy"});
        FormControls(form).Text4->setText("dummy");
        dialogs.expectFolder(QString());
        form.PushButton8_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), QStringList{row});
        QCOMPARE(sorted(FormControls(form).ListView3->rows()), files);
        QVERIFY(FormControls(form).Text4->text().contains(files[0] + " will be deleted.\r\n"));
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);

        // The rebuild runs under the busy pointer: seen from the message of an empty folder.
        const QString empty = tmp.path() + "/empty";
        QVERIFY(QDir().mkpath(empty));
        int pointerDuringRebuild = -1;
        dialogs.whileOpen = [&](const ScriptedDialogs::Call& call) {
            if (call.kind == ScriptedDialogs::Kind::Message)
                pointerDuringRebuild = form.mousePointer();
        };
        dialogs.expectFolder(empty);
        dialogs.expectMessage();
        form.PushButton8_Click();
        QCOMPARE(pointerDuringRebuild, Form1::PointerBusy);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(FormControls(form).ListView1->rowText(2), TestEnv::native(empty + "/"));
        FormControls(form).ListView1->removeRow(2);
        dialogs.whileOpen = nullptr;

        dialogs.expectFolder(folder);
        form.PushButton8_Click();
        QCOMPARE(FormControls(form).ListView1->rows(), (QStringList{row, row}));
        QCOMPARE(dialogs.unusedAnswers(), 0);
        QVERIFY(!TestEnv::readSettingsFile().contains("LastFolderDot"));
    }

    void addFolderStartsAtLastFolderDot() {
        TestEnv::writeSettingsFile("[Thinwick]\nLastFolderDot=/some/folder\n");
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        dialogs.expectFolder(QString());
        form.PushButton8_Click();
        QCOMPARE(dialogs.calls().size(), size_t(1));
        QCOMPARE(dialogs.calls()[0].title, QString("/some/folder"));
        QCOMPARE(FormControls(form).ListView1->count(), 0);
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        QCOMPARE(TestEnv::readSettingsFile(),
                 QByteArray("[Thinwick]\nLastFolderDot=/some/folder\n"));
    }

    // The folders the program is started with: each added as a picked folder is (a relative one
    // from the working folder), what is not a folder named in one message, then one rebuild.
    void startFoldersAreAddedAsPickedOnes() {
        QTemporaryDir tmp;
        const QString here = tmp.path() + "/here";
        TestEnv::makeFile(here + "/in here.txt");
        TestEnv::makeFile(tmp.path() + "/b/f.txt");
        TestEnv::makeFile(tmp.path() + "/plain.txt");
        const QString wasCurrent = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(wasCurrent); });
        QVERIFY(QDir::setCurrent(here));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText("100");
        int pointerAtMessage = -1;
        dialogs.whileOpen = [&](const ScriptedDialogs::Call&) {
            pointerAtMessage = form.mousePointer();
            // The refusal comes before the delete list is drawn.
            QCOMPARE(FormControls(form).ListView3->count(), 0);
        };
        dialogs.expectMessage();
        form.sources().addStartFolders(
            {tmp.path() + "//b", ".", tmp.path() + "/plain.txt", tmp.path() + "/gone"});
        QCOMPARE(FormControls(form).ListView1->rows(),
                 (QStringList{TestEnv::native(tmp.path() + "/b/"), TestEnv::native(here + "/")}));
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{"These 2 items are not folders and were not added:\n" + tmp.path() +
                             "/plain.txt\n" + tmp.path() + "/gone"});
        QCOMPARE(pointerAtMessage, Form1::PointerDefault);
        QCOMPARE(sorted(FormControls(form).ListView3->rows()),
                 (QStringList{TestEnv::native(tmp.path() + "/b/f.txt"),
                              TestEnv::native(here + "/in here.txt")}));
        QCOMPARE(form.mousePointer(), Form1::PointerDefault);
    }
};

THINWICK_TEST_MAIN_APART(SourcesTest)
#include "test_sources.moc"
