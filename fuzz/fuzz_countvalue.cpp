// The count value of the number box and the number of draws taken from it.
#include "FuzzCheck.h"

#include "common/CountValue.h"
#include "common/Random.h"
#include "deletelist/Sampling.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <clocale>
#include <cmath>
#include <optional>
#include <vector>

namespace {

bool isIgnored(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The value of a text made only of up to 15 digits with at most one "." among them, computed
// without any parser: such a number and the power of ten below it are exact doubles, so their
// quotient is the correctly rounded decimal. Nothing for any other text.
std::optional<double> plainDecimal(const QString& text) {
    double digits = 0;
    int count = 0;
    int fractionDigits = -1;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('.') && fractionDigits < 0) {
            fractionDigits = 0;
        } else if (isDigit(text[i])) {
            digits = digits * 10 + (text[i].unicode() - '0');
            ++count;
            if (fractionDigits >= 0)
                ++fractionDigits;
        } else {
            break;
        }
    }
    // A following exponent letter or second point would make it another number.
    if (count == 0 || count > 15 || i < text.size())
        return std::nullopt;
    return digits / std::pow(10.0, std::max(fractionDigits, 0));
}

void checkDrawCount(double count) {
    if (!(count >= 0.5 && count <= 1e15))
        return;
    const qsizetype draws = Delete1::drawCount(count);
    const double off = static_cast<double>(draws) - count;
    // The count rounded to a whole number, halves to the side where draws - 1 is even.
    FUZZ_CHECK(draws >= 1);
    FUZZ_CHECK(std::fabs(off) <= 0.5);
    if (std::fabs(off) == 0.5)
        FUZZ_CHECK((draws - 1) % 2 == 0);
}

void checkChoice(double count, std::size_t size) {
    const auto poolSize = static_cast<qsizetype>(size % 24);
    Main::Random::seed(size);
    const std::vector<qsizetype> chosen = Delete1::choosePositions(poolSize, count);
    if (poolSize == 0 || !(count >= 0.5)) {
        FUZZ_CHECK(chosen.empty());
    } else if (static_cast<double>(poolSize) < count) {
        FUZZ_CHECK(static_cast<qsizetype>(chosen.size()) == poolSize);
        for (std::size_t i = 0; i < chosen.size(); ++i)
            FUZZ_CHECK(chosen[i] == static_cast<qsizetype>(i));
    } else {
        FUZZ_CHECK(static_cast<qsizetype>(chosen.size()) == Delete1::drawCount(count));
        const QSet<qsizetype> distinct(chosen.begin(), chosen.end());
        FUZZ_CHECK(distinct.size() == static_cast<qsizetype>(chosen.size()));
        for (const qsizetype position : chosen)
            FUZZ_CHECK(position >= 0 && position < poolSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Under a locale whose decimal point is "," the count must read the same: "." is the only
    // point. The locale is there when the machine has it generated.
    static const bool commaLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    static_cast<void>(commaLocale);

    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double value = Main::countValue(text);
    FUZZ_CHECK(!std::isnan(value));

    // Blanks, tabs and line feeds count nowhere.
    QString squeezed;
    QString spread;
    for (QChar c : text) {
        if (isIgnored(c))
            continue;
        squeezed.append(c);
        spread.append(c);
        spread.append(QLatin1Char(" \t\n"[squeezed.size() % 3]));
    }
    FUZZ_CHECK(Main::countValue(squeezed) == value);
    FUZZ_CHECK(Main::countValue(spread) == value);
    // A comma ends the number, whatever follows it.
    FUZZ_CHECK(Main::countValue(text + QStringLiteral(",9")) == value);
    // A minus sign before a number that starts with a digit or point negates it.
    if (!squeezed.isEmpty() && (isDigit(squeezed[0]) || squeezed[0] == QLatin1Char('.')))
        FUZZ_CHECK(Main::countValue(QLatin1Char('-') + text) == -value);
    // A plain decimal number reads exactly.
    if (const std::optional<double> expected = plainDecimal(squeezed))
        FUZZ_CHECK(value == *expected);
    // &H and &O give whole numbers.
    if (squeezed.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) ||
        squeezed.startsWith(QLatin1String("&O"), Qt::CaseInsensitive))
        FUZZ_CHECK(value == std::trunc(value) && std::isfinite(value));

    checkDrawCount(value);
    checkChoice(value, size);
    return 0;
}
