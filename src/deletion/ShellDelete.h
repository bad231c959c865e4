#pragma once

#include <QString>

class Trash;

namespace Delete1 {

struct ShellDeleteResult {
    bool found = false; // something was at the path and a move was attempted
    bool moved = false; // it went to the trash (or, without the trash, was removed)
    QString reason;     // why it is still in place: the move failed, a folder, or unreadable
    bool isFolder = false;
};

// Deletes one file: recycle true moves it to the trash, false removes it for good (the deletion
// run never asks for that). One trailing separator is ignored. Nothing at the path, or a hidden
// or system file, is left alone; so is a folder, which is never deleted with its contents. A
// symbolic link goes as the link; its target stays.
ShellDeleteResult ShellDelete(QString path, bool recycle, Trash& trash);

// True when the entry was meant to go but is still there; false when it went or was gone already.
inline bool LeftInPlace(const ShellDeleteResult& result) {
    return !result.moved && !result.reason.isEmpty();
}

// Whether the entry at the path is hidden or system for the platform.
bool IsHiddenOrSystem(const QString& path);

} // namespace Delete1
