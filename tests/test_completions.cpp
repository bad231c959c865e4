// The completions of zsh and fish (GUILESS): each shell loads the packaged file and completes a
// command line in a folder of its own, with the built program on PATH and one run recorded.
#include "TestSupport.h"
#include "deletion/RunRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList LongOptions{
    "--count",   "--subfolders", "--files0-from", "--print0",     "--seed", "--trash",  "--yes",
    "--verbose", "--put-back",   "--runs",        "--self-check", "--help", "--version"};

// zsh completes interactively only: a second zsh drives it on a pseudo-terminal, types the line
// and two tabs once the line editor is waiting (its prompt spelt so that the echo of the command
// setting it does not hold it), then a command whose output marks the end of what the completion
// showed.
const char* const ZshDriver = R"(zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "fpath=(${(q)1} \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z "PS1=\$'\\x52EADY> '; LISTMAX=0"
zpty -r z out '*READY> '
zpty -n -w z "$2"$'\t\t\C-u'
zpty -w z 'print END-$((6*7))'
zpty -r z out '*END-42*'
print -r -- "$out"
zpty -d z
)";

} // namespace

class CompletionsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folders; // "dir one", "dir2" and two files
    QString m_zshFunctions;
    QString m_runName;

    // What the shell printed, run in the folders with the built program first on PATH.
    QString shellSays(const QString& program, const QStringList& arguments) const {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH",
                           QFileInfo(THINWICK_PROGRAM).path() + ':' + environment.value("PATH"));
        environment.insert("TERM", "dumb");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_folders);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(30000))
            return "(no answer in 30 s)";
        return QString::fromUtf8(process.readAll());
    }

    void completions_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("notOffered");
        QTest::newRow("options") << "thinwick --" << LongOptions << QStringList{"dir2"};
        QTest::newRow("folders, not files")
            << "thinwick -n 3 " << QStringList{"dir one", "dir2"} << QStringList{"file.txt"};
        QTest::newRow("runs to put back") << "thinwick --put-back " << QStringList{"1", m_runName}
                                          << QStringList{"dir2", "--count"};
        QTest::newRow("runs to list")
            << "thinwick --runs " << QStringList{"1", m_runName} << QStringList{"dir2"};
        QTest::newRow("list file")
            << "thinwick --files0-from fi" << QStringList{"file.txt", "fig.txt"} << QStringList{};
    }

    static void compare(const QString& shown, const QStringList& offered,
                        const QStringList& notOffered) {
        // A candidate stands alone between blanks (a folder with its "/").
        auto has = [&shown](const QString& word) {
            return shown.contains(
                QRegularExpression("(^|\\s)" + QRegularExpression::escape(word) + "/?(\\s|$)"));
        };
        for (const QString& word : offered)
            QVERIFY2(has(word), qPrintable(word + " not offered in:\n" + shown));
        for (const QString& word : notOffered)
            QVERIFY2(!has(word), qPrintable(word + " offered in:\n" + shown));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_folders = m_dir.path() + "/complete here";
        QVERIFY(QDir().mkpath(m_folders + "/dir one"));
        QVERIFY(QDir().mkpath(m_folders + "/dir2"));
        TestEnv::makeFile(m_folders + "/file.txt");
        TestEnv::makeFile(m_folders + "/fig.txt");
        // One run recorded, of a file that is not in the folders above.
        TestEnv::makeFile(m_dir.path() + "/pool/gone.txt");
        QProcess run;
        run.start(THINWICK_PROGRAM, {"-yn1", "--trash", m_dir.path() + "/pool"});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        const QStringList ids = RunRecord::ids();
        QCOMPARE(ids.size(), 1);
        m_runName = ids.first();
        // zsh finds a completion function by its file name.
        m_zshFunctions = m_dir.path() + "/zsh";
        QVERIFY(QDir().mkpath(m_zshFunctions));
        QVERIFY(QFile::copy(THINWICK_PACKAGING_DIR "/thinwick.zsh-completion",
                            m_zshFunctions + "/_thinwick"));
    }

    void zshCompletes_data() { completions_data(); }
    void zshCompletes() {
        if (QStandardPaths::findExecutable("zsh").isEmpty())
            QSKIP("zsh is not installed (scripts/test.sh installs it)");
        QFETCH(QString, line);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        QString shown = shellSays("zsh", {"-f", "-c", ZshDriver, "zsh", m_zshFunctions, line});
        // What the terminal was told: the text without its control sequences and the typed line,
        // blanks in names unquoted.
        shown.remove(QRegularExpression("\x1b\\[[0-9;?]*[A-Za-z]"));
        shown.remove(line);
        shown.replace("\\ ", " ");
        compare(shown, offered, notOffered);
    }

    void fishCompletes_data() { completions_data(); }
    void fishCompletes() {
        if (QStandardPaths::findExecutable("fish").isEmpty())
            QSKIP("fish is not installed (scripts/test.sh installs it)");
        QFETCH(QString, line);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        // One candidate per line, its description after a tab.
        const QString shown = shellSays("fish", {"--no-config", "-c",
                                                 "source " THINWICK_PACKAGING_DIR
                                                 "/thinwick.fish; complete -C $argv[1]",
                                                 line});
        QStringList candidates;
        for (const QString& candidate : shown.split('\n', Qt::SkipEmptyParts))
            candidates.append(candidate.section('\t', 0, 0));
        compare(candidates.join('\n'), offered, notOffered);
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    const QCoreApplication app(argc, argv);
    CompletionsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_completions.moc"
