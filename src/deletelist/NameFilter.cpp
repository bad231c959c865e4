#include "NameFilter.h"

namespace Main {

namespace {

bool isAscii(QStringView text) {
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Whether the lower-cased ASCII needle occurs in the ASCII row once the row is lower-cased.
bool asciiContains(QStringView row, QStringView needle) {
    const qsizetype m = needle.size();
    if (m == 0)
        return true;
    const qsizetype last = row.size() - m;
    const char16_t* const hay = row.utf16();
    const char16_t* const pin = needle.utf16();
    const char16_t first = pin[0];
    const char16_t firstUpper =
        first >= u'a' && first <= u'z' ? static_cast<char16_t>(first - (u'a' - u'A')) : first;
    for (qsizetype i = 0; i <= last; ++i) {
        if (hay[i] != first && hay[i] != firstUpper)
            continue;
        qsizetype j = 1;
        while (j < m && asciiLower(hay[i + j]) == pin[j])
            ++j;
        if (j == m)
            return true;
    }
    return false;
}

} // namespace

NameMatcher::NameMatcher(const QString& text)
    : m_lower(text.toLower()), m_asciiText(isAscii(m_lower)) {}

bool NameMatcher::isFoundIn(const QString& row) const {
    if (isAscii(row)) {
        // The lower case of an ASCII row is ASCII: a text that is not cannot occur in it.
        return m_asciiText && asciiContains(row, m_lower);
    }
    // toLower() hands back the row itself, uncopied, when it has no capitals.
    return row.toLower().contains(m_lower, Qt::CaseSensitive);
}

std::optional<QStringList> keptRows(const QStringList& rows, const QString& text,
                                    NameFilterKind kind, const RowScanHooks& hooks) {
    const NameMatcher matcher(text);
    if (kind == NameFilterKind::RemoveContaining)
        return keptRowsWhere(
            rows, [&](const QString& row) { return matcher.isFoundIn(row); }, hooks);
    return keptRowsWhere(
        rows, [&](const QString& row) { return !matcher.isFoundIn(row); }, hooks);
}

QString plainSummaryText(const QStringList& paths) {
    static const QString ending = QStringLiteral("\r\n");
    qsizetype size = 0;
    for (const QString& path : paths)
        size += path.size() + ending.size();
    QString text;
    text.reserve(size);
    for (const QString& path : paths) {
        text.append(path);
        text.append(ending);
    }
    return text;
}

} // namespace Main
