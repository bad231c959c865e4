#pragma once

#include <QByteArray>
#include <optional>

namespace Main {

// The text of a settings file in INI form, read and changed as a person wrote it. Lines end at
// CR LF, a lone CR or a lone LF; a UTF-8 byte-order mark at the start is skipped. A section starts
// at a line that reads "[section]" (blanks and tabs around it allowed) and runs to the next line
// that starts with "["; a key's line is the first line of the first such section whose text before
// its first "=" is the key (blanks and tabs around the key allowed). Any other line (comments,
// other sections and keys, lines of any other shape) is never looked at closer.

// The raw bytes after the first "=" of the key's line, up to its line end; nothing when the
// section or the key is absent.
std::optional<QByteArray> findIniValue(const QByteArray& text, const QByteArray& section,
                                       const QByteArray& key);

// The text with the key's value replaced by the value, every other byte kept: the bytes after the
// first "=" of the key's line are replaced; without such a line "key=value" is added after the
// last non-blank line of the section; without the section, "[section]" and the key's line are
// added at the end. Added lines end like the text's first line (LF in a text with no line end).
// Nothing when the value holds a CR or LF, which no line can hold.
std::optional<QByteArray> withIniValue(const QByteArray& text, const QByteArray& section,
                                       const QByteArray& key, const QByteArray& value);

} // namespace Main
