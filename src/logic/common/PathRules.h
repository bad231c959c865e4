#pragma once

#include <QChar>
#include <QDir>
#include <QString>
#include <QStringList>

namespace Main {

// The platform's path separator, "\" on Windows and "/" elsewhere.
inline QChar nativeSeparator() {
    return QDir::separator();
}

// True when the file system can tell the path's modification time: a file or a folder exists
// there. Never throws.
bool FileExists(const QString& path);

// The text after the last separator: the file name of a full path, the whole text when it holds
// no separator, the empty text when the path ends in one.
QString FileNameOf(const QString& path, QChar separator = nativeSeparator());
// The same, as a view into the path (no copy: a run asks it of every file).
QStringView fileNameView(QStringView path, QChar separator = nativeSeparator());

// True for an existing folder; false for a file, a missing path or one that cannot be read.
// Never throws.
bool IsFolder(const QString& path);

// Collapses doubled separators in one left-to-right pass. With the backslash, a path that starts
// with any run of separators comes back starting with exactly two (the leading pair of a network
// path); with "/" there is no such form and a leading run is collapsed like any other pair.
QString NormalizeFolderPath(const QString& path, QChar separator = nativeSeparator());

// The path normalised and ending in exactly one separator: one is appended when the path as given
// does not end in one.
QString terminatedFolderPath(const QString& path, QChar separator = nativeSeparator());

// Splits the text of a list file into rows: lines end at CR LF, a lone CR or a lone LF, a final
// line without an end counts, and the text of each row is kept exactly.
QStringList splitListLines(const QString& text);

} // namespace Main
