#include "shell/ShellText.h"

#include <QUtf8StringView>
#include <algorithm>

namespace Shell {

namespace {

void appendEscape(QString& out, char32_t c) {
    switch (c) {
    case U'\n':
        out += QStringLiteral("\\n");
        return;
    case U'\t':
        out += QStringLiteral("\\t");
        return;
    case U'\r':
        out += QStringLiteral("\\r");
        return;
    case 0x1b:
        out += QStringLiteral("\\e");
        return;
    default:
        out += QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'));
    }
}

bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

// The length of the UTF-8 sequence a lead byte starts, 0 for a byte that starts none.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf)
        return 2;
    if (lead >= 0xe0 && lead <= 0xef)
        return 3;
    if (lead >= 0xf0 && lead <= 0xf4)
        return 4;
    return 0;
}

} // namespace

QString escaped(const QString& text) {
    // Every control character lies in the first plane, so the text is looked at unit by unit.
    const auto control = [](QChar c) { return isControl(c.unicode()); };
    if (std::none_of(text.cbegin(), text.cend(), control))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (control(c))
            appendEscape(out, c.unicode());
        else
            out += c;
    }
    return out;
}

QString escapedBytes(const QByteArray& bytes) {
    QString out;
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = sequenceLength(static_cast<unsigned char>(bytes.at(i)));
        const QByteArray sequence = bytes.mid(i, std::max(length, 1));
        if (length == 0 || sequence.size() < length ||
            !QUtf8StringView(sequence.constData(), sequence.size()).isValidUtf8()) {
            appendEscape(out, static_cast<unsigned char>(bytes.at(i)));
            ++i;
            continue;
        }
        out += escaped(QString::fromUtf8(sequence));
        i += length;
    }
    return out;
}

QString filesCount(qsizetype count) {
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

QString namedLines(const QStringList& paths, qsizetype shown) {
    QString text;
    for (qsizetype i = 0; i < paths.size() && i < shown; ++i)
        text += escaped(paths.at(i)) + QLatin1Char('\n');
    if (paths.size() > shown)
        text += QStringLiteral("... and %1 more.\n").arg(paths.size() - shown);
    return text;
}

} // namespace Shell
