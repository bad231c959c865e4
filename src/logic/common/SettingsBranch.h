#pragma once

#include <QString>

namespace Main {

// Windows: the registry branch, a full path from HKEY_CURRENT_USER, that holds the store's
// applications in place of the platform's own; empty restores it. Only tests call this, to keep
// their settings in a branch of their own: nothing the user sets can move the store.
void useSettingsBranch(const QString& branch);

} // namespace Main
