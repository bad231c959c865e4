// Reading the command line (GUILESS): argument vectors by getopt_long's rules, each with the
// options it gives or the one line that refuses it.
#include "shell/Shell.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The options in a short written form, so a table row can say what it expects in one line.
QString described(const Shell::Options& o) {
    static const char* const Modes[] = {"help",     "version", "draw",   "trash",
                                        "put-back", "runs",    "window", "self-check"};
    QStringList parts{QString::fromLatin1(Modes[static_cast<int>(o.mode)])};
    if (o.countGiven)
        parts.append(QStringLiteral("n=") + o.countText);
    if (o.seed)
        parts.append(QStringLiteral("seed=%1").arg(*o.seed));
    if (!o.filesFrom.isEmpty())
        parts.append(QStringLiteral("from=") + o.filesFrom);
    if (!o.run.isEmpty())
        parts.append(QStringLiteral("run=") + o.run);
    for (const auto& [on, name] :
         {std::pair{o.subfolders, "subfolders"}, std::pair{o.print0, "print0"},
          std::pair{o.yes, "yes"}, std::pair{o.verbose, "verbose"}})
        if (on)
            parts.append(QString::fromLatin1(name));
    for (const QString& folder : o.folders)
        parts.append(QLatin1Char('[') + folder + QLatin1Char(']'));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class ArgumentsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_wasCurrent = QDir::currentPath();

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // Folders named as a user may have them: one with a blank, one that looks like an option.
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("a b")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("-odd")));
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    // Leaves the folder, so that it can be removed (on Windows too).
    void cleanupTestCase() { QVERIFY(QDir::setCurrent(m_wasCurrent)); }

    void parses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("options");
        const QString a = QStringLiteral("a b");
        auto row = [](const char* name, QStringList arguments, const char* options) {
            QTest::newRow(name) << arguments << QString::fromUtf8(options);
        };
        row("long with separate value", {"--count", "3", a}, "draw n=3 [a b]");
        row("long with =", {"--count=3", a}, "draw n=3 [a b]");
        row("short with separate value", {"-n", "3", a}, "draw n=3 [a b]");
        row("short with attached value", {"-n3", a}, "draw n=3 [a b]");
        row("cluster of flags", {"-n3", "--trash", "-yv", a}, "trash n=3 yes verbose [a b]");
        row("cluster ending in a value", {"-yvn3", "--trash", a}, "trash n=3 yes verbose [a b]");
        row("cluster, value in the next word", {"--trash", "-yn", "3", a}, "trash n=3 yes [a b]");
        row("value that looks like an option", {"--files0-from", "-odd"}, "draw from=-odd");
        row("long prefix", {"--cou", "2", "--tr", "--y", a}, "trash n=2 yes [a b]");
        row("prefix with =", {"--see=7", "-n1", a}, "draw n=1 seed=7 [a b]");
        row("options after folders", {a, "-n", "2", "--subf"}, "draw n=2 subfolders [a b]");
        row("-- ends the options", {"-n2", "--", "-odd", a}, "draw n=2 [-odd] [a b]");
        row("- is a folder word", {"--files0-from", "-", "--print0"}, "draw from=- print0");
        row("put-back with its run", {"--put-back", "3"}, "put-back run=3");
        row("runs with = and a name", {"--runs=20261208-130111940-00"},
            "runs run=20261208-130111940-00");
        row("help wins at once", {"-h", "--no-such"}, "help");
        row("version by prefix", {"--vers"}, "version");
        row("self-check by prefix", {"--self"}, "self-check");
        row("folders alone open the window", {a, "no such folder"},
            "window [a b] [no such folder]");
        row("the window takes -- too", {"--", "-odd"}, "window [-odd]");
    }
    void parses() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, options);
        const Shell::Parsed parsed = Shell::parseArguments(arguments);
        QCOMPARE(parsed.error, QString());
        QCOMPARE(described(parsed.options), options);
    }

    void refusesWithOneLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString a = QStringLiteral("a b");
        auto row = [](const char* name, QStringList arguments, const char* error) {
            QTest::newRow(name) << arguments << QString::fromUtf8(error);
        };
        row("ambiguous prefix", {"--s", "1", "-n1", a},
            "option \"--s\" is ambiguous: it could be --seed, --self-check or --subfolders");
        row("ambiguous between two", {"--ver", "-n1", a},
            "option \"--ver\" is ambiguous: it could be --verbose or --version");
        row("unknown long option", {"-n1", "--shuffle", a},
            "unknown option \"--shuffle\"; see thinwick --help for the options");
        row("unknown letter in a cluster", {"-yx", "-n1", a},
            "unknown option \"-x\" in \"-yx\"; see thinwick --help for the options");
        row("a folder named like an option", {"-n1", "-odd"},
            "unknown option \"-o\" in \"-odd\"; to name \"-odd\" as a folder, put -- before it: "
            "-- -odd");
        row("a flag given a value", {"--trash=yes", "-n1", a},
            "--trash takes no value: give it as --trash alone");
        row("short count without its value", {a, "-n"},
            "--count needs a number: --count N, e.g. --count 100");
        row("long prefix without its value", {a, "--cou"},
            "--count needs a number: --count N, e.g. --count 100");
        row("empty list name", {"--files0-from="},
            "--files0-from needs a file: --files0-from FILE, or - for standard input");
        row("count glued to letters", {"-n3x", a},
            "the count \"3x\" is not a whole number; give --count N with N like 100");
        row("self-check with more", {"--self-check", "-v"},
            "--self-check goes alone: thinwick --self-check");
        row("a missing folder after --", {"-n1", "--", "-gone"},
            "the folder \"-gone\" does not exist; give folders that exist");
    }
    void refusesWithOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QCOMPARE(Shell::parseArguments(arguments).error, error);
    }

    void helpFitsEightyColumnsAndEndsAtTheManual() {
        const QStringList lines = Shell::helpText().split(QLatin1Char('\n'));
        for (const QString& line : lines)
            QVERIFY2(line.size() <= 80, qPrintable(line));
        QCOMPARE(lines.size() > 20, true);
        // The text ends in a line feed; the line before it points to the manual.
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("The whole manual: man thinwick"));
    }
};

QTEST_GUILESS_MAIN(ArgumentsTest)
#include "test_arguments.moc"
