#include "shell/Shell.h"

#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "common/Random.h"
#include "deletelist/Sampling.h"
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <io.h>
#define THINWICK_ISATTY _isatty
#define THINWICK_FILENO _fileno
#else
#include <unistd.h>
#define THINWICK_ISATTY ::isatty
#define THINWICK_FILENO ::fileno
#endif

#ifndef THINWICK_VERSION
#define THINWICK_VERSION "unknown"
#endif

namespace Shell {

namespace {

constexpr qint64 ProgressIntervalMs = 100;
// Listing is mostly the kernel's work in the file system; more threads than this gain nothing.
constexpr std::size_t MaxListingThreads = 4;

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int /*signal*/) {
    interrupted = 1;
}

bool isTerminal(std::FILE* stream) {
    return THINWICK_ISATTY(THINWICK_FILENO(stream)) != 0;
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

int usage(const QString& line) {
    writeErr(QStringLiteral("thinwick: ") + line + QLatin1Char('\n'));
    return ExitUsage;
}

// The walk's messages go to stderr; it asks no questions of a shell.
class StderrDialogs : public Dialogs {
public:
    bool reported = false;
    void message(const QString& text, const QString& /*title*/, MessageIcon /*icon*/) override {
        reported = true;
        writeErr(QStringLiteral("thinwick: ") + text + QLatin1Char('\n'));
    }
    bool question(const QString& /*text*/, const QString& /*title*/) override { return false; }
    std::optional<QString> input(const QString& /*prompt*/, const QString& /*title*/,
                                 const QString& /*initial*/) override {
        return std::nullopt;
    }
    QString pickFolder(const QString& /*title*/, const QString& /*initial*/) override { return {}; }
    QStringList pickFiles(const QString& /*title*/, const QString& /*filter*/) override {
        return {};
    }
    void openUrl(const QUrl& /*url*/) override {}
};

// The progress line on stderr, shown only on a terminal and at most ten times a second.
class Progress {
public:
    Progress(const QString& verb, qsizetype total)
        : m_verb(verb), m_total(total), m_shown(isTerminal(stderr)) {}
    void step(qsizetype done) {
        if (!m_shown || (m_timer.isValid() && m_timer.elapsed() < ProgressIntervalMs))
            return;
        m_timer.start();
        const QString line = QStringLiteral("\r%1: %2 of %3 (%4%)")
                                 .arg(m_verb)
                                 .arg(done)
                                 .arg(m_total)
                                 .arg(done * 100 / std::max<qsizetype>(m_total, 1));
        m_width = std::max(m_width, line.size());
        writeErr(line);
    }
    ~Progress() {
        if (m_shown && m_timer.isValid())
            writeErr(QLatin1Char('\r') + QString(m_width, QLatin1Char(' ')) + QLatin1Char('\r'));
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    QString m_verb;
    qsizetype m_total;
    bool m_shown;
    qsizetype m_width = 0;
    QElapsedTimer m_timer;
};

bool isWholeNumber(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The files drawn by the window's rules from the folders' pooled ordinary files; unreadable is set
// when a folder could not be read.
QStringList draw(const Options& options, bool& unreadable) {
    const QChar separator = Main::nativeSeparator();
    QStringList folders;
    QSet<QString> seen;
    for (const QString& given : options.folders) {
        // "C:/x" as typed on Windows takes the native separator, as the window's rows do.
        QStringList tree{Main::terminatedFolderPath(QDir::toNativeSeparators(given))};
        if (options.subfolders) {
            StderrDialogs dialogs;
            AddFolder::DiskFolderTree disk;
            AddFolder::GetSubDirectories2016(tree, true, dialogs, disk, [] { return true; });
            unreadable = unreadable || dialogs.reported;
        }
        // A folder given twice, or inside another given with --subfolders, is pooled once, so
        // every file drawn is distinct.
        for (const QString& folder : tree) {
            const QString key = folder.endsWith(separator) ? folder : folder + separator;
            if (!seen.contains(key)) {
                seen.insert(key);
                folders.append(key);
            }
        }
    }
    // The folders are listed on every core, each into a list of its own; the pool is their
    // listings in the order of the folders, so a seed gives the same draw however they were read.
    std::vector<QStringList> listings(static_cast<std::size_t>(folders.size()));
    std::vector<QString> failures(listings.size());
    std::atomic<std::size_t> nextFolder{0};
    auto listFolders = [&] {
        for (std::size_t i = nextFolder++; i < listings.size(); i = nextFolder++) {
            try {
                Delete1::appendOrdinaryFiles(folders.at(static_cast<qsizetype>(i)), listings[i]);
            } catch (const std::exception& failure) {
                failures[i] = QString::fromUtf8(failure.what());
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(
        {std::max(std::thread::hardware_concurrency(), 1U), MaxListingThreads, listings.size()});
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < helpers; ++i)
        threads.emplace_back(listFolders);
    listFolders();
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < failures.size(); ++i) {
        if (failures[i].isEmpty())
            continue;
        unreadable = true;
        writeErr(QStringLiteral("thinwick: cannot read the folder %1: %2\n")
                     .arg(folders.at(static_cast<qsizetype>(i)), failures[i]));
    }

    // The window's choice rule, over positions in the folders' listings taken in order.
    Main::Random::seed(options.seed.value_or(QRandomGenerator::system()->generate64()));
    std::vector<const QString*> items;
    for (const QStringList& listing : listings)
        for (const QString& path : listing)
            items.push_back(&path);
    QStringList drawn;
    const std::vector<qsizetype> chosen = Delete1::choosePositions(
        static_cast<qsizetype>(items.size()), Main::countValue(options.countText));
    drawn.reserve(static_cast<qsizetype>(chosen.size()));
    for (const qsizetype position : chosen)
        drawn.append(*items[static_cast<std::size_t>(position)]);
    return drawn;
}

int printDraw(const QStringList& drawn, bool print0, bool unreadable) {
    QByteArray out;
    const char end = print0 ? '\0' : '\n';
    for (const QString& path : drawn) {
        out += QFile::encodeName(path);
        out += end;
    }
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    if (std::fflush(stdout) != 0) {
        writeErr(QStringLiteral("thinwick: cannot write the list of files\n"));
        return ExitLeftInPlace;
    }
    return unreadable ? ExitLeftInPlace : ExitDone;
}

// Asks on the terminal; true for an answer starting with y.
bool confirmed(qsizetype count) {
    writeErr(count == 1 ? QStringLiteral("Move 1 file to the trash? [y/N] ")
                        : QStringLiteral("Move %1 files to the trash? [y/N] ").arg(count));
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr)
        return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

int trashDrawn(const QStringList& drawn, bool unreadable) {
    if (drawn.isEmpty()) {
        writeErr(QStringLiteral("No files added.\n"));
        return unreadable ? ExitLeftInPlace : ExitDone;
    }
    DesktopTrash trash;
    Delete1::TrashRun run(trash);
    interrupted = 0;
    const auto previousInt = std::signal(SIGINT, onInterrupt);
    const auto previousTerm = std::signal(SIGTERM, onInterrupt);
    {
        Progress progress(QStringLiteral("Moving to the trash"), drawn.size());
        run.run(drawn, [&](qsizetype position, qsizetype /*count*/, const QString& /*path*/) {
            if (interrupted != 0)
                run.requestStop();
            else
                progress.step(position - 1);
        });
    }
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    // The moves and their record durable before the closing line says they are done.
    run.finish();
    const QString& recordError = run.recordError();
    QString summary = run.closingMessage();
    if (run.stopRequested())
        summary += QStringLiteral("\n\nInterrupted: %1 drawn files were not handled.")
                       .arg(drawn.size() - run.handled());
    if (!recordError.isEmpty())
        summary += QStringLiteral("\n\nThe record of this run could not be written (%1); "
                                  "--put-back cannot undo it.")
                       .arg(recordError);
    writeErr(summary + QLatin1Char('\n'));
    return run.tally().leftInPlace.isEmpty() && !unreadable && !run.stopRequested() &&
                   recordError.isEmpty()
               ? ExitDone
               : ExitLeftInPlace;
}

int putBackRun(const QString& id) {
    QString reason;
    std::optional<RunRecord::Run> run = RunRecord::load(id, &reason);
    if (!run) {
        writeErr(QStringLiteral("thinwick: ") + reason + QLatin1Char('\n'));
        return id.isEmpty() ? ExitLeftInPlace : ExitUsage;
    }
    Delete1::PutBackTally tally;
    {
        Progress progress(QStringLiteral("Putting back"),
                          static_cast<qsizetype>(run->entries.size()));
        qsizetype done = 0;
        for (const RunRecord::Entry& entry : run->entries) {
            progress.step(done++);
            tally.count(entry, Delete1::putBack(entry));
        }
    }
    // What went back, or is gone from the trash, leaves the record; what stayed can be tried
    // again once its place is free.
    run->entries = std::move(tally.kept);
    const QString updateError = RunRecord::update(*run);
    QString summary = Delete1::putBackMessage(tally.restored, tally.stayed, tally.missing);
    if (!updateError.isEmpty())
        summary += QStringLiteral("\n\nThe run's record could not be updated: ") + updateError;
    writeErr(summary + QLatin1Char('\n'));
    return tally.stayed.isEmpty() && tally.missing.isEmpty() ? ExitDone : ExitLeftInPlace;
}

int listRuns() {
    QByteArray out;
    for (const QString& id : RunRecord::ids()) {
        const std::optional<RunRecord::Run> run = RunRecord::load(id);
        if (!run)
            continue;
        out += QStringLiteral("%1  %2  %3 files\n")
                   .arg(id, run->time.toLocalTime().toString(Qt::ISODate))
                   .arg(run->entries.size())
                   .toLocal8Bit();
    }
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return ExitDone;
}

} // namespace

QString helpText() {
    return QStringLiteral(
        "Usage: thinwick                       open the window\n"
        "       thinwick --count N [--subfolders] [--print0] [--seed S] FOLDER...\n"
        "       thinwick --count N --trash [--yes] [--subfolders] [--seed S] FOLDER...\n"
        "       thinwick --put-back [RUN]\n"
        "       thinwick --runs | --self-check | --help | --version\n"
        "\n"
        "Draws N distinct files at random from the ordinary files directly inside the folders\n"
        "(not hidden, not folders; all of them when there are fewer) and prints them.\n"
        "\n"
        "  --count N      how many files to draw (a whole number)\n"
        "  --subfolders   pool every folder below each FOLDER too\n"
        "  --print0       end each printed path with a NUL instead of a line feed\n"
        "  --seed S       repeat the draw made with the same whole number S\n"
        "  --trash        move the drawn files to the trash instead of printing them;\n"
        "                 nothing is deleted for good and folders are never moved\n"
        "  --yes          do not ask first (needed when not on a terminal)\n"
        "  --put-back [RUN]  put back the files the last run (or RUN) moved to the trash\n"
        "  --runs         list the recorded runs, newest first\n"
        "  --self-check   print where the program found its files\n"
        "\n"
        "Exit status: 0 all done, 1 some files left in place or a folder unreadable,\n"
        "2 a usage error.\n");
}

Parsed parseArguments(const QStringList& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    bool countGiven = false;
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
            if (putBack && o.run.isEmpty() && o.folders.isEmpty())
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
        auto takeValue = [&](const QString& what) -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments.at(++i);
            (void)what;
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
            if (!takeValue(argument))
                return fail(QStringLiteral("--count needs a number: --count N, e.g. --count 100"));
            o.countText = value;
            countGiven = true;
        } else if (argument == QStringLiteral("--seed")) {
            if (!takeValue(argument))
                return fail(QStringLiteral("--seed needs a number: --seed S, e.g. --seed 42"));
            seedText = value;
        } else if (argument == QStringLiteral("--subfolders") && !hasValue) {
            o.subfolders = true;
        } else if (argument == QStringLiteral("--print0") && !hasValue) {
            o.print0 = true;
        } else if (argument == QStringLiteral("--trash") && !hasValue) {
            trash = true;
        } else if ((argument == QStringLiteral("--yes") || argument == QStringLiteral("-y")) &&
                   !hasValue) {
            o.yes = true;
        } else if (argument == QStringLiteral("--put-back")) {
            putBack = true;
            if (hasValue)
                o.run = value;
        } else if (argument == QStringLiteral("--runs") && !hasValue) {
            runs = true;
        } else {
            return fail(QStringLiteral("unknown option \"%1\"; see thinwick --help for the "
                                       "options")
                            .arg(arguments.at(i)));
        }
    }
    if (putBack || runs) {
        if (putBack && runs)
            return fail(QStringLiteral("--put-back and --runs go alone; give one of them"));
        if (countGiven || trash || !o.folders.isEmpty() || !seedText.isEmpty() || o.subfolders ||
            o.print0)
            return fail(putBack ? QStringLiteral("--put-back takes only the name of a run: "
                                                 "thinwick --put-back [RUN]")
                                : QStringLiteral("--runs takes nothing more: thinwick --runs"));
        o.mode = putBack ? Mode::PutBack : Mode::Runs;
        return parsed;
    }
    o.mode = trash ? Mode::Trash : Mode::Draw;
    if (!countGiven)
        return fail(QStringLiteral("how many files? give --count N, e.g. thinwick --count 100 "
                                   "FOLDER"));
    if (!isWholeNumber(o.countText.trimmed()))
        return fail(QStringLiteral("the count \"%1\" is not a whole number; give --count N with "
                                   "N like 100")
                        .arg(o.countText));
    o.countText = o.countText.trimmed();
    if (!seedText.isEmpty()) {
        bool ok = false;
        const std::uint64_t seed = seedText.toULongLong(&ok);
        if (!ok || !isWholeNumber(seedText))
            return fail(QStringLiteral("the seed \"%1\" is not a whole number; give --seed S with "
                                       "S like 42")
                            .arg(seedText));
        o.seed = seed;
    }
    if (trash && o.print0)
        return fail(QStringLiteral("--print0 prints a draw; --trash prints none: leave one out"));
    if (o.folders.isEmpty())
        return fail(QStringLiteral("no folder given; name one or more: thinwick --count N "
                                   "FOLDER..."));
    for (const QString& folder : o.folders) {
        if (!Main::IsFolder(folder))
            return fail(Main::FileExists(folder)
                            ? QStringLiteral("\"%1\" is not a folder; give folders to draw from")
                                  .arg(folder)
                            : QStringLiteral("the folder \"%1\" does not exist; give folders that "
                                             "exist")
                                  .arg(folder));
    }
    return parsed;
}

int run(const QStringList& arguments) {
    const Parsed parsed = parseArguments(arguments);
    if (!parsed.error.isEmpty())
        return usage(parsed.error);
    const Options& o = parsed.options;
    switch (o.mode) {
    case Mode::Help: {
        const QByteArray text = helpText().toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return ExitDone;
    }
    case Mode::Version:
        std::fputs("thinwick " THINWICK_VERSION "\n", stdout);
        return ExitDone;
    case Mode::Runs:
        return listRuns();
    case Mode::PutBack:
        return putBackRun(o.run);
    case Mode::Draw:
    case Mode::Trash:
        break;
    }
    if (o.mode == Mode::Trash && !o.yes && !isTerminal(stdin))
        return usage(QStringLiteral("--trash asks before it moves files, and there is no terminal "
                                    "to ask on; add --yes to go ahead"));
    bool unreadable = false;
    const QStringList drawn = draw(o, unreadable);
    if (o.mode == Mode::Draw)
        return printDraw(drawn, o.print0, unreadable);
    if (!o.yes && !drawn.isEmpty() && !confirmed(drawn.size())) {
        writeErr(QStringLiteral("Nothing was moved.\n"));
        return ExitLeftInPlace;
    }
    return trashDrawn(drawn, unreadable);
}

} // namespace Shell
