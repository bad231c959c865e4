#pragma once

#include <QString>

namespace Main {

// The number that leads a text: blanks, tabs and line feeds are ignored wherever they stand; then
// an optional sign, digits, an optional fraction and an optional exponent, or a whole number after
// the prefix &H (hexadecimal) or &O (octal). A text with no leading number gives 0.
double countValue(const QString& text);

} // namespace Main
