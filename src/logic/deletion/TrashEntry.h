#pragma once

// The record of one entry of a freedesktop.org trash: its name in files/ and the text of its
// information file in info/.
#include <QByteArray>

namespace TrashEntry {

inline const QByteArray InfoSuffix = QByteArrayLiteral(".trashinfo");

// The time of the move in local time, as DeletionDate takes it; empty when the clock fails.
QByteArray deletionDate();

// The name in files/ for an attempt: the original name, or with a tag before its extension, cut
// (never inside a UTF-8 sequence) so that the name with ".trashinfo" fits within nameMax bytes.
QByteArray trashName(const QByteArray& name, const QByteArray& tag, qsizetype nameMax);

// The information file's text for an entry whose original path (absolute, or relative to the top
// of its volume) is recordedPath, written into `text` (whose room is kept for the next file).
void infoText(const QByteArray& recordedPath, QByteArray& text);

// Writes all of data to fd; false with errno set when it cannot.
bool writeAll(int fd, const QByteArray& data);

} // namespace TrashEntry
