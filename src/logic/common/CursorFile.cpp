#include "common/CursorFile.h"

#include <QtEndian>

namespace Main {

QPoint cursorHotSpot(const QByteArray& head, QSize imageSize) {
    if (head.size() < 14)
        return {-1, -1};
    const int x = qFromLittleEndian<quint16>(head.constData() + 10);
    const int y = qFromLittleEndian<quint16>(head.constData() + 12);
    if (x >= imageSize.width() || y >= imageSize.height())
        return {-1, -1};
    return {x, y};
}

} // namespace Main
