// The command line's entry: reads the arguments and hands each mode to its part (Arguments.cpp,
// Draw.cpp, Runs.cpp).
#include "shell/Shell.h"

#include "shell/ShellParts.h"
#include "shell/ShellText.h"

#include <cstdio>

#ifndef THINWICK_VERSION
#define THINWICK_VERSION "unknown"
#endif

namespace Shell {

int usage(const QString& line) {
    // The line may quote what the user typed: escaped, it stays one line.
    writeErr(QStringLiteral("thinwick: ") + escaped(line) + QLatin1Char('\n'));
    return ExitUsage;
}

int run(const QStringList& arguments) {
    const Parsed parsed = parseArguments(arguments);
    if (!parsed.error.isEmpty())
        return usage(parsed.error);
    const Options& o = parsed.options;
    switch (o.mode) {
    case Mode::Help:
        return writeOut(outputBytes(helpText())) ? ExitDone : ExitLeftInPlace;
    case Mode::Version:
        return writeOut(QByteArrayLiteral("thinwick " THINWICK_VERSION "\n")) ? ExitDone
                                                                              : ExitLeftInPlace;
    case Mode::Runs:
        return listRuns(o.run);
    case Mode::PutBack:
        return putBackRun(o.run);
    case Mode::Draw:
    case Mode::Trash:
        break;
    case Mode::Window:
    case Mode::SelfCheck:
        // main() starts these before any shell run.
        return usage(QStringLiteral("the window and --self-check are not command-line runs"));
    }
    return drawFiles(o);
}

} // namespace Shell
