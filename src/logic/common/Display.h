#pragma once

namespace Main {

// False when the program was started without a graphical session it could open its window on.
bool hasDisplay();

} // namespace Main
