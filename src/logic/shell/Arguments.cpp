// The command line's arguments: --help's text and the options read from the arguments.
#include "common/PathRules.h"
#include "shell/Shell.h"
#include "shell/ShellText.h"

namespace Shell {

namespace {

bool isWholeNumber(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + escaped(text) + QLatin1Char('"');
}

} // namespace

QString helpText() {
    return QStringLiteral(
        "Usage: thinwick                       open the window\n"
        "       thinwick --count N [--subfolders] [--print0] [--seed S] FOLDER...\n"
        "       thinwick --count N --trash [--yes] [--verbose] [--subfolders] [--seed S] "
        "FOLDER...\n"
        "       thinwick --files0-from FILE|- [--count N] [--trash] [--yes] [--print0] "
        "[--seed S]\n"
        "       thinwick --put-back [RUN]\n"
        "       thinwick --runs [RUN] | --self-check | --help | --version\n"
        "\n"
        "Draws N distinct files at random from the ordinary files directly inside the folders\n"
        "(not hidden, not folders; all of them when there are fewer) and prints them.\n"
        "\n"
        "  -n, --count N  how many files to draw (a whole number)\n"
        "  --subfolders   pool every folder below each FOLDER too\n"
        "  --files0-from FILE  pool the files listed in FILE (- for standard input),\n"
        "                 separated by NUL bytes as find -print0 and fdfind -0 write them;\n"
        "                 each must be an ordinary file, and every one refused is named\n"
        "  --print0       end each printed path with a NUL instead of a line feed\n"
        "  --seed S       repeat the draw made with the same whole number S\n"
        "  --trash        move the drawn files to the trash instead of printing them;\n"
        "                 nothing is deleted for good and folders are never moved. On a\n"
        "                 terminal it shows the files and asks first\n"
        "  -y, --yes      do not ask first (needed when not on a terminal)\n"
        "  -v, --verbose  show every drawn file before the question, not only the first 20\n"
        "  --put-back [RUN]  put back the files the last run (or run RUN) moved to the trash\n"
        "  --runs [RUN]   list the recorded runs by number; with RUN, list its files\n"
        "  --self-check   print where the program found its files\n"
        "\n"
        "Each draw is new. To trash exactly the files a draw showed, give both commands the\n"
        "same --seed S (on unchanged folders), or keep the draw and hand it back:\n"
        "  thinwick --count 20 --print0 FOLDER > draw; thinwick --files0-from draw --trash\n"
        "\n"
        "Exit status: 0 all done; 1 some files left in place, a folder unreadable, a listed\n"
        "file refused, or the question answered no; 2 a usage error.\n");
}

Parsed parseArguments(const QStringList& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    bool trash = false;
    bool putBack = false;
    bool runs = false;
    bool optionsEnd = false;
    QString seedText;
    auto fail = [&parsed](const QString& line) {
        parsed.error = line;
        return parsed;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (optionsEnd || !argument.startsWith(QLatin1Char('-')) ||
            argument == QStringLiteral("-")) {
            if ((putBack || runs) && o.run.isEmpty() && o.folders.isEmpty())
                o.run = argument;
            else
                o.folders.append(argument);
            continue;
        }
        QString value;
        bool hasValue = false;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('='));
            argument.startsWith(QStringLiteral("--")) && equals > 0) {
            value = argument.mid(equals + 1);
            argument.truncate(equals);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments.at(++i);
            return true;
        };
        if (argument == QStringLiteral("--")) {
            optionsEnd = true;
        } else if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            o.mode = Mode::Help;
            return parsed;
        } else if (argument == QStringLiteral("--version")) {
            o.mode = Mode::Version;
            return parsed;
        } else if (argument == QStringLiteral("--count") || argument == QStringLiteral("-n")) {
            if (!takeValue())
                return fail(QStringLiteral("--count needs a number: --count N, e.g. --count 100"));
            o.countText = value;
            o.countGiven = true;
        } else if (argument == QStringLiteral("--seed")) {
            if (!takeValue())
                return fail(QStringLiteral("--seed needs a number: --seed S, e.g. --seed 42"));
            seedText = value;
        } else if (argument == QStringLiteral("--files0-from")) {
            if (!takeValue() || value.isEmpty())
                return fail(QStringLiteral("--files0-from needs a file: --files0-from FILE, or - "
                                           "for standard input"));
            o.filesFrom = value;
        } else if (argument == QStringLiteral("--subfolders") && !hasValue) {
            o.subfolders = true;
        } else if (argument == QStringLiteral("--print0") && !hasValue) {
            o.print0 = true;
        } else if (argument == QStringLiteral("--trash") && !hasValue) {
            trash = true;
        } else if ((argument == QStringLiteral("--yes") || argument == QStringLiteral("-y")) &&
                   !hasValue) {
            o.yes = true;
        } else if ((argument == QStringLiteral("--verbose") || argument == QStringLiteral("-v")) &&
                   !hasValue) {
            o.verbose = true;
        } else if (argument == QStringLiteral("--put-back")) {
            putBack = true;
            if (hasValue)
                o.run = value;
        } else if (argument == QStringLiteral("--runs")) {
            runs = true;
            if (hasValue)
                o.run = value;
        } else {
            return fail(QStringLiteral("unknown option %1; see thinwick --help for the options")
                            .arg(quoted(arguments.at(i))));
        }
    }
    if (putBack || runs) {
        if (putBack && runs)
            return fail(QStringLiteral("--put-back and --runs go alone; give one of them"));
        if (o.countGiven || trash || !o.folders.isEmpty() || !seedText.isEmpty() || o.subfolders ||
            o.print0 || !o.filesFrom.isEmpty())
            return fail(putBack ? QStringLiteral("--put-back takes only a run's number or name: "
                                                 "thinwick --put-back [RUN]")
                                : QStringLiteral("--runs takes only a run's number or name: "
                                                 "thinwick --runs [RUN]"));
        o.mode = putBack ? Mode::PutBack : Mode::Runs;
        return parsed;
    }
    o.mode = trash ? Mode::Trash : Mode::Draw;
    const bool fromList = !o.filesFrom.isEmpty();
    if (!o.countGiven && !fromList)
        return fail(QStringLiteral("how many files? give --count N, e.g. thinwick --count 100 "
                                   "FOLDER"));
    if (o.countGiven && !isWholeNumber(o.countText.trimmed()))
        return fail(QStringLiteral("the count %1 is not a whole number; give --count N with N "
                                   "like 100")
                        .arg(quoted(o.countText)));
    o.countText = o.countText.trimmed();
    if (!seedText.isEmpty()) {
        bool ok = false;
        const std::uint64_t seed = seedText.toULongLong(&ok);
        if (!ok || !isWholeNumber(seedText))
            return fail(QStringLiteral("the seed %1 is not a whole number; give --seed S with S "
                                       "like 42")
                            .arg(quoted(seedText)));
        o.seed = seed;
    }
    if (trash && o.print0)
        return fail(QStringLiteral("--print0 prints a draw; --trash prints none: leave one out"));
    if (fromList) {
        if (!o.folders.isEmpty() || o.subfolders)
            return fail(QStringLiteral("--files0-from takes the files from its list; give no "
                                       "folders (or --subfolders) as well"));
        return parsed;
    }
    if (o.folders.isEmpty())
        return fail(QStringLiteral("no folder given; name one or more: thinwick --count N "
                                   "FOLDER..."));
    for (const QString& folder : o.folders) {
        if (!Main::IsFolder(folder))
            return fail(Main::FileExists(folder)
                            ? QStringLiteral("%1 is not a folder; give folders to draw from")
                                  .arg(quoted(folder))
                            : QStringLiteral("the folder %1 does not exist; give folders that "
                                             "exist")
                                  .arg(quoted(folder)));
    }
    return parsed;
}

} // namespace Shell
