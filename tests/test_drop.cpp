// Dropping files and folders onto the source list, through real drag and drop events on the list.
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"
#include "deletelist/DeleteList.h"
#include "sources/Drop.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace {

std::unique_ptr<QMimeData> urlsOf(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

struct DragAnswer {
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// A drag enters the list, moves over it and is dropped, as the platform delivers it.
DragAnswer sendDrag(ListView* list, const QMimeData* data,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
    QWidget* target = list->viewport();
    const QPoint point = target->rect().center();
    DragAnswer answer;
    QDragEnterEvent enter(point, possible, data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &enter);
    answer.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(point, possible, data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &move);
    answer.moveAccepted = move.isAccepted();
    QDropEvent drop(point, possible, data, Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(target, &drop);
    answer.dropAccepted = drop.isAccepted();
    answer.action = drop.dropAction();
    return answer;
}

// The same drag, then the work the drop left for the event loop.
DragAnswer
dragAndDrop(ListView* list, const QMimeData* data, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
            Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
    const DragAnswer answer = sendDrag(list, data, modifiers, possible);
    QCoreApplication::sendPostedEvents();
    return answer;
}

// A path as rows and messages show it: with the platform's separator.
QString n(const QString& path) {
    return TestEnv::native(path);
}

struct Window {
    ScriptedDialogs dialogs;
    Form1 form{dialogs};
    Window() {
        form.setWindowTitle("Thinwick");
        form.SetAppTitle();
        FormControls(form).Text1->setText("100");
    }
};

// One rebuild over the pool's folders with a drop and a click delivered at its first pause;
// false when it finished without one.
bool rebuildHoldsADrop(const QString& root, int folders) {
    Window w;
    for (int f = 0; f < folders; ++f)
        w.form.addSourceFolder(n(root + QStringLiteral("/pool/%1/").arg(f)));
    int resets = 0;
    QObject::connect(FormControls(w.form).ListView3->model(), &QAbstractItemModel::modelReset,
                     &w.form, [&] { ++resets; });
    // Delivered at the rebuild's first pause: the drop, and a click that would rebuild again.
    bool rebuilding = false;
    bool deliveredInside = false;
    const auto data = urlsOf({root + "/dropped"});
    QTimer::singleShot(0, &w.form, [&] {
        deliveredInside = rebuilding;
        sendDrag(FormControls(w.form).ListView1, data.get());
        FormControls(w.form).PushButton12->click();
    });
    rebuilding = true;
    w.form.PushButton12_Click();
    rebuilding = false;
    if (!deliveredInside)
        return false;
    // The rebuild finished with its own rows alone and was entered once: cleared, filled.
    [&] {
        QCOMPARE(FormControls(w.form).ListView1->count(), folders);
        QCOMPARE(FormControls(w.form).ListView3->count(), 100);
        QCOMPARE(resets, 2);
        // Then the drop is walked and the held click rebuilds, each once.
        QTRY_COMPARE(FormControls(w.form).ListView1->count(), folders + 1);
        QCOMPARE(FormControls(w.form).ListView1->rowText(folders + 1), n(root + "/dropped/"));
        QTRY_COMPARE(resets, 4);
        QCOMPARE(FormControls(w.form).ListView3->count(), 100);
    }();
    return true;
}

} // namespace

class DropTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TestEnv::removeSettings(); }

    void droppedFolderAddsFoldersWithFilesInLevelOrder() {
        QTemporaryDir tmp;
        const QString d = tmp.path() + "/dropped folder/";
        TestEnv::makeFile(d + "a/file.txt");
        TestEnv::makeFile(d + "a/x/y/deep.txt"); // level 3; a/x itself holds no file
        TestEnv::makeFile(d + "b/c/file.txt");   // level 2; b itself holds no file
        TestEnv::makeFile(d + "h/.hidden");      // a hidden file only
        TestEnv::makeHidden(d + "h/.hidden");
        TestEnv::makeFile(d + "target/t.txt");
        QVERIFY(QDir().mkpath(d + "l")); // a link to a file only
        QVERIFY(QFile::link(d + "target/t.txt", d + "l/link.txt"));
        Window w;
        const DragAnswer answer = dragAndDrop(FormControls(w.form).ListView1,
                                              urlsOf({tmp.path() + "/dropped folder"}).get());
        QVERIFY(answer.enterAccepted && answer.moveAccepted && answer.dropAccepted);
        QCOMPARE(answer.action, Qt::CopyAction);
        const QStringList rows = FormControls(w.form).ListView1->rows();
        // The dropped folder first, then level 1 (in listing order), then b/c, then a/x/y.
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows.front(), n(d));
        QCOMPARE(QSet<QString>(rows.begin() + 1, rows.begin() + 4),
                 (QSet<QString>{n(d + "a/"), n(d + "target/"), n(d + "l/")}));
        QCOMPARE(rows.mid(4), (QStringList{n(d + "b/c/"), n(d + "a/x/y/")}));
        QVERIFY(w.dialogs.calls().empty());
    }

    void emptyDroppedFolderAddsItsOwnRow() {
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.path() + "/empty/sub/subsub"));
        Window w;
        dragAndDrop(FormControls(w.form).ListView1, urlsOf({tmp.path() + "/empty"}).get());
        QCOMPARE(FormControls(w.form).ListView1->rows(), QStringList{n(tmp.path() + "/empty/")});
        QVERIFY(w.dialogs.calls().empty());
    }

    void severalFoldersInDeliveryOrder() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/b/sub/f");
        TestEnv::makeFile(tmp.path() + "/a/sub/f");
        Window w;
        w.form.addSourceFolder("/kept/");
        dragAndDrop(FormControls(w.form).ListView1,
                    urlsOf({tmp.path() + "/b", tmp.path() + "/a"}).get());
        QCOMPARE(FormControls(w.form).ListView1->rows(),
                 (QStringList{"/kept/", n(tmp.path() + "/b/"), n(tmp.path() + "/b/sub/"),
                              n(tmp.path() + "/a/"), n(tmp.path() + "/a/sub/")}));
    }

    void linkToFolderIsARowNotWalked() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/real/sub/f");
        QVERIFY(TestEnv::linkFolder(tmp.path() + "/real", tmp.path() + "/link"));
        auto unlink = qScopeGuard([&] { TestEnv::removeFolderLink(tmp.path() + "/link"); });
        Window w;
        dragAndDrop(FormControls(w.form).ListView1,
                    urlsOf({tmp.path() + "/link", tmp.path() + "/link/"}).get());
        QCOMPARE(FormControls(w.form).ListView1->rows(),
                 (QStringList{n(tmp.path() + "/link/"), n(tmp.path() + "/link/")}));
    }

    void closingTheWindowDuringTheWalkAddsNothing() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/a/sub/f");
        Window w;
        // The walk gives the event loop its first turn at once; the window closes then.
        QTimer::singleShot(0, &w.form, [&] { w.form.close(); });
        dragAndDrop(FormControls(w.form).ListView1, urlsOf({tmp.path() + "/a"}).get());
        QVERIFY(w.form.isUnloaded());
        QCOMPARE(FormControls(w.form).ListView1->count(), 0);
        QVERIFY(w.dialogs.calls().empty());
    }

    void itemsThatAreNotFoldersAreNamedInOneMessage() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/folder/f");
        QStringList dropped;
        QStringList files;
        for (int i = 0; i < 23; ++i) {
            files.append(tmp.path() + QString("/file %1.txt").arg(i, 2, 10, QChar('0')));
            TestEnv::makeFile(files.back());
        }
        // A file, the folder, the other files and a path that vanished.
        dropped << files.front() << tmp.path() + "/folder" << files.mid(1) << tmp.path() + "/gone";
        Window w;
        w.dialogs.expectMessage();
        dragAndDrop(FormControls(w.form).ListView1, urlsOf(dropped).get());
        QCOMPARE(FormControls(w.form).ListView1->rows(), QStringList{n(tmp.path() + "/folder/")});
        QCOMPARE(w.dialogs.calls().size(), size_t(1));
        QCOMPARE(w.dialogs.calls()[0].title, QString("Thinwick"));
        QCOMPARE(w.dialogs.calls()[0].icon, MessageIcon::None);
        QStringList shown;
        for (const QString& file : files.mid(0, 20))
            shown.append(n(file));
        const QString expected = "These 24 items are not folders and were not added:\n" +
                                 shown.join('\n') + "\n... and 4 more.";
        QCOMPARE(w.dialogs.calls()[0].text, expected);

        // One file alone.
        w.dialogs.clear();
        w.dialogs.expectMessage();
        dragAndDrop(FormControls(w.form).ListView1, urlsOf({files.front()}).get());
        QCOMPARE(w.dialogs.messageTexts(),
                 QStringList{"This item is not a folder and was not added:\n" + n(files.front())});
        QCOMPARE(FormControls(w.form).ListView1->count(), 1);
    }

    void dragsWithoutLocalFilesAreRefused_data() {
        QTest::addColumn<bool>("withText");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("text") << true << QList<QUrl>{};
        QTest::newRow("web address") << false << QList<QUrl>{QUrl("https://example.org/a/")};
        QTest::newRow("local and web")
            << false << QList<QUrl>{QUrl::fromLocalFile(QDir::tempPath()), QUrl("https://e.org/")};
        QTest::newRow("text naming a folder") << true << QList<QUrl>{};
    }

    void dragsWithoutLocalFilesAreRefused() {
        QFETCH(bool, withText);
        QFETCH(QList<QUrl>, urls);
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/f/file");
        QMimeData data;
        if (withText)
            data.setText(tmp.path() + "/f");
        if (!urls.isEmpty())
            data.setUrls(urls);
        Window w;
        const DragAnswer answer = dragAndDrop(FormControls(w.form).ListView1, &data);
        QVERIFY(!answer.enterAccepted);
        QVERIFY(!answer.moveAccepted);
        QVERIFY(!answer.dropAccepted);
        QCOMPARE(FormControls(w.form).ListView1->count(), 0);
        QVERIFY(w.dialogs.calls().empty());
    }

    void aMoveIsAnsweredAsACopy() {
        // The file manager would take a move as leave to delete the dropped folder.
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.path() + "/f"));
        Window w;
        const auto data = urlsOf({tmp.path() + "/f"});
        DragAnswer answer =
            dragAndDrop(FormControls(w.form).ListView1, data.get(), Qt::ShiftModifier);
        QVERIFY(answer.dropAccepted);
        QCOMPARE(answer.action, Qt::CopyAction);
        answer = dragAndDrop(FormControls(w.form).ListView1, data.get(), Qt::ShiftModifier,
                             Qt::MoveAction | Qt::LinkAction);
        QCOMPARE(answer.action, Qt::LinkAction);
        answer =
            dragAndDrop(FormControls(w.form).ListView1, data.get(), Qt::NoModifier, Qt::MoveAction);
        QVERIFY(!answer.enterAccepted && !answer.dropAccepted);
        QCOMPARE(FormControls(w.form).ListView1->count(), 2);
        QVERIFY(QFileInfo(tmp.path() + "/f").isDir());
    }

    void dropDuringAWalk() {
        QTemporaryDir tmp;
        const QString a = n(tmp.path() + "/a/");
        const QString b = n(tmp.path() + "/b/");
        QStringList aRows{a};
        for (int i = 0; i < 40; ++i) {
            const QString sub = a + n(QString("s%1/").arg(i));
            TestEnv::makeFile(sub + "f");
            aRows.append(sub);
        }
        TestEnv::makeFile(b + "sub/f");
        Window w;
        ListView* list = FormControls(w.form).ListView1;
        const auto first = urlsOf({tmp.path() + "/a"});
        const auto second = urlsOf({tmp.path() + "/b"});
        QVERIFY(sendDrag(list, first.get()).dropAccepted);
        // The second drag waits behind the walk of the first and arrives when that walk gives the
        // event loop a turn.
        int rowsWhenSecondDropArrived = -1;
        QObject::connect(list, &ListView::oleDragDrop, list, [&](const QMimeData* data) {
            if (data == second.get())
                rowsWhenSecondDropArrived = list->count();
        });
        QTimer::singleShot(0, list, [&] { sendDrag(list, second.get()); });
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(rowsWhenSecondDropArrived, 0);
        const QStringList rows = list->rows();
        QCOMPARE(rows.size(), aRows.size() + 2);
        // Each drop's rows stay together and complete, whichever finished first.
        const qsizetype at = rows.indexOf(a);
        QVERIFY(at == 0 || at == 2);
        QCOMPARE(QSet<QString>(rows.begin() + at + 1, rows.begin() + at + aRows.size()),
                 QSet<QString>(aRows.begin() + 1, aRows.end()));
        QCOMPARE(rows.mid(at == 0 ? aRows.size() : 0, 2), (QStringList{b, b + n("sub/")}));
    }

    void dropLeavesDeleteListSummaryAndPointer() {
        QTemporaryDir tmp;
        TestEnv::makeFile(tmp.path() + "/first/1.txt");
        TestEnv::makeFile(tmp.path() + "/second/sub/2.txt");
        Window w;
        w.form.addSourceFolder(n(tmp.path() + "/first/"));
        w.form.deleteList().CorrelateListviewsWrapper();
        const QStringList deleteList = FormControls(w.form).ListView3->rows();
        const QString summary = FormControls(w.form).Text4->text();
        QCOMPARE(deleteList, QStringList{n(tmp.path() + "/first/1.txt")});
        w.form.setMousePointer(Form1::PointerHand);
        dragAndDrop(FormControls(w.form).ListView1, urlsOf({tmp.path() + "/second"}).get());
        QCOMPARE(FormControls(w.form).ListView1->count(), 3);
        QCOMPARE(FormControls(w.form).ListView3->rows(), deleteList);
        QCOMPARE(FormControls(w.form).Text4->text(), summary);
        QCOMPARE(w.form.mousePointer(), Form1::PointerHand);
        // The next rebuild takes the dropped rows into account; the dropped folder itself holds
        // no file and is reported then.
        w.dialogs.expectMessage();
        w.form.PushButton12_Click();
        QCOMPARE(w.dialogs.messageTexts(),
                 QStringList{"There are no files in folder " + n(tmp.path() + "/second/")});
        QCOMPARE(FormControls(w.form).ListView3->count(), 2);
    }
    void dropDuringARebuildIsWalkedAfterIt() {
        // The pool grows until its rebuild lists long enough to give the window a pass before its
        // last folder: a few hundred files where listing is slow (Wine), tens of thousands where
        // it is fast, never more than the machine needs.
        QTemporaryDir tmp;
        constexpr int Folders = 30;
        TestEnv::makeFile(tmp.path() + "/dropped/file.txt");
        int filesEach = 0;
        for (int grown = 40; grown <= 40 * 4 * 4 * 4 * 4; grown *= 4) {
            for (int f = 0; f < Folders; ++f) {
                const QString folder = tmp.path() + QStringLiteral("/pool/%1/").arg(f);
                QVERIFY(QDir().mkpath(folder));
                for (int i = filesEach; i < grown; ++i) {
                    QFile file(folder + QString::number(i));
                    QVERIFY(file.open(QIODevice::WriteOnly));
                }
            }
            filesEach = grown;
            if (rebuildHoldsADrop(tmp.path(), Folders))
                return;
            if (QTest::currentTestFailed())
                return;
        }
        QFAIL("the rebuild never let the window paint");
    }
};

THINWICK_TEST_MAIN(DropTest)
#include "test_drop.moc"
