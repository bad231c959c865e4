#include "sources/ListFileText.h"

namespace Main {

QString fromAnsiCodePage(QByteArrayView bytes) {
    // No ANSI code page here: lists written by Windows programs are most often Windows-1252.
    return fromWindows1252(bytes);
}

} // namespace Main
