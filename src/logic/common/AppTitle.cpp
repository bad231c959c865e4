#include "common/AppTitle.h"

namespace Main {

QString appTitleFrom(const QString& productTitle) {
    QString title = productTitle;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break; // a title of one word stays whole
        title.truncate(space);
    } while (title.size() > 40);
    return title;
}

} // namespace Main
