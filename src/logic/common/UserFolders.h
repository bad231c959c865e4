#pragma once

#include <QByteArray>
#include <QString>

// Where the user's own files live, answered in this one place: the settings, the data (the home
// trash, the copy of the samples) and the state (the run records). On freedesktop systems from the
// XDG variables, each taken only when it is an absolute path (a relative one is ignored, as the XDG
// rules say) and cleaned once as it is read: "." and ".." resolved as written, doubled and
// trailing separators dropped. On Windows from the known folders the environment names.
namespace UserFolders {

// $XDG_CONFIG_HOME, else ~/.config; %APPDATA% on Windows.
QString configHome();
// $XDG_DATA_HOME, else ~/.local/share; %LOCALAPPDATA% on Windows.
QString dataHome();
// $XDG_STATE_HOME, else ~/.local/state; %LOCALAPPDATA% on Windows.
QString stateHome();
// The home trash, $XDG_DATA_HOME/Trash, as the file system names it (bytes, exact whatever the
// encoding of the variable); empty where the trash is not a folder of ours (Windows).
QByteArray homeTrash();

// The cleaning rule: an absolute path with "." and ".." resolved, runs of "/" made one and a
// trailing "/" dropped; empty for a path that is not absolute.
QByteArray cleaned(const QByteArray& path);

} // namespace UserFolders
