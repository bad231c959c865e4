#pragma once

#include "shell/Shell.h"

// The parts of the command line that run() hands each mode to.
namespace Shell {

// Says what is wrong with the arguments, on one line of stderr, and gives ExitUsage.
int usage(const QString& line);

// --count / --files0-from, printing the draw or (--trash) moving it to the trash.
int drawFiles(const Options& options);

// --put-back [RUN]: the last run, or the run of that number or name.
int putBackRun(const QString& given);

// --runs [RUN]: the recorded runs, or the files of one run.
int listRuns(const QString& given);

} // namespace Shell
