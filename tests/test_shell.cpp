// The command line (GUILESS): the built program run with arguments, against real folders and the
// real trash under a temporary XDG_DATA_HOME, its run records under a temporary XDG_STATE_HOME.
#include "TestSupport.h"
#include "deletion/RunRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program with stdin closed (no terminal), in the test's private environment.
Result thinwick(const QStringList& arguments, const QStringList& unset = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(THINWICK_PROGRAM), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QStringList lines(const QByteArray& out, char end = '\n') {
    QStringList result;
    for (const QByteArray& line : out.split(end))
        if (!line.isEmpty())
            result.append(QFile::decodeName(line));
    return result;
}

QString trashFiles() {
    return TestEnv::dataHome() + QStringLiteral("/Trash/files");
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_top; // 12 ordinary files, hidden ones, a folder and a link to a folder
    QSet<QString> m_ordinary;
    // m_ordinary, the 5 files of the subfolder and the file in the hidden folder: the walk of
    // "1. Add All Subfolders In Folder" enters hidden folders, though it never pools hidden files.
    QSet<QString> m_withSub;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_top = m_dir.path() + QStringLiteral("/pool with blank");
        for (int i = 0; i < 12; ++i) {
            const QString path = m_top + QStringLiteral("/Datei Nr %1 für Jörg.txt").arg(i);
            TestEnv::makeFile(path);
            m_ordinary.insert(path);
        }
        TestEnv::makeFile(m_top + QStringLiteral("/.hidden"));
        TestEnv::makeFile(m_top + QStringLiteral("/.config/inside"));
        m_withSub = m_ordinary;
        m_withSub.insert(m_top + QStringLiteral("/.config/inside"));
        for (int i = 0; i < 5; ++i) {
            const QString path = m_top + QStringLiteral("/sub/s%1").arg(i);
            TestEnv::makeFile(path);
            m_withSub.insert(path);
        }
        QVERIFY(QFile::link(m_top + QStringLiteral("/sub"), m_top + QStringLiteral("/sublink")));
    }

    void drawIsDistinctOrdinaryFiles_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("subfolders");
        QTest::newRow("lines") << QStringList{QStringLiteral("--count"), QStringLiteral("7")} << 7
                               << false;
        QTest::newRow("print0") << QStringList{QStringLiteral("--count=7"),
                                               QStringLiteral("--print0")}
                                << 7 << false;
        QTest::newRow("more than there are")
            << QStringList{QStringLiteral("--count"), QStringLiteral("100")} << 12 << false;
        QTest::newRow("subfolders") << QStringList{QStringLiteral("--count"), QStringLiteral("100"),
                                                   QStringLiteral("--subfolders")}
                                    << 18 << true;
        QTest::newRow("none") << QStringList{QStringLiteral("--count"), QStringLiteral("0")} << 0
                              << false;
    }
    void drawIsDistinctOrdinaryFiles() {
        QFETCH(QStringList, options);
        QFETCH(int, expected);
        QFETCH(bool, subfolders);
        // The folder named twice is pooled once.
        const Result result = thinwick(options + QStringList{m_top, m_top + QLatin1Char('/')});
        QCOMPARE(result.status, 0);
        QVERIFY(result.err.isEmpty());
        const QStringList drawn =
            lines(result.out, options.contains(QStringLiteral("--print0")) ? '\0' : '\n');
        QCOMPARE(drawn.size(), expected);
        QCOMPARE(QSet<QString>(drawn.begin(), drawn.end()).size(), expected);
        for (const QString& path : drawn)
            QVERIFY2((subfolders ? m_withSub : m_ordinary).contains(QDir::cleanPath(path)),
                     qPrintable(path));
    }

    void sameSeedSameDraw() {
        const QStringList arguments{QStringLiteral("--count"), QStringLiteral("6"),
                                    QStringLiteral("--seed"), QStringLiteral("42"), m_top};
        const Result first = thinwick(arguments);
        QCOMPARE(first.status, 0);
        QCOMPARE(thinwick(arguments).out, first.out);
        // Other seeds give other draws (order included).
        QSet<QByteArray> draws;
        for (int seed = 1; seed <= 4; ++seed)
            draws.insert(thinwick({QStringLiteral("--count"), QStringLiteral("6"),
                                   QStringLiteral("--seed"), QString::number(seed), m_top})
                             .out);
        QVERIFY(draws.size() > 1);
    }

    void usageErrorsSayWhatAndHow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        const QString missing = m_dir.path() + QStringLiteral("/no such folder");
        QTest::newRow("letters") << QStringList{QStringLiteral("--count"), QStringLiteral("ten"),
                                                m_top}
                                 << QStringLiteral("not a whole number");
        QTest::newRow("fraction") << QStringList{QStringLiteral("--count"), QStringLiteral("2.5"),
                                                 m_top}
                                  << QStringLiteral("not a whole number");
        QTest::newRow("negative") << QStringList{QStringLiteral("--count=-3"), m_top}
                                  << QStringLiteral("not a whole number");
        QTest::newRow("missing folder")
            << QStringList{QStringLiteral("--count"), QStringLiteral("3"), m_top, missing}
            << QStringLiteral("does not exist");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--count"), QStringLiteral("3"),
                           QStringLiteral("--shuffle"), m_top}
            << QStringLiteral("unknown option \"--shuffle\"");
        QTest::newRow("no count") << QStringList{m_top} << QStringLiteral("--count N");
        QTest::newRow("bad seed") << QStringList{QStringLiteral("--count"), QStringLiteral("3"),
                                                 QStringLiteral("--seed"), QStringLiteral("x"),
                                                 m_top}
                                  << QStringLiteral("seed");
    }
    void usageErrorsSayWhatAndHow() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const Result result = thinwick(arguments);
        QCOMPARE(result.status, 2);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(result.err.count('\n'), 1);
        QVERIFY2(QString::fromUtf8(result.err).contains(said), result.err.constData());
    }

    void trashWithoutTerminalNeedsYes() {
        const Result result = thinwick(
            {QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--trash"), m_top});
        QCOMPARE(result.status, 2);
        QVERIFY(result.err.contains("--yes"));
        for (const QString& path : m_ordinary)
            QVERIFY(QFileInfo::exists(path));
    }

    void trashThenPutBackRestoresEveryFile() {
        const QString folder = m_dir.path() + QStringLiteral("/round trip");
        QMap<QString, QByteArray> contents;
        QMap<QString, QDateTime> times;
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1'000'000'000);
        for (int i = 0; i < 8; ++i) {
            const QString path = folder + QStringLiteral("/deep/f %1 ñ.bin").arg(i);
            const QByteArray bytes = QByteArray(100 + i, static_cast<char>('a' + i)) + '\0';
            TestEnv::makeFile(path, bytes);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old.addSecs(i), QFileDevice::FileModificationTime));
            contents.insert(path, bytes);
            times.insert(path, old.addSecs(i));
        }
        const Result trashed =
            thinwick({QStringLiteral("--count"), QStringLiteral("8"), QStringLiteral("--trash"),
                      QStringLiteral("--yes"), folder + QStringLiteral("/deep")});
        QCOMPARE(trashed.status, 0);
        QVERIFY(trashed.err.startsWith("Done."));
        QVERIFY(QDir(folder + QStringLiteral("/deep")).isEmpty());
        // One file's place is taken meanwhile. (A folder made anew in place of the one the files
        // left is another folder: they would stay in the trash.)
        const QString taken = contents.firstKey();
        TestEnv::makeFile(taken, "newcomer");

        const Result back = thinwick({QStringLiteral("--put-back")});
        QCOMPARE(back.status, 1);
        QVERIFY2(back.err.contains("7 files were put back."), back.err.constData());
        QVERIFY(
            QString::fromUtf8(back.err).contains(taken + QStringLiteral(" (its place is taken")));
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            QFile file(it.key());
            QVERIFY(file.open(QIODevice::ReadOnly));
            if (it.key() == taken) {
                QCOMPARE(file.readAll(), QByteArray("newcomer"));
                continue;
            }
            QCOMPARE(file.readAll(), it.value());
            QCOMPARE(QFileInfo(it.key()).lastModified(), times.value(it.key()));
        }
        QVERIFY(QFileInfo::exists(trashFiles() + QLatin1Char('/') + QFileInfo(taken).fileName()));

        // Once its place is free, the file left behind goes back too and its info file goes.
        QVERIFY(QFile::remove(taken));
        const Result again = thinwick({QStringLiteral("--put-back")});
        QCOMPARE(again.status, 0);
        QVERIFY(again.err.contains("1 file was put back."));
        QFile file(taken);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents.value(taken));
        QVERIFY(QDir(TestEnv::dataHome() + QStringLiteral("/Trash/info"))
                    .entryList(QDir::Files)
                    .filter(QStringLiteral(" ñ.bin"))
                    .isEmpty());
    }

    void recordsKeepTheNewestRunsAndAnyName() {
        QDir(RunRecord::runsFolder()).removeRecursively();
        const QString odd = QStringLiteral("/tmp/a %25 b\nc/Jörg's \"x\".txt");
        for (int i = 0; i < RunRecord::Kept + 3; ++i) {
            RunRecord::Run run;
            run.entries.push_back({odd + QString::number(i), QStringLiteral("/t/%1").arg(i)});
            QVERIFY(RunRecord::save(run).isEmpty());
        }
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), RunRecord::Kept);
        const std::optional<RunRecord::Run> newest = RunRecord::load(QString());
        QVERIFY(newest.has_value());
        QCOMPARE(newest->id, ids.first());
        QCOMPARE(newest->entries.size(), std::size_t{1});
        QCOMPARE(newest->entries.front().original, odd + QString::number(RunRecord::Kept + 2));
        QCOMPARE(RunRecord::load(ids.last())->entries.front().trashed, QStringLiteral("/t/3"));
        QDir(RunRecord::runsFolder()).removeRecursively();
    }

    void putBackWithoutRecordSaysSo() {
        QDir(RunRecord::runsFolder()).removeRecursively();
        const Result result = thinwick({QStringLiteral("--put-back")});
        QCOMPARE(result.status, 1);
        QVERIFY(result.err.contains("no run is recorded"));
        QCOMPARE(thinwick({QStringLiteral("--put-back"), QStringLiteral("yesterday")}).status, 2);
    }

    void selfCheckNeedsNoDisplay() {
        const Result result =
            thinwick({QStringLiteral("--self-check")},
                     {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                      QStringLiteral("QT_QPA_PLATFORM")});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.contains("hand pointer: loaded"));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_shell.moc"
