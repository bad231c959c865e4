#include "common/CountValue.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace Main {
namespace {

bool isIgnored(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// &H and &O numbers are whole numbers of 16 bits when they fit in 16 bits' worth of digits, of 32
// bits otherwise, with the top bit as the sign, as the classic Basic rule reads them.
double radixValue(const std::string& digits, int radix) {
    std::uint64_t value = 0;
    std::size_t count = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= radix)
            break;
        if (value > (UINT64_MAX >> 4))
            break;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
        ++count;
    }
    const std::size_t digits16 = radix == 16 ? 4 : 6;
    const std::size_t digits32 = radix == 16 ? 8 : 11;
    if (count <= digits16 && value <= 0xFFFFU)
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    if (count <= digits32 && value <= 0xFFFFFFFFU)
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    return static_cast<double>(value);
}

} // namespace

double countValue(const QString& text) {
    std::string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (isIgnored(c))
            continue;
        // Any other non-ASCII character ends the number; keep a stand-in that stops the parse.
        s.push_back(c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x01');
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixValue(s.substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixValue(s.substr(2), 8);
        return 0.0;
    }
    // Take the longest prefix of the form [sign] digits [. digits] [(E|D) [sign] digits]. The
    // number text is built in the form std::from_chars reads: no "+", "e" for the exponent.
    std::size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            number.push_back('-');
        ++i;
    }
    // Where the first significant digit stands relative to the decimal point: decides, when the
    // value is out of range, whether it overflowed or underflowed.
    std::int64_t magnitude = 0;
    bool significant = false;
    std::size_t mantissaDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        significant = significant || s[i] != '0';
        if (significant)
            ++magnitude;
        number.push_back(s[i++]);
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (!significant && s[i] == '0')
                --magnitude;
            significant = significant || s[i] != '0';
            number.push_back(s[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        bool negative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            negative = s[j] == '-';
            exponent.push_back(s[j++]);
        }
        const std::size_t exponentStart = j;
        std::int64_t exponentValue = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            // Saturates far beyond any representable magnitude; only the side of the range counts.
            exponentValue =
                std::min<std::int64_t>(exponentValue * 10 + (s[j] - '0'), 1'000'000'000);
            exponent.push_back(s[j++]);
        }
        if (j > exponentStart) {
            number += exponent;
            magnitude += negative ? -exponentValue : exponentValue;
        }
    }
    // from_chars reads "." as the decimal point whatever the C locale says; strtod would follow
    // the user's locale, which QApplication installs, and read "2.5" as 2 under a German one.
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        const double huge = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return number.front() == '-' ? -huge : huge;
    }
    return value;
}

} // namespace Main
