// GUILESS: runs as a user counts on them: numbers that stay, records that keep every file still in
// the trash, exact identities, the user's folders however XDG_DATA_HOME is written, faults said
// before anything moves, and a run stopped by a signal dying of it. Real files in a scratch folder
// and the real trash under the test's XDG_DATA_HOME.
#include "TestSupport.h"
#include "deletion/PutBack.h"
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
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

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
        const QString path = m_root + QLatin1Char('/') + name;
        writeFile(path, data);
        return path;
    }

private slots:
    void initTestCase() {
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
        RunRecord::setClock({});
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
            run.entries.push_back(
                {m_root + QStringLiteral("/gone"), m_root + QStringLiteral("/t")});
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
        const QByteArray text = readAll(recordPath(id));
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
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    PutBackRunsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_putback_runs.moc"
