#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

class Dialogs;

namespace AddFolder {

class FolderTree;

// Folders whose path, with its final separator, has this many characters or more are not
// searched; subfolder names this long are not taken.
inline constexpr qsizetype PathLimit = 260;

// True when the name holds a character that the 8-bit code page cannot hold as one byte, or whose
// 8-bit code is below 32, from 127 to 159, or the question mark. That code page is the system's
// ANSI code page on Windows and Windows-1252 elsewhere. The empty name passes.
bool hasUnsupportedCharacter(QStringView name);

// Called by the walk at each point where it may give the message loop a turn: once per folder
// searched, once per subfolder listed and once per folder appended back. It decides itself
// whether to run the loop; it returns false to stop the walk at once.
using WalkYield = std::function<bool()>;

// A yield that runs the message loop at its first call and then at most every 16 ms, so a big
// tree costs few loop passes while the window stays responsive. goOn, when given, is asked at each
// call; false stops the walk (say, the window was closed meanwhile).
WalkYield messageLoopTurns(std::function<bool()> goOn = {});

// Appends to folderList every folder below its entries, level by level: the entries' own
// subfolders grouped by parent in list order, each group in the file system's listing order, then
// the next level down, and so on; with recursive false one level only. Every entry is a folder path
// ending in the separator, and so is every path appended.
//
// Skipped with their subtrees: folders whose attribute value is exactly 22 or 1046 unless they are
// roots (an entry of the list with that value stays in it, unsearched), subfolder names of
// PathLimit characters or more, names with an unsupported character or "?", "." and "..". A folder
// whose path has PathLimit characters or more is not searched. A folder that cannot be listed for
// lack of access or because it vanished is removed (the first entry equal to it), without a
// message; what was found in it before the failure stays. Any other failure on one folder ends only
// that folder's listing. Other failures show the error report through dialogs and the walk goes on.
//
// Each folder is looked at a bounded number of times (linear in the size of the tree); the result
// and its order are those of searching level by level with each level's result filtered on the way
// back. When yield returns false the walk stops and appends nothing.
void GetSubDirectories2016(QStringList& folderList, bool recursive, Dialogs& dialogs,
                           FolderTree& tree, const WalkYield& yield);

// The same over the folders on disk, yielding through messageLoopTurns().
void GetSubDirectories2016(QStringList& folderList, bool recursive, Dialogs& dialogs);

} // namespace AddFolder
