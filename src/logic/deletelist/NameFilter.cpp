#include "deletelist/NameFilter.h"

#include "deletelist/SummaryText.h"

#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

enum class AsciiSearch { Found, NotFound, RowNotAscii };

// Looks for the lower-cased ASCII needle in the row with its ASCII capitals lowered, in one pass
// that also notes whether the row is plain ASCII. A match found this way stands whatever else the
// row holds, since lower-casing works letter by letter; a miss in a row that is not plain ASCII
// proves nothing, since some other letters lower-case to ASCII ones.
AsciiSearch searchAscii(QStringView row, QStringView needle) {
    const qsizetype m = needle.size();
    const qsizetype n = row.size();
    const char16_t* const hay = row.utf16();
    const char16_t* const pin = needle.utf16();
    const char16_t first = pin[0];
    // For a letter, c | 0x20 equals it exactly when c is that letter, small or capital.
    const char16_t fold = first >= u'a' && first <= u'z' ? 0x20 : 0;
    const auto matchesAt = [&](qsizetype at) {
        qsizetype j = 1;
        while (j < m && asciiLower(hay[at + j]) == pin[j])
            ++j;
        return j == m;
    };
    char16_t bits = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Eight letters at a time: the first letter's candidates as a bit mask, the ASCII test as a
    // running OR.
    const __m128i foldLanes = _mm_set1_epi16(static_cast<short>(fold));
    const __m128i firstLanes = _mm_set1_epi16(static_cast<short>(first));
    __m128i bitLanes = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
        bitLanes = _mm_or_si128(bitLanes, chunk);
        auto candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(chunk, foldLanes), firstLanes)));
        while (candidates != 0) {
            const qsizetype at = i + std::countr_zero(candidates) / 2;
            if (at + m > n)
                break;
            if (matchesAt(at))
                return AsciiSearch::Found;
            candidates &= candidates - 1;
            candidates &= candidates - 1; // both bytes of the letter
        }
    }
    alignas(16) char16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), bitLanes);
    for (const char16_t lane : lanes)
        bits |= lane;
#endif
    for (; i + m <= n; ++i) {
        const char16_t c = hay[i];
        bits |= c;
        if ((c | fold) == first && matchesAt(i))
            return AsciiSearch::Found;
    }
    for (; i < n; ++i)
        bits |= hay[i];
    return bits < 0x80 ? AsciiSearch::NotFound : AsciiSearch::RowNotAscii;
}

bool containsExactly(std::u16string_view hay, QStringView needle) {
    return hay.find(std::u16string_view(needle.utf16(), static_cast<std::size_t>(needle.size()))) !=
           std::u16string_view::npos;
}

} // namespace

void appendLowerCase(QStringView text, std::u16string& out) {
    // At most two code units come out for one going in.
    const qsizetype size = text.size();
    const std::size_t start = out.size();
    out.resize(start + 2 * static_cast<std::size_t>(size));
    char16_t* next = out.data() + start;
    const char16_t* const in = text.utf16();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i];
        if (c < 0x80) {
            *next++ = asciiLower(c);
        } else if (c == 0x130) {
            // Capital I with dot above, the one letter whose lower case is two letters long.
            *next++ = u'i';
            *next++ = u'\u0307';
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) {
            const char32_t lower = QChar::toLower(QChar::surrogateToUcs4(c, in[i + 1]));
            *next++ = QChar::highSurrogate(lower);
            *next++ = QChar::lowSurrogate(lower);
            ++i;
        } else {
            // A lone surrogate stays as it is.
            *next++ = static_cast<char16_t>(QChar::toLower(char32_t{c}));
        }
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
}

NameMatcher::NameMatcher(const QString& text)
    : m_lower(text.toLower()), m_asciiText(isAscii(m_lower)) {}

bool NameMatcher::isFoundIn(const QString& row) const {
    if (m_lower.isEmpty())
        return true;
    if (m_asciiText) {
        const AsciiSearch search = searchAscii(row, m_lower);
        if (search != AsciiSearch::RowNotAscii)
            return search == AsciiSearch::Found;
    } else if (isAscii(row)) {
        // The lower case of a plain ASCII row is ASCII: a text that is not cannot occur in it.
        return false;
    }
    // Lower-cased into a buffer kept from row to row, so a row costs no allocation.
    m_buffer.clear();
    appendLowerCase(row, m_buffer);
    return containsExactly(m_buffer, m_lower);
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
    return Delete1::joinedLines(paths, QStringLiteral("\r\n"));
}

} // namespace Main
