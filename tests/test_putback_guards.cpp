// GUILESS: run records and putting back against forged records, foreign runs folders, swapped
// folders and trashes, killed runs and concurrent put-backs. Real files in a scratch folder, the
// real trash, volumes as tmpfs mounts in a private mount namespace; "another user" is nobody.
#include "TestSupport.h"
#include "deletion/PutBack.h"
#include "deletion/RenameNoReplace.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"
#include "shell/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;

// No runs folder at all, whatever a test left there (a link, a foreign folder).
void removeRuns() {
    const QString runs = RunRecord::runsFolder();
    ::chown(QFile::encodeName(QFileInfo(runs).path()).constData(), ::geteuid(), ::getegid());
    if (QFileInfo(runs).isSymLink())
        QFile::remove(runs);
    else
        QDir(runs).removeRecursively();
}

QString homeTrash() {
    return TestEnv::dataHome() + QStringLiteral("/Trash");
}

QByteArray bytes(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

class PutBackGuardsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_noNamespace;
    QStringList m_mounts;

    void guard(const QString& path) {
        if (m_root.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')))
            qFatal("refusing to trash %s: outside the test folder", qPrintable(path));
    }

    // Moves the files to the real trash as a run does and records them; the run's id.
    QString trashRun(const QStringList& paths) {
        DesktopTrash trash;
        RunRecord::Recorder record;
        for (const QString& path : paths) {
            guard(path);
            const TrashResult result = trash.moveToTrash(path);
            if (!result.moved)
                qWarning("not moved: %s", qPrintable(result.reason));
            record.add(path, result.trashedPath);
        }
        if (const QString error = record.save(); !error.isEmpty())
            qWarning("not recorded: %s", qPrintable(error));
        return record.id();
    }

    RunRecord::Entry onlyEntry(const QString& id) {
        const std::optional<RunRecord::Run> run = RunRecord::load(id);
        return run && run->entries.size() == 1 ? run->entries.front() : RunRecord::Entry();
    }

    bool mountTmpfs(const QString& path) {
        if (!m_noNamespace.isEmpty())
            return false;
        QDir().mkpath(path);
        if (::mount("tmpfs", bytes(path).constData(), "tmpfs", 0, "mode=0755") != 0)
            return false;
        m_mounts.prepend(path);
        return true;
    }

    // Runs `--count N --trash --yes FOLDER` in a child; `stop` is called with its pid once `after`
    // files are in the trash. The child's exit status, or -signal when a signal ended it.
    int runAndStop(const QString& folder, int count, int after, int signal) {
        guard(folder + QStringLiteral("/x"));
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 2);
            ::_exit(Shell::run({QStringLiteral("--count"), QString::number(count),
                                QStringLiteral("--trash"), QStringLiteral("--yes"), folder}));
        }
        const QDir files(homeTrash() + QStringLiteral("/files"));
        for (int i = 0; i < 20000 && files.entryList(QDir::Files).size() < after; ++i)
            ::usleep(1000);
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
    }

private slots:
    void initTestCase() {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            m_noNamespace = QStringLiteral("no private mount namespace");
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        removeRuns();
        QDir(homeTrash()).removeRecursively();
        RunRecord::setClock({});
    }

    void cleanup() {
        for (const QString& path : std::as_const(m_mounts))
            ::umount2(bytes(path).constData(), MNT_DETACH);
        m_mounts.clear();
        RunRecord::setClock({});
        removeRuns();
        m_dir.reset();
    }

    // A record that names anything but an entry of this user's trash with a matching information
    // file moves nothing.
    void forgedRecordMovesNothing_data() {
        QTest::addColumn<QString>("kind");
        for (const char* name : {"outside the trash", "relative from", "dot-dot in to",
                                 "wrong Path=", "from ending in Path=", "trash of another user",
                                 "trash folder a link"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void forgedRecordMovesNothing() {
        QFETCH(QString, kind);
        const QString key = m_root + QStringLiteral("/private/id_key");
        TestEnv::makeFile(key, "secret");
        const QString real = m_root + QStringLiteral("/docs/a.txt");
        TestEnv::makeFile(real, "a");
        const QString id = trashRun({real});
        RunRecord::Entry entry = onlyEntry(id);
        QVERIFY(!entry.trashed.isEmpty());
        const QString drop = m_root + QStringLiteral("/drop/loot");
        QDir().mkpath(m_root + QStringLiteral("/drop"));
        QString untouched = entry.trashed; // what must stay where it is
        if (kind == QStringLiteral("outside the trash")) {
            entry = {drop, key};
            untouched = key;
        } else if (kind == QStringLiteral("relative from")) {
            entry.original = QStringLiteral("a.txt");
        } else if (kind == QStringLiteral("dot-dot in to")) {
            entry = {drop, homeTrash() + QStringLiteral("/files/../../../private/id_key")};
            untouched = key;
        } else if (kind == QStringLiteral("wrong Path=")) {
            entry.original = drop;
        } else if (kind == QStringLiteral("from ending in Path=")) {
            entry.original = m_root + QStringLiteral("/drop") + real;
        } else {
            // A volume's trash that is not the user's own: another user's, or a link to a folder.
            const QString top = m_root + QStringLiteral("/vol");
            const QString trash = top + QStringLiteral("/.Trash-%1").arg(::geteuid());
            const QString theirs = m_root + QStringLiteral("/theirs");
            TestEnv::makeFile(theirs + QStringLiteral("/files/loot"), "theirs");
            TestEnv::makeFile(theirs + QStringLiteral("/info/loot.trashinfo"),
                              "[Trash Info]\nPath=loot\nDeletionDate=2024-01-01T00:00:00\n");
            if (kind == QStringLiteral("trash folder a link")) {
                QDir().mkpath(top);
                QVERIFY(QFile::link(theirs, trash));
            } else {
                if (::geteuid() != 0)
                    QSKIP("only root can give a folder to another user");
                QDir().mkpath(top);
                QVERIFY(QDir().rename(theirs, trash));
                for (const QString& path :
                     {trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")})
                    QVERIFY(::chown(bytes(path).constData(), Nobody, Nobody) == 0);
            }
            entry = {top + QStringLiteral("/loot"), trash + QStringLiteral("/files/loot")};
            untouched = entry.trashed;
        }
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QVERIFY(!result.restored);
        QVERIFY2(result.reason.startsWith(QStringLiteral("refused: ")), qPrintable(result.reason));
        QVERIFY(QFileInfo::exists(untouched));
        QVERIFY(!QFileInfo::exists(drop));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/vol/loot")));
        QCOMPARE(TestEnv::readAll(key), QByteArray("secret"));
    }

    // A runs folder that is not the user's own is neither written to nor read from.
    void foreignRunsFolderIsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a link") << "link"
                                << "is a symbolic link";
        QTest::newRow("writable by others") << "writable"
                                            << "can be written to by other users";
        QTest::newRow("another user's") << "owner"
                                        << "belongs to another user";
        QTest::newRow("parent another user's") << "parent"
                                               << "belongs to another user";
    }
    void foreignRunsFolderIsRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString runs = RunRecord::runsFolder();
        const QString elsewhere = m_root + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(QFileInfo(runs).path()));
        if (kind == QStringLiteral("link")) {
            QVERIFY(QFile::link(elsewhere, runs));
        } else {
            QVERIFY(QDir().mkpath(runs));
            if (kind == QStringLiteral("writable"))
                QVERIFY(::chmod(bytes(runs).constData(), 0777) == 0);
            else if (::geteuid() != 0)
                QSKIP("only root can give a folder to another user");
            else
                QVERIFY(
                    ::chown(bytes(kind == QStringLiteral("owner") ? runs : QFileInfo(runs).path())
                                .constData(),
                            Nobody, Nobody) == 0);
        }
        const QString file = m_root + QStringLiteral("/docs/a.txt");
        TestEnv::makeFile(file, "a");
        DesktopTrash trash;
        RunRecord::Recorder record;
        record.add(file, trash.moveToTrash(file).trashedPath);
        QVERIFY2(record.save().contains(reason), qPrintable(record.save()));
        QVERIFY(QDir(elsewhere).isEmpty());
        QVERIFY(QDir(runs).entryList(QDir::Files).isEmpty());
        QString why;
        QVERIFY(!RunRecord::load(QString(), &why, RunRecord::Access::PutBack));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QVERIFY(RunRecord::ids().isEmpty());
    }

    void recordsArePrivate() {
        const QString file = m_root + QStringLiteral("/docs/a.txt");
        TestEnv::makeFile(file, "a");
        const QString id = trashRun({file});
        struct stat st {};
        QVERIFY(::stat(bytes(RunRecord::runsFolder()).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0700U);
        QVERIFY(::stat(bytes(RunRecord::runsFolder() + QLatin1Char('/') + id + ".json").constData(),
                       &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0600U);
    }

    // The file goes back only into the folder it left: not through a link put in its place, not
    // into a new folder of the same name; a folder that is gone is made again.
    void folderChangedBeforePutBack_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("restored");
        QTest::newRow("replaced by a link") << "link" << false;
        QTest::newRow("replaced by another folder") << "folder" << false;
        QTest::newRow("folder above replaced by a link") << "above" << false;
        QTest::newRow("removed") << "gone" << true;
    }
    void folderChangedBeforePutBack() {
        QFETCH(QString, change);
        QFETCH(bool, restored);
        const QString shared = m_root + QStringLiteral("/shared");
        const QString work = shared + QStringLiteral("/work/sub");
        const QString file = work + QStringLiteral("/report.txt");
        TestEnv::makeFile(file, "report");
        const RunRecord::Entry entry = onlyEntry(trashRun({file}));
        const QString theirs = m_root + QStringLiteral("/theirs");
        QVERIFY(QDir().mkpath(theirs + QStringLiteral("/sub")));
        if (change == QStringLiteral("above")) {
            QVERIFY(QDir(shared + QStringLiteral("/work")).removeRecursively());
            QVERIFY(QFile::link(theirs, shared + QStringLiteral("/work")));
            QVERIFY(QDir(theirs + QStringLiteral("/sub")).removeRecursively());
        } else if (change == QStringLiteral("folder")) {
            // Renamed away and a new one made (while the old one lives, so with an inode of its
            // own).
            QVERIFY(QDir().rename(work, shared + QStringLiteral("/old")));
            QVERIFY(QDir().mkpath(work));
        } else {
            QVERIFY(QDir(work).removeRecursively());
            if (change == QStringLiteral("link"))
                QVERIFY(QFile::link(theirs, work));
        }
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QCOMPARE(result.restored, restored);
        if (restored) {
            QCOMPARE(TestEnv::readAll(file), QByteArray("report"));
            QVERIFY(QFileInfo(work).isDir() && !QFileInfo(work).isSymLink());
        } else {
            QVERIFY(QFileInfo::exists(entry.trashed));
            QVERIFY2(result.reason.contains(QStringLiteral("stays in the trash")),
                     qPrintable(result.reason));
        }
        QVERIFY(QDir(theirs).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
        QVERIFY(!QFileInfo::exists(theirs + QStringLiteral("/report.txt")));
        QVERIFY(!QFileInfo::exists(theirs + QStringLiteral("/sub/report.txt")));
    }

    // A volume's trash renamed away and replaced by a link to another user's folders after the
    // run: the put-back refuses it and moves nothing.
    void swappedTopTrashIsRefused() {
        const QString top = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(top))
            QSKIP("no private mount namespace for a volume");
        const QString file = top + QStringLiteral("/a.txt");
        TestEnv::makeFile(file, "mine");
        const RunRecord::Entry entry = onlyEntry(trashRun({file}));
        const QString trash = top + QStringLiteral("/.Trash-%1").arg(::geteuid());
        QCOMPARE(entry.trashed, trash + QStringLiteral("/files/a.txt"));
        QVERIFY(QDir().rename(trash, top + QStringLiteral("/moved-away")));
        const QString theirs = top + QStringLiteral("/theirs");
        TestEnv::makeFile(theirs + QStringLiteral("/files/a.txt"), "theirs");
        TestEnv::makeFile(theirs + QStringLiteral("/info/a.txt.trashinfo"),
                          "[Trash Info]\nPath=a.txt\nDeletionDate=2024-01-01T00:00:00\n");
        QVERIFY(QFile::link(theirs, trash));
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QVERIFY(!result.restored);
        QVERIFY2(result.reason.contains(QStringLiteral("symbolic link")),
                 qPrintable(result.reason));
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(TestEnv::readAll(theirs + QStringLiteral("/files/a.txt")), QByteArray("theirs"));
    }

    // The same swap during a run: the files that went into the kept folder are recorded and told
    // where that folder really is, nothing goes into the link, and put-back moves none of them.
    void topTrashSwappedDuringRun() {
        const QString top = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(top))
            QSKIP("no private mount namespace for a volume");
        const QStringList files{top + QStringLiteral("/a.txt"), top + QStringLiteral("/b.txt"),
                                top + QStringLiteral("/c.txt")};
        for (const QString& file : files)
            TestEnv::makeFile(file, "mine");
        const QString trashFolder = top + QStringLiteral("/.Trash-%1").arg(::geteuid());
        const QString away = top + QStringLiteral("/moved-away");
        const QString theirs = top + QStringLiteral("/theirs");
        QVERIFY(QDir().mkpath(theirs + QStringLiteral("/files")));
        QVERIFY(QDir().mkpath(theirs + QStringLiteral("/info")));
        QString closing;
        {
            DesktopTrash trash;
            Delete1::TrashRun run(trash);
            run.run(files, [&](qsizetype position, qsizetype /*count*/, const QString& path) {
                guard(path);
                if (position == 2) {
                    QVERIFY(QDir().rename(trashFolder, away));
                    QVERIFY(QFile::link(theirs, trashFolder));
                }
            });
            run.finish();
            closing = run.closingMessage();
        }
        QVERIFY2(closing.contains(QStringLiteral("The trash folder %1 was moved to %2 during the "
                                                 "run")
                                      .arg(trashFolder, away)),
                 qPrintable(closing));
        QVERIFY(QDir(theirs + QStringLiteral("/files")).isEmpty());
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        QVERIFY(!run->entries.empty());
        for (const RunRecord::Entry& entry : run->entries) {
            QVERIFY2(entry.trashed.startsWith(away + QStringLiteral("/files/")),
                     qPrintable(entry.trashed));
            QVERIFY(QFileInfo::exists(entry.trashed));
            const Delete1::PutBackResult result = Delete1::putBack(entry);
            QVERIFY2(result.reason.startsWith(QStringLiteral("refused: ")),
                     qPrintable(result.reason));
        }
        QVERIFY(QDir(theirs + QStringLiteral("/files")).isEmpty());
    }

    // A file trashed through a linked folder goes back: its information file holds the real path.
    void linkedFolderOnVolumePutsBack() {
        const QString top = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(top))
            QSKIP("no private mount namespace for a volume");
        QVERIFY(QDir().mkpath(top + QStringLiteral("/2024")));
        QVERIFY(QFile::link(QStringLiteral("2024"), top + QStringLiteral("/current")));
        const QString file = top + QStringLiteral("/current/photo.jpg");
        TestEnv::makeFile(file, "photo");
        const QString id = trashRun({file});
        QVERIFY(TestEnv::readAll(
                    top + QStringLiteral("/.Trash-%1/info/photo.jpg.trashinfo").arg(::geteuid()))
                    .contains("Path=2024/photo.jpg"));
        const RunRecord::Entry entry = onlyEntry(id);
        QCOMPARE(entry.original, file);
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QVERIFY2(result.restored, qPrintable(result.reason));
        QCOMPARE(TestEnv::readAll(top + QStringLiteral("/2024/photo.jpg")), QByteArray("photo"));
    }

    // A file another tool already put back counts as back; a second put-back of a run finds
    // nothing left to do and fails nothing.
    void alreadyRestoredCountsAsBack() {
        const QString file = m_root + QStringLiteral("/docs/a.txt");
        TestEnv::makeFile(file, "a");
        const RunRecord::Entry entry = onlyEntry(trashRun({file}));
        QVERIFY(QFile::rename(entry.trashed, file));
        const QString info = homeTrash() + QStringLiteral("/info/a.txt.trashinfo");
        QVERIFY(QFile::remove(info));
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QVERIFY(result.restored);
        QVERIFY(!result.missing);
        QCOMPARE(TestEnv::readAll(file), QByteArray("a"));
    }

    // An information file that cannot be removed (its folder mounted read-only) is named; the
    // file is back all the same.
    void infoFileLeftBehindIsNamed() {
        if (!m_noNamespace.isEmpty())
            QSKIP("no private mount namespace");
        const QString file = m_root + QStringLiteral("/docs/a.txt");
        TestEnv::makeFile(file, "a");
        const RunRecord::Entry entry = onlyEntry(trashRun({file}));
        const QString info = homeTrash() + QStringLiteral("/info");
        QVERIFY(::mount(bytes(info).constData(), bytes(info).constData(), nullptr, MS_BIND,
                        nullptr) == 0);
        m_mounts.prepend(info);
        QVERIFY(::mount(nullptr, bytes(info).constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                        nullptr) == 0);
        Delete1::PutBackTally tally;
        tally.count(entry, Delete1::putBack(entry));
        QCOMPARE(Delete1::putBackMessage(tally),
                 QStringLiteral("1 file was put back.\n\n1 file was put back but left something "
                                "in the trash:\n%1 (its trash information file %2/a.txt.trashinfo "
                                "could not be removed: Read-only file system)")
                     .arg(file, info));
        QCOMPARE(TestEnv::readAll(file), QByteArray("a"));
    }

    // Where the file system has neither RENAME_NOREPLACE nor hard links (FAT, exFAT), a file
    // still goes back, and one whose place is taken still stays.
    void putBackWithoutNoReplaceOrLinks() {
        const QString free = m_root + QStringLiteral("/docs/free.txt");
        const QString taken = m_root + QStringLiteral("/docs/taken.txt");
        TestEnv::makeFile(free, "free");
        TestEnv::makeFile(taken, "mine");
        const QString id = trashRun({free, taken});
        TestEnv::makeFile(taken, "new");
        NoReplace::pretendMissing(NoReplace::Missing::NoReplaceFlagAndLinks);
        const std::optional<RunRecord::Run> run = RunRecord::load(id);
        QVERIFY(run.has_value());
        Delete1::PutBackTally tally;
        for (const RunRecord::Entry& entry : run->entries)
            tally.count(entry, Delete1::putBack(entry));
        NoReplace::pretendMissing(NoReplace::Missing::Nothing);
        QCOMPARE(tally.restored, 1);
        QCOMPARE(tally.stayed.size(), 1);
        QCOMPARE(TestEnv::readAll(free), QByteArray("free"));
        QCOMPARE(TestEnv::readAll(taken), QByteArray("new"));
    }

    // A record of the last release (no identities) still puts back, with the same checks.
    void lastReleaseRecordPutsBack() {
        const QString file = m_root + QStringLiteral("/docs/old.txt");
        TestEnv::makeFile(file, "old");
        const RunRecord::Entry entry = onlyEntry(trashRun({file}));
        removeRuns();
        const QString id = QStringLiteral("20240101-120000000-00");
        TestEnv::makeFile(
            RunRecord::runsFolder() + QLatin1Char('/') + id + QStringLiteral(".json"),
            "{\"files\": [{\"from\": \"" + QFile::encodeName(file).toPercentEncoding("/") +
                "\", \"to\": \"" + QFile::encodeName(entry.trashed).toPercentEncoding("/") +
                "\"}], \"format\": \"thinwick-run 1\", \"time\": \"2024-01-01T12:00:00Z\"}");
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        QCOMPARE(run->id, id);
        QCOMPARE(run->entries.size(), std::size_t{1});
        QVERIFY(!run->entries.front().folder.known());
        const Delete1::PutBackResult result = Delete1::putBack(run->entries.front());
        QVERIFY2(result.restored, qPrintable(result.reason));
        QCOMPARE(TestEnv::readAll(file), QByteArray("old"));
    }

    // Two runs in one millisecond are both recorded, under ids of their own.
    void twoRunsInOneMillisecond() {
        const QDateTime frozen = QDateTime::currentDateTimeUtc();
        RunRecord::setClock([frozen] { return frozen; });
        const QString one = m_root + QStringLiteral("/docs/one.txt");
        const QString two = m_root + QStringLiteral("/docs/two.txt");
        TestEnv::makeFile(one, "1");
        TestEnv::makeFile(two, "2");
        DesktopTrash trash;
        RunRecord::Recorder first;
        RunRecord::Recorder second;
        first.add(one, trash.moveToTrash(one).trashedPath);
        second.add(two, trash.moveToTrash(two).trashedPath);
        QVERIFY(first.save().isEmpty());
        QVERIFY(second.save().isEmpty());
        QVERIFY(first.id() != second.id());
        QCOMPARE(RunRecord::ids().size(), 2);
        QCOMPARE(onlyEntry(first.id()).original, one);
        QCOMPARE(onlyEntry(second.id()).original, two);
    }

    // Records dated in the future (a clock that was ahead) never push a new run's record out.
    void futureRecordsKeepTheNewRun() {
        RunRecord::setClock([] { return QDateTime::currentDateTimeUtc().addYears(1); });
        for (int i = 0; i < RunRecord::Kept; ++i) {
            RunRecord::Run run;
            run.entries.push_back({QStringLiteral("/f/%1").arg(i), QStringLiteral("/t/%1").arg(i)});
            QVERIFY(RunRecord::save(run).isEmpty());
        }
        RunRecord::setClock({});
        const QString file = m_root + QStringLiteral("/docs/now.txt");
        TestEnv::makeFile(file, "now");
        const QString id = trashRun({file});
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), RunRecord::Kept);
        QCOMPARE(ids.first(), id);
        QCOMPARE(RunRecord::load(QString())->entries.front().original, file);
    }

    // A run killed (SIGKILL) or hung up on (SIGHUP) mid-way has recorded every file it moved; the
    // hung-up run finishes its record and puts back whole.
    void killedRunIsRecorded_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGKILL") << int{SIGKILL};
        QTest::newRow("SIGHUP") << int{SIGHUP};
    }
    void killedRunIsRecorded() {
        QFETCH(int, signal);
        const QString pool = m_root + QStringLiteral("/pool");
        QVERIFY(QDir().mkpath(pool));
        constexpr int Files = 20000;
        for (int i = 0; i < Files; ++i) {
            QFile file(pool + QStringLiteral("/f%1").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const int status = runAndStop(pool, Files, 500, signal);
        const int moved = static_cast<int>(
            QDir(homeTrash() + QStringLiteral("/files")).entryList(QDir::Files).size());
        QVERIFY2(moved >= 500 && moved < Files, qPrintable(QString::number(moved)));
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        const int recorded = static_cast<int>(run->entries.size());
        if (signal == SIGKILL) {
            QCOMPARE(status, -SIGKILL);
            QVERIFY(!run->finished);
            // Every moved file, and at most one more: recorded just before its move.
            QVERIFY2(recorded >= moved && recorded - moved <= 1,
                     qPrintable(QStringLiteral("%1 moved, %2 recorded").arg(moved).arg(recorded)));
        } else {
            QCOMPARE(status, -signal); // stopped cleanly, then died of the signal
            QVERIFY(run->finished);
            QCOMPARE(recorded, moved);
        }
        Delete1::PutBackTally tally;
        for (const RunRecord::Entry& entry : run->entries)
            tally.count(entry, Delete1::putBack(entry));
        QCOMPARE(tally.restored, moved);
        QCOMPARE(static_cast<int>(QDir(pool).entryList(QDir::Files).size()), Files);
    }

    // A run whose stderr reader has gone is not killed by SIGPIPE before its flush and record:
    // the unwritable closing message makes the exit status 1.
    void goneReaderDoesNotKillTheRun() {
        const QString pool = m_root + QStringLiteral("/pool");
        for (int i = 0; i < 5; ++i)
            TestEnv::makeFile(pool + QStringLiteral("/f%1").arg(i), "x");
        guard(pool + QStringLiteral("/f0"));
        int pipeFds[2];
        QVERIFY(::pipe(pipeFds) == 0);
        ::close(pipeFds[0]);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(pipeFds[1], 2);
            ::_exit(Shell::run({QStringLiteral("--count"), QStringLiteral("5"),
                                QStringLiteral("--trash"), QStringLiteral("--yes"), pool}));
        }
        ::close(pipeFds[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1);
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        QVERIFY(run->finished);
        QCOMPARE(run->entries.size(), std::size_t{5});
    }

    // Two put-backs of one run at once: one waits for the other; every file goes back and neither
    // reports a file the other put back as failed.
    void concurrentPutBacksAreSerialised() {
        QStringList files;
        for (int i = 0; i < 200; ++i) {
            files.append(m_root + QStringLiteral("/docs/f%1").arg(i));
            TestEnv::makeFile(files.last(), "x");
        }
        trashRun(files);
        pid_t children[2] = {};
        for (pid_t& child : children) {
            child = ::fork();
            if (child == 0) {
                std::optional<RunRecord::Run> run =
                    RunRecord::load(QString(), nullptr, RunRecord::Access::PutBack);
                Delete1::PutBackTally tally;
                for (const RunRecord::Entry& entry :
                     run ? run->entries : std::vector<RunRecord::Entry>{})
                    tally.count(entry, Delete1::putBack(entry));
                if (run) {
                    run->entries = tally.kept;
                    RunRecord::update(*run);
                }
                ::_exit(tally.stayed.isEmpty() && tally.missing.isEmpty() ? 0 : 1);
            }
        }
        for (const pid_t child : children) {
            int status = 0;
            ::waitpid(child, &status, 0);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
        }
        for (const QString& file : files)
            QVERIFY(QFileInfo::exists(file));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    PutBackGuardsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_putback_guards.moc"
