// The deletion run shared by the window and the command line (GUILESS): tally, record, stop
// request, progress, and the trash made durable before the record and the closing message.
#include "TestSupport.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <stdexcept>

#include <csignal>
#include <tuple>
#include <utility>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <vector>

namespace {

// The real trash, with each call written down: "move NAME" and "flush (N records)", N being the
// number of finished run records at that moment (a run's journal grows as its files move; it
// becomes the record only after the flush).
class WatchedTrash : public Trash {
public:
    std::vector<QString> calls;
    TrashResult moveToTrash(const QString& path) override {
        calls.push_back(QStringLiteral("move ") + QFileInfo(path).fileName());
        return m_trash.moveToTrash(path);
    }
    void flush() override {
        qsizetype finished = 0;
        for (const QString& id : RunRecord::ids()) {
            const std::optional<RunRecord::Run> run = RunRecord::load(id);
            finished += run && run->finished ? 1 : 0;
        }
        calls.push_back(QStringLiteral("flush (%1 records)").arg(finished));
        m_trash.flush();
    }

private:
    DesktopTrash m_trash;
};

// The real trash whose flush fails as a full disk would make it.
class FailingFlushTrash : public Trash {
public:
    TrashResult moveToTrash(const QString& path) override { return m_trash.moveToTrash(path); }
    void flush() override { throw std::runtime_error("No space left on device"); }

private:
    DesktopTrash m_trash;
};

// The real trash, except that the shell "deletes for good" each path named in destroy, as the
// Recycle Bin's shell can and no trash here does.
class DestroyingTrash : public Trash {
public:
    QStringList destroy;
    TrashResult moveToTrash(const QString& path) override {
        if (!destroy.contains(path))
            return m_trash.moveToTrash(path);
        TrashResult result;
        result.destroyed = QFile::remove(path);
        result.reason = QStringLiteral("deleted for good");
        return result;
    }

private:
    DesktopTrash m_trash;
};

QStringList trashInfoNames() {
    return QDir(TestEnv::dataHome() + QStringLiteral("/Trash/info")).entryList(QDir::Files);
}

} // namespace

class TrashRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    QString file(const QString& name) {
        QString path = m_root + QLatin1Char('/') + name;
        TestEnv::makeFile(path, name.toUtf8());
        return path;
    }

    // Moves album/ away to moved/ and puts a link to other/ in its place (a junction on Windows).
    void swapAlbumForALink() {
        QVERIFY2(QDir(m_root).rename(QStringLiteral("album"), QStringLiteral("moved")),
                 "album/ cannot be moved away");
        QVERIFY2(TestEnv::linkFolder(m_root + QStringLiteral("/other"),
                                     m_root + QStringLiteral("/album")),
                 "no link can be made");
    }

    // What went wrong when a run was asked for album/NAME after that swap; empty when other/NAME
    // still holds "not listed" and moved/NAME went to the trash.
    QString followedLink(const QString& name) const {
        QFile notListed(m_root + QStringLiteral("/other/") + name);
        if (!notListed.open(QIODevice::ReadOnly) || notListed.readAll() != "not listed")
            return QStringLiteral("the link was followed: other/") + name + QStringLiteral(" went");
        if (QFileInfo::exists(m_root + QStringLiteral("/moved/") + name))
            return QStringLiteral("moved/") + name + QStringLiteral(" is still in place");
        return {};
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        QDir(RunRecord::runsFolder()).removeRecursively();
        TestEnv::resetTrash();
    }
    void cleanup() {
        TestEnv::removeFolderLink(m_root + QStringLiteral("/album"));
        m_dir.reset();
    }

    void tallyRecordAndClosingMessage() {
        const QString a = file(QStringLiteral("a.txt"));
        const QString b = file(QStringLiteral("b c.txt"));
        const QString folder = m_root + QStringLiteral("/folder");
        QVERIFY(QDir().mkpath(folder));
        const QString gone = m_root + QStringLiteral("/gone.txt");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.run({a, gone, folder, b});
        run.finish();
        QCOMPARE(run.handled(), 4);
        QVERIFY(!QFileInfo::exists(a) && !QFileInfo::exists(b));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(run.tally().gone, 1);
        QCOMPARE(run.closingMessage(),
                 QStringLiteral("Done.\n\n1 listed file was no longer where it was listed and was "
                                "skipped.\n\n1 file could not be moved to the trash and was left "
                                "in place:\n") +
                     folder + QStringLiteral(" (it is a folder; folders are never deleted)"));
        QCOMPARE(run.recordError(), QString());
        const std::optional<RunRecord::Run> record = RunRecord::load(QString());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{2});
        QCOMPARE(record->entries.at(0).original, a);
        QCOMPARE(record->entries.at(1).original, b);
        QCOMPARE(record->entries.at(1).trashed,
                 TestEnv::trashSaysWhere()
                     ? TestEnv::dataHome() + QStringLiteral("/Trash/files/b c.txt")
                     : QString());
    }

    // A file the shell destroyed is a fault named apart, recorded as destroyed, never counted as
    // moved, left in place or put back.
    void destroyedFileIsNamedRecordedAndNotPutBack() {
        const QString kept = file(QStringLiteral("kept.txt"));
        const QString lost = file(QStringLiteral("lost.txt"));
        DestroyingTrash trash;
        trash.destroy = {lost};
        {
            Delete1::TrashRun run(trash);
            run.run({kept, lost});
            run.finish();
            QCOMPARE(run.moved(), 1);
            QVERIFY(run.tally().leftInPlace.isEmpty());
            QCOMPARE(run.closingMessage(),
                     QStringLiteral("Done.\n\nFault: 1 file was deleted for good by the shell "
                                    "instead of being moved to the trash:\n") +
                         lost);
        }
        std::optional<RunRecord::Run> record = RunRecord::load(QString());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{2});
        QVERIFY(!record->entries.at(0).destroyed);
        QVERIFY(record->entries.at(1).destroyed);
        QCOMPARE(record->entries.at(1).original, lost);
        Delete1::PutBackTally tally;
        for (const RunRecord::Entry& entry : record->entries)
            tally.count(entry, Delete1::putBack(entry));
        QVERIFY(!QFileInfo::exists(lost));
        // The Recycle Bin's fallback (Wine's) does not say where it keeps a file: that file is
        // left to its own Restore and stays recorded. The destroyed one is neither put back nor
        // kept on either platform.
        if (record->entries.at(0).trashed.isEmpty()) {
            QCOMPARE(tally.restored, 0);
            QCOMPARE(tally.kept.size(), std::size_t{1});
            QCOMPARE(tally.kept.front().original, kept);
            return;
        }
        QCOMPARE(Delete1::putBackMessage(tally), QStringLiteral("1 file was put back."));
        QVERIFY(tally.kept.empty());
        QVERIFY(QFileInfo::exists(kept));
    }

    // One flush for the whole run, after the last move and before the record is written; a
    // second finish, and the end of the run object, add none.
    void flushOnceBeforeTheRecord() {
        const QString a = file(QStringLiteral("a.txt"));
        const QString b = file(QStringLiteral("b.txt"));
        WatchedTrash trash;
        {
            Delete1::TrashRun run(trash);
            run.run({a, b});
            run.finish();
            QCOMPARE(RunRecord::ids().size(), 1);
            run.finish();
        }
        QCOMPARE(trash.calls,
                 (std::vector<QString>{QStringLiteral("move a.txt"), QStringLiteral("move b.txt"),
                                       QStringLiteral("flush (0 records)")}));
    }

    // A run that ends without finish (the window closed mid-run) is still flushed and recorded.
    void runCutShortIsStillFlushedAndRecorded() {
        const QString a = file(QStringLiteral("a.txt"));
        WatchedTrash trash;
        {
            Delete1::TrashRun run(trash);
            run.trashOne(a);
        }
        QCOMPARE(trash.calls, (std::vector<QString>{QStringLiteral("move a.txt"),
                                                    QStringLiteral("flush (0 records)")}));
        QCOMPARE(RunRecord::ids().size(), 1);
    }

    // Progress comes before each path; a stop asked for there keeps that path and the rest.
    void stopRequestKeepsTheRestInPlace() {
        const QStringList paths{file(QStringLiteral("1.txt")), file(QStringLiteral("2.txt")),
                                file(QStringLiteral("3.txt"))};
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        std::vector<std::tuple<qsizetype, qsizetype, QString>> seen;
        run.run(paths, [&](qsizetype position, qsizetype count, const QString& path) {
            seen.emplace_back(position, count, path);
            if (position == 2)
                run.requestStop();
        });
        run.finish();
        QCOMPARE(seen.size(), std::size_t{2});
        QCOMPARE(seen.at(0), std::make_tuple(qsizetype{1}, qsizetype{3}, paths.at(0)));
        QCOMPARE(seen.at(1), std::make_tuple(qsizetype{2}, qsizetype{3}, paths.at(1)));
        QVERIFY(run.stopRequested());
        QCOMPARE(run.handled(), 1);
        QVERIFY(!QFileInfo::exists(paths.at(0)));
        QVERIFY(QFileInfo::exists(paths.at(1)) && QFileInfo::exists(paths.at(2)));
        QCOMPARE(run.closingMessage(), QStringLiteral("Done."));
    }

#ifndef _WIN32
    // A run killed right after a file's rename has it in its record already; one killed after the
    // line but before the rename leaves the file in place, and put-back passes over it silently
    // (its orphan information file removed). Either way every file ends up in its place.
    void killedAroundTheRenameLosesNothing_data() {
        QTest::addColumn<bool>("afterRename");
        QTest::addColumn<int>("restored");
        QTest::newRow("after the rename") << true << 2;
        QTest::newRow("before the rename") << false << 1;
    }
    void killedAroundTheRenameLosesNothing() {
        QFETCH(bool, afterRename);
        QFETCH(int, restored);
        const QStringList paths{file(QStringLiteral("1.txt")), file(QStringLiteral("2.txt")),
                                file(QStringLiteral("3.txt"))};
        const pid_t child = ::fork();
        if (child == 0) {
            DesktopTrash trash;
            const auto killAtSecond = [&](const QString& path) {
                if (path == paths.at(1))
                    ::raise(SIGKILL);
            };
            (afterRename ? trash.afterMove : trash.beforeMove) = killAtSecond;
            Delete1::TrashRun run(trash);
            run.run(paths);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QCOMPARE(QFileInfo::exists(paths.at(1)), !afterRename);
        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        QVERIFY(!run->finished);
        QCOMPARE(run->entries.size(), std::size_t{2});
        Delete1::PutBackTally tally;
        for (const RunRecord::Entry& entry : run->entries)
            tally.count(entry, Delete1::putBack(entry));
        QCOMPARE(tally.restored, restored);
        QCOMPARE(tally.stayed, QStringList());
        QCOMPARE(tally.missing, QStringList());
        for (const QString& path : paths)
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(trashInfoNames(), QStringList());
    }
#endif

    // The program ended from outside in the middle of a run (SIGKILL; TerminateProcess on
    // Windows) has recorded every file it moved, but for the one moving at that instant, which the
    // trash holds.
    void aProgramKilledMidRunLosesNoMovedFile() {
        // Enough files that the run is still going when the test sees the first ones gone: moving
        // a file costs Wine's Recycle Bin a hundred times what a rename costs on Linux.
#ifdef _WIN32
        constexpr int Files = 300;
#else
        constexpr int Files = 5000;
#endif
        QStringList paths;
        for (int i = 0; i < Files; ++i)
            paths.append(file(QStringLiteral("pool/f%1.txt").arg(i, 3, 10, QLatin1Char('0'))));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(QStringLiteral(THINWICK_PROGRAM),
                      {QStringLiteral("--count"), QString::number(Files), QStringLiteral("--trash"),
                       QStringLiteral("--yes"), m_root + QStringLiteral("/pool")});
        QVERIFY(program.waitForStarted());
        const QDir pool(m_root + QStringLiteral("/pool"));
        QElapsedTimer waited;
        waited.start();
        while (pool.entryList(QDir::Files).size() > Files - 10 && !program.waitForFinished(1) &&
               waited.elapsed() < 120000) {
        }
        program.kill();
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        QStringList gone;
        for (const QString& path : paths)
            if (!QFileInfo::exists(path))
                gone.append(path);
        QVERIFY2(gone.size() < Files, "the run ended before it was killed");

        const std::optional<RunRecord::Run> run = RunRecord::load(QString());
        QVERIFY(run.has_value());
        QVERIFY(!run->finished);
        QStringList recorded;
        for (const RunRecord::Entry& entry : run->entries)
            recorded.append(QDir::fromNativeSeparators(entry.original));
        QStringList inTrash;
        for (const QString& info : trashInfoNames()) {
            QSettings entry(TestEnv::dataHome() + QStringLiteral("/Trash/info/") + info,
                            QSettings::IniFormat);
            inTrash.append(
                QDir::fromNativeSeparators(TestEnv::pathFromTrashInfo(QUrl::fromPercentEncoding(
                    entry.value(QStringLiteral("Trash Info/Path")).toByteArray()))));
        }
        QStringList unrecorded;
        for (const QString& path : gone) {
            QVERIFY2(inTrash.contains(path), qPrintable(path + QStringLiteral(" is lost")));
            if (!recorded.contains(path))
                unrecorded.append(path);
        }
        QVERIFY2(unrecorded.size() <= 1, qPrintable(unrecorded.join(QLatin1Char('\n'))));
    }

    // Files leave only from the folder the run found: a link put in that folder's place during
    // the run is not followed, and the next file is taken from the folder itself, where it went.
    // So also for a folder that comes after more folders than are held open at once.
    void aFolderReplacedByALinkIsNotFollowed_data() {
        QTest::addColumn<int>("before"); // folders the run took a file from first
        QTest::newRow("the run's first folder") << 0;
        QTest::newRow("after as many folders as are held open") << 128;
    }
    void aFolderReplacedByALinkIsNotFollowed() {
        QFETCH(int, before);
        const QString a = file(QStringLiteral("album/a.txt"));
        const QString b = file(QStringLiteral("album/b.txt"));
        TestEnv::makeFile(m_root + QStringLiteral("/other/b.txt"), "not listed");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        for (int folder = 0; folder < before; ++folder)
            run.trashOne(file(QStringLiteral("earlier/%1/x.txt").arg(folder)));
        run.trashOne(a);
        swapAlbumForALink();
        if (QTest::currentTestFailed())
            return;
        run.trashOne(b);
        run.finish();
        const QString followed = followedLink(QStringLiteral("b.txt"));
        QVERIFY2(followed.isEmpty(), qPrintable(followed));
        QCOMPARE(run.tally().gone, 0);
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t(before + 2));
        QCOMPARE(record->entries.back().original, b);
    }

    // A folder the run keeps taking files from stays held open while more folders than are held
    // at once come and go: a link put in its place late in the run is still not followed.
    void aFolderInUseStaysHeldAmongMany() {
        TestEnv::makeFile(m_root + QStringLiteral("/other/late.txt"), "not listed");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        for (int folder = 0; folder < 300; ++folder) {
            run.trashOne(file(QStringLiteral("album/%1.txt").arg(folder)));
            run.trashOne(file(QStringLiteral("earlier/%1/x.txt").arg(folder)));
        }
        const QString late = file(QStringLiteral("album/late.txt"));
        swapAlbumForALink();
        if (QTest::currentTestFailed())
            return;
        run.trashOne(late);
        run.finish();
        const QString followed = followedLink(QStringLiteral("late.txt"));
        QVERIFY2(followed.isEmpty(), qPrintable(followed));
    }

    // A folder renamed during the run, nothing put in its place: its next file is not gone, it is
    // taken from where the folder went, and recorded by the path it was given.
    void aFolderRenamedGivesItsFilesFromWhereItWent() {
        const QString a = file(QStringLiteral("album/a.txt"));
        const QString b = file(QStringLiteral("album/b.txt"));
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(a);
        QVERIFY(QDir(m_root).rename(QStringLiteral("album"), QStringLiteral("moved")));
        run.trashOne(b);
        run.finish();
        QVERIFY2(!QFileInfo::exists(m_root + QStringLiteral("/moved/b.txt")),
                 "moved/b.txt is still in place");
        QCOMPARE(run.tally().gone, 0);
        QCOMPARE(run.moved(), 2);
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{2});
        QCOMPARE(record->entries.back().original, b);
    }

    // Folders side by side are each recorded with where they really are: reached through a link
    // above them, through a link of their own, or by their own paths.
    void foldersSideBySideRecordWhereTheyReallyAre() {
        const QString root = QFileInfo(m_root).canonicalFilePath();
        QVERIFY(QDir().mkpath(root + QStringLiteral("/boxes")));
        QVERIFY(TestEnv::linkFolder(QStringLiteral("boxes"), root + QStringLiteral("/shelf")));
        auto unlinkShelf = qScopeGuard([&] { TestEnv::removeFolderLink(root + "/shelf"); });
        QVERIFY(QDir().mkpath(root + QStringLiteral("/elsewhere")));
        QVERIFY(TestEnv::linkFolder(root + QStringLiteral("/elsewhere"),
                                    root + QStringLiteral("/boxes/a3")));
        auto unlinkA3 = qScopeGuard([&] { TestEnv::removeFolderLink(root + "/boxes/a3"); });
        if (QFileInfo(root + QStringLiteral("/shelf")).canonicalFilePath() != root + "/boxes")
            QSKIP("this system does not resolve a folder link in a path (Wine's host links)");
        // Each file's path as listed, and its folder's resolved path as the record should have it
        // (empty when that is the path's own folder).
        const QList<std::pair<QString, QString>> files = {
            {QStringLiteral("shelf/a1/x.txt"), QStringLiteral("boxes/a1")},
            {QStringLiteral("shelf/a2/y.txt"), QStringLiteral("boxes/a2")},
            {QStringLiteral("shelf/a3/z.txt"), QStringLiteral("elsewhere")},
            {QStringLiteral("shelf/a4/w.txt"), QStringLiteral("boxes/a4")},
            {QStringLiteral("boxes/b1/p.txt"), QString()},
            {QStringLiteral("boxes/b2/q.txt"), QString()},
            {QStringLiteral("boxes/b3/r.txt"), QString()},
        };
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        for (const auto& [path, real] : files) {
            const QString full = root + QLatin1Char('/') + path;
            TestEnv::makeFile(full, "x");
            run.trashOne(full);
            QVERIFY2(!QFileInfo::exists(full), qPrintable(full));
        }
        run.finish();
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t(files.size()));
        for (std::size_t at = 0; at < record->entries.size(); ++at) {
            const QString& real = files.at(static_cast<qsizetype>(at)).second;
            QCOMPARE(record->entries.at(at).realFolder,
                     real.isEmpty() ? QString() : root + QLatin1Char('/') + real);
        }
    }

    // The record says where a file's folder really is when the file's path leads there through a
    // link, and nothing more when the path is the folder's own.
    void theRecordSaysWhereTheFolderReallyIs_data() {
        QTest::addColumn<QString>("through"); // the folder as the file's path names it
        QTest::addColumn<QString>("real");    // where it is; empty when the path says so itself
        QTest::newRow("the folder's own path") << "boxes/album"
                                               << "";
        QTest::newRow("a link to the folder") << "current"
                                              << "boxes/album";
        QTest::newRow("a link above the folder") << "shelf/album"
                                                 << "boxes/album";
    }
    void theRecordSaysWhereTheFolderReallyIs() {
        QFETCH(QString, through);
        QFETCH(QString, real);
        const QString root = QFileInfo(m_root).canonicalFilePath();
        QVERIFY(QDir().mkpath(root + QStringLiteral("/boxes/album")));
        QVERIFY(TestEnv::linkFolder(root + QStringLiteral("/boxes/album"),
                                    root + QStringLiteral("/current")));
        auto unlinkCurrent = qScopeGuard([&] { TestEnv::removeFolderLink(root + "/current"); });
        QVERIFY(TestEnv::linkFolder(QStringLiteral("boxes"), root + QStringLiteral("/shelf")));
        auto unlinkShelf = qScopeGuard([&] { TestEnv::removeFolderLink(root + "/shelf"); });
        if (QFileInfo(root + QStringLiteral("/shelf")).canonicalFilePath() != root + "/boxes")
            QSKIP("this system does not resolve a folder link in a path (Wine's host links)");
        const QString path = root + QLatin1Char('/') + through + QStringLiteral("/a.txt");
        TestEnv::makeFile(path, "a");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(path);
        run.finish();
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{1});
        QCOMPARE(record->entries.front().original, path);
        QCOMPARE(record->entries.front().realFolder,
                 real.isEmpty() ? QString() : root + QLatin1Char('/') + real);
    }

    // The record names a file by its path without "." or ".." parts and doubled "/"; a name that
    // only starts with dots is a name like any other.
    void theRecordNamesThePathCleaned_data() {
        QTest::addColumn<QString>("given");    // under the test folder, as the list has it
        QTest::addColumn<QString>("recorded"); // under the test folder, as the record says
        QTest::newRow("a . part") << "sub/./a.txt"
                                  << "sub/a.txt";
        QTest::newRow("a .. part") << "sub/../sub/a.txt"
                                   << "sub/a.txt";
        QTest::newRow("a doubled /") << "sub//a.txt"
                                     << "sub/a.txt";
        QTest::newRow("a folder ..d") << "..d/a.txt"
                                      << "..d/a.txt";
        QTest::newRow("a folder ...") << ".../a.txt"
                                      << ".../a.txt";
        QTest::newRow("a folder .d") << ".d/a.txt"
                                     << ".d/a.txt";
    }
    void theRecordNamesThePathCleaned() {
#ifdef _WIN32
        QSKIP("the Recycle Bin's runs record each path as it was given");
#else
        QFETCH(QString, given);
        QFETCH(QString, recorded);
        const QString expected = m_root + QLatin1Char('/') + recorded;
        TestEnv::makeFile(expected, "a");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(m_root + QLatin1Char('/') + given);
        run.finish();
        QVERIFY(!QFileInfo::exists(expected));
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{1});
        QCOMPARE(record->entries.front().original, expected);
#endif
    }

    // While a run is moving files its record cannot be put back; once it has ended it can.
    void runningRunIsNotPutBack() {
        const QString a = file(QStringLiteral("a.txt"));
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(a);
        QString reason;
        QVERIFY(!RunRecord::load(run.runId(), &reason, RunRecord::Access::PutBack).has_value());
        QVERIFY2(reason.contains(QStringLiteral("still moving files")), qPrintable(reason));
        run.finish();
        QVERIFY(RunRecord::load(run.runId(), &reason, RunRecord::Access::PutBack).has_value());
    }

    // A rename refused because the trash name was taken just then leaves no line in the record:
    // the file goes under the next free name, and the record names that place only.
    void renameRefusedLeavesNoLineInTheRecord() {
#ifdef _WIN32
        QSKIP("the Recycle Bin tells nothing before it moves a file");
#else
        const QString a = file(QStringLiteral("a.txt"));
        const QString files = TestEnv::dataHome() + QStringLiteral("/Trash/files/");
        DesktopTrash trash;
        bool planted = false;
        trash.beforeMove = [&](const QString& /*path*/) {
            if (!std::exchange(planted, true))
                TestEnv::makeFile(files + QStringLiteral("a.txt"), "another program's");
        };
        Delete1::TrashRun run(trash);
        run.trashOne(a);
        run.finish();
        QVERIFY(planted);
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{1});
        QCOMPARE(record->entries.front().original, a);
        QCOMPARE(record->entries.front().trashed, files + QStringLiteral("a.2.txt"));
#endif
    }

    // A flush that fails still leaves the run recorded as finished, and is reported once.
    void failedFlushStillWritesTheRecord() {
        const QString a = file(QStringLiteral("a.txt"));
        FailingFlushTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(a);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, run.finish());
        run.finish();
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value());
        QVERIFY(record->finished);
        QCOMPARE(record->entries.size(), std::size_t{1});
    }

    // A folder with the recorded device and inode but another birth time (removed and made
    // again, its inode number reused) is another folder: the file stays in the trash.
    void folderBornAgainIsAnotherFolder() {
        const QString a = file(QStringLiteral("sub/a.txt"));
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(a);
        run.finish();
        const std::optional<RunRecord::Run> record = RunRecord::load(run.runId());
        QVERIFY(record.has_value() && record->entries.size() == 1);
        RunRecord::Entry entry = record->entries.front();
        if (!entry.folderBorn.known())
            QSKIP("the file system keeps no birth times");
        entry.folderBorn.seconds -= 3600;
        const Delete1::PutBackResult result = Delete1::putBack(entry);
        QVERIFY(!result.restored);
        QVERIFY2(result.reason.contains(QStringLiteral("another folder")),
                 qPrintable(result.reason));
        QVERIFY(!QFileInfo::exists(a));
        QVERIFY(Delete1::putBack(record->entries.front()).restored);
        QVERIFY(QFileInfo::exists(a));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    TrashRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_trashrun.moc"
