#pragma once

#include <QString>

class Dialogs;

namespace AddFolder {

// Shows the folder picker with the title, the initial folder pre-selected when it exists; returns
// the chosen folder, or the empty text when the user cancelled.
QString browseForFolder(Dialogs& dialogs, const QString& title, const QString& initialFolder);

// The row a confirmed folder becomes: its terminated folder path, except that a root folder is
// added as it comes, with its one separator.
QString pickedFolderRow(const QString& chosen);

} // namespace AddFolder
