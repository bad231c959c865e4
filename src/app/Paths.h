#pragma once

#include "ListFileText.h"

#include <QChar>
#include <QDir>
#include <QString>
#include <QStringList>

class ListView;
class Dialogs;

namespace Main {

// The platform's path separator, "\" on Windows and "/" elsewhere.
inline QChar NativeSeparator() {
    return QDir::separator();
}

// True when the file system can tell the path's modification time: a file or a folder exists
// there. Never throws.
bool FileExists(const QString& path);

// The text after the last separator: the file name of a full path, the whole text when it holds
// no separator, the empty text when the path ends in one.
QString FileNameOf(const QString& path, QChar separator = NativeSeparator());

// True for an existing folder; false for a file, a missing path or one that cannot be read.
// Never throws.
bool IsFolder(const QString& path);

// Collapses doubled separators in one left-to-right pass. With the backslash, a path that starts
// with any run of separators comes back starting with exactly two (the leading pair of a network
// path); with "/" there is no such form and a leading run is collapsed like any other pair.
QString NormalizeFolderPath(const QString& path, QChar separator = NativeSeparator());

// The terminated folder path: the path through NormalizeFolderPath, followed by a separator when
// the path as given does not end in one.
QString terminatedFolderPath(const QString& path, QChar separator = NativeSeparator());

// Splits the text of a list file into rows: lines end at CR LF, a lone CR or a lone LF, a final
// line without an end counts, and the text of each row is kept exactly.
QStringList SplitListLines(const QString& text);

// Adds one row per non-empty line of the text file to the list, all in one step. A path that
// FileExists rejects shows "File not found" and adds nothing; a file that is not text shows
// notAddedMessage and adds nothing; a file that exists but cannot be read throws Failure and adds
// nothing. The text is read as decodeListFile says.
void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle);

} // namespace Main
