#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QDir>
#include <QString>
#include <QStringList>
#include <optional>

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

// How much of a list file is looked at before the rest is read: a NUL byte in it marks a file
// that is not text.
inline constexpr qsizetype ListFileHeadSize = 8192;

// False when the first bytes of a file show that it is not text: a NUL byte among them, unless
// they start with a UTF-16 byte-order mark.
bool listFileHeadIsText(QByteArrayView head);

// The text of a folder list file, or nothing when the bytes are not text. A UTF-8 byte-order mark
// selects UTF-8 and a UTF-16 one UTF-16 (the mark is dropped); otherwise bytes that are valid UTF-8
// are read as UTF-8 and any others as Windows-1252 (the system's ANSI code page on Windows), the
// way lists written by Windows programs are encoded. Not text: a NUL byte anywhere (a NUL character
// in UTF-16), or UTF-16 that does not decode.
std::optional<QString> decodeListFile(const QByteArray& bytes);

// Windows-1252: the bytes 0x80 to 0x9F are the code page's own letters and signs (the five it
// leaves unassigned stay the control characters of the same value), all others as in Latin-1.
QString fromWindows1252(QByteArrayView bytes);

// The message for a chosen list file that is not read: the path, two carriage returns and the
// reason.
QString notAddedMessage(const QString& path);

// Adds one row per non-empty line of the text file to the list, all in one step. A path that
// FileExists rejects shows "File not found" and adds nothing; a file that is not text shows
// notAddedMessage and adds nothing; a file that exists but cannot be read throws Failure and adds
// nothing. The text is read as decodeListFile says.
void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle);

} // namespace Main
