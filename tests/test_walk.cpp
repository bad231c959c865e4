// The level-order subfolder walk: over a scripted folder tree for what the disk here cannot show,
// and over real folders for names, lengths, links and folders that vanish while it runs.
#include "TestSupport.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using AddFolder::FolderFailure;
using Kind = FolderFailure::Kind;

namespace {

// Paths are written with "/" and turned into the platform's form.
QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QStringList natives(const QStringList& paths) {
    QStringList result;
    for (const QString& path : paths)
        result.append(native(path));
    return result;
}

// A folder tree given by hand: each folder's attribute value, root flag and subfolder names in
// the order they were added, and a listing failure placed anywhere in a folder's names.
class ScriptedTree : public AddFolder::FolderTree {
public:
    // Adds the folder (a path ending in "/") as the last subfolder of its parent, when there is
    // one; a folder added again only takes the new attribute value.
    void add(const QString& path, int attributes = 16) {
        const QString key = native(path);
        const bool known = m_folders.contains(key);
        m_folders[key].attributes = attributes;
        if (known)
            return;
        QString parent = path.left(path.size() - 1);
        parent = parent.left(parent.lastIndexOf('/') + 1);
        const auto found = m_folders.find(native(parent));
        if (found != m_folders.end())
            found->names.append(path.mid(parent.size()).chopped(1));
    }
    void setRoot(const QString& path) { m_folders[native(path)].root = true; }
    // The listing of the folder breaks off with the failure after `after` names.
    void failListing(const QString& path, Kind kind, qsizetype after = 0) {
        Folder& folder = m_folders[native(path)];
        folder.failure = kind;
        folder.failAfter = after;
    }
    // The attribute look throws instead of answering.
    void failLook(const QString& path) { m_folders[native(path)].lookFails = true; }
    void remove(const QString& path) { m_folders.remove(native(path)); }

    std::optional<int> attributes(const QString& folder) override {
        ++looks[folder];
        const auto found = m_folders.constFind(folder);
        if (found == m_folders.constEnd())
            return std::nullopt;
        if (found->lookFails)
            throw AddFolder::FolderFailure(Kind::Other, QStringLiteral("Device I/O error"));
        return found->attributes;
    }
    bool isRoot(const QString& folder) override { return m_folders.value(folder).root; }
    void subFolders(const QString& folder, QStringList& names) override {
        ++listings[folder];
        const Folder listed = m_folders.value(folder);
        for (qsizetype i = 0; i <= listed.names.size(); ++i) {
            if (listed.failure && i == listed.failAfter)
                throw AddFolder::FolderFailure(*listed.failure, QStringLiteral("scripted"));
            if (i < listed.names.size())
                names.append(listed.names.at(i));
        }
        if (afterListing)
            afterListing(folder);
    }

    QHash<QString, int> looks;
    QHash<QString, int> listings;
    std::function<void(const QString&)> afterListing;

private:
    struct Folder {
        int attributes = 16;
        bool root = false;
        bool lookFails = false;
        QStringList names;
        std::optional<Kind> failure;
        qsizetype failAfter = 0;
    };
    QHash<QString, Folder> m_folders;
};

bool noYield() {
    return true;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList walk(AddFolder::FolderTree& tree, const QStringList& given, bool recursive = true,
                 const AddFolder::WalkYield& yield = noYield) {
    ScriptedDialogs dialogs;
    QStringList folders = natives(given);
    AddFolder::GetSubDirectories2016(folders, recursive, dialogs, tree, yield);
    return folders;
}

// The example tree: A holds B and C, B holds D, C holds E.
void addExample(ScriptedTree& tree) {
    for (const char* path : {"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"})
        tree.add(path);
}

// The subfolders of a real folder in the order the file system lists them, read apart from the
// walk's own listing.
QStringList listedSubfolders(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

// The folders on disk, with a hook after each listing.
class ObservedDiskTree : public AddFolder::FolderTree {
public:
    std::optional<int> attributes(const QString& folder) override {
        return m_disk.attributes(folder);
    }
    bool isRoot(const QString& folder) override { return m_disk.isRoot(folder); }
    void subFolders(const QString& folder, QStringList& names) override {
        m_disk.subFolders(folder, names);
        if (afterListing)
            afterListing(folder);
    }
    std::function<void(const QString&)> afterListing;

private:
    AddFolder::DiskFolderTree m_disk;
};

QStringList walkDisk(const QString& folder) {
    ScriptedDialogs dialogs;
    QStringList folders{native(folder)};
    AddFolder::GetSubDirectories2016(folders, true, dialogs);
    return folders;
}

// Makes the folder from its bytes, as a program that does not speak UTF-8 would.
bool makeRawFolder(const QByteArray& path) {
#ifdef Q_OS_WIN
    return QDir().mkpath(QFile::decodeName(path));
#else
    return ::mkdir(path.constData(), 0755) == 0;
#endif
}

// A folder below base whose path, with its final separator, has exactly `length` characters.
// Every name has at least one character, whatever the length of base.
QString folderOfPathLength(const QString& base, qsizetype length) {
    QString path = base;
    while (length - path.size() > 202)
        path += QString(200, 'a') + "/";
    path += QString(length - path.size() - 1, 'b') + "/";
    return path;
}

} // namespace

class WalkTest : public QObject {
    Q_OBJECT
private slots:
    // Temporary folders go under a private root that is removed byte by byte at the end, so the
    // names that are not valid UTF-8 go too.
    void initTestCase() { TestEnv::prepare(); }

    void exampleTreeInLevelOrder() {
        ScriptedTree tree;
        addExample(tree);
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"}));
    }

    void groupsByParentLevelByLevel() {
        // Two given entries, uneven depths: each level holds the groups of the level above in
        // its order, each group in listing order.
        ScriptedTree tree;
        for (const char* path : {"/P/", "/P/z/", "/P/a/", "/P/z/1/", "/P/z/1/x/", "/P/a/2/", "/Q/",
                                 "/Q/m/", "/Q/m/3/", "/Q/m/4/"})
            tree.add(path);
        QCOMPARE(walk(tree, {"/P/", "/Q/"}),
                 natives({"/P/", "/Q/", "/P/z/", "/P/a/", "/Q/m/", "/P/z/1/", "/P/a/2/", "/Q/m/3/",
                          "/Q/m/4/", "/P/z/1/x/"}));
    }

    void realFoldersInLevelOrder() {
        // On disk each group comes in the file system's own listing order.
        QTemporaryDir tmp;
        const QString a = tmp.path() + "/A/";
        for (const char* sub : {"B/D", "C/E", "C/F", "G"})
            QVERIFY(QDir().mkpath(a + sub));
        TestEnv::makeFile(a + "B/file.txt");
        QStringList expected{a};
        for (const QString& name : listedSubfolders(a))
            expected.append(a + name + "/");
        for (const QString& parent : QStringList(expected.mid(1)))
            for (const QString& name : listedSubfolders(parent))
                expected.append(parent + name + "/");
        QCOMPARE(expected.size(), 7);
        ScriptedDialogs dialogs;
        QStringList folders{native(a)};
        AddFolder::GetSubDirectories2016(folders, true, dialogs);
        QCOMPARE(folders, natives(expected));
    }

    void namesOnDisk_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("dot folder") << QByteArray(".hidden") << true;
        QTest::newRow("e acute") << QByteArray("caf\xC3\xA9") << true;
        QTest::newRow("blank") << QByteArray("with blank") << true;
        QTest::newRow("question mark") << QByteArray("why?") << false;
        QTest::newRow("control character") << QByteArray("tab\tin") << false;
        QTest::newRow("outside Windows-1252") << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC") << false;
        QTest::newRow("right single quote") << QByteArray("it\xE2\x80\x99s") << false;
        QTest::newRow("not UTF-8") << QByteArray("caf\xE9") << false;
    }

    void namesOnDisk() {
        // A name is taken with its whole subtree, or refused with it.
        QFETCH(QByteArray, name);
        QFETCH(bool, taken);
        // Names the platform cannot hold (Windows: "?", control characters, and every name is
        // UTF-16 there) cannot be on its disks.
        bool holdable = TestEnv::canHoldName(QString::fromUtf8(name));
#ifdef Q_OS_WIN
        holdable = holdable && QString::fromUtf8(name).toUtf8() == name;
#endif
        if (!holdable)
            QSKIP("a name this platform's file systems cannot hold");
        QTemporaryDir tmp;
        const QString a = tmp.path() + "/A/";
        QVERIFY(QDir().mkpath(a + "plain"));
        QVERIFY(makeRawFolder(QFile::encodeName(a) + name));
        QVERIFY(makeRawFolder(QFile::encodeName(a) + name + "/sub"));
        const QString named = a + QFile::decodeName(name) + "/";
        const QStringList found = walkDisk(a);
        if (taken) {
            QCOMPARE(sorted(found), sorted(natives({a, a + "plain/", named, named + "sub/"})));
        } else {
            QCOMPARE(found, natives({a, a + "plain/"}));
        }
    }

    void pathLengthLimit_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("searched");
        QTest::newRow("259 searched") << 259 << true;
        QTest::newRow("260 not searched") << 260 << false;
    }

    void pathLengthLimit() {
        // The folder at the limit is found by its parent all the same; only its own subfolders
        // are not.
        QFETCH(int, length);
        QFETCH(bool, searched);
        QTemporaryDir tmp;
        const QString base = tmp.path() + "/L/";
        const QString folder = folderOfPathLength(base, length);
        QCOMPARE(folder.size(), qsizetype(length));
        QVERIFY(QDir().mkpath(folder + "child"));
        const QStringList found = walkDisk(base);
        QVERIFY(found.contains(native(folder)));
        QCOMPARE(found.contains(native(folder + "child/")), searched);
    }

    void attributesOnDisk() {
        QTemporaryDir tmp;
        AddFolder::DiskFolderTree tree;
        const QString plain = native(tmp.path() + "/plain/");
        const QString dotted = native(tmp.path() + "/.dotted/");
        QVERIFY(QDir().mkpath(plain));
        QVERIFY(QDir().mkpath(dotted));
        TestEnv::makeFile(tmp.path() + "/file");
        TestEnv::makeHidden(dotted);
        QCOMPARE(tree.attributes(plain), std::optional<int>(16));
        QCOMPARE(tree.attributes(dotted), std::optional<int>(18));
#ifndef Q_OS_WIN
        // Read-only from the permission bits; Windows has its own attribute, which Qt does not set
        // on folders.
        QVERIFY(QFile::setPermissions(dotted, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(tree.attributes(dotted), std::optional<int>(19));
#endif
        QCOMPARE(tree.attributes(native(tmp.path() + "/file")), std::nullopt);
        QCOMPARE(tree.attributes(native(tmp.path() + "/missing/")), std::nullopt);
        QVERIFY(tree.isRoot(QDir::rootPath()));
        QVERIFY(!tree.isRoot(plain));
        QVERIFY(
            QFile::setPermissions(dotted, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void linksAreNotFollowed() {
        // A link back up the tree and a link to a sibling: neither is listed, nothing repeats.
        QTemporaryDir tmp;
        const QString a = tmp.path() + "/A/";
        QVERIFY(QDir().mkpath(a + "B/D"));
        QVERIFY(QDir().mkpath(a + "C"));
        QVERIFY(TestEnv::linkFolder(a, a + "B/loop"));
        auto unlinkLoop = qScopeGuard([&] { TestEnv::removeFolderLink(a + "B/loop"); });
        QVERIFY(TestEnv::linkFolder(a + "B", a + "C/toB"));
        auto unlinkToB = qScopeGuard([&] { TestEnv::removeFolderLink(a + "C/toB"); });
        const QStringList found = walkDisk(a);
        QCOMPARE(sorted(found), sorted(natives({a, a + "B/", a + "C/", a + "B/D/"})));
        // A chosen link is the folder it leads to.
        QCOMPARE(walkDisk(a + "C/toB/"), natives({a + "C/toB/", a + "C/toB/D/"}));
    }

    void foldersDenyingAccessOnDisk() {
#ifdef Q_OS_WIN
        QSKIP("permission bits are POSIX");
#else
        // B may not be entered, F only entered, not read: both leave the result without a message,
        // and what lies below them is not searched. Root passes every permission test, so the walk
        // then runs in a child as the unprivileged user nobody.
        const bool root = ::geteuid() == 0;
        QTemporaryDir tmp;
        // nobody may pass through the private root down to the tree.
        for (QString up = tmp.path(); up.startsWith(TestEnv::root()); up = QFileInfo(up).path())
            QVERIFY(::chmod(QFile::encodeName(up).constData(), 0711) == 0);
        const QString a = tmp.path() + "/A/";
        for (const char* sub : {"B/D", "C/E", "F/G"})
            QVERIFY(QDir().mkpath(a + sub));
        QVERIFY(::chmod(QFile::encodeName(a + "B").constData(), root ? 0700 : 0000) == 0);
        QVERIFY(::chmod(QFile::encodeName(a + "F").constData(), root ? 0711 : 0100) == 0);
        QStringList found;
        if (!root) {
            found = walkDisk(a);
        } else {
            int fds[2];
            QVERIFY(::pipe(fds) == 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(fds[0]);
                QByteArray answer = "!";
                if (::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
                    ::setresuid(65534, 65534, 65534) == 0)
                    answer = walkDisk(a).join('\n').toUtf8();
                const bool written = ::write(fds[1], answer.constData(), answer.size()) >= 0;
                ::_exit(written ? 0 : 1);
            }
            ::close(fds[1]);
            QByteArray answer;
            char buffer[4096];
            for (ssize_t got = 0; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
                answer.append(buffer, got);
            ::close(fds[0]);
            ::waitpid(child, nullptr, 0);
            if (answer == "!")
                QSKIP("cannot run as nobody");
            found = QString::fromUtf8(answer).split('\n');
        }
        for (const char* sub : {"B", "F"})
            QFile::setPermissions(a + sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(sorted(found), sorted({a, a + "C/", a + "C/E/"}));
#endif
    }

    void folderRemovedWhileTheWalkRuns_data() {
        QTest::addColumn<QString>("removeAfterListing");
        QTest::newRow("before it is searched") << "A/B/";
        QTest::newRow("after it was searched") << "A/B/D/";
    }

    void folderRemovedWhileTheWalkRuns() {
        // D goes from a timer that fires while the walk gives the message loop a turn.
        QFETCH(QString, removeAfterListing);
        QTemporaryDir tmp;
        const QString a = tmp.path() + "/A/";
        for (const char* sub : {"B/D/x", "C/E"})
            QVERIFY(QDir().mkpath(a + sub));
        ObservedDiskTree tree;
        bool removed = false;
        tree.afterListing = [&](const QString& folder) {
            if (folder == native(tmp.path() + "/" + removeAfterListing))
                QTimer::singleShot(0, [&] { removed = QDir(a + "B/D").removeRecursively(); });
        };
        ScriptedDialogs dialogs;
        QStringList folders{native(a)};
        AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, [] {
            QCoreApplication::processEvents();
            return true;
        });
        QVERIFY(removed);
        QCOMPARE(sorted(folders), sorted(natives({a, a + "B/", a + "C/", a + "C/E/"})));
    }

    void oneLevelWhenNotRecursive() {
        ScriptedTree tree;
        addExample(tree);
        QCOMPARE(walk(tree, {"/A/"}, false), natives({"/A/", "/A/B/", "/A/C/"}));
        QCOMPARE(tree.listings.value(native("/A/B/")), 0);
    }

    void folderWithoutSubfolders() {
        ScriptedTree tree;
        tree.add("/A/");
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/"}));
    }

    void attributeValues_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("kept");
        QTest::newRow("22 hidden system") << 22 << false;
        QTest::newRow("1046 hidden system alias") << 1046 << false;
        QTest::newRow("23 hidden system read-only") << 23 << true;
        QTest::newRow("18 hidden") << 18 << true;
        QTest::newRow("20 system") << 20 << true;
        QTest::newRow("1042 hidden alias") << 1042 << true;
    }

    void attributeValues() {
        // Only the exact values 22 and 1046 take a folder and its subtree out; it is not even
        // listed.
        QFETCH(int, value);
        QFETCH(bool, kept);
        ScriptedTree tree;
        addExample(tree);
        tree.add("/A/B/D/F/");
        tree.add("/A/B/D/F/G/");
        tree.add("/A/B/D/", value);
        const QStringList found = walk(tree, {"/A/"});
        if (kept)
            QCOMPARE(found, natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/", "/A/B/D/F/",
                                     "/A/B/D/F/G/"}));
        else
            QCOMPARE(found, natives({"/A/", "/A/B/", "/A/C/", "/A/C/E/"}));
        QCOMPARE(tree.listings.value(native("/A/B/D/")), kept ? 1 : 0);
    }

    void givenFolderOfValue22() {
        // Not a root: it stays in the list and is not searched. A root is searched.
        ScriptedTree tree;
        addExample(tree);
        tree.add("/A/", 22);
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/"}));
        tree.setRoot("/A/");
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"}));
    }

    void rootOfValue22BelowIsKept() {
        // A folder below that reports itself as a root (a mounted drive) is searched and kept.
        ScriptedTree tree;
        addExample(tree);
        tree.add("/A/C/", 1046);
        tree.setRoot("/A/C/");
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"}));
    }

    void unsearchableFolders_data() {
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");
        const QStringList rest{"/A/", "/A/C/", "/A/X/", "/A/C/E/", "/A/X/Y/"};
        QTest::newRow("permission denied")
            << QStringList{"/A/B/"} << int(Kind::PermissionDenied) << rest;
        QTest::newRow("vanished") << QStringList{"/A/B/"} << int(Kind::NotFound) << rest;
        QTest::newRow("two siblings denied")
            << QStringList{"/A/B/", "/A/C/"} << int(Kind::PermissionDenied)
            << QStringList{"/A/", "/A/X/", "/A/X/Y/"};
        QTest::newRow("chosen folder denied")
            << QStringList{"/A/"} << int(Kind::PermissionDenied) << QStringList{};
        QTest::newRow("other failure keeps the folder")
            << QStringList{"/A/B/"} << int(Kind::Other)
            << QStringList{"/A/", "/A/B/", "/A/C/", "/A/X/", "/A/C/E/", "/A/X/Y/"};
    }

    void unsearchableFolders() {
        // Failures at the start of a listing, without a message; the siblings are unaffected.
        QFETCH(QStringList, failing);
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        ScriptedTree tree;
        addExample(tree);
        tree.add("/A/X/");
        tree.add("/A/X/Y/");
        for (const QString& path : failing)
            tree.failListing(path, Kind(kind));
        QCOMPARE(walk(tree, {"/A/"}), natives(expected));
    }

    void failureInTheMiddleOfAListing_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");
        // What was listed before the failure stays and is searched in turn.
        QTest::newRow("other") << int(Kind::Other)
                               << QStringList{"/A/",     "/A/B/",   "/A/C/",    "/A/B/1/",
                                              "/A/B/2/", "/A/C/E/", "/A/B/1/x/"};
        QTest::newRow("permission denied")
            << int(Kind::PermissionDenied)
            << QStringList{"/A/", "/A/C/", "/A/B/1/", "/A/B/2/", "/A/C/E/", "/A/B/1/x/"};
    }

    void failureInTheMiddleOfAListing() {
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        ScriptedTree tree;
        for (const char* path :
             {"/A/", "/A/B/", "/A/C/", "/A/B/1/", "/A/B/2/", "/A/B/3/", "/A/C/E/", "/A/B/1/x/"})
            tree.add(path);
        tree.failListing("/A/B/", Kind(kind), 2); // after 1 and 2, before 3
        QCOMPARE(walk(tree, {"/A/"}), natives(expected));
    }

    void repeatedEntryRemovesTheFirstEqualOne() {
        // The same folder given twice: each failing search removes one of the two entries.
        ScriptedTree tree;
        addExample(tree);
        tree.failListing("/A/B/", Kind::PermissionDenied);
        QCOMPARE(walk(tree, {"/A/", "/A/"}),
                 natives({"/A/", "/A/", "/A/C/", "/A/C/", "/A/C/E/", "/A/C/E/"}));
    }

    void namesNotTaken_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("question mark") << "a?b";
        QTest::newRow("dot") << ".";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("260 characters") << QString(260, 'n');
        QTest::newRow("control character") << QString("a\x01"
                                                      "b");
        QTest::newRow("DEL") << QString("a\x7f");
        QTest::newRow("C1 control") << QString(QChar(0x85));
        QTest::newRow("in 1252 but coded 128-159") << QString(QChar(0x20AC));
        QTest::newRow("outside the code page") << QString::fromUtf8("日本");
        QTest::newRow("replacement character") << QString(QChar(0xFFFD));
        QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80");
    }

    void namesNotTaken() {
        QFETCH(QString, name);
        ScriptedTree tree;
        addExample(tree);
        tree.add("/A/" + name + "/");
        tree.add("/A/" + name + "/sub/");
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"}));
    }

    void namesTaken_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("259 characters") << QString(259, 'n');
        QTest::newRow("e acute") << QString::fromUtf8("caf\xC3\xA9");
        QTest::newRow("nbsp and y diaeresis") << QString::fromUtf8("\xC2\xA0\xC3\xBF");
        QTest::newRow("blank and tilde") << "a b~";
        QTest::newRow("dot name") << ".config";
    }

    void namesTaken() {
        QFETCH(QString, name);
        ScriptedTree tree;
        tree.add("/A/");
        tree.add("/A/" + name + "/");
        QCOMPARE(walk(tree, {"/A/"}), natives({"/A/", "/A/" + name + "/"}));
    }

    void unsupportedCharacterTest() {
        QVERIFY(!AddFolder::hasUnsupportedCharacter(u""));
        QVERIFY(!AddFolder::hasUnsupportedCharacter(u" !~\u00A0\u00E9\u00FF"));
        for (const char16_t c : {u'\x1F', u'?', u'\x7F', u'\x80', u'\x9F', u'\u0100', u'\u2019'})
            QVERIFY2(AddFolder::hasUnsupportedCharacter(QStringView(&c, 1)),
                     qPrintable(QString::number(c, 16)));
    }

    void eachFolderLookedAtABoundedNumberOfTimes() {
        // A chain twelve deep: the folder at the bottom is looked at twice (searched, then checked
        // once on the way back), not once per level above it.
        ScriptedTree tree;
        QString path = "/r/";
        tree.add(path);
        for (int depth = 1; depth <= 12; ++depth) {
            path += QString::number(depth) + "/";
            tree.add(path);
        }
        const QStringList found = walk(tree, {"/r/"});
        QCOMPARE(found.size(), 13);
        QCOMPARE(found.last(), native(path));
        for (auto it = tree.looks.cbegin(); it != tree.looks.cend(); ++it)
            QVERIFY2(it.value() <= 2, qPrintable(it.key()));
        for (auto it = tree.listings.cbegin(); it != tree.listings.cend(); ++it)
            QCOMPARE(it.value(), 1);
    }

    void failingLookOnTheWayBackIsReported() {
        // A failure outside one folder's search shows the error report with the walk's own
        // location; the failing test counts as passed and the walk goes on.
        ScriptedTree tree;
        addExample(tree);
        tree.afterListing = [&](const QString& folder) {
            if (folder == native("/A/C/E/"))
                tree.failLook("/A/C/E/");
        };
        ScriptedDialogs dialogs;
        dialogs.expectMessage();
        QStringList folders{native("/A/")};
        AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, noYield);
        QCOMPARE(folders, natives({"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/E/"}));
        QCOMPARE(dialogs.calls().size(), size_t(1));
        QCOMPARE(dialogs.calls()[0].title, QString("Application Error"));
        QVERIFY(dialogs.calls()[0].text.startsWith("Device I/O error\r\n"
                                                   "in Orlanby2021/08/31.AddFolder."
                                                   "GetSubDirectories2016 at line "));
        QCOMPARE(dialogs.calls()[0].icon, MessageIcon::Warning);
    }

    void messageLoopTurnsAreThrottled() {
        // The first call runs the message loop, later ones only once 16 ms have passed: a
        // thousand quick calls are a few passes, not a thousand.
        int passes = 0;
        QTimer everyPass;
        everyPass.setInterval(0);
        QObject::connect(&everyPass, &QTimer::timeout, [&] { ++passes; });
        everyPass.start();
        bool goOn = true;
        const AddFolder::WalkYield yield = AddFolder::messageLoopTurns([&] { return goOn; });
        QVERIFY(yield());
        QVERIFY(passes >= 1);
        for (int i = 0; i < 1000; ++i)
            QVERIFY(yield());
        QVERIFY2(passes < 100, qPrintable(QString::number(passes)));
        goOn = false;
        QVERIFY(!yield());
    }

    void stopsWhenTheYieldSaysSo() {
        ScriptedTree tree;
        addExample(tree);
        int turns = 0;
        QStringList folders{native("/A/")};
        ScriptedDialogs dialogs;
        AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, [&] { return ++turns < 3; });
        QCOMPARE(turns, 3);
        QCOMPARE(folders, natives({"/A/"}));
        QCOMPARE(tree.listings.value(native("/A/C/")), 0);
    }
};

QTEST_GUILESS_MAIN(WalkTest)
#include "test_walk.moc"
