#pragma once

#include <QString>
#include <filesystem>

class Trash;

namespace Delete1 {

struct ShellDeleteResult {
    bool found = false; // something was at the path and a move was attempted
    bool moved = false; // it went to the trash
    QString reason;     // why it is still in place: the move failed, a folder, or unreadable
    bool isFolder = false;
    bool gone = false;      // nothing was at the path (deleted or its folder renamed since listed)
    QString trashedPath;    // where it went in the trash, when moved
    bool destroyed = false; // the shell deleted it for good instead of moving it
};

// Deletes one file: recycle true moves it to the trash. Nothing is ever deleted for good, so
// recycle false refuses and leaves the file where it is, with the reason. One trailing separator
// is ignored. Nothing at the path, or a hidden or system file, is left alone; so is a folder,
// which is never deleted with its contents. A symbolic link goes as the link; its target stays.
ShellDeleteResult ShellDelete(QString path, bool recycle, Trash& trash);

// True when the entry was meant to go but is still there; false when it went or was gone already.
inline bool leftInPlace(const ShellDeleteResult& result) {
    return !result.moved && !result.reason.isEmpty();
}

// Whether the entry at the path is hidden or system for the platform.
bool isHiddenOrSystem(const QString& path);

// The path as the file system takes it: UTF-16 on Windows, the file name encoding elsewhere.
std::filesystem::path nativePath(const QString& path);

} // namespace Delete1
