#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>

namespace Main {

// The hot spot of a cursor file from its first 14 bytes (the header and the start of the first
// directory entry), for an image of the given size; (-1, -1), the image's centre, when the bytes
// are too few or name a point outside the image.
QPoint cursorHotSpot(const QByteArray& head, QSize imageSize);

} // namespace Main
