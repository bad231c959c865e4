#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The text of folder list files: which bytes are text and how they are decoded. QtCore only.
namespace Main {

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

// The system's 8-bit code page: Windows's ANSI code page there, Windows-1252 elsewhere.
QString fromAnsiCodePage(QByteArrayView bytes);

// The message for a chosen list file whose name is refused: the path, two carriage returns and
// the reason.
QString notAddedMessage(const QString& path);

// The message for a chosen list file that is read but is not text (decodeListFile refuses it).
QString notTextMessage(const QString& path);

} // namespace Main
