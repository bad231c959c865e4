#pragma once

#include "deletion/RunRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

class QIODevice;

// How a run record is written and read: format 3 is a line of JSON per moved file after a line
// that names the format, the time, the run's number and where it was started, so a journal can
// grow by appending; its 64-bit numbers are decimal strings. Format 2 (the same with JSON numbers
// and no run number) and format 1 (one JSON document) still load.
namespace RunRecord::Text {

// A path as its bytes on disk, percent-encoded ("/" kept), so any file name comes back exactly.
QByteArray encoded(const QString& path);
QByteArray quoted(const QByteArray& text);

// Appends the bytes percent-encoded as encoded() does.
void appendEncoded(QByteArray& out, const QByteArray& bytes);

// One entry's line appended to `out`, from its paths as bytes on disk: original, trashed and, when
// it differs from the original's folder, the resolved folder (empty otherwise).
void appendEntryLine(QByteArray& out, const QByteArray& original, const QByteArray& trashed,
                     const Entry& ids, const QByteArray& realFolder);

// One entry as a line; the first line of a record; a whole record of format 2.
QByteArray entryText(const Entry& entry);
QByteArray headerLine(const Run& run);
// Fills the run's time, number and origin from a record's first line; false when it is not the
// first line of a record of format 2 or 3.
bool readHeader(const QByteArray& line, Run& run);
QByteArray recordText(const Run& run);

// The longest line a record may hold: far longer than any a run writes (three paths of at most
// PATH_MAX bytes, percent-encoded). A longer one makes the record damaged, and is not read whole.
inline constexpr qint64 LongestLine = qint64{1024} * 1024;

enum class Read { Record, NotLines, Damaged };

// Fills run from a record of format 2 or 3, line by line: NotLines when the first line is not
// such a record's, Damaged (and why) for a line longer than LongestLine. `enough`, when given, is
// asked after each entry whether to stop reading.
Read readLines(QIODevice& device, Run& run, QString& fault,
               const std::function<bool(const Entry&)>& enough = {});
// Fills run from a record of format 1; false when the text is not one.
bool readDocument(const QByteArray& text, Run& run);

} // namespace RunRecord::Text
