#include "common/IniText.h"

#include <QByteArrayView>

namespace Main {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedBlanks(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Where a key's value stands in the text, and where a new key line of the section would go.
struct Places {
    qsizetype valueBegin = -1; // the value's bytes, when the key's line exists
    qsizetype valueEnd = -1;
    qsizetype insertAt = -1;         // after the section's last non-blank line, when it exists
    bool insertAfterLineEnd = false; // that line has a line end of its own
    QByteArrayView lineEnd = "\n";   // the text's first line end
};

Places locate(const QByteArray& text, const QByteArray& section, const QByteArray& key) {
    Places places;
    const QByteArray header = '[' + section + ']';
    bool lineEndSeen = false;
    bool inSection = false;
    bool inFirstSection = false;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype size = text.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && text[end] != '\r' && text[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && text[next] == '\r')
            ++next;
        if (next < size && text[next] == '\n' && (next == end || text[end] == '\r'))
            ++next;
        if (!lineEndSeen && next > end) {
            places.lineEnd = QByteArrayView(text).sliced(end, next - end);
            lineEndSeen = true;
        }
        const QByteArrayView line = QByteArrayView(text).sliced(pos, end - pos);
        const QByteArrayView trimmed = trimmedBlanks(line);
        if (trimmed.startsWith('[')) {
            inSection = trimmed == header;
            inFirstSection = inSection && places.insertAt < 0;
            if (inFirstSection) {
                places.insertAt = next;
                places.insertAfterLineEnd = next > end;
            }
        } else if (inSection) {
            if (inFirstSection && !trimmed.isEmpty()) {
                places.insertAt = next;
                places.insertAfterLineEnd = next > end;
            }
            const qsizetype equals = line.indexOf('=');
            if (equals >= 0 && trimmedBlanks(line.first(equals)) == key) {
                places.valueBegin = pos + equals + 1;
                places.valueEnd = end;
                return places;
            }
        }
        pos = next;
    }
    return places;
}

} // namespace

std::optional<QByteArray> findIniValue(const QByteArray& text, const QByteArray& section,
                                       const QByteArray& key) {
    const Places places = locate(text, section, key);
    if (places.valueBegin < 0)
        return std::nullopt;
    return text.mid(places.valueBegin, places.valueEnd - places.valueBegin);
}

std::optional<QByteArray> withIniValue(const QByteArray& text, const QByteArray& section,
                                       const QByteArray& key, const QByteArray& value) {
    if (value.contains('\r') || value.contains('\n'))
        return std::nullopt;
    const Places places = locate(text, section, key);
    QByteArray result = text;
    if (places.valueBegin >= 0)
        return result.replace(places.valueBegin, places.valueEnd - places.valueBegin, value);
    const QByteArray keyLine = key + '=' + value;
    if (places.insertAt >= 0) {
        if (!places.insertAfterLineEnd) // the section's last line ends the text
            return result.insert(places.insertAt, places.lineEnd.toByteArray() + keyLine);
        // A lone CR put before a line that starts with LF would join the two into one line end.
        const QByteArrayView lineEnd =
            places.lineEnd == "\r" && places.insertAt < text.size() && text[places.insertAt] == '\n'
                ? QByteArrayView("\r\n")
                : places.lineEnd;
        return result.insert(places.insertAt, keyLine + lineEnd.toByteArray());
    }
    const bool bomOnly = text == "\xEF\xBB\xBF";
    if (!text.isEmpty() && !bomOnly && !text.endsWith('\r') && !text.endsWith('\n'))
        result += places.lineEnd.toByteArray();
    result +=
        '[' + section + ']' + places.lineEnd.toByteArray() + keyLine + places.lineEnd.toByteArray();
    return result;
}

} // namespace Main
