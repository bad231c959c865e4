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
inline constexpr int ExitLeftInPlace = 1; // some files were left in place, or a folder unreadable
inline constexpr int ExitUsage = 2;

enum class Mode { Help, Version, Draw, Trash, PutBack, Runs };

struct Options {
    Mode mode = Mode::Draw;
    QString countText;
    bool subfolders = false;
    bool print0 = false;
    bool yes = false;
    std::optional<std::uint64_t> seed;
    QStringList folders;
    QString run; // --put-back RUN
};

// The options, or the one line that says what is wrong and how to put it right (checked: the
// options themselves, the count, the seed and that each folder exists).
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
