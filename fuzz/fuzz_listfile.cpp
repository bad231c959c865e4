// The folder list file: the choice of its encoding (UTF-8, UTF-16 or Windows-1252, or not text at
// all) and its text split into rows.
#include "FuzzCheck.h"

#include "common/PathRules.h"
#include "sources/ListFileText.h"

#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace {

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

void checkSplit(const QString& text) {
    const QStringList rows = Main::splitListLines(text);
    // Rows hold no line end, and every line end (CR LF, CR, LF) ends one row; a last line without
    // an end is a row too.
    qsizetype lineEnds = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        if (isLineEnd(text[i]))
            ++lineEnds;
    }
    const bool openLast = !text.isEmpty() && !isLineEnd(text.back());
    FUZZ_CHECK(rows.size() == lineEnds + (openLast ? 1 : 0));
    for (const QString& row : rows)
        FUZZ_CHECK(!row.contains(QLatin1Char('\r')) && !row.contains(QLatin1Char('\n')));
    // Joined with LF, the rows give the text back with its line ends made LF and the last one
    // dropped: no character is lost, added or moved.
    QString expected = text;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    expected.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (expected.endsWith(QLatin1Char('\n')))
        expected.chop(1);
    FUZZ_CHECK(rows.join(QLatin1Char('\n')) == expected);
}

// The text as UTF-16 bytes again, in the given byte order.
QByteArray utf16Bytes(const QString& text, bool bigEndian) {
    QByteArray bytes;
    for (QChar c : text) {
        const auto high = static_cast<char>(c.unicode() >> 8);
        const auto low = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low);
        bytes.append(bigEndian ? low : high);
    }
    return bytes;
}

// A list file's bytes decode to text that encodes back to the same bytes, or are refused only
// for what makes them no text.
void checkDecode(const QByteArray& bytes) {
    const std::optional<QString> text = Main::decodeListFile(bytes);
    const bool littleMark = bytes.startsWith("\xFF\xFE");
    const bool bigMark = bytes.startsWith("\xFE\xFF");
    if (littleMark || bigMark) {
        const QByteArray body = bytes.mid(2);
        if (text) {
            FUZZ_CHECK(!text->contains(QChar(0)) && text->isValidUtf16());
            FUZZ_CHECK(utf16Bytes(*text, bigMark) == body);
        } else {
            // Refused only for an odd byte count, a NUL character or a broken surrogate pair.
            QString naive;
            bool nulCharacter = false;
            for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
                const auto first = static_cast<unsigned char>(body[i]);
                const auto second = static_cast<unsigned char>(body[i + 1]);
                naive.append(QChar(bigMark ? first << 8 | second : second << 8 | first));
                nulCharacter = nulCharacter || (first == 0 && second == 0);
            }
            FUZZ_CHECK(body.size() % 2 != 0 || nulCharacter || !naive.isValidUtf16());
        }
    } else if (bytes.contains('\0')) {
        FUZZ_CHECK(!text);
        FUZZ_CHECK(Main::listFileHeadIsText(bytes) ==
                   (bytes.indexOf('\0') >= Main::ListFileHeadSize));
    } else {
        FUZZ_CHECK(text.has_value());
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        // Read as UTF-8 keeping every character, a byte-order mark too; valid UTF-8 comes back
        // whole.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        const QString asUtf8 = utf8.decode(body);
        if (asUtf8.toUtf8() == body) {
            // A second byte-order mark may go as well.
            FUZZ_CHECK(*text == asUtf8 ||
                       (asUtf8.startsWith(QChar(0xFEFF)) && *text == asUtf8.mid(1)));
        } else {
#ifndef Q_OS_WIN
            // Not UTF-8, so Windows-1252: one character per byte.
            FUZZ_CHECK(text->size() == body.size());
            for (qsizetype i = 0; i < body.size(); ++i) {
                const auto byte = static_cast<unsigned char>(body[i]);
                const char16_t c = (*text)[i].unicode();
                if (byte < 0x80 || byte >= 0xA0)
                    FUZZ_CHECK(c == byte);
                else
                    FUZZ_CHECK(
                        c == byte
                            ? QByteArray("\x81\x8D\x8F\x90\x9D").contains(static_cast<char>(byte))
                            : c >= 0x100);
            }
#endif
        }
    }
    if (text) {
        FUZZ_CHECK(
            Main::listFileHeadIsText(bytes.first(std::min(bytes.size(), Main::ListFileHeadSize))));
        checkSplit(*text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkDecode(bytes);
    checkSplit(QString::fromLatin1(bytes));
    return 0;
}
