#include "common/Display.h"

namespace Main {

bool hasDisplay() {
    // Windows and macOS always have their own window system.
    return true;
}

} // namespace Main
