// Put-back and the run records as a later run sees them (GUILESS): only the very file a run moved
// goes back or counts as still in the trash, a folder made again is another folder to the
// nanosecond, a finished run leaves its record and no journal, and runs are ordered and pruned by
// the time their records give, whatever their names say.
#include "TestSupport.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"
#include "shell/RunList.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

#include <memory>

namespace {

QString trashFiles() {
    return TestEnv::dataHome() + QStringLiteral("/Trash/files/");
}

// A finished record as the last release wrote it (format 2): the time it gives, and one file no
// longer in the trash.
void writeRecord(const QString& id, const char* time) {
    const QString runs = RunRecord::runsFolder();
    QVERIFY(QDir().mkpath(runs));
    QFile file(runs + QLatin1Char('/') + id + QStringLiteral(".json"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    file.write(QByteArray("{\"format\":\"thinwick-run 2\",\"time\":\"") + time + "\"}\n" +
               "{\"from\":\"" + QFile::encodeName(TestEnv::root()) + "/gone/" + id.toLatin1() +
               ".txt\",\"to\":\"" + QFile::encodeName(trashFiles()) + id.toLatin1() + ".txt\"}\n");
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
}

// Named first, yet the newest of the records written by hand; and named last, yet the oldest.
const QString NamedFirst = QStringLiteral("20200101-000000000-00");
const QString NamedLast = QStringLiteral("20200301-000000000-00");

} // namespace

class PutBackGuaranteesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    QString file(const QString& name, const QByteArray& contents) {
        QString path = m_root + QLatin1Char('/') + name;
        TestEnv::makeFile(path, contents);
        return path;
    }

    // Moves the path to the trash in a run of its own; the run's id.
    static QString trashedInARun(const QString& path) {
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.trashOne(path);
        run.finish();
        return run.runId();
    }

    // One run moved album/a.txt; the trash was emptied; a later run moved another album/a.txt,
    // which took the same name in the trash. `run` is the first run's record.
    void firstRunAfterItsNameWasTaken(RunRecord::Run& run) {
        const QString path = file(QStringLiteral("album/a.txt"), "first");
        // Made while the first is still there, so the two never share an inode number.
        const QString second = file(QStringLiteral("album/second.tmp"), "second");
        const QString first = trashedInARun(path);
        QVERIFY(QFile::remove(trashFiles() + QStringLiteral("a.txt")));
        QVERIFY(QFile::remove(TestEnv::dataHome() + QStringLiteral("/Trash/info/a.txt.trashinfo")));
        QVERIFY(QFile::rename(second, path));
        trashedInARun(path);
        QCOMPARE(TestEnv::readAll(trashFiles() + QStringLiteral("a.txt")), QByteArray("second"));
        const std::optional<RunRecord::Run> record = RunRecord::load(first);
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{1});
        run = *record;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        QDir(RunRecord::runsFolder()).removeRecursively();
        TestEnv::resetTrash();
        // Later than every record written by hand.
        RunRecord::setClock([] { return QDateTime(QDate(2030, 1, 1), QTime(12, 0), Qt::UTC); });
    }
    void cleanup() {
        RunRecord::setClock({});
        m_dir.reset();
    }

    // Putting back the first run leaves the later run's file in the trash.
    void putBackLeavesAnotherFileOfTheSameTrashName() {
        RunRecord::Run run;
        firstRunAfterItsNameWasTaken(run);
        if (QTest::currentTestFailed())
            return;
        const Delete1::PutBackResult result = Delete1::putBack(run.entries.front());
        QVERIFY(!result.restored);
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/album/a.txt")));
        QCOMPARE(TestEnv::readAll(trashFiles() + QStringLiteral("a.txt")), QByteArray("second"));
    }

    // Nor does the list of runs count the first run's file as still in the trash.
    void runListCountsOnlyTheRecordedFileAsInTheTrash() {
        RunRecord::Run run;
        firstRunAfterItsNameWasTaken(run);
        if (QTest::currentTestFailed())
            return;
        const QString files = Shell::runFilesText(run);
        QVERIFY2(files.startsWith(QStringLiteral("not in the trash")), qPrintable(files));
        const QString line = Shell::runLine(run);
        QVERIFY2(line.contains(QStringLiteral("none in the trash")), qPrintable(line));
    }

    // A folder whose birth time differs from the record's by a nanosecond (removed and made again
    // within the same second, its inode number reused) is another folder: the file stays in the
    // trash. The folder as recorded takes it back.
    void folderBornAgainWithinTheSecondIsAnotherFolder() {
        const QString a = file(QStringLiteral("sub/a.txt"), "a");
        const std::optional<RunRecord::Run> record = RunRecord::load(trashedInARun(a));
        QVERIFY(record.has_value() && record->entries.size() == 1);
        if (!record->entries.front().folderBorn.known())
            QSKIP("the file system keeps no birth times");
        RunRecord::Entry other = record->entries.front();
        other.folderBorn.nanoseconds ^= 1U;
        QVERIFY(!Delete1::putBack(other).restored);
        QVERIFY(!QFileInfo::exists(a));
        QVERIFY(Delete1::putBack(record->entries.front()).restored);
        QCOMPARE(TestEnv::readAll(a), QByteArray("a"));
    }

    // A run that has ended is its record alone: no journal stays beside it.
    void finishedRunLeavesNoJournal() {
        const std::optional<RunRecord::Run> record =
            RunRecord::load(trashedInARun(file(QStringLiteral("a.txt"), "a")));
        QVERIFY(record.has_value());
        QVERIFY(record->finished);
        QCOMPARE(QDir(RunRecord::runsFolder())
                     .entryList({QStringLiteral("*.journal")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Runs are listed newest first by the time their records give, not by their names.
    void runsAreListedByTheirRecordedTime() {
        writeRecord(NamedFirst, "2020-03-01T00:00:00.000Z");
        writeRecord(QStringLiteral("20200201-000000000-00"), "2020-02-01T00:00:00.000Z");
        writeRecord(NamedLast, "2020-01-01T00:00:00.000Z");
        QCOMPARE(RunRecord::ids(),
                 (QStringList{NamedFirst, QStringLiteral("20200201-000000000-00"), NamedLast}));
    }

    // A run past the number of runs kept pushes out the oldest record by its recorded time.
    void pruningDropsTheOldestByRecordedTime() {
        for (int day = 1; day <= 18; ++day)
            writeRecord(
                QStringLiteral("202002%1-000000000-00").arg(day, 2, 10, QLatin1Char('0')),
                qPrintable(
                    QStringLiteral("2020-02-%1T00:00:00.000Z").arg(day, 2, 10, QLatin1Char('0'))));
        writeRecord(NamedFirst, "2020-03-01T00:00:00.000Z");
        writeRecord(NamedLast, "2020-01-01T00:00:00.000Z");
        QCOMPARE(RunRecord::ids().size(), 20);
        const QString id = trashedInARun(file(QStringLiteral("a.txt"), "a"));
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), 20);
        QCOMPARE(ids.first(), id);
        QVERIFY(ids.contains(NamedFirst));
        QVERIFY(!ids.contains(NamedLast));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    PutBackGuaranteesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_guarantees_putback.moc"
