// Reading ahead of the subfolder walk on a second thread: the shared work list itself, and the
// walk over real folders, whose rows, order and hand-over must be those of reading in turn.
#include "TestSupport.h"
#include "deletelist/ListingCache.h"
#include "sources/FolderTree.h"
#include "sources/ReadAhead.h"
#include "sources/SubDirectories.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// A tree of 3 levels below A: 4 folders, 30 in each of them, and 2 in each of those, with a
// file in every folder of the middle level.
void makeTree(const QString& a) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 30; ++j) {
            const QString middle = a + QStringLiteral("m%1/n %2/").arg(i).arg(j);
            QVERIFY(QDir().mkpath(middle + QStringLiteral("x")));
            QVERIFY(QDir().mkpath(middle + QStringLiteral(".y")));
            TestEnv::makeFile(middle + QStringLiteral("photo.jpg"));
        }
    }
}

// Every folder below top, level by level, each folder's subfolders in the order the file system
// lists them, read with Qt's own iterator.
QStringList levelOrder(const QString& top) {
    QStringList all{top};
    QStringList level{top};
    while (!level.isEmpty()) {
        QStringList next;
        for (const QString& folder : std::as_const(level)) {
            QDirIterator it(folder,
                            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
            while (it.hasNext()) {
                it.next();
                next.append(folder + it.fileName() + QDir::separator());
            }
        }
        all += next;
        level = next;
    }
    return all;
}

// The folders on disk, with a hook after each folder searched.
class HookedDiskTree : public AddFolder::DiskFolderTree {
public:
    bool searchFolder(const QString& folder, const std::function<bool()>& goOn,
                      QStringList& names) override {
        const bool found = DiskFolderTree::searchFolder(folder, goOn, names);
        if (afterSearch)
            afterSearch(folder);
        return found;
    }
    std::function<void(const QString&)> afterSearch;
};

QStringList walk(
    AddFolder::FolderTree& tree, const QString& top,
    const AddFolder::WalkYield& yield = [] { return true; }) {
    ScriptedDialogs dialogs;
    QStringList folders{native(top)};
    AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, yield);
    return folders;
}

} // namespace

class ReadAheadTest : public QObject {
    Q_OBJECT

private slots:
    void eachItemDoneOnceBeforeItIsGiven_data() {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("many") << 5000;
    }

    void eachItemDoneOnceBeforeItIsGiven() {
        QFETCH(int, count);
        std::vector<std::atomic<int>> times(static_cast<std::size_t>(count));
        std::vector<int> values(static_cast<std::size_t>(count), -1);
        AddFolder::ReadAhead work;
        work.start(count, [&](qsizetype i) {
            values[static_cast<std::size_t>(i)] = static_cast<int>(i) * 3;
            ++times[static_cast<std::size_t>(i)];
        });
        for (int i = 0; i < count; ++i) {
            work.finish(i);
            QCOMPARE(values[static_cast<std::size_t>(i)], i * 3);
        }
        work.stop();
        for (int i = 0; i < count; ++i)
            QCOMPARE(times[static_cast<std::size_t>(i)].load(), 1);
    }

    void itemsLeftAfterAStopAreDoneWhenAsked() {
        constexpr int count = 3000;
        std::vector<std::atomic<int>> times(count);
        AddFolder::ReadAhead work;
        work.start(count, [&](qsizetype i) { ++times[static_cast<std::size_t>(i)]; });
        work.finish(10);
        work.stop();
        for (int i = 11; i < count; ++i)
            work.finish(i);
        for (int i = 0; i < count; ++i)
            QCOMPARE(times[static_cast<std::size_t>(i)].load(), 1);
        // A new start forgets what the last one did.
        work.start(2, [&](qsizetype i) { times[static_cast<std::size_t>(i)] = 7; });
        work.finish(1);
        work.finish(0);
        QCOMPARE(times[0].load(), 7);
        QCOMPARE(times[1].load(), 7);
    }

    void walkGivesTheFileSystemsLevelOrder() {
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/A/");
        makeTree(a);
        AddFolder::DiskFolderTree tree;
        const QStringList found = walk(tree, a);
        QCOMPARE(found.size(), 1 + 4 + 4 * 30 + 4 * 30 * 2);
        QCOMPARE(found, levelOrder(native(a)));
    }

    void listingsHandedOverInWalkOrder() {
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/A/");
        makeTree(a);
        AddFolder::DiskFolderTree tree;
        QStringList listed;
        QStringList files;
        tree.keepListings([&](Delete1::FolderListing&& listing) {
            listed.append(listing.folder);
            files += listing.files.paths();
        });
        const QStringList found = walk(tree, a);
        // Every folder searched hands its listing over once, as it is searched.
        QCOMPARE(listed, found);
        QStringList expected;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 30; ++j)
                expected.append(native(a + QStringLiteral("m%1/n %2/photo.jpg").arg(i).arg(j)));
        QCOMPARE(sorted(files), sorted(expected));
    }

    void folderRemovedWhileReadAhead_data() {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("whenSearched");
        // A sibling the second thread has most likely read already, and one of a deeper level.
        QTest::newRow("same level") << "m3/"
                                    << "m0/";
        QTest::newRow("level below") << "m2/n 29/"
                                     << "m2/n 3/";
    }

    void folderRemovedWhileReadAhead() {
        // The folder goes from a timer that fires while the walk gives the message loop a turn.
        QFETCH(QString, removed);
        QFETCH(QString, whenSearched);
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/A/");
        makeTree(a);
        const QString gone = native(a + removed);
        QStringList expected;
        for (const QString& folder : levelOrder(native(a)))
            if (!folder.startsWith(gone))
                expected.append(folder);
        HookedDiskTree tree;
        bool isRemoved = false;
        tree.afterSearch = [&](const QString& folder) {
            if (folder == native(a + whenSearched))
                QTimer::singleShot(0, [&] { isRemoved = QDir(gone).removeRecursively(); });
        };
        const QStringList found = walk(tree, a, [] {
            QCoreApplication::processEvents();
            return true;
        });
        QVERIFY(isRemoved);
        QCOMPARE(found, expected);
    }

    // A folder asked for out of the order its level was read ahead in gets its own subfolders,
    // never those read for the folder at that place of the order.
    void folderAskedOutOfOrderGetsItsOwnSubfolders() {
        QTemporaryDir tmp;
        const QString a = native(tmp.path() + QStringLiteral("/A/"));
        for (const char* sub : {"one/x1", "two/y1", "two/y2", "three/z1"})
            QVERIFY(QDir().mkpath(a + QString::fromLatin1(sub)));
        AddFolder::DiskFolderTree tree;
        const auto goOn = [] { return true; };
        QStringList names;
        QVERIFY(tree.searchFolder(a, goOn, names));
        const QStringList level{a + native(QStringLiteral("one/")),
                                a + native(QStringLiteral("two/")),
                                a + native(QStringLiteral("three/"))};
        tree.searchAhead(level);
        names.clear();
        QVERIFY(tree.searchFolder(level.at(1), goOn, names));
        QCOMPARE(sorted(names), (QStringList{QStringLiteral("y1"), QStringLiteral("y2")}));
        names.clear();
        QVERIFY(tree.searchFolder(level.at(0), goOn, names));
        QCOMPARE(names, QStringList{QStringLiteral("x1")});
    }

    void stoppedWalkLeavesTheListAsItWas() {
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/A/");
        makeTree(a);
        // Stops in the middle of the widest level, while the second thread reads it.
        for (int stopAt : {10, 200, 400}) {
            auto tree = std::make_unique<AddFolder::DiskFolderTree>();
            int turns = 0;
            const QStringList found = walk(*tree, a, [&] { return ++turns < stopAt; });
            QCOMPARE(turns, stopAt);
            QCOMPARE(found, QStringList{native(a)});
        }
    }
};

QTEST_GUILESS_MAIN(ReadAheadTest)
#include "test_readahead.moc"
