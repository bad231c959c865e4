#pragma once

#include <QString>
#include <QStringList>

namespace Delete1 {

// Every line followed by the ending, in one string sized once.
QString joinedLines(const QStringList& lines, const QString& ending);

// The summary text: one line per path, the path followed by " will be deleted." and CR LF.
QString summaryText(const QStringList& paths);

} // namespace Delete1
