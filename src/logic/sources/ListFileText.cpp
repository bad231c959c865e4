#include "sources/ListFileText.h"

#include <QStringDecoder>
#include <QUtf8StringView>
#include <algorithm>

namespace Main {

bool listFileHeadIsText(QByteArrayView head) {
    head = head.first(std::min(head.size(), ListFileHeadSize));
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return true;
    return !head.contains('\0');
}

QString fromWindows1252(QByteArrayView bytes) {
    // 0x80 to 0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned and keep their own value.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ =
            (value >= 0x80 && value < 0xA0) ? QChar(high[value - 0x80]) : QChar(char16_t(value));
    }
    return text;
}

namespace {

std::optional<QString> fromUtf16(QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
        const auto second = static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]));
        *out++ = QChar(bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first));
    }
    if (!text.isValidUtf16() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QString> decodeListFile(const QByteArray& bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xFF\xFE"))
        return fromUtf16(view.sliced(2), false);
    if (view.startsWith("\xFE\xFF"))
        return fromUtf16(view.sliced(2), true);
    if (view.contains('\0'))
        return std::nullopt;
    const QByteArrayView body = view.startsWith("\xEF\xBB\xBF") ? view.sliced(3) : view;
    // Text from a Windows program in its ANSI code page is almost never valid UTF-8 once it holds a
    // letter beyond ASCII: "é" is one byte 0xE9 there, which UTF-8 only allows as the lead of a
    // three-byte sequence.
    if (QUtf8StringView(body).isValidUtf8())
        return QString::fromUtf8(body);
    return fromAnsiCodePage(body);
}

QString notAddedMessage(const QString& path) {
    return path +
           QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

QString notTextMessage(const QString& path) {
    return path + QStringLiteral(" was not added because it is not a text file.");
}

} // namespace Main
