#pragma once

#include "deletion/RunRecord.h"

#include <QString>
#include <optional>

// The recorded runs as the command line shows them: newest first, each by the number it was given
// when it started, in local time.
namespace Shell {

// One line of --runs: the run's number ("-" for a record without one), local time, name,
// "N files", how many of them are still in the trash and their size, and the folders they came
// from.
QString runLine(const RunRecord::Run& run);

// The lines of --runs RUN: each file of the run with its state, then its original path.
QString runFilesText(const RunRecord::Run& run);

// The name of the run given by its number or its name; an empty text stands for the last run. No
// value, and the reason, when there is no such run.
std::optional<QString> runNamed(const QString& given, QString& reason);

} // namespace Shell
