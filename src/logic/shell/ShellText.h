#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How the command line shows paths and counts: one path on one line whatever its name holds.
namespace Shell {

// The text with each control character written as an escape (\n, \t, \r, \e or \xHH), so a
// message quoting it stays one line on a terminal.
QString escaped(const QString& text);

// The bytes of a path as UTF-8 where they are valid, with every other byte written as \xHH and
// control characters escaped as above.
QString escapedBytes(const QByteArray& bytes);

// "1 file" or "N files".
QString filesCount(qsizetype count);

// The paths one per line (escaped), the first `shown` of them and "... and N more." when there are
// more.
QString namedLines(const QStringList& paths, qsizetype shown);

// Writes the text to stderr in the local encoding; false when it could not be written (a closed
// pipe or terminal).
bool writeErr(const QString& text);

// Writes bytes to stdout; false when they could not be written.
bool writeOut(const QByteArray& bytes);

} // namespace Shell
