// The command line (GUILESS): the built program run with arguments, against real folders and the
// real trash under a temporary XDG_DATA_HOME, its run records under a temporary XDG_STATE_HOME.
#include "TestSupport.h"
#include "common/Random.h"
#include "deletelist/Sampling.h"
#include "deletion/RunRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#ifdef Q_OS_UNIX
// Terminals, mount namespaces, another user: what only the POSIX cases below need.
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

#ifdef Q_OS_UNIX
constexpr uid_t Nobody = 65534;
#endif

struct Call {
    QStringList arguments;
    QByteArray input;                   // standard input; closed (no terminal) when empty
    QMap<QString, QString> environment; // set for this run; an empty value unsets
    bool asNobody = false;              // run as an unprivileged user
};

Result runWith(const Call& call) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = call.environment.cbegin(); it != call.environment.cend(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    process.setProcessEnvironment(environment);
    if (call.input.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // An unprivileged test process is such a user already; only root changes to nobody.
    if (call.asNobody && ::geteuid() == 0)
        process.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0 ||
                ::setresuid(Nobody, Nobody, Nobody) != 0)
                ::_exit(99);
        });
#endif
    process.start(QStringLiteral(THINWICK_PROGRAM), call.arguments);
    if (!call.input.isEmpty()) {
        process.write(call.input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(120000))
        return {};
    Result result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  process.readAllStandardOutput(), process.readAllStandardError()};
#ifdef Q_OS_WIN
    // Standard output and error are text streams there: each line ends in CR LF.
    result.out.replace("\r\n", "\n");
    result.err.replace("\r\n", "\n");
#endif
    return result;
}

// Runs the program with stdin closed (no terminal), in the test's private environment.
Result thinwick(const QStringList& arguments, const QStringList& unset = {}) {
    Call call{arguments, {}, {}, false};
    for (const QString& name : unset)
        call.environment.insert(name, QString());
    return runWith(call);
}

#ifdef Q_OS_UNIX
// Runs the program on a pseudo-terminal of 24 lines (its stdin, stdout and stderr) that types
// `typed`; the result's out holds all it showed, line ends as "\n".
Result onTerminal(const QStringList& arguments, const QByteArray& typed) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return {};
    const winsize size{24, 80, 0, 0};
    ::ioctl(master, TIOCSWINSZ, &size);
    const QString terminal = QString::fromLocal8Bit(::ptsname(master));
    QProcess process;
    process.setStandardInputFile(terminal);
    process.setStandardOutputFile(terminal, QIODevice::Append);
    process.setStandardErrorFile(terminal, QIODevice::Append);
    // The terminal does not echo what is typed, so the screen holds only what the program wrote.
    if (const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY); slave >= 0) {
        termios modes{};
        ::tcgetattr(slave, &modes);
        modes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(slave, TCSANOW, &modes);
        ::close(slave);
    }
    process.start(QStringLiteral(THINWICK_PROGRAM), arguments);
    QByteArray shown;
    if (process.waitForStarted() && ::write(master, typed.constData(), typed.size()) >= 0) {
        char buffer[4096];
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        for (int waited = 0; waited < 1200; ++waited) {
            const bool finished = process.waitForFinished(100);
            ssize_t got = 0;
            while ((got = ::read(master, buffer, sizeof buffer)) > 0)
                shown.append(buffer, got);
            if (finished || process.state() == QProcess::NotRunning)
                break;
        }
    }
    ::close(master);
    shown.replace("\r\n", "\n");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, shown, {}};
}
#endif

QStringList lines(const QByteArray& out, char end = '\n') {
    QStringList result;
    for (QByteArray line : out.split(end)) {
        // Windows ends printed lines in CR LF.
        if (end == '\n' && line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            result.append(QString::fromUtf8(line)); // on Windows too: names go out as UTF-8
    }
    return result;
}

// The last line of a run that moved files: how they come back (on Windows the Recycle Bin's
// Restore, as it does not say where it put a file).
#ifdef Q_OS_WIN
const QString PutBackHint = QStringLiteral("the Recycle Bin's Restore puts them back");
#else
const QString PutBackHint = QStringLiteral("thinwick --put-back \\d+ puts them back");
#endif
const QRegularExpression ClosingLine(QStringLiteral("Moved (1 file|\\d+ files) to the trash \\(run "
                                                    "\\d+\\); ") +
                                     PutBackHint + QStringLiteral("\\.\n$"));

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
#ifdef Q_OS_UNIX
    bool m_privateMounts = false;
#endif

private slots:
    void initTestCase() {
#ifdef Q_OS_UNIX
        // Mounts made here vanish with the process and are seen by no other.
        m_privateMounts = ::unshare(CLONE_NEWNS) == 0 &&
                          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
#endif
        QVERIFY(m_dir.isValid());
        m_top = m_dir.path() + QStringLiteral("/pool with blank");
        for (int i = 0; i < 12; ++i) {
            const QString path = m_top + QStringLiteral("/Datei Nr %1 für Jörg.txt").arg(i);
            TestEnv::makeFile(path);
            m_ordinary.insert(path);
        }
        TestEnv::makeFile(m_top + QStringLiteral("/.hidden"));
        TestEnv::makeFile(m_top + QStringLiteral("/.config/inside"));
        TestEnv::makeHidden(m_top + QStringLiteral("/.hidden"));
        TestEnv::makeHidden(m_top + QStringLiteral("/.config"));
        m_withSub = m_ordinary;
        m_withSub.insert(m_top + QStringLiteral("/.config/inside"));
        for (int i = 0; i < 5; ++i) {
            const QString path = m_top + QStringLiteral("/sub/s%1").arg(i);
            TestEnv::makeFile(path);
            m_withSub.insert(path);
        }
        if (TestEnv::canLink())
            QVERIFY(
                QFile::link(m_top + QStringLiteral("/sub"), m_top + QStringLiteral("/sublink")));
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

    void aSeedDrawsTheRulesPositionsInFolderOrder_data() {
        QTest::addColumn<bool>("subfolders");
        QTest::newRow("folders named") << false;
        QTest::newRow("a chain of subfolders") << true;
    }
    void aSeedDrawsTheRulesPositionsInFolderOrder() {
        // The pool is each folder's files in listing order, the folders as named (or as the walk
        // finds them: here one subfolder per level); the draw is the choice rule's positions in
        // that pool.
        QFETCH(bool, subfolders);
        const QTemporaryDir root;
        const QString a = root.path() + QStringLiteral("/a");
        const QString b = a + QStringLiteral("/b");
        for (int i = 0; i < 4; ++i)
            TestEnv::makeFile(a + QStringLiteral("/a%1 \u00e4").arg(i));
        for (int i = 0; i < 5; ++i)
            TestEnv::makeFile(b + QStringLiteral("/b%1").arg(i));
        QStringList pool;
        for (const QString& folder : {a, b}) {
            for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Unsorted))
                pool.append(TestEnv::native(folder + QLatin1Char('/') + name));
        }
        const QStringList named =
            subfolders ? QStringList{QStringLiteral("--subfolders"), a} : QStringList{a, b};
        const Result result =
            thinwick(QStringList{QStringLiteral("--count"), QStringLiteral("6"),
                                 QStringLiteral("--seed"), QStringLiteral("977")} +
                     named);
        QCOMPARE(result.status, 0);
        Main::Random::seed(977);
        QStringList expected;
        for (const qsizetype position : Delete1::choosePositions(pool.size(), 6))
            expected.append(pool.at(position));
        QCOMPARE(lines(result.out, '\n'), expected);
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
        QTest::newRow("no count") << QStringList{QStringLiteral("--subfolders"), m_top}
                                  << QStringLiteral("--count N");
        QTest::newRow("control characters quoted")
            << QStringList{QStringLiteral("--count"), QStringLiteral("3"),
                           QStringLiteral("--a\nb\x1b[31m"), m_top}
            << QStringLiteral("unknown option \"--a\\nb\\e[31m\"");
        QTest::newRow("list and folders")
            << QStringList{QStringLiteral("--files0-from"), QStringLiteral("-"), m_top}
            << QStringLiteral("give no folders");
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

    // -v names each file on standard output once it has moved, escaped as the draw shows it; the
    // closing line stays alone on standard error.
    void verboseNamesEachMovedFile() {
        const QString folder = m_dir.path() + QStringLiteral("/verbose");
        QStringList names{QStringLiteral("one"), QStringLiteral("two \u00fc")};
        QStringList expected;
        for (const QString& name : names)
            expected.append(TestEnv::native(folder + QLatin1Char('/') + name));
#ifdef Q_OS_UNIX
        names.append(QStringLiteral("tab\there"));
        expected.append(folder + QStringLiteral("/tab\\there"));
#endif
        for (const QString& name : names)
            TestEnv::makeFile(folder + QLatin1Char('/') + name);
        const Result result =
            thinwick({QStringLiteral("-yvn9"), QStringLiteral("--trash"), folder});
        QCOMPARE(result.status, 0);
        QStringList moved = lines(result.out);
        moved.sort();
        expected.sort();
        QCOMPARE(moved, expected);
        QCOMPARE(result.err.count('\n'), 1);
        QVERIFY2(ClosingLine.match(QString::fromUtf8(result.err)).hasMatch(),
                 result.err.constData());
        QVERIFY(QDir(folder).isEmpty());
    }

    void runsWithNoneRecordedSaySo() {
        const QTemporaryDir state;
        // The runs folder lies under XDG_STATE_HOME, on Windows under LOCALAPPDATA.
        const Result result = runWith({{QStringLiteral("--runs")},
                                       {},
                                       {{QStringLiteral("XDG_STATE_HOME"), state.path()},
                                        {QStringLiteral("LOCALAPPDATA"), state.path()}}});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QByteArray());
        QCOMPARE(result.err, QByteArray("No run is recorded.\n"));
    }

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Folders alone ask for the window, whatever their names look like: without a display (which
    // only X11 and Wayland can lack) it says it needs one, where a command-line run would have
    // asked for a count.
    void foldersAloneOpenTheWindow() {
        const Result result = runWith({{QStringLiteral("--"), QStringLiteral("-odd"), m_top},
                                       {},
                                       {{QStringLiteral("DISPLAY"), QString()},
                                        {QStringLiteral("WAYLAND_DISPLAY"), QString()},
                                        { QStringLiteral("QT_QPA_PLATFORM"),
                                          QString() }},
                                       false});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("Thinwick needs a graphical desktop session"),
                 result.err.constData());
    }
#endif

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
        QVERIFY2(ClosingLine.match(QString::fromUtf8(trashed.err)).hasMatch(),
                 trashed.err.constData());
        QVERIFY(QString::fromUtf8(trashed.err).startsWith(QStringLiteral("Moved 8 files")));
        QVERIFY(QDir(folder + QStringLiteral("/deep")).isEmpty());
#ifdef Q_OS_WIN
        // Where the shell does not say where it put a file (Wine's), the run is left to the
        // Recycle Bin's own Restore, said in one sentence before anything is tried.
        const Result recycled = thinwick({QStringLiteral("--put-back")});
        QCOMPARE(recycled.status, 1);
        QCOMPARE(QString::fromLocal8Bit(recycled.err),
                 QStringLiteral("thinwick: The files of this run must be restored with the "
                                "Recycle Bin's Restore, because the Recycle Bin did not say where "
                                "it keeps them.\n"));
        return;
#endif
        // One file's place is taken meanwhile.
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
            run.entries.emplace_back(odd + QString::number(i), QStringLiteral("/t/%1").arg(i));
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

    // Strict where the window is lenient, never silent: each case names why nothing (or less) is
    // drawn, and a folder that could not be read makes the status 1 even when files were drawn.
    void saysWhyNothingIsDrawn_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("drawn");
        QTest::addColumn<QString>("said");
        const QString empty = m_dir.path() + QStringLiteral("/empty");
        const QString hiddenOnly = m_dir.path() + QStringLiteral("/hidden only");
        QDir().mkpath(empty);
        TestEnv::makeFile(hiddenOnly + QStringLiteral("/.dot"));
        TestEnv::makeHidden(hiddenOnly + QStringLiteral("/.dot"));
        QTest::newRow("count 0")
            << QStringList{QStringLiteral("--count"), QStringLiteral("0"), m_top} << 0 << 0
            << QStringLiteral("thinwick: nothing to draw: --count 0 draws no files\n");
        QTest::newRow("empty pool, trash")
            << QStringList{QStringLiteral("--count"), QStringLiteral("2"),
                           QStringLiteral("--trash"), QStringLiteral("--yes"), empty}
            << 0 << 0
            << QStringLiteral("thinwick: no files to draw from in %1\n")
                   .arg(TestEnv::native(empty + QLatin1Char('/')));
        QTest::newRow("a folder without files")
            << QStringList{QStringLiteral("--count"), QStringLiteral("2"), hiddenOnly, m_top} << 0
            << 2
            << QStringLiteral("thinwick: no files in folder %1\n")
                   .arg(TestEnv::native(hiddenOnly + QLatin1Char('/')));
    }
    void saysWhyNothingIsDrawn() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(int, drawn);
        QFETCH(QString, said);
        const Result result = thinwick(arguments);
        QCOMPARE(result.status, status);
        QCOMPARE(lines(result.out).size(), drawn);
        QCOMPARE(QString::fromUtf8(result.err), said);
    }

    // The runs are listed newest first by the numbers they were given, in local time; a number
    // picks a run.
    void runsAreNumberedInLocalTime() {
        QDir(RunRecord::runsFolder()).removeRecursively();
        const QString folder = m_dir.path() + QStringLiteral("/runs");
        TestEnv::makeFile(folder + QStringLiteral("/older.txt"), "12345");
        TestEnv::makeFile(folder + QStringLiteral("/newer one.txt"), "1234567");
        TestEnv::makeFile(folder + QStringLiteral("/newer two.txt"), "12");
        auto trash = [&](const QStringList& names) {
            QByteArray list;
            for (const QString& name : names)
                list += QFile::encodeName(folder + QLatin1Char('/') + name) + '\0';
            return runWith({{QStringLiteral("--files0-from"), QStringLiteral("-"),
                             QStringLiteral("--trash"), QStringLiteral("--yes")},
                            list,
                            {},
                            false})
                .status;
        };
        QCOMPARE(trash({QStringLiteral("older.txt")}), 0);
        QCOMPARE(trash({QStringLiteral("newer one.txt"), QStringLiteral("newer two.txt")}), 0);
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), 2);
#ifdef Q_OS_WIN
        // The Recycle Bin does not say where it put each file: the runs say what is known.
        const QString shown = QString::fromUtf8(thinwick({QStringLiteral("--runs")}).out);
        for (const QString& files : {QStringLiteral("2 files"), QStringLiteral("1 file")})
            QVERIFY2(shown.contains(QStringLiteral("  %1, sent to the Recycle Bin  %2\n")
                                        .arg(files, TestEnv::native(folder))),
                     qPrintable(shown));
        QCOMPARE(QString::fromUtf8(thinwick({QStringLiteral("--runs"), QStringLiteral("2")}).out),
                 QStringLiteral("sent to the Recycle Bin    %1\n"
                                "sent to the Recycle Bin    %2\n")
                     .arg(TestEnv::native(folder + QStringLiteral("/newer one.txt")),
                          TestEnv::native(folder + QStringLiteral("/newer two.txt"))));
        return;
#endif
        // Fixed times in the records, in the past: 20:17:12 UTC on the 7th, and 21:30:00 UTC.
        auto setTime = [](const QString& id, const QByteArray& time) {
            QFile file(RunRecord::runsFolder() + QLatin1Char('/') + id + QStringLiteral(".json"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QByteArray text = file.readAll();
            file.close();
            text.replace(QRegularExpression(QStringLiteral("\"time\": *\"[^\"]*\""))
                             .match(QString::fromUtf8(text))
                             .captured()
                             .toUtf8(),
                         "\"time\": \"" + time + "\"");
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text);
        };
        setTime(ids.at(1), "2025-12-07T20:17:12.026Z");
        setTime(ids.at(0), "2025-12-07T21:30:00.000Z");
        // One of the older run's files left the trash meanwhile.
        QVERIFY(QFile::remove(RunRecord::load(ids.at(1))->entries.front().trashed));

        // TZ in POSIX form, nine hours east of UTC, so no time zone database is needed.
        const Call list{{QStringLiteral("--runs")},
                        {},
                        {{QStringLiteral("TZ"), QStringLiteral("XST-9")}},
                        false};
        const Result runs = runWith(list);
        QCOMPARE(runs.status, 0);
        QCOMPARE(
            QString::fromUtf8(runs.out),
            QStringLiteral(" 2  2025-12-08 06:30:00  %1  2 files, 2 in the trash (9 bytes)  %3\n"
                           " 1  2025-12-08 05:17:12  %2  1 file, none in the trash  %3\n")
                .arg(ids.at(0), ids.at(1), folder));
        const Result files = thinwick({QStringLiteral("--runs"), QStringLiteral("2")});
        QCOMPARE(files.status, 0);
        QCOMPARE(QString::fromUtf8(files.out),
                 QStringLiteral("in the trash               %1/newer one.txt\n"
                                "in the trash               %1/newer two.txt\n")
                     .arg(folder));
        TestEnv::makeFile(folder + QStringLiteral("/newer two.txt"), "taken");
        QCOMPARE(QString::fromUtf8(thinwick({QStringLiteral("--runs"), QStringLiteral("2")}).out),
                 QStringLiteral("in the trash               %1/newer one.txt\n"
                                "in the trash, place taken  %1/newer two.txt\n")
                     .arg(folder));

        // --put-back 1 picks the older run by its number; 3 is no run.
        QCOMPARE(thinwick({QStringLiteral("--put-back"), QStringLiteral("3")}).status, 2);
        QCOMPARE(thinwick({QStringLiteral("--put-back"), QStringLiteral("1")}).status, 1);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/newer one.txt")));
        QCOMPARE(thinwick({QStringLiteral("--put-back"), QStringLiteral("2")}).status, 1);
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/newer one.txt")));
    }

    // Over SSH: no display and no XDG_RUNTIME_DIR; Qt says nothing of it and no runtime folder
    // stays behind in the temp folder.
    void selfCheckNeedsNoDisplay() {
        QTemporaryDir temp;
        const Result result = runWith({{QStringLiteral("--self-check")},
                                       {},
                                       {{QStringLiteral("DISPLAY"), QString()},
                                        {QStringLiteral("WAYLAND_DISPLAY"), QString()},
                                        {QStringLiteral("QT_QPA_PLATFORM"), QString()},
                                        {QStringLiteral("XDG_RUNTIME_DIR"), QString()},
                                        {QStringLiteral("TMPDIR"), temp.path()}},
                                       false});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.contains("hand pointer: loaded"));
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(
            QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }

    // Names from any script survive the way out and back: printed with --print0 (to a pipe, as
    // UTF-8) and handed back through --files0-from, each file is found and taken.
    void namesInAnyScriptRoundTripThroughAList() {
        const QString folder = m_dir.path() + QStringLiteral("/scripts");
        const QStringList names{QStringLiteral("Жёлтый файл.txt"), QStringLiteral("黄色的文件.txt"),
                                QStringLiteral("\U0001F7E1 gelb \U0001F600.txt")};
        QSet<QString> made;
        for (const QString& name : names) {
            made.insert(folder + QLatin1Char('/') + name);
            TestEnv::makeFile(folder + QLatin1Char('/') + name);
        }
        const Result drawn = thinwick(
            {QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--print0"), folder});
        QCOMPARE(drawn.status, 0);
        QCOMPARE(drawn.err, QByteArray());
        QSet<QString> printed;
        for (const QString& path : lines(drawn.out, '\0'))
            printed.insert(QDir::cleanPath(path));
        QCOMPARE(printed, made);

        const QString listFile = m_dir.path() + QStringLiteral("/scripts list");
        TestEnv::makeFile(listFile, drawn.out);
        const Result taken =
            thinwick({QStringLiteral("--files0-from"), listFile, QStringLiteral("--print0")});
        QCOMPARE(taken.status, 0);
        QCOMPARE(QString::fromUtf8(taken.err), QString());
        QCOMPARE(taken.out, drawn.out);
    }

#ifdef Q_OS_UNIX
    // What needs POSIX: another user, names that are not UTF-8, a terminal, mount namespaces.

    void unreadableSubfolderIsNamedAndFails() {
        // Only an unprivileged user is kept out of a folder; it must reach the rest.
        const QString top = TestEnv::root() + QStringLiteral("/open/walk");
        TestEnv::makeFile(top + QStringLiteral("/a.txt"));
        TestEnv::makeFile(top + QStringLiteral("/locked/b.txt"));
        for (const QString& folder :
             {TestEnv::root(), TestEnv::root() + QStringLiteral("/open"), top})
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        const QByteArray locked = QFile::encodeName(top + QStringLiteral("/locked"));
        QVERIFY(::chmod(locked.constData(), 0) == 0);
        if (::geteuid() != 0) {
            // A capability that overrides permissions lets this user read it anyway.
            const int opened = ::open(locked.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (opened >= 0) {
                ::close(opened);
                QSKIP("this user reads a folder of mode 0 (a capability overrides permissions)");
            }
        }
        const Result result = runWith(
            {{QStringLiteral("--count"), QStringLiteral("5"), QStringLiteral("--subfolders"), top},
             {},
             {},
             true});
        QCOMPARE(result.status, 1);
        QCOMPARE(lines(result.out), QStringList{top + QStringLiteral("/a.txt")});
        QVERIFY2(QString::fromUtf8(result.err).contains(top + QStringLiteral("/locked")),
                 result.err.constData());
    }

    // -v names only what moved: a file the user may not move (its folder is not theirs) is left
    // in place, named by the closing message, and not listed as moved.
    void verboseNamesOnlyWhatMoved() {
        const QString base = TestEnv::root() + QStringLiteral("/verbose");
        const QString theirs = base + QStringLiteral("/theirs");
        const QString mine = base + QStringLiteral("/mine");
        TestEnv::makeFile(theirs + QStringLiteral("/stays.txt"));
        TestEnv::makeFile(mine + QStringLiteral("/goes.txt"));
        for (const QString& folder : {TestEnv::root(), base, theirs})
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        for (const QString& folder : {QStringLiteral("/data"), QStringLiteral("/state")})
            QVERIFY(QDir().mkpath(mine + folder));
        for (const QString& path :
             {mine, mine + QStringLiteral("/goes.txt"), mine + QStringLiteral("/data"),
              mine + QStringLiteral("/state")})
            QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0);
        const Result result =
            runWith({{QStringLiteral("-vyn2"), QStringLiteral("--trash"), theirs, mine},
                     {},
                     {{QStringLiteral("XDG_DATA_HOME"), mine + QStringLiteral("/data")},
                      {QStringLiteral("XDG_STATE_HOME"), mine + QStringLiteral("/state")},
                      { QStringLiteral("HOME"),
                        mine }},
                     true});
        QCOMPARE(result.status, 1);
        QCOMPARE(lines(result.out), QStringList{mine + QStringLiteral("/goes.txt")});
        QVERIFY2(result.err.contains(QFile::encodeName(theirs + QStringLiteral("/stays.txt"))),
                 result.err.constData());
        QVERIFY(QFileInfo::exists(theirs + QStringLiteral("/stays.txt")));
    }

    // A list (--files0-from) is taken path by path by the window's rule; every refusal is named on
    // a line of its own, however odd the name.
    void listedFilesAreCheckedOneByOne() {
        const QString folder = m_dir.path() + QStringLiteral("/listed");
        const QByteArray at = QFile::encodeName(folder);
        for (const char* name : {"plain.txt", "new\nline.txt", ".hidden"})
            TestEnv::makeFile(QFile::decodeName(at + '/' + name));
        // The non-UTF-8 name is made byte for byte.
        const int fd = ::open((at + "/bad\xff.txt").constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        QDir().mkpath(folder + QStringLiteral("/sub"));
        // The last path without its NUL, as a list may end.
        const QByteArray list =
            QByteArrayList{at + "/plain.txt",  at + "/new\nline.txt", at + "/bad\xff.txt",
                           at + "/.hidden",    at + "/sub",           at + "/gone.txt",
                           at + "/./plain.txt"}
                .join('\0');
        const Result result = runWith(
            {{QStringLiteral("--files0-from"), QStringLiteral("-"), QStringLiteral("--print0")},
             list,
             {},
             false});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out, at + "/plain.txt" + '\0' + at + "/new\nline.txt" + '\0');
        QCOMPARE(
            QString::fromUtf8(result.err),
            QStringLiteral("thinwick: not taken: \"%1/bad\\xff.txt\" its name is not valid UTF-8\n"
                           "thinwick: not taken: \"%1/.hidden\" is hidden\n"
                           "thinwick: not taken: \"%1/sub\" is a folder\n"
                           "thinwick: not taken: \"%1/gone.txt\" does not exist\n")
                .arg(folder));

        // From a file, with --trash: every file taken goes, the odd name too, and is recorded.
        const QString listFile = m_dir.path() + QStringLiteral("/list");
        TestEnv::makeFile(listFile, at + "/plain.txt" + '\0' + at + "/new\nline.txt" + '\0');
        const Result trashed = thinwick({QStringLiteral("--files0-from"), listFile,
                                         QStringLiteral("--trash"), QStringLiteral("--yes")});
        QCOMPARE(trashed.status, 0);
        QVERIFY2(ClosingLine.match(QString::fromUtf8(trashed.err)).hasMatch(),
                 trashed.err.constData());
        QVERIFY(QString::fromUtf8(trashed.err).startsWith(QStringLiteral("Moved 2 files")));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/new\nline.txt")));
        QCOMPARE(RunRecord::load(QString())->entries.size(), std::size_t{2});
        // Qt cannot remove a name that is not UTF-8; the temporary folder must go whole.
        QCOMPARE(::unlink((at + "/bad\xff.txt").constData()), 0);
    }

    // On a terminal the drawn files come before the question: all of them within a screenful
    // (or with --verbose), else the first 20 and how many more; "n" moves nothing.
    void terminalShowsTheDrawBeforeAsking_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("shown");
        QTest::newRow("3, no") << 3 << false << QByteArray("n\n") << 3;
        QTest::newRow("30, no") << 30 << false << QByteArray("n\n") << 20;
        QTest::newRow("30, verbose, no") << 30 << true << QByteArray("no\n") << 30;
        QTest::newRow("3, yes") << 3 << false << QByteArray("y\n") << 3;
        QTest::newRow("3, verbose, yes") << 3 << true << QByteArray("y\n") << 3;
    }
    void terminalShowsTheDrawBeforeAsking() {
        QFETCH(int, files);
        QFETCH(bool, verbose);
        QFETCH(QByteArray, typed);
        QFETCH(int, shown);
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < files; ++i) {
            paths.append(dir.path() + QStringLiteral("/f%1.txt").arg(i));
            TestEnv::makeFile(paths.last());
        }
        QStringList arguments{QStringLiteral("--count"), QString::number(files),
                              QStringLiteral("--trash"), dir.path()};
        if (verbose)
            arguments.append(QStringLiteral("--verbose"));
        const Result result = onTerminal(arguments, typed);
        const QString screen = QString::fromUtf8(result.out);
        const QString asked = QStringLiteral("Move %1 files to the trash? [y/N] ").arg(files);
        const qsizetype question = screen.indexOf(asked);
        QVERIFY2(question > 0, qPrintable(screen));
        const QStringList before =
            screen.left(question).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(before.size(), shown < files ? shown + 1 : shown);
        if (shown < files)
            QCOMPARE(before.last(), QStringLiteral("... and %1 more.").arg(files - shown));
        for (qsizetype i = 0; i < shown; ++i)
            QVERIFY2(paths.contains(before.at(i)), qPrintable(before.at(i)));
        const bool yes = typed.startsWith('y');
        QCOMPARE(result.status, yes ? 0 : 1);
        if (yes) {
            const qsizetype closing =
                screen.indexOf(QStringLiteral("Moved %1 files to the trash (run ").arg(files));
            QVERIFY2(closing > question, qPrintable(screen));
            // Verbose names each moved file between the answer (not echoed) and the closing line,
            // where a run without it draws its progress line (redrawn after a carriage return).
            const qsizetype answered = question + asked.size();
            QStringList moved = screen.mid(answered, closing - answered)
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            moved.removeIf([](const QString& line) { return line.startsWith(QLatin1Char('\r')); });
            moved.sort();
            QCOMPARE(moved, verbose ? paths : QStringList());
        } else {
            QVERIFY(screen.contains(QStringLiteral("Nothing was moved.")));
        }
        for (const QString& path : paths)
            QCOMPARE(QFileInfo::exists(path), !yes);
    }

    // Before the question and before any move: the files on a volume whose top the user cannot
    // write (so no trash can be made there) are named first with the reason, and only the others
    // are counted and moved.
    void volumeWithoutTrashIsNamedBeforeAnything() {
        if (!m_privateMounts)
            QSKIP("no private mount namespace here");
        const QString base = TestEnv::root() + QStringLiteral("/volumes");
        const QString volume = base + QStringLiteral("/volume");
        const QString home = base + QStringLiteral("/home");
        QDir().mkpath(volume);
        for (const QString& folder : {TestEnv::root(), base})
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QVERIFY(::mount("tmpfs", QFile::encodeName(volume).constData(), "tmpfs", 0, "mode=0755") ==
                0);
        TestEnv::makeFile(volume + QStringLiteral("/pool/far.txt"));
        TestEnv::makeFile(home + QStringLiteral("/pool/near.txt"));
        QDir().mkpath(home + QStringLiteral("/data"));
        QDir().mkpath(home + QStringLiteral("/state"));
        for (const QString& path :
             {volume + QStringLiteral("/pool"), volume + QStringLiteral("/pool/far.txt"), home,
              home + QStringLiteral("/pool"), home + QStringLiteral("/pool/near.txt"),
              home + QStringLiteral("/data"), home + QStringLiteral("/state")})
            QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0);
        const Result result =
            runWith({{QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--trash"),
                      QStringLiteral("--yes"), volume + QStringLiteral("/pool"),
                      home + QStringLiteral("/pool")},
                     {},
                     {{QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data")},
                      {QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state")},
                      { QStringLiteral("HOME"),
                        home }},
                     true});
        const bool trashMade = QFileInfo::exists(volume + QStringLiteral("/.Trash-65534"));
        const bool stayed = QFileInfo::exists(volume + QStringLiteral("/pool/far.txt"));
        ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH);
        QVERIFY(!trashMade);
        QVERIFY(stayed);
        const QStringList said = QString::fromUtf8(result.err).split(QLatin1Char('\n'));
        QCOMPARE(result.status, 1);
        QVERIFY2(said.first().startsWith(
                     QStringLiteral("thinwick: \"%1/pool/far.txt\" stays in place: no trash "
                                    "can be used on its file system: ")
                         .arg(volume)),
                 result.err.constData());
        QVERIFY2(ClosingLine.match(QString::fromUtf8(result.err)).hasMatch(),
                 result.err.constData());
        QVERIFY(result.err.contains("Moved 1 file to the trash"));
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/pool/near.txt")));
    }
#endif
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_shell.moc"
