#pragma once

#include <QString>

namespace Main {

// The title of message boxes: the product title less its last word, and less further words
// while it is longer than 40 characters. A title of one word stays whole.
QString appTitleFrom(const QString& productTitle);

} // namespace Main
