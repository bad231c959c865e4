// The folder list file: its text split into rows.
#include "FuzzCheck.h"

#include "app/Paths.h"

#include <QString>
#include <QStringList>

namespace {

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

void checkSplit(const QString& text) {
    const QStringList rows = Main::SplitListLines(text);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const auto length = static_cast<qsizetype>(size);
    checkSplit(QString::fromUtf8(bytes, length));
    checkSplit(QString::fromLatin1(bytes, length));
    return 0;
}
