#pragma once

#include "common/PathRules.h"
#include "sources/ListFileText.h"

#include <QString>

class ListView;
class Dialogs;

namespace Main {

// The folder holding the program's files, without a trailing separator.
QString programFolder();

// Adds one row per non-empty line of the text file to the list, all in one step. A path that
// FileExists rejects shows "File not found" and adds nothing; a file that is not text shows
// notTextMessage and adds nothing; a file that exists but cannot be read throws Failure and adds
// nothing. The text is read as decodeListFile says.
void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle);

} // namespace Main
