// The command line's arguments: --help's text and the options read from the arguments.
#include "common/PathRules.h"
#include "shell/Shell.h"
#include "shell/ShellText.h"

#include <QFileInfo>

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
        "Usage: thinwick [FOLDER]...         open the window, with these folders listed\n"
        "  or:  thinwick -n N [--subfolders] [--print0] [--seed S] FOLDER...\n"
        "  or:  thinwick -n N --trash [-y] [-v] [--subfolders] [--seed S] FOLDER...\n"
        "  or:  thinwick --files0-from FILE|- [-n N] [--trash] [-y] [-v] [--print0]\n"
        "  or:  thinwick --put-back [RUN]\n"
        "  or:  thinwick --runs [RUN] | --self-check | --help | --version\n"
        "\n"
        "Draws N distinct files at random from the ordinary files directly inside the\n"
        "folders (not hidden, not folders; all of them when there are fewer) and prints\n"
        "them.\n"
        "\n"
        "  -n, --count=N        how many files to draw (a whole number)\n"
        "      --subfolders     pool every folder below each FOLDER too\n"
        "      --files0-from=FILE  pool the files listed in FILE (- for standard input),\n"
        "                       UTF-8 paths ended by NUL bytes, as find -print0 writes\n"
        "                       them; each must be an ordinary file, and every one\n"
        "                       refused is named\n"
        "      --print0         end each printed path with a NUL instead of a line feed\n"
        "      --seed=S         repeat the draw made with the same whole number S\n"
        "      --trash          move the drawn files to the trash instead of printing\n"
        "                       them; nothing is deleted for good and folders are never\n"
        "                       moved. On a terminal it shows the files and asks first\n"
        "  -y, --yes            do not ask first (needed when not on a terminal)\n"
        "  -v, --verbose        show every drawn file before the question, not only the\n"
        "                       first 20, and name each file as it moves\n"
        "      --put-back[=RUN] put back the files the last run (or run RUN) moved to\n"
        "                       the trash\n"
        "      --runs[=RUN]     list the recorded runs by number; with RUN, its files\n"
        "      --self-check     print where the program found its files\n"
        "  -h, --help           print this help\n"
        "      --version        print the version\n"
        "      --               end the options: what follows is a folder even if its\n"
        "                       name begins with -\n"
        "\n"
        "Short options combine (-yv, -n3) and a long option may be shortened to any\n"
        "unambiguous beginning (--cou 20).\n"
        "\n"
        "Each draw is new. To trash exactly the files a draw showed, give both commands\n"
        "the same --seed S (on unchanged folders), or keep the draw and hand it back:\n"
        "  thinwick -n 20 --print0 FOLDER > draw; thinwick --files0-from draw --trash\n"
        "\n"
        "Exit status: 0 all done; 1 some files left in place, a folder unreadable, a\n"
        "listed file refused, or the question answered no; 2 a usage error.\n"
        "\n"
        "The whole manual: man thinwick\n");
}

namespace {

enum class Takes { Nothing, Value, OptionalValue };

struct OptionName {
    const char* longName;
    char shortName; // 0 when the option has none
    Takes takes;
};

// Every option, the long names in alphabetical order so that an ambiguous beginning lists its
// candidates in that order.
constexpr OptionName AllOptions[] = {
    {"count", 'n', Takes::Value},
    {"files0-from", 0, Takes::Value},
    {"help", 'h', Takes::Nothing},
    {"print0", 0, Takes::Nothing},
    {"put-back", 0, Takes::OptionalValue},
    {"runs", 0, Takes::OptionalValue},
    {"seed", 0, Takes::Value},
    {"self-check", 0, Takes::Nothing},
    {"subfolders", 0, Takes::Nothing},
    {"trash", 0, Takes::Nothing},
    {"verbose", 'v', Takes::Nothing},
    {"version", 0, Takes::Nothing},
    {"yes", 'y', Takes::Nothing},
};

// An option no one knows. An argument that names something on disk was meant as a folder: the
// line says how to name it.
QString unknownOption(const QString& option, const QString& argument) {
    QString line = QStringLiteral("unknown option %1").arg(quoted(option));
    if (option != argument)
        line += QStringLiteral(" in %1").arg(quoted(argument));
    if (QFileInfo::exists(argument))
        return line + QStringLiteral("; to name %1 as a folder, put -- before it: -- %2")
                          .arg(quoted(argument), argument);
    return line + QStringLiteral("; see thinwick --help for the options");
}

QString longName(const OptionName& option) {
    return QStringLiteral("--") + QLatin1String(option.longName);
}

// The option a long name (without its dashes) names: the one spelled so, else the one it is the
// beginning of. Null when none or several; the line then says which.
const OptionName* findLong(const QString& name, const QString& typed, const QString& argument,
                           QString& error) {
    QList<const OptionName*> candidates;
    for (const OptionName& option : AllOptions) {
        const QLatin1String full(option.longName);
        if (name == full)
            return &option;
        if (!name.isEmpty() && full.startsWith(name))
            candidates.append(&option);
    }
    if (candidates.size() == 1)
        return candidates.first();
    if (candidates.isEmpty()) {
        error = unknownOption(typed, argument);
        return nullptr;
    }
    QStringList names;
    for (const OptionName* option : std::as_const(candidates))
        names.append(longName(*option));
    const QString last = names.takeLast();
    error = QStringLiteral("option %1 is ambiguous: it could be %2 or %3")
                .arg(quoted(typed), names.join(QStringLiteral(", ")), last);
    return nullptr;
}

const OptionName* findShort(QChar letter) {
    for (const OptionName& option : AllOptions)
        if (option.shortName != 0 && letter == QLatin1Char(option.shortName))
            return &option;
    return nullptr;
}

// What an option lacking its value is told, with an example.
QString valueMissing(const OptionName& option) {
    const QLatin1String name(option.longName);
    if (name == QLatin1String("count"))
        return QStringLiteral("--count needs a number: --count N, e.g. --count 100");
    if (name == QLatin1String("seed"))
        return QStringLiteral("--seed needs a number: --seed S, e.g. --seed 42");
    return QStringLiteral("--files0-from needs a file: --files0-from FILE, or - for standard "
                          "input");
}

} // namespace

Parsed parseArguments(const QStringList& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    bool trash = false;
    bool putBack = false;
    bool runs = false;
    bool selfCheck = false;
    bool otherOption = false;
    bool optionsEnd = false;
    QString seedText;
    auto fail = [&parsed](const QString& line) {
        parsed.error = line;
        return parsed;
    };
    // What one option does with its value (absent when hasValue is false). False when the run
    // of the parse ends here (help, version).
    auto apply = [&](const OptionName& option, const QString& value, bool hasValue) {
        const QLatin1String name(option.longName);
        (name == QLatin1String("self-check") ? selfCheck : otherOption) = true;
        if (name == QLatin1String("help")) {
            o.mode = Mode::Help;
            return false;
        }
        if (name == QLatin1String("version")) {
            o.mode = Mode::Version;
            return false;
        }
        if (name == QLatin1String("count")) {
            o.countText = value;
            o.countGiven = true;
        } else if (name == QLatin1String("seed")) {
            seedText = value;
        } else if (name == QLatin1String("files0-from")) {
            o.filesFrom = value;
        } else if (name == QLatin1String("subfolders")) {
            o.subfolders = true;
        } else if (name == QLatin1String("print0")) {
            o.print0 = true;
        } else if (name == QLatin1String("trash")) {
            trash = true;
        } else if (name == QLatin1String("yes")) {
            o.yes = true;
        } else if (name == QLatin1String("verbose")) {
            o.verbose = true;
        } else if (name != QLatin1String("self-check")) {
            (name == QLatin1String("put-back") ? putBack : runs) = true;
            if (hasValue)
                o.run = value;
        }
        return true;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnd || !argument.startsWith(QLatin1Char('-')) ||
            argument == QStringLiteral("-")) {
            if ((putBack || runs) && o.run.isEmpty() && o.folders.isEmpty())
                o.run = argument;
            else
                o.folders.append(argument);
            continue;
        }
        if (argument == QStringLiteral("--")) {
            optionsEnd = true;
            continue;
        }
        if (argument.startsWith(QStringLiteral("--"))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            const bool hasValue = equals > 0;
            const QString typed = hasValue ? argument.left(equals) : argument;
            QString error;
            const OptionName* option = findLong(typed.mid(2), typed, argument, error);
            if (option == nullptr)
                return fail(error);
            QString value = hasValue ? argument.mid(equals + 1) : QString();
            if (hasValue && option->takes == Takes::Nothing)
                return fail(QStringLiteral("%1 takes no value: give it as %1 alone")
                                .arg(longName(*option)));
            if (!hasValue && option->takes == Takes::Value) {
                if (i + 1 >= arguments.size())
                    return fail(valueMissing(*option));
                value = arguments.at(++i);
            }
            if (value.isEmpty() && QLatin1String(option->longName) == QLatin1String("files0-from"))
                return fail(valueMissing(*option));
            if (!apply(*option, value, hasValue || option->takes == Takes::Value))
                return parsed;
            continue;
        }
        // A cluster of short options: each letter an option until one takes a value, which is the
        // rest of the argument or, when nothing follows, the next argument.
        for (qsizetype at = 1; at < argument.size(); ++at) {
            const OptionName* option = findShort(argument.at(at));
            if (option == nullptr)
                return fail(unknownOption(QStringLiteral("-") + argument.at(at), argument));
            if (option->takes != Takes::Value) {
                if (!apply(*option, QString(), false))
                    return parsed;
                continue;
            }
            QString value = argument.mid(at + 1);
            if (value.isEmpty()) {
                if (i + 1 >= arguments.size())
                    return fail(valueMissing(*option));
                value = arguments.at(++i);
            }
            if (!apply(*option, value, true))
                return parsed;
            break;
        }
    }
    if (selfCheck) {
        if (otherOption || !o.folders.isEmpty())
            return fail(QStringLiteral("--self-check goes alone: thinwick --self-check"));
        o.mode = Mode::SelfCheck;
        return parsed;
    }
    // Folders alone: the window opens with them listed, and checks them as it adds them.
    if (!otherOption && !o.folders.isEmpty()) {
        o.mode = Mode::Window;
        return parsed;
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
