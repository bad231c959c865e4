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

// The streams, one file per platform (Terminal_posix.cpp, Terminal_win.cpp). Every name is
// Unicode on Windows: a console there is written in UTF-16 (WriteConsoleW), and a pipe or file
// gets UTF-8, which --files0-from reads back.

// Writes the text to stderr; false when it could not be written (a closed pipe or terminal).
bool writeErr(const QString& text);

// Writes bytes made by outputBytes or pathBytes to stdout; false when they could not be written.
bool writeOut(const QByteArray& bytes);

// The text as stdout's bytes: UTF-8 on Windows, the local encoding elsewhere.
QByteArray outputBytes(const QString& text);

// A path as stdout's bytes: UTF-8 on Windows, the file-name encoding elsewhere.
QByteArray pathBytes(const QString& path);

} // namespace Shell
