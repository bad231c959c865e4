// The random draw, the delete list and its summary, and pruning the delete list by hand.
#include "DeleteListOnly.h"
#include "TestSupport.h"
#include "common/CountValue.h"
#include "common/Random.h"
#include "common/Settings.h"
#include "deletelist/DeleteList.h"
#include "deletelist/DrawnFiles.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/ListingCache.h"
#include "deletelist/RandomFileList.h"
#include "sources/FolderTree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <QThread>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString NoFiles = QStringLiteral("There are no files in folder ");

const QChar Sep = QDir::separator();

// A folder with the given files directly in it (a name starting with "." hidden); returns its
// path as rows show it, without a trailing separator.
QString makeFolder(const QTemporaryDir& root, const QString& name, const QStringList& files) {
    QString folder = TestEnv::native(root.path() + QLatin1Char('/') + name);
    QDir().mkpath(folder);
    for (const QString& file : files) {
        TestEnv::makeFile(folder + Sep + file);
        if (file.startsWith(QLatin1Char('.')))
            TestEnv::makeHidden(folder + Sep + file);
    }
    return folder;
}

// Every kind of entry the pool listing tells apart: four ordinary files ("a.txt", "b.jpg", "c",
// "link-to-file"), a hidden file, a subfolder "sub", links to nowhere and to the subfolder, and
// on POSIX systems a pipe and a name that is not UTF-8. The links only where links can be made.
QString makeMixedFolder(const QTemporaryDir& root, const QString& name) {
    QString folder = makeFolder(root, name, {"a.txt", "b.jpg", ".hidden", "c"});
    QDir().mkpath(folder + "/sub");
    TestEnv::makeFile(folder + "/sub/inner.txt");
    if (TestEnv::canLink()) {
        QFile::link(folder + "/a.txt", folder + "/link-to-file");
        QFile::link(folder + "/missing", folder + "/broken-link");
        QFile::link(folder + "/sub", folder + "/link-to-folder");
    }
#ifdef Q_OS_UNIX
    mkfifo(QFile::encodeName(folder + "/pipe").constData(), 0600);
    // A name that is not valid UTF-8 could not be named again exactly: it is not offered.
    const int fd =
        ::open((QFile::encodeName(folder) + "/caf\xE9.txt").constData(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0)
        ::close(fd);
#endif
    return folder;
}

QStringList listed(const QString& folder) {
    QStringList pool;
    Delete1::appendOrdinaryFiles(folder + Sep, pool);
    return pool;
}

// The listings the walk hands over as it searches the folder, and the subfolders it finds there.
std::vector<Delete1::FolderListing> walked(const QString& folder, QStringList* names = nullptr) {
    std::vector<Delete1::FolderListing> listings;
    AddFolder::DiskFolderTree tree;
    tree.keepListings([&](Delete1::FolderListing&& listing) { listings.push_back(listing); });
    QStringList found;
    tree.searchFolder(
        folder, [] { return true; }, found);
    if (names != nullptr)
        *names = found;
    return listings;
}

QStringList named(int count, const QString& stem = QStringLiteral("f")) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << stem + QString::number(i) + QStringLiteral(".jpg");
    return names;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// A window whose count box holds the text without a rebuild (the source list is still empty).
struct Window {
    ScriptedDialogs dialogs;
    DeleteListOnly form{dialogs};
    explicit Window(const QString& count) { form.Text1->setText(count); }
};

} // namespace

class DeleteListTest : public QObject {
    Q_OBJECT

    // Folders made once and left alone for longer than the racy window, so that their listings
    // may be kept.
    QTemporaryDir settled;
    QString settledFolder(const QString& name) const {
        return TestEnv::native(settled.path() + "/" + name);
    }

private slots:
    void initTestCase() {
        for (const char* name : {"added", "removed", "renamed", "generate", "twice", "primed"})
            makeFolder(settled, name, named(3));
        makeMixedFolder(settled, "mixed");
        QThread::msleep(Delete1::RacyWindowNsec / 1'000'000 + 100);
    }

    void init() {
        TestEnv::removeSettings();
        Main::Random::seed(20261207);
    }

    void onlyOrdinaryFilesJoinThePool() {
        QTemporaryDir root;
        const QString folder = makeMixedFolder(root, "mixed");
        const QStringList pool = listed(folder);
        QSet<QString> expected{folder + Sep + "a.txt", folder + Sep + "b.jpg", folder + Sep + "c"};
        if (TestEnv::canLink())
            expected.insert(folder + Sep + "link-to-file");
        QCOMPARE(QSet<QString>(pool.begin(), pool.end()), expected);
        QCOMPARE(pool.size(), expected.size());
    }

    void poolingFollowsRowsAndAddsOneSeparator() {
        QTemporaryDir root;
        const QString a = makeFolder(root, "a", named(3, "a"));
        const QString b = makeFolder(root, "b", named(2, "b"));
        Window w("1000");
        w.form.addSourceFolder(b); // without the trailing separator
        w.form.addSourceFolder(a + Sep);
        w.form.addSourceFolder(b + Sep); // the same folder again contributes again
        const QStringList result = w.form.list.randomFileList().paths();
        // Fewer files than the count: the whole pool in pool order.
        QCOMPARE(result, listed(b) + listed(a) + listed(b));
        QVERIFY(result.first().startsWith(b + Sep + "b"));
        QVERIFY(w.dialogs.calls().empty());
    }

    // The window's own draw for counts at the edges of the rule: from 0.5 up to 1 one file is
    // drawn, below 0.5 none, and a count equal to the pool takes every file.
    void windowDrawFollowsTheChoiceRule_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("drawn");
        QTest::newRow("0.5 draws one") << "0.5" << 1;
        QTest::newRow("0.7 draws one") << "0.7" << 1;
        QTest::newRow("0.99 draws one") << "0.99" << 1;
        QTest::newRow("0.4 draws none") << "0.4" << 0;
        QTest::newRow("2.5 draws three") << "2.5" << 3;
        QTest::newRow("equal to the pool") << "5" << 5;
    }
    void windowDrawFollowsTheChoiceRule() {
        QFETCH(QString, count);
        QFETCH(int, drawn);
        QTemporaryDir root;
        const QString a = makeFolder(root, "a", named(2, "a"));
        const QString b = makeFolder(root, "b", named(3, "b"));
        Window w(count);
        w.form.addSourceFolder(a);
        w.form.addSourceFolder(b);
        const QStringList result = w.form.list.randomFileList().paths();
        QCOMPARE(result.size(), drawn);
        const QStringList pool = listed(a) + listed(b);
        QCOMPARE(QSet<QString>(result.begin(), result.end()).size(), drawn);
        for (const QString& path : result)
            QVERIFY(pool.contains(path));
    }

    void foldersWithoutFilesAreNamedInOneBox() {
        QTemporaryDir root;
        const QString full = makeFolder(root, "full", named(2));
        const QString empty = makeFolder(root, "empty", {});
        const QString onlyHidden = makeFolder(root, "hidden", {".a", ".b"});
        const QString onlySub = makeFolder(root, "onlysub", {});
        QDir().mkpath(onlySub + "/child");
        const QString missing = TestEnv::native(root.path() + "/missing");
        Window w("100");
        for (const QString& row : {empty, full, onlyHidden + Sep, onlySub, missing, empty})
            w.form.addSourceFolder(row);
        w.form.addSourceFolder(QString()); // an empty row names no folder: no files, no message
        w.dialogs.expectMessage(1);
        const QStringList result = w.form.list.randomFileList().paths();
        QCOMPARE(result, listed(full));
        QCOMPARE(w.dialogs.messageTexts(),
                 QStringList(NoFiles + empty + Sep + "\n" + NoFiles + onlyHidden + Sep + "\n" +
                             NoFiles + onlySub + Sep + "\n" + NoFiles + missing + Sep + "\n" +
                             NoFiles + empty + Sep));
        for (const auto& call : w.dialogs.calls()) {
            QCOMPARE(call.title, w.form.appTitle());
            QCOMPARE(call.icon, MessageIcon::None);
        }
    }

    void oneBoxPerRebuildNamesTwentyFolders_data() {
        QTest::addColumn<int>("emptyFolders");
        QTest::addColumn<int>("named");
        QTest::addColumn<QString>("last");
        QTest::newRow("none") << 0 << 0 << QString();
        QTest::newRow("one, as it always was") << 1 << 1 << QString();
        QTest::newRow("three") << 3 << 3 << QString();
        QTest::newRow("twenty-five") << 25 << 20 << "... and 5 more.";
    }

    void oneBoxPerRebuildNamesTwentyFolders() {
        QFETCH(int, emptyFolders);
        QFETCH(int, named);
        QFETCH(QString, last);
        QTemporaryDir root;
        Window w("100");
        w.form.setWindowTitle("Thinwick");
        w.form.SetAppTitle();
        w.form.addSourceFolder(makeFolder(root, "full", {"a.jpg", "b.jpg"}));
        QStringList lines;
        for (int i = 0; i < emptyFolders; ++i) {
            const QString folder = makeFolder(root, "empty " + QString::number(i), {});
            w.form.addSourceFolder(folder);
            if (i < named)
                lines.append("There are no files in folder " + folder + Sep);
        }
        if (!last.isEmpty())
            lines.append(last);
        w.dialogs.expectMessage(emptyFolders > 0 ? 1 : 0);
        w.form.list.CorrelateListviewsWrapper();
        QCOMPARE(w.form.ListView3->count(), 2);
        QCOMPARE(w.dialogs.calls().size(), std::size_t(emptyFolders > 0 ? 1 : 0));
        if (emptyFolders == 0)
            return;
        const ScriptedDialogs::Call& box = w.dialogs.calls().front();
        QCOMPARE(box.text.toUtf8(), lines.join('\n').toUtf8());
        QCOMPARE(box.title, QString("Thinwick"));
        QCOMPARE(box.icon, MessageIcon::None);
    }

    void aFolderThatCannotBeListedIsReportedThenCountsAsEmpty() {
        if (!TestEnv::canLink())
            QSKIP("a folder that cannot be listed is made from a symbolic link loop");
        QTemporaryDir root;
        const QString loop = root.path() + "/loop";
        QVERIFY(QFile::link(loop, loop)); // listing it fails with a symbolic link loop
        Window w("5");
        w.form.addSourceFolder(loop);
        w.dialogs.expectMessage(2);
        QVERIFY(w.form.list.randomFileList().isEmpty());
        const QStringList texts = w.dialogs.messageTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(
            texts[0].contains("\r\nin Pruvel2021/08/31.Delete1.randomFileList at line 110\r\r"));
        QCOMPARE(w.dialogs.calls().front().title, QStringLiteral("Application Error"));
        QCOMPARE(texts[1], NoFiles + loop + "/");
    }

    void listingAgainSharesOnlyUnchangedEntries() {
        QTemporaryDir root;
        const QString folder =
            makeFolder(root, "f", {"a.jpg", "b.jpg", QString::fromUtf8("ü.jpg")});
        const QStringList fresh = listed(folder);
        // An earlier listing whose second entry is another file, and one that is shorter.
        QStringList earlier = fresh;
        earlier[1] = folder + Sep + "gone.jpg";
        const QList<QStringList> previous = {earlier, fresh.mid(0, 1), fresh, {}};
        for (const QStringList& before : previous) {
            QStringList pool;
            Delete1::appendOrdinaryFiles(folder + Sep, pool, &before);
            QCOMPARE(pool, fresh);
            for (qsizetype i = 0; i < before.size(); ++i) {
                // Equal entries share their text; others are made anew.
                QCOMPARE(pool[i].constData() == before[i].constData(), before[i] == fresh[i]);
            }
        }
    }

    void aCompactListingGivesThePathsThePoolListingGives() {
        QTemporaryDir root;
        const QString folder = makeMixedFolder(root, "m");
        TestEnv::makeFile(folder + QString::fromUtf8("/\u00fcber.jpg"));
        TestEnv::makeFile(folder + "/with blank.txt");
        Delete1::FolderFiles files(folder + Sep);
        Delete1::listOrdinaryFiles(files);
        QCOMPARE(files.paths(), listed(folder));
        QCOMPARE(files.size(), TestEnv::canLink() ? 6 : 5);
        // Names as bytes, paths made when asked, before and after a name that is not ASCII.
        Delete1::FolderFiles made(QStringLiteral("/d/"));
        made.append("a.jpg");
        QCOMPARE(made.at(0), QStringLiteral("/d/a.jpg"));
        made.append("\xC3\xBC.jpg");
        made.append("b");
        QCOMPARE(made.name(1), QByteArrayView("\xC3\xBC.jpg"));
        QCOMPARE(made.paths(),
                 QStringList({"/d/a.jpg", QString::fromUtf8("/d/\u00fc.jpg"), "/d/b"}));
        // A folder that is not there has none.
        Delete1::FolderFiles missing(folder + Sep + "gone" + Sep);
        Delete1::listOrdinaryFiles(missing);
        QVERIFY(missing.isEmpty());
    }

    void thePoolsPathsAreFoundByPositionAcrossTheRows() {
        // An empty row between two with files: positions run through the rows' files in order.
        QTemporaryDir root;
        const QStringList rows{makeFolder(root, "a", named(3)) + Sep,
                               makeFolder(root, "e", {}) + Sep,
                               makeFolder(root, "b", named(2, "g")) + Sep};
        Delete1::ListingCache cache;
        cache.beginBuild(rows);
        for (qsizetype i = 0; i < rows.size(); ++i)
            cache.list(i, rows.at(i));
        cache.endBuild();
        const QStringList pool = listed(TestEnv::native(root.path() + "/a")) +
                                 listed(TestEnv::native(root.path() + "/b"));
        QCOMPARE(cache.fileCount(), 5);
        QCOMPARE(cache.drawn({4, 0, 3, 2}).paths(),
                 QStringList({pool[4], pool[0], pool[3], pool[2]}));
        QVERIFY(cache.drawn({}).isEmpty());
    }

    void drawnFilesArePathsMadeWhenRead() {
        // Three listings, the middle one empty; positions run through the files in order.
        auto a = std::make_shared<Delete1::FolderFiles>(QStringLiteral("/a/"));
        for (const char* name : {"one", "two", "\xF0\x9F\x98\x80 three"})
            a->append(QByteArrayView(name));
        auto b = std::make_shared<Delete1::FolderFiles>(QStringLiteral("/b b/"));
        b->append(QByteArrayView("four"));
        b->append(QByteArrayView("f\xC3\xBCnf"));
        const Delete1::DrawnFiles drawn({a, std::make_shared<Delete1::FolderFiles>("/e/"), b},
                                        {4, 0, 2, 3});
        const QStringList expected{QString::fromUtf8("/b b/f\u00fcnf"), "/a/one",
                                   QString::fromUtf8("/a/\U0001F600 three"), "/b b/four"};
        QCOMPARE(drawn.size(), 4);
        QCOMPARE(drawn.paths(), expected);
        const std::vector<qsizetype> lengths{9, 6, 11, 9};
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            QCOMPARE(drawn.at(i), expected[i]);
            QCOMPARE(drawn.length(i), lengths[static_cast<std::size_t>(i)]);
        }
        // A copy keeps its files when the other loses some.
        Delete1::DrawnFiles pruned = drawn;
        pruned.remove(1, 2);
        QCOMPARE(pruned.paths(), QStringList({expected[0], expected[3]}));
        QCOMPARE(drawn.paths(), expected);
        QVERIFY(Delete1::DrawnFiles({a}, {}).isEmpty());
    }

    void theDrawnDeleteListTakesEditsAsTexts() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "f", named(4));
        Window w("10");
        w.form.addSourceFolder(folder);
        w.form.list.CorrelateListviewsWrapper();
        const QString p = folder + Sep;
        QCOMPARE(sorted(w.form.ListView3->rows()),
                 QStringList({p + "f0.jpg", p + "f1.jpg", p + "f2.jpg", p + "f3.jpg"}));
        QStringList rows = w.form.ListView3->rows();
        // The delete key takes out the selected file only; the summary still names all four.
        w.form.ListView3->selectRow(2);
        QTest::keyClick(w.form.ListView3, Qt::Key_Delete);
        rows.removeAt(1);
        QCOMPARE(w.form.ListView3->rows(), rows);
        QCOMPARE(w.form.Text4->lineCount(), 5);
        // A row changed or added takes its text; the others keep theirs.
        w.form.ListView3->setRowText(1, QStringLiteral("/x/changed"));
        w.form.ListView3->addRow(QStringLiteral("/x/added"));
        rows[0] = QStringLiteral("/x/changed");
        rows.append(QStringLiteral("/x/added"));
        QCOMPARE(w.form.ListView3->rows(), rows);
        QCOMPARE(w.form.ListView3->rowText(2), rows[1]);
    }

    void theUnseenDeleteListIsLaidOutOnlyWhenAsked() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "f", named(5));
        Window w("10");
        w.form.resize(400, 300);
        // Below its window's edge, as in the window.
        w.form.ListView3->setGeometry(0, 1000, 300, 100);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        w.form.addSourceFolder(folder);
        w.form.list.CorrelateListviewsWrapper();
        QCoreApplication::processEvents();
        QVERIFY(w.form.ListView3->layoutDeferred());
        // Moving the current row needs the layout: it is made then.
        w.form.ListView3->selectRow(2);
        QTest::keyClick(w.form.ListView3, Qt::Key_Down);
        QCOMPARE(w.form.ListView3->selectedRow(), 3);
        QVERIFY(!w.form.ListView3->layoutDeferred());
        // Brought into view, it lays out a new draw to paint it.
        w.form.list.CorrelateListviewsWrapper();
        QCoreApplication::processEvents();
        QVERIFY(w.form.ListView3->layoutDeferred());
        w.form.ListView3->move(0, 0);
        QVERIFY(QTest::qWaitFor([&] { return !w.form.ListView3->layoutDeferred(); }));
        QCOMPARE(w.form.ListView3->indexAt(QPoint(5, 2)).row(), 0);
    }

    void settledOnlyOutsideTheRacyWindow_data() {
        QTest::addColumn<qint64>("modifiedAgoMs");
        QTest::addColumn<qint64>("changedAgoMs");
        QTest::addColumn<bool>("settled");
        QTest::newRow("both old") << qint64(60000) << qint64(5000) << true;
        QTest::newRow("exactly the window") << qint64(2000) << qint64(2000) << true;
        QTest::newRow("modified just now") << qint64(1999) << qint64(60000) << false;
        QTest::newRow("status changed just now") << qint64(60000) << qint64(1) << false;
        QTest::newRow("in the future") << qint64(-5000) << qint64(60000) << false;
    }
    void settledOnlyOutsideTheRacyWindow() {
        QFETCH(qint64, modifiedAgoMs);
        QFETCH(qint64, changedAgoMs);
        QFETCH(bool, settled);
        const qint64 now = 1'765'000'000'123'456'789;
        auto at = [&](qint64 agoMs, qint64& sec, qint64& nsec) {
            const qint64 time = now - agoMs * 1'000'000;
            sec = time / 1'000'000'000;
            nsec = time % 1'000'000'000;
        };
        Delete1::FolderStamp stamp;
        at(modifiedAgoMs, stamp.modifiedSec, stamp.modifiedNsec);
        at(changedAgoMs, stamp.changedSec, stamp.changedNsec);
        QCOMPARE(Delete1::settledWhenListed(stamp, now), settled);
    }

    void aChangeBetweenTwoKeystrokesIsSeen() {
        // Each folder is listed by the first keystroke, reused by the second, changed, and seen
        // changed by the third.
        struct Case {
            const char* folder;
            std::function<void(const QString&)> change;
            int filesAfter;
        };
        const QList<Case> cases = {
            {"added", [](const QString& f) { TestEnv::makeFile(f + "/new.jpg"); }, 4},
            {"removed", [](const QString& f) { QVERIFY(QFile::remove(f + "/f1.jpg")); }, 2},
            {"renamed",
             [](const QString& f) { QVERIFY(QFile::rename(f + "/f2.jpg", f + "/g2.jpg")); }, 3},
        };
        for (const Case& c : cases) {
            const QString folder = settledFolder(c.folder);
            Window w("");
            w.form.addSourceFolder(folder);
            w.form.show();
            QVERIFY(QTest::qWaitForWindowActive(&w.form));
            w.form.Text1->setFocus();
            QTest::keyClick(w.form.Text1, '9');
            QCOMPARE(w.form.listingCache.listedCount(), 1);
            QCOMPARE(sorted(w.form.ListView3->rows()), listed(folder));
            QTest::keyClick(w.form.Text1, '9');
            QCOMPARE(w.form.listingCache.reusedCount(), 1);
            QCOMPARE(w.form.listingCache.listedCount(), 0);
            c.change(folder);
            QTest::keyClick(w.form.Text1, '9');
            QCOMPARE(w.form.listingCache.listedCount(), 1);
            QCOMPARE(sorted(w.form.ListView3->rows()), sorted(listed(folder)));
            QCOMPARE(w.form.ListView3->count(), c.filesAfter);
        }
    }

    void aFolderChangedWithinTheRacyWindowIsListedEveryTime() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "fresh", named(5));
        Window w("");
        w.form.addSourceFolder(folder);
        for (const char* count : {"2", "20", "3"}) {
            w.form.Text1->setText(count);
            QCOMPARE(w.form.listingCache.listedCount(), 1);
            QCOMPARE(w.form.listingCache.reusedCount(), 0);
        }
    }

    void generateButtonAlwaysListsAfresh() {
        const QString folder = settledFolder("generate");
        Window w("2");
        w.form.addSourceFolder(folder);
        w.form.Text1->setText("3");
        w.form.Text1->setText("30");
        QCOMPARE(w.form.listingCache.reusedCount(), 1);
        w.form.PushButton12_Click();
        QCOMPARE(w.form.listingCache.listedCount(), 1);
        QCOMPARE(w.form.listingCache.reusedCount(), 0);
        QCOMPARE(sorted(w.form.ListView3->rows()), listed(folder));
    }

    void otherRowsKeepTheListingsOfFoldersStillListed() {
        const QString generate = settledFolder("generate");
        const QString twice = settledFolder("twice");
        Window w("");
        w.form.addSourceFolder(generate);
        w.form.Text1->setText("100");
        QCOMPARE(w.form.listingCache.listedCount(), 1);
        w.form.addSourceFolder(twice);
        w.form.Text1->setText("101");
        QCOMPARE(w.form.listingCache.reusedCount(), 1);
        QCOMPARE(w.form.listingCache.listedCount(), 1);
        QCOMPARE(sorted(w.form.ListView3->rows()), sorted(listed(generate) + listed(twice)));
        // A folder no longer among the rows is forgotten: back again, it is read again.
        w.form.ListView1->removeRow(2);
        w.form.Text1->setText("102");
        w.form.addSourceFolder(twice);
        w.form.Text1->setText("103");
        QCOMPARE(w.form.listingCache.reusedCount(), 1);
        QCOMPARE(w.form.listingCache.listedCount(), 1);
    }

    void theWalkListsAFolderAsThePoolListingDoes() {
        // Every kind of entry the pool listing tells apart, in a folder old enough to be kept.
        const QString folder = settledFolder("mixed");
        QStringList names;
        const std::vector<Delete1::FolderListing> listings = walked(folder + Sep, &names);
        QCOMPARE(listings.size(), std::size_t(1));
        QCOMPARE(listings[0].folder, folder + Sep);
        QCOMPARE(listings[0].files.paths(), listed(folder));
        QCOMPARE(listings[0].files.size(), TestEnv::canLink() ? 4 : 3);
        QCOMPARE(names, QStringList{"sub"});
        Delete1::FolderStamp stamp;
        QVERIFY(Delete1::readFolderStamp(folder, stamp));
        QCOMPARE(listings[0].stamp, stamp);
    }

    void theWalksListingsServeWhoeverPoolsItsFolders() {
        // The command line pools the folders of --subfolders from what the walk read.
        const QString folder = settledFolder("mixed") + Sep;
        auto walkedInto = [&](Delete1::WalkListings& walk) {
            AddFolder::DiskFolderTree tree;
            tree.keepListings(walk.sink());
            QStringList names;
            QVERIFY(tree.searchFolder(
                folder, [] { return true; }, names));
        };
        Delete1::WalkListings walk;
        walkedInto(walk);
        QStringList files;
        QVERIFY(!walk.take(settledFolder("twice") + Sep, files));
        QVERIFY(files.isEmpty());
        QVERIFY(walk.take(folder, files));
        QCOMPARE(files, listed(settledFolder("mixed")));
        Delete1::WalkListings compact;
        walkedInto(compact);
        Delete1::FolderFiles kept;
        QVERIFY(compact.take(folder, kept));
        QCOMPARE(kept.folder(), folder);
        QCOMPARE(kept.paths(), files);
    }

    void aPrimedListingServesTheNextPassWithoutALook() {
        // The rebuild right after the walk takes the walk's listing as it is; later passes look
        // at the folder again and keep the listing only while the folder is settled and unchanged.
        const QString folder = settledFolder("primed");
        const QString row = folder + Sep;
        Delete1::ListingCache cache;
        auto pass = [&] {
            cache.beginBuild({row});
            cache.list(0, row);
            cache.endBuild();
            return std::pair(cache.listedCount(), cache.reusedCount());
        };
        using Counts = std::pair<int, int>;
        {
            const std::vector<Delete1::FolderListing> listings = walked(row);
            QVERIFY(!listings.empty());
            cache.prime(listings.front());
        }
        QCOMPARE(pass(), Counts(0, 1));
        QCOMPARE(cache.files(0).paths(), listed(folder));
        QCOMPARE(pass(), Counts(0, 1));
        // Changed after the walk read it: the click's rebuild draws from what the walk saw, the
        // next one reads the folder again.
        cache.clear();
        {
            const std::vector<Delete1::FolderListing> listings = walked(row);
            QVERIFY(!listings.empty());
            cache.prime(listings.front());
        }
        TestEnv::makeFile(folder + "/late.jpg");
        QCOMPARE(pass(), Counts(0, 1));
        QCOMPARE(cache.files(0).size(), 3);
        QCOMPARE(pass(), Counts(1, 0));
        QCOMPARE(cache.files(0).size(), 4);
        QVERIFY(cache.files(0).paths().contains(row + "late.jpg"));
        // Read within the racy window: it serves the next pass only.
        cache.clear();
        {
            const std::vector<Delete1::FolderListing> listings = walked(row);
            QVERIFY(!listings.empty());
            cache.prime(listings.front());
        }
        QCOMPARE(pass(), Counts(0, 1));
        QCOMPARE(pass(), Counts(1, 0));
        QCOMPARE(pass(), Counts(1, 0));
    }

    void aPrimedListingIsForgottenWhenTheNextPassDoesNotTakeIt() {
        const QString row = settledFolder("primed") + Sep;
        const QString other = settledFolder("added") + Sep;
        Delete1::ListingCache cache;
        // Not among the rows of the next pass.
        {
            const std::vector<Delete1::FolderListing> listings = walked(row);
            QVERIFY(!listings.empty());
            cache.prime(listings.front());
        }
        cache.beginBuild({other});
        cache.list(0, other);
        cache.endBuild();
        cache.beginBuild({row});
        cache.list(0, row);
        cache.endBuild();
        QCOMPARE(cache.listedCount(), 1);
        // "2. Start Generating List" lists afresh, primed or not.
        {
            const std::vector<Delete1::FolderListing> listings = walked(row);
            QVERIFY(!listings.empty());
            cache.prime(listings.front());
        }
        cache.expire();
        cache.beginBuild({row});
        cache.list(0, row);
        cache.endBuild();
        QCOMPARE(cache.listedCount(), 1);
    }

    void twoEqualSourceRowsCountTheirFilesTwice() {
        const QString folder = settledFolder("twice");
        Window w("");
        w.form.addSourceFolder(folder);
        w.form.addSourceFolder(folder + Sep);
        const QStringList twice = sorted(listed(folder) + listed(folder));
        w.form.Text1->setText("100");
        QCOMPARE(sorted(w.form.ListView3->rows()), twice);
        w.form.Text1->setText("1000"); // from the kept listings
        QCOMPARE(w.form.listingCache.reusedCount(), 2);
        QCOMPARE(sorted(w.form.ListView3->rows()), twice);
        // A draw of all six gives each path twice, at two pool places.
        w.form.Text1->setText("6");
        QCOMPARE(sorted(w.form.ListView3->rows()), twice);
    }

    void summaryAfterDeleteKeyAndClearListIsByteForByte() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "f", named(3));
        Window w("10");
        w.form.addSourceFolder(folder);
        w.form.list.CorrelateListviewsWrapper();
        const QString summary = Delete1::summaryText(listed(folder));
        QCOMPARE(w.form.Text4->text(), summary);
        w.form.ListView3->selectRow(2);
        QTest::keyClick(w.form.ListView3, Qt::Key_Delete);
        QCOMPARE(w.form.ListView3->count(), 2);
        QCOMPARE(w.form.Text4->text(), summary); // the removed file is still named
        QCOMPARE(w.form.Text4->lineCount(), 4);
        w.form.PushButton9->click();
        QCOMPARE(w.form.Text4->text(), QString());
        QCOMPARE(w.form.Text4->lineCount(), 1);
        // A filter's rewrite goes through the same box.
        w.form.Text4->setText("/x/a\r\n/x/b\r\n");
        QCOMPARE(w.form.Text4->text(), QStringLiteral("/x/a\r\n/x/b\r\n"));
        QCOMPARE(w.form.Text4->lineText(1), QStringLiteral("/x/b"));
    }

    void rebuildWritesRowsAndSummaryExactly() {
        QTemporaryDir root;
        const QString folder =
            makeFolder(root, "four", {"a b.txt", "c%d.jpg", QString::fromUtf8("ünï.png"), "e"});
        Window w("100");
        w.form.addSourceFolder(folder + Sep);
        w.form.ListView3->setRows({"stale"});
        w.form.Text4->setText("stale");
        w.form.list.CorrelateListviewsWrapper();
        // 100 is more than the folder holds: every file, in the order the folder lists them.
        const QString p = folder + Sep;
        QCOMPARE(
            sorted(w.form.ListView3->rows()),
            QStringList({p + "a b.txt", p + "c%d.jpg", p + "e", p + QString::fromUtf8("ünï.png")}));
        QStringList inListingOrder;
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Unsorted))
            inListingOrder.append(p + name);
        QCOMPARE(w.form.ListView3->rows(), inListingOrder);
        const QStringList rows = w.form.ListView3->rows();
        QCOMPARE(w.form.Text4->text(),
                 rows[0] + " will be deleted.\r\n" + rows[1] + " will be deleted.\r\n" + rows[2] +
                     " will be deleted.\r\n" + rows[3] + " will be deleted.\r\n");
        QCOMPARE(w.form.Text4->lineCount(), 5); // shown as four lines and the empty one after
        QCOMPARE(w.form.Text4->lineText(3), rows[3] + " will be deleted.");
    }

    void rebuildWithoutSourcesOrFilesLeavesEmptyLists() {
        QTemporaryDir root;
        Window w("10");
        w.form.ListView3->setRows({"stale"});
        w.form.Text4->setText("stale");
        w.form.list.CorrelateListviewsWrapper();
        QCOMPARE(w.form.ListView3->count(), 0);
        QVERIFY(w.form.Text4->text().isEmpty());
        w.form.addSourceFolder(makeFolder(root, "empty", {}));
        w.form.ListView3->setRows({"stale"});
        w.dialogs.expectMessage();
        w.form.list.CorrelateListviewsWrapper();
        QCOMPARE(w.form.ListView3->count(), 0);
        QVERIFY(w.form.Text4->text().isEmpty());
    }

    void typingTheCountSavesAndRebuildsPerKeystroke() {
        QTemporaryDir root;
        const QString empty = makeFolder(root, "empty", {});
        Window w("");
        w.form.addSourceFolder(empty);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        w.form.Text1->setFocus();
        // Each rebuild lists the empty folder once and says so: the messages count the rebuilds.
        w.dialogs.expectMessage(2);
        QTest::keyClick(w.form.Text1, '3');
        QCOMPARE(Main::getSetting("Brindlewood", "Thinwick", "Text1", "none"), QStringLiteral("3"));
        QCOMPARE(w.dialogs.calls().size(), size_t(1));
        QTest::keyClick(w.form.Text1, '0');
        QCOMPARE(Main::getSetting("Brindlewood", "Thinwick", "Text1", "none"),
                 QStringLiteral("30"));
        QCOMPARE(w.dialogs.messageTexts(),
                 QStringList({NoFiles + empty + Sep, NoFiles + empty + Sep}));
    }

    void aNegativeCountIsNeitherSavedNorDrawn() {
        QTemporaryDir root;
        Window w("");
        w.form.addSourceFolder(makeFolder(root, "f", named(3)));
        Main::saveSetting("Brindlewood", "Thinwick", "Text1", "8");
        w.form.Text1->setText("-2");
        QCOMPARE(Main::getSetting("Brindlewood", "Thinwick", "Text1", "none"), QStringLiteral("8"));
        QCOMPARE(w.form.ListView3->count(), 0);
        w.dialogs.expectMessage();
        w.form.PushButton12_Click();
        QCOMPARE(w.dialogs.messageTexts(),
                 QStringList({"You must have at least one source folder and number of files to "
                              "delete."}));
        QCOMPARE(w.form.ListView3->count(), 0);
        // Leaving the box keeps a negative count as it is.
        w.form.Text1_Validate();
        QCOMPARE(w.form.Text1->text(), QStringLiteral("-2"));
    }

    void leavingAnEmptyBoxSetsOne() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "f", named(4));
        Window w("");
        w.form.addSourceFolder(folder);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        w.form.Text1->setFocus();
        w.form.PushButton12->setFocus(); // the focus leaves the box
        QCOMPARE(w.form.Text1->text(), QStringLiteral("1"));
        QCOMPARE(Main::getSetting("Brindlewood", "Thinwick", "Text1", "none"), QStringLiteral("1"));
        QCOMPARE(w.form.ListView3->count(), 1);
        QVERIFY(listed(folder).contains(w.form.ListView3->rowText(1)));
    }

    void generateButton() {
        QTemporaryDir root;
        const QString folder = makeFolder(root, "f", named(6));
        Window w("4");
        // Without a source row: the message, and the lists stay untouched.
        w.form.ListView3->setRows({"kept"});
        w.dialogs.expectMessage();
        w.form.PushButton12_Click();
        QCOMPARE(w.form.ListView3->rows(), QStringList({"kept"}));
        QCOMPARE(w.dialogs.messageTexts().size(), 1);
        // With a source: a fresh draw under the busy pointer, the default pointer after it.
        w.form.addSourceFolder(folder);
        w.form.PushButton12_Click();
        QCOMPARE(w.form.ListView3->count(), 4);
        QCOMPARE(w.form.mousePointer(), BusyState::PointerDefault);
        QCOMPARE(w.dialogs.calls().size(), size_t(1));
        // The pointer while the rebuild runs, seen from the message an empty folder brings up.
        w.form.addSourceFolder(makeFolder(root, "empty", {}));
        int pointerDuringRebuild = -1;
        w.dialogs.whileOpen = [&](const auto&) { pointerDuringRebuild = w.form.mousePointer(); };
        w.dialogs.expectMessage();
        w.form.PushButton12_Click();
        QCOMPARE(pointerDuringRebuild, BusyState::PointerBusy);
        QCOMPARE(w.form.mousePointer(), BusyState::PointerDefault);
    }

    void deleteKeyRemovesTheSelectedRowOnly_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("select");
        QTest::addColumn<QStringList>("after");
        const QStringList all = {"p1", "p2", "p3"};
        QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << false << 2
                                << QStringList({"p1", "p3"});
        QTest::newRow("shift delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << false << 1
                                      << QStringList({"p2", "p3"});
        QTest::newRow("ctrl delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << false
                                     << 3 << QStringList({"p1", "p2"});
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << false << 2 << all;
        QTest::newRow("busy") << int(Qt::Key_Delete) << 0 << true << 2 << all;
        QTest::newRow("no selection") << int(Qt::Key_Delete) << 0 << false << 0 << all;
    }
    void deleteKeyRemovesTheSelectedRowOnly() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, busy);
        QFETCH(int, select);
        QFETCH(QStringList, after);
        Window w("3");
        w.form.ListView3->setRows({"p1", "p2", "p3"});
        w.form.Text4->setText(Delete1::summaryText({"p1", "p2", "p3"}));
        if (select > 0)
            w.form.ListView3->selectRow(select);
        if (busy)
            w.form.setMousePointer(BusyState::PointerBusy);
        QTest::keyClick(w.form.ListView3, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.form.ListView3->rows(), after);
        // The summary keeps naming every file: only the delete list decides what goes.
        QCOMPARE(w.form.Text4->text(), Delete1::summaryText({"p1", "p2", "p3"}));
    }

    void deleteKeyOnAnEmptyListAndDoubleClickDoNothing() {
        Window w("3");
        QTest::keyClick(w.form.ListView3, Qt::Key_Delete);
        QCOMPARE(w.form.ListView3->count(), 0);
        w.form.ListView3->setRows({"p1", "p2"});
        w.form.ListView3->selectRow(1);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QTest::mouseDClick(
            w.form.ListView3->viewport(), Qt::LeftButton, {},
            w.form.ListView3->visualRect(w.form.ListView3->model()->index(0, 0)).center());
        QCOMPARE(w.form.ListView3->rows(), QStringList({"p1", "p2"}));
        QVERIFY(w.dialogs.calls().empty());
    }

    void clearListUnderTheSummary() {
        Window w("3");
        w.form.ListView3->setRows({"p1", "p2"});
        w.form.Text4->setText(Delete1::summaryText({"p1", "p2"}));
        w.form.setMousePointer(BusyState::PointerBusy);
        w.form.PushButton9_Click();
        QCOMPARE(w.form.ListView3->count(), 2);
        QVERIFY(!w.form.Text4->text().isEmpty());
        w.form.setMousePointer(BusyState::PointerDefault);
        w.form.PushButton9->click();
        QCOMPARE(w.form.ListView3->count(), 0);
        QVERIFY(w.form.Text4->text().isEmpty());
        QVERIFY(w.dialogs.calls().empty());
    }

    void largeRebuildKeepsEveryRow() {
        // A hundred thousand rows go into both controls whole: one folder of a thousand files,
        // listed a hundred times, drawn completely.
        QTemporaryDir root;
        const QString folder = makeFolder(root, "d", named(1000));
        Window w("100000");
        for (int i = 0; i < 100; ++i)
            w.form.addSourceFolder(folder);
        w.form.list.CorrelateListviewsWrapper();
        QCOMPARE(w.form.ListView3->count(), 100000);
        QCOMPARE(w.form.Text4->text().count("\r\n"), 100000);
        QCOMPARE(w.form.Text4->lineCount(), 100001);
        QCOMPARE(w.form.ListView3->rows().count(w.form.ListView3->rowText(1)), 100);
    }
};

THINWICK_TEST_MAIN(DeleteListTest)
#include "test_deletelist.moc"
