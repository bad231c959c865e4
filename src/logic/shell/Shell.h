#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The command line: `thinwick` started with arguments draws, trashes and puts back from a shell,
// on the same rules and code as the window, without a display.
namespace Shell {

// Exit statuses.
inline constexpr int ExitDone = 0;
// Some files were left in place, a folder unreadable, a listed path refused, or the question
// answered no.
inline constexpr int ExitLeftInPlace = 1;
inline constexpr int ExitUsage = 2;

enum class Mode { Help, Version, Draw, Trash, PutBack, Runs };

struct Options {
    Mode mode = Mode::Draw;
    QString countText;
    bool countGiven = false;
    bool subfolders = false;
    bool print0 = false;
    bool yes = false;
    bool verbose = false;
    std::optional<std::uint64_t> seed;
    QStringList folders;
    QString filesFrom; // --files0-from FILE, "-" for standard input
    QString run;       // --put-back RUN, --runs RUN: a run's number or its name
};

// The options, or the one line that says what is wrong and how to put it right (checked: the
// options themselves, the count, the seed and that each folder exists). The line may quote
// arguments as typed; usage() escapes it.
struct Parsed {
    Options options;
    QString error;
};
Parsed parseArguments(const QStringList& arguments);

// The text of --help.
QString helpText();

// Runs the command line (the arguments without the program name) with the standard streams and
// returns the exit status.
int run(const QStringList& arguments);

} // namespace Shell
