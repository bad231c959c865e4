#pragma once

#include "PathRules.h"

#include <QString>

class ListView;
class Dialogs;

namespace Main {

// Adds one row per non-empty line of the text file to the list. A path that FileExists rejects
// shows "File not found" and adds nothing; a file that exists but cannot be read throws Failure,
// and rows added before stay. The text is UTF-8 (a leading byte-order mark is skipped), or the ANSI
// code page on Windows.
void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle);

} // namespace Main
