#include "common/Display.h"

#include <QtGlobal>

namespace Main {

bool hasDisplay() {
    // An explicit platform (offscreen, vnc, ...) is the user's choice; otherwise X11 or Wayland
    // must be reachable through their usual variables.
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace Main
