// GUILESS: runs as a user counts on them: numbers that stay, records that keep every file still in
// the trash, exact identities, the user's folders however XDG_DATA_HOME is written, faults said
// before anything moves, and a run stopped by a signal dying of it. Real files in a scratch folder
// and the real trash under the test's XDG_DATA_HOME.
#include "TestSupport.h"
#include "common/UserFolders.h"
#include "deletion/FileIdentity.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunRecordText.h"
#include "deletion/RunSummary.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"
#include "shell/Shell.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString recordPath(const QString& id) {
    return RunRecord::runsFolder() + QLatin1Char('/') + id + QStringLiteral(".json");
}

// Runs the command line with stdin and stderr on /dev/null (so nothing is asked); its status.
int shell(const QStringList& arguments) {
    const int saved[] = {::dup(0), ::dup(2)};
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 2);
    const int status = Shell::run(arguments);
    ::dup2(saved[0], 0);
    ::dup2(saved[1], 2);
    for (const int fd : {saved[0], saved[1], null})
        ::close(fd);
    return status;
}

QStringList trashed() {
    return QDir(TestEnv::dataHome() + QStringLiteral("/Trash/files")).entryList(QDir::Files);
}

// Runs the command line in a child whose stderr comes back; `whileRunning` is called with the
// child's pid until it returns true. The child's exit status, or -signal when a signal ended it.
int inChild(const QStringList& arguments, QByteArray* err = nullptr,
            const std::function<bool(pid_t)>& whileRunning = {}) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1000;
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::_exit(Shell::run(arguments));
    }
    ::close(pipeFds[1]);
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    QByteArray text;
    int status = 0;
    bool called = !whileRunning;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        char chunk[4096];
        for (ssize_t n = 0; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
            text.append(chunk, n);
        if (!called)
            called = whileRunning(child);
        ::usleep(1000);
    }
    ::fcntl(pipeFds[0], F_SETFL, 0);
    char chunk[4096];
    for (ssize_t n = 0; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, n);
    ::close(pipeFds[0]);
    if (err != nullptr)
        *err = text;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

} // namespace

class PutBackRunsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    void guard(const QString& path) {
        if (m_root.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')))
            qFatal("refusing to trash %s: outside the test folder", qPrintable(path));
    }

    // Moves the files to the real trash as a window's run does; the run's id.
    QString trashRun(const QStringList& paths, const QString& origin = RunRecord::FromWindow) {
        DesktopTrash trash;
        Delete1::TrashRun run(trash, origin);
        for (const QString& path : paths) {
            guard(path);
            run.trashOne(path);
        }
        run.finish();
        if (!run.recordError().isEmpty())
            qWarning("not recorded: %s", qPrintable(run.recordError()));
        return run.runId();
    }

    QString file(const QString& name, const QByteArray& data = "x") {
        QString path = m_root + QLatin1Char('/') + name;
        TestEnv::makeFile(path, data);
        return path;
    }

    QString m_noNamespace;
    QStringList m_mounts;

    // Files n0 … n(count-1) in a folder of the scratch folder; the folder.
    QString pool(const QString& name, int count) {
        QString folder = m_root + QLatin1Char('/') + name;
        for (int i = 0; i < count; ++i)
            TestEnv::makeFile(folder + QStringLiteral("/n%1").arg(i), "x");
        guard(folder + QStringLiteral("/n0"));
        return folder;
    }

private slots:
    void initTestCase() {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            m_noNamespace = QStringLiteral("no private mount namespace");
        // Times in the titles are local: UTC here, whatever the machine's zone; the C locale writes
        // them "8 Dec 2026 14:02:03".
        qputenv("TZ", "UTC");
        ::tzset();
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        QDir(RunRecord::runsFolder()).removeRecursively();
        QDir(TestEnv::dataHome() + QStringLiteral("/Trash")).removeRecursively();
        RunRecord::setClock({});
    }

    void cleanup() {
        for (const QString& path : std::as_const(m_mounts))
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
        m_mounts.clear();
        RunRecord::setClock({});
        QFile::remove(RunRecord::runsFolder());
        QDir(RunRecord::runsFolder()).removeRecursively();
        m_dir.reset();
    }

    // A run's number is its own: putting back another run, or pruning old ones, changes no other
    // run's number, and a number once given is not given again.
    void numbersStayAfterPutBackAndPruning() {
        const QString first = trashRun({file(QStringLiteral("a/1"))});
        const QString second = trashRun({file(QStringLiteral("b/2"))});
        const QString third = trashRun({file(QStringLiteral("c/3"))});
        QCOMPARE(RunRecord::idNumbered(1), first);
        QCOMPARE(RunRecord::idNumbered(2), second);
        QCOMPARE(RunRecord::idNumbered(3), third);

        QCOMPARE(shell({QStringLiteral("--put-back"), QStringLiteral("2")}), 0);
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/b/2")));
        QCOMPARE(RunRecord::idNumbered(2), QString());
        QCOMPARE(RunRecord::idNumbered(3), third);
        // "2" names no run now; it does not fall on another.
        QCOMPARE(shell({QStringLiteral("--put-back"), QStringLiteral("2")}), 2);
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/a/1")));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/c/3")));

        // The counter lost: the numbers in the records still keep a number from coming back.
        QVERIFY(QFile::remove(RunRecord::runsFolder() + QStringLiteral("/last-number")));
        const QString fourth = trashRun({file(QStringLiteral("d/4"))});
        QCOMPARE(RunRecord::idNumbered(4), fourth);

        // Old runs pruned: the rest keep their numbers, new ones go on counting.
        for (int i = 0; i < RunRecord::Kept; ++i) {
            RunRecord::Run run;
            run.entries.emplace_back(m_root + QStringLiteral("/gone"),
                                     m_root + QStringLiteral("/t"));
            QVERIFY(RunRecord::save(run).isEmpty());
            QCOMPARE(run.number, quint64(5 + i));
        }
        QCOMPARE(RunRecord::idNumbered(4 + RunRecord::Kept), RunRecord::ids().first());
        QCOMPARE(RunRecord::load(RunRecord::idNumbered(4 + RunRecord::Kept))->number,
                 quint64(4 + RunRecord::Kept));
    }

    // The record's first line says the format, the time, the number and where the run started.
    void headerNamesNumberAndOrigin_data() {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("window") << RunRecord::FromWindow << QByteArray("window");
        QTest::newRow("command line") << RunRecord::FromCommandLine << QByteArray("command line");
    }
    void headerNamesNumberAndOrigin() {
        QFETCH(QString, origin);
        QFETCH(QByteArray, written);
        RunRecord::setClock(
            [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 2, 3, 45), Qt::UTC); });
        const QString id = trashRun({file(QStringLiteral("x"))}, origin);
        const QByteArray text = TestEnv::readAll(recordPath(id));
        QCOMPARE(text.left(text.indexOf('\n') + 1),
                 "{\"format\":\"thinwick-run 3\",\"time\":\"2026-12-08T14:02:03.045Z\","
                 "\"number\":1,\"origin\":\"" +
                     written + "\"}\n");
        const std::optional<RunRecord::Run> run = RunRecord::load(id);
        QVERIFY(run);
        QCOMPARE(run->number, quint64(1));
        QCOMPARE(run->origin, origin);
    }

    // One line that names a run wherever it is named.
    void runTitleNamesTheRun_data() {
        QTest::addColumn<quint64>("number");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("title");
        QTest::newRow("one file") << quint64(7) << RunRecord::FromWindow
                                  << QStringList{QStringLiteral("/home/a/Photos/x.jpg")}
                                  << QStringLiteral("run 7 of 8 Dec 2026 14:02:03 (1 file from "
                                                    "/home/a/Photos)");
        QTest::newRow("one folder, command line")
            << quint64(12) << RunRecord::FromCommandLine
            << QStringList{QStringLiteral("/home/a/P/x"), QStringLiteral("/home/a/P/y"),
                           QStringLiteral("/home/a/P/z")}
            << QStringLiteral("run 12 of 8 Dec 2026 14:02:03 from the command line (3 files from "
                              "/home/a/P)");
        QTest::newRow("two folders")
            << quint64(3) << RunRecord::FromWindow
            << QStringList{QStringLiteral("/a/x"), QStringLiteral("/b/y"), QStringLiteral("/a/z")}
            << QStringLiteral("run 3 of 8 Dec 2026 14:02:03 (3 files from 2 folders)");
        QTest::newRow("no number")
            << quint64(0) << QString() << QStringList{QStringLiteral("/x")}
            << QStringLiteral("the run of 8 Dec 2026 14:02:03 (1 file from /)");
    }
    void runTitleNamesTheRun() {
        QFETCH(quint64, number);
        QFETCH(QString, origin);
        QFETCH(QStringList, files);
        QFETCH(QString, title);
        RunRecord::Run run;
        run.number = number;
        run.origin = origin;
        run.time = QDateTime(QDate(2026, 12, 8), QTime(14, 2, 3), Qt::UTC);
        for (const QString& path : files)
            run.entries.emplace_back(path, QStringLiteral("/t"));
        QCOMPARE(Delete1::runTitle(run), title);
    }

    // On an overlay with xino=on a lower layer's files have inode numbers past 2^63: a run there
    // is put back whole.
    void overlayWithHighInodesPutsBack() {
        if (!m_noNamespace.isEmpty())
            QSKIP(qPrintable(m_noNamespace));
        const QString base = m_root + QStringLiteral("/overlay");
        const QString merged = base + QStringLiteral("/merged");
        for (const QString& part :
             {QStringLiteral("/lower"), QStringLiteral("/upper"), QStringLiteral("/merged")}) {
            QVERIFY(QDir().mkpath(base + part));
        }
        // The layers on two file systems, so xino gives the lower one high inode numbers.
        for (const QString& part : {QStringLiteral("/lower"), QStringLiteral("/upper")}) {
            QVERIFY(::mount("tmpfs", QFile::encodeName(base + part).constData(), "tmpfs", 0,
                            "mode=0755") == 0);
            m_mounts.prepend(base + part);
        }
        TestEnv::makeFile(base + QStringLiteral("/lower/photos/old.jpg"), "lower");
        QVERIFY(QDir().mkpath(base + QStringLiteral("/upper/up")));
        QVERIFY(QDir().mkpath(base + QStringLiteral("/upper/work")));
        const QByteArray options =
            "lowerdir=" + QFile::encodeName(base) + "/lower,upperdir=" + QFile::encodeName(base) +
            "/upper/up,workdir=" + QFile::encodeName(base) + "/upper/work,xino=on";
        if (::mount("overlay", QFile::encodeName(merged).constData(), "overlay", 0,
                    options.constData()) != 0)
            QSKIP("no overlay with xino here");
        m_mounts.prepend(merged);
        const QString old = merged + QStringLiteral("/photos/old.jpg");
        const QString fresh = merged + QStringLiteral("/photos/new.jpg");
        TestEnv::makeFile(fresh, "upper");
        if (RunRecord::identityOf(old, false).inode < (quint64{1} << 53))
            QSKIP("the overlay gives no inode numbers past 2^53 here");
        const QString id = trashRun({old, fresh});
        QCOMPARE(RunRecord::load(id)->entries.size(), std::size_t{2});
        QByteArray err;
        QCOMPARE(inChild({QStringLiteral("--put-back"), id}, &err), 0);
        QVERIFY2(err.contains("2 files were put back."), err.constData());
        QCOMPARE(TestEnv::readAll(old), QByteArray("lower"));
        QCOMPARE(TestEnv::readAll(fresh), QByteArray("upper"));
        QVERIFY(!QFileInfo::exists(recordPath(id)));
    }

    // Device and inode numbers past 2^53 (an overlay with xino=on starts at 2^63) come back
    // exactly; format 2's JSON numbers still load.
    void identitiesRoundTripExactly_data() {
        QTest::addColumn<quint64>("device");
        QTest::addColumn<quint64>("inode");
        QTest::newRow("2^53 + 1") << quint64(2049) << quint64(9007199254740993ULL);
        QTest::newRow("2^63 + 5") << quint64(9007199254740995ULL)
                                  << quint64(9223372036854775813ULL);
        QTest::newRow("2^64 - 1") << quint64(18446744073709551615ULL)
                                  << quint64(18446744073709551615ULL);
    }
    void identitiesRoundTripExactly() {
        QFETCH(quint64, device);
        QFETCH(quint64, inode);
        RunRecord::Run run;
        run.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
        RunRecord::Entry entry(QStringLiteral("/a/b"), QStringLiteral("/t/files/b"));
        entry.folder = {device, inode};
        entry.file = {inode, device};
        entry.folderBorn = {1767323045, 999999999};
        run.entries.push_back(entry);
        QByteArray text = RunRecord::Text::recordText(run);
        QVERIFY2(text.contains("\"file\":[\"" + QByteArray::number(inode) + "\",\"" +
                               QByteArray::number(device) + "\"]"),
                 text.constData());
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        RunRecord::Run read;
        QString fault;
        QCOMPARE(RunRecord::Text::readLines(buffer, read, fault), RunRecord::Text::Read::Record);
        QCOMPARE(read.entries.size(), std::size_t{1});
        QVERIFY(!read.entries.front().damaged);
        QCOMPARE(read.entries.front().folder.device, device);
        QCOMPARE(read.entries.front().folder.inode, inode);
        QCOMPARE(read.entries.front().file.device, inode);
        QCOMPARE(read.entries.front().file.inode, device);
        QCOMPARE(read.entries.front().folderBorn.seconds, qint64(1767323045));
        QCOMPARE(read.entries.front().folderBorn.nanoseconds, quint32(999999999));
    }

    // A number that is not a whole number in range makes its entry damaged: named, kept in the
    // record as it was written, and its file left in the trash; never read as gone.
    void damagedNumbersAreKeptNotGone_data() {
        QTest::addColumn<QByteArray>("inode");
        QTest::newRow("negative") << QByteArray("-1");
        QTest::newRow("negative text") << QByteArray("\"-1\"");
        QTest::newRow("fraction") << QByteArray("1.5");
        QTest::newRow("past 2^53 as a number") << QByteArray("9007199254740993");
        QTest::newRow("past 2^64") << QByteArray("\"18446744073709551616\"");
        QTest::newRow("not digits") << QByteArray("\"12a\"");
        QTest::newRow("huge") << QByteArray("1e300");
    }
    void damagedNumbersAreKeptNotGone() {
        QFETCH(QByteArray, inode);
        const QString original = file(QStringLiteral("d/kept"));
        const QString id = trashRun({original});
        const RunRecord::Entry entry = RunRecord::load(id)->entries.front();
        const QByteArray line = "{\"from\":\"" + RunRecord::Text::encoded(original) +
                                "\",\"to\":\"" + RunRecord::Text::encoded(entry.trashed) +
                                "\",\"file\":[2049," + inode + "]}\n";
        const QByteArray text = TestEnv::readAll(recordPath(id));
        TestEnv::makeFile(recordPath(id), text.left(text.indexOf('\n') + 1) + line);
        QByteArray err;
        QCOMPARE(inChild({QStringLiteral("--put-back")}, &err), 1);
        QVERIFY2(err.contains("1 file's line in the run's record is damaged; it was left as it "
                              "is:\n" +
                              QFile::encodeName(original)),
                 err.constData());
        QVERIFY(!err.contains("no longer in the trash"));
        QVERIFY(QFileInfo::exists(entry.trashed));
        QVERIFY(TestEnv::readAll(recordPath(id)).endsWith(line));
    }

    // Put-back removes an entry only when its file is back: a file it took for another (its
    // identity read wrong) while something is at its place in the trash stays recorded.
    void recordKeptAfterPutBackThatMovedNothing() {
        const QString one = file(QStringLiteral("k/one"));
        const QString two = file(QStringLiteral("k/two"));
        const QString id = trashRun({one, two});
        QByteArray text = TestEnv::readAll(recordPath(id));
        // Every file identity off by one, as a double would have rounded it.
        const QRegularExpression identity(QStringLiteral("\"file\":\\[\"(\\d+)\",\"(\\d+)\"\\]"));
        QString edited = QString::fromUtf8(text);
        for (const QRegularExpressionMatch& match : identity.globalMatch(QString::fromUtf8(text)))
            edited.replace(match.captured(), QStringLiteral("\"file\":[\"%1\",\"%2\"]")
                                                 .arg(match.captured(1))
                                                 .arg(match.captured(2).toULongLong() + 1));
        QVERIFY(edited != QString::fromUtf8(text));
        TestEnv::makeFile(recordPath(id), edited.toUtf8());
        QByteArray err;
        QCOMPARE(inChild({QStringLiteral("--put-back")}, &err), 1);
        QVERIFY2(err.contains("0 files were put back."), err.constData());
        QCOMPARE(trashed().size(), 2);
        const std::optional<RunRecord::Run> run = RunRecord::load(id);
        QVERIFY(run);
        QCOMPARE(run->entries.size(), std::size_t{2});
    }

    // The home trash is one place however XDG_DATA_HOME is written: what a run moved there,
    // put-back finds there.
    void everyFormOfDataHomePutsBack_data() {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("trash"); // below the test's root
        QTest::newRow("plain") << QByteArray("/xdg/data") << QStringLiteral("/xdg/data/Trash");
        QTest::newRow("with /./") << QByteArray("/xdg/./data") << QStringLiteral("/xdg/data/Trash");
        QTest::newRow("with /../")
            << QByteArray("/xdg/other/../data") << QStringLiteral("/xdg/data/Trash");
        QTest::newRow("trailing /")
            << QByteArray("/xdg/data/") << QStringLiteral("/xdg/data/Trash");
        QTest::newRow("doubled /") << QByteArray("/xdg//data") << QStringLiteral("/xdg/data/Trash");
        QTest::newRow("relative, ignored")
            << QByteArray("relative/data") << QStringLiteral("/home/.local/share/Trash");
    }
    void everyFormOfDataHomePutsBack() {
        QFETCH(QByteArray, written);
        QFETCH(QString, trash);
        const QByteArray saved[] = {qgetenv("XDG_DATA_HOME"), qgetenv("HOME")};
        const QByteArray root = QFile::encodeName(m_root);
        qputenv("XDG_DATA_HOME", written.startsWith('/') ? root + written : written);
        qputenv("HOME", root + "/home");
        QDir().mkpath(m_root + QStringLiteral("/xdg/other"));
        const QString original = file(QStringLiteral("forms/f.txt"), "forms");
        const QString id = trashRun({original});
        QCOMPARE(UserFolders::homeTrash(), root + QFile::encodeName(trash));
        const QStringList inTrash =
            QDir(m_root + trash + QStringLiteral("/files")).entryList(QDir::Files);
        const int status = shell({QStringLiteral("--put-back"), id});
        qputenv("XDG_DATA_HOME", saved[0]);
        qputenv("HOME", saved[1]);
        QCOMPARE(inTrash, QStringList{QStringLiteral("f.txt")});
        QCOMPARE(status, 0);
        QCOMPARE(TestEnv::readAll(original), QByteArray("forms"));
    }

    // A run's folder removed since: it is made once, and every file of the run goes back into it.
    void removedFolderTakesEveryFileBack() {
        const QString folder = pool(QStringLiteral("removed"), 3);
        const QString id = trashRun({folder + QStringLiteral("/n0"), folder + QStringLiteral("/n1"),
                                     folder + QStringLiteral("/n2")});
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(shell({QStringLiteral("--put-back"), id}), 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{QStringLiteral("n0"), QStringLiteral("n1"), QStringLiteral("n2")}));
        QVERIFY(trashed().isEmpty());
    }

    // A runs folder that cannot be trusted stops a run before its question, and --runs and
    // --put-back say why instead of nothing.
    void untrustedRunsFolderIsSaidBeforeAnything() {
        const QString folder = pool(QStringLiteral("untrusted"), 2);
        const QString elsewhere = m_root + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(QFileInfo(RunRecord::runsFolder()).path()));
        QVERIFY(QFile::link(elsewhere, RunRecord::runsFolder()));
        const QString reason =
            QStringLiteral("the folder %1 is a symbolic link, which is not followed")
                .arg(RunRecord::runsFolder());
        QByteArray err;
        QCOMPARE(inChild({QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--trash"),
                          QStringLiteral("--yes"), folder},
                         &err),
                 1);
        QCOMPARE(QString::fromUtf8(err),
                 QStringLiteral("thinwick: this run could not be recorded, so --put-back could not "
                                "undo it: %1\nNothing was moved.\n")
                     .arg(reason));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
        for (const QString& option : {QStringLiteral("--runs"), QStringLiteral("--put-back")}) {
            QCOMPARE(inChild({option}, &err), 1);
            QCOMPARE(
                QString::fromUtf8(err),
                QStringLiteral("thinwick: the runs folder cannot be trusted: %1\n").arg(reason));
        }
    }

    // A full file system under the runs folder: a run that cannot begin its record moves nothing;
    // one whose record cannot grow leaves the rest in place and says why. Never SIGBUS.
    void fullDiskUnderTheRunsFolder_data() {
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("begins");
        QTest::newRow("no room to begin") << QStringLiteral("64k") << false;
        QTest::newRow("no room to grow") << QStringLiteral("400k") << true;
    }
    void fullDiskUnderTheRunsFolder() {
        QFETCH(QString, size);
        QFETCH(bool, begins);
        if (!m_noNamespace.isEmpty())
            QSKIP(qPrintable(m_noNamespace));
        constexpr int Files = 1500;
        const QString folder = pool(QStringLiteral("full"), Files);
        const QString runs = RunRecord::runsFolder();
        QVERIFY(QDir().mkpath(runs));
        QVERIFY(::mount("tmpfs", QFile::encodeName(runs).constData(), "tmpfs", 0,
                        ("mode=0700,size=" + size.toLatin1()).constData()) == 0);
        m_mounts.prepend(runs);
        QByteArray err;
        const int status = inChild({QStringLiteral("--count"), QString::number(Files),
                                    QStringLiteral("--trash"), QStringLiteral("--yes"), folder},
                                   &err);
        QCOMPARE(status, 1);
        QVERIFY2(err.contains("No space left on device"), err.constData());
        const int moved = static_cast<int>(trashed().size());
        const int left = static_cast<int>(QDir(folder).entryList(QDir::Files).size());
        QCOMPARE(moved + left, Files);
        if (!begins) {
            QCOMPARE(moved, 0);
            QVERIFY2(err.contains("this run could not be recorded"), err.constData());
            return;
        }
        QVERIFY2(moved > 0 && left > 0, qPrintable(QString::number(moved)));
        QVERIFY2(err.contains("the run's record cannot grow: no room for the record"),
                 err.constData());
        // The record names every file that moved, and the run can be put back by its number.
        QVERIFY2(err.contains(" to the trash (run 1); thinwick --put-back 1 puts them back."),
                 err.constData());
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run);
        QVERIFY(run->finished);
        QCOMPARE(static_cast<int>(run->entries.size()), moved);
    }

    // A record cut short by a crash loads up to its last whole line; a line longer than any a run
    // writes makes the record damaged, and it is kept.
    void cutShortAndOverLongRecords() {
        const QString one = file(QStringLiteral("c/one"));
        const QString two = file(QStringLiteral("c/two"));
        const QString id = trashRun({one, two});
        const QByteArray text = TestEnv::readAll(recordPath(id));
        TestEnv::makeFile(recordPath(id), text.left(text.size() - 10));
        std::optional<RunRecord::Run> run = RunRecord::load(id);
        QVERIFY(run);
        QCOMPARE(run->entries.size(), std::size_t{1});
        QCOMPARE(run->entries.front().original, one);

        const QByteArray longLine =
            "{\"from\":\"/" + QByteArray(RunRecord::Text::LongestLine, 'a') + "\"}\n";
        TestEnv::makeFile(recordPath(id), text + longLine + text.mid(text.indexOf('\n') + 1));
        QString reason;
        QVERIFY(!RunRecord::load(id, &reason));
        QCOMPARE(reason,
                 QStringLiteral("the record %1 is damaged: line 4 is longer than any line a "
                                "run writes")
                     .arg(recordPath(id)));
        QCOMPARE(shell({QStringLiteral("--put-back"), id}), 1);
        QCOMPARE(trashed().size(), 2);
        QVERIFY(QFileInfo::exists(recordPath(id)));
    }

    // Old runs are pruned only when none of their files is in the trash any more.
    void pruningKeepsRunsWithFilesInTheTrash() {
        RunRecord::Run gone;
        gone.entries.emplace_back(m_root + QStringLiteral("/g"),
                                  m_root + QStringLiteral("/nowhere"));
        QVERIFY(RunRecord::save(gone).isEmpty());
        const QString holding = trashRun({file(QStringLiteral("p/held"))});
        for (int i = 0; i < RunRecord::Kept; ++i) {
            RunRecord::Run run;
            run.entries.emplace_back(m_root + QStringLiteral("/g"),
                                     m_root + QStringLiteral("/nowhere"));
            QVERIFY(RunRecord::save(run).isEmpty());
        }
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), RunRecord::Kept + 1);
        QVERIFY(ids.contains(holding));
        QVERIFY(!ids.contains(gone.id));
    }

    // A put-back that has to wait for another of the same run says so, then goes on.
    void waitingPutBackSaysSo() {
        const QString original = file(QStringLiteral("w/file"));
        const QString id = trashRun({original});
        auto held = std::make_unique<QLockFile>(RunRecord::runsFolder() + QLatin1Char('/') + id +
                                                QStringLiteral(".lock"));
        QVERIFY(held->tryLock(0));
        QByteArray err;
        int rounds = 0;
        const int status =
            inChild({QStringLiteral("--put-back"), QStringLiteral("1")}, &err, [&](pid_t) {
                // Released once the child has had time to say it waits.
                if (++rounds < 300)
                    return false;
                held.reset();
                return true;
            });
        QCOMPARE(status, 0);
        QVERIFY2(err.startsWith("thinwick: waiting for another put-back of run 1 to end\n"),
                 err.constData());
        QCOMPARE(TestEnv::readAll(original), QByteArray("x"));
    }

    // Stopped by a signal, a run stops cleanly and then dies of it: a parent sees the signal, a
    // shell the status 130 of Ctrl+C, so a loop of runs stops.
    void stoppedBySignalDiesOfIt_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void stoppedBySignalDiesOfIt() {
        QFETCH(int, signal);
        constexpr int Files = 3000;
        const QString folder = pool(QStringLiteral("signal"), Files);
        QByteArray err;
        const int status = inChild({QStringLiteral("--count"), QString::number(Files),
                                    QStringLiteral("--trash"), QStringLiteral("--yes"), folder},
                                   &err, [&](pid_t child) {
                                       if (trashed().size() < 100)
                                           return false;
                                       ::kill(child, signal);
                                       return true;
                                   });
        QCOMPARE(status, -signal);
        QVERIFY2(err.contains("Interrupted: "), err.constData());
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run);
        QVERIFY(run->finished);
        QCOMPARE(static_cast<qsizetype>(run->entries.size()), trashed().size());
    }
    void ctrlCInAShellLoopGives130() {
        constexpr int Files = 3000;
        const QString folder = pool(QStringLiteral("loop"), Files);
        QProcess sh;
        // The loop would run the program three times; Ctrl+C in the first ends the loop. Each
        // run's pid is printed first, so that the signal goes to the program by its id.
        sh.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("for i in 1 2 3; do \"$0\" --count 3000 --trash --yes \"$1\" "
                                 "2>/dev/null & echo \"$!\"; wait $!; s=$?; echo \"$s\"; "
                                 "[ \"$s\" = 0 ] || exit \"$s\"; done"),
                  QStringLiteral(THINWICK_PROGRAM), folder});
        QVERIFY(sh.waitForStarted());
        QVERIFY(sh.waitForReadyRead(10000));
        const pid_t program = sh.readLine().trimmed().toInt();
        QVERIFY(program > 0);
        for (int i = 0; i < 20000 && trashed().size() < 100; ++i)
            ::usleep(1000);
        QVERIFY(::kill(program, SIGINT) == 0);
        QVERIFY(sh.waitForFinished(60000));
        QCOMPARE(sh.readAllStandardOutput(), QByteArray("130\n"));
        QCOMPARE(sh.exitCode(), 130);
        QVERIFY(trashed().size() < Files);
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    PutBackRunsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_putback_runs.moc"
