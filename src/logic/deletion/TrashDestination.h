#pragma once

// Where a file goes in the freedesktop.org trash: the one look at it before the move, and whether
// its folder lies on the home trash's mount or, if not, the top of its volume from the mount
// table. POSIX only.
#include "deletion/MountTable.h"
#include "deletion/Trash.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <fcntl.h>
#include <sys/types.h>
#include <vector>

namespace TrashDestination {

// What one look at an entry tells: its type, its device and, where the kernel says, the id of
// the mount it lies on.
struct Look {
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;
};

// Looks at `name` in the folder `at` (the folder itself for an empty name), following a
// symbolic link only with `follow`; false with errno set when it cannot.
bool lookAt(int at, const char* name, bool follow, Look& look);

// Where an entry goes: the home trash, or the trash at the top of its volume; and the path its
// information file records (absolute for the home trash, relative to the top otherwise).
struct Destination {
    bool home = false;
    QByteArray homeTrash; // the home trash's path, also for a top trash (the key of the kept ones)
    QByteArray top;       // the volume's top, for a top-directory trash
    QByteArray recordedPath;
    QString refusal; // said before the reason when no trash can be used
    [[nodiscard]] QByteArray key() const { return home ? homeTrash : "\n" + top; }
};

// The entry to move: its full path, split, and the one look at it before the move.
struct Entry {
    QString path; // as the caller gave it
    QByteArray full;
    QByteArray parent;
    QByteArray name;
    bool dots = false; // the path has a "." or ".." part
    Look before;
    // An open descriptor of the entry's folder, when the caller keeps one: the entry is then
    // looked at and moved by its name in that very folder. AT_FDCWD: by its full path.
    int folder = AT_FDCWD;
    // The entry as the *at calls take it, relative to `folder`.
    [[nodiscard]] const char* at() const {
        return folder == AT_FDCWD ? full.constData() : name.constData();
    }
};

// Fills the entry's path and its parts; false (with the reason) when the path names no file.
// knownFolder, a folder already at hand, is taken as the entry's when it is.
bool nameEntry(const QString& path, Entry& entry, TrashResult& result,
               const QByteArray& knownFolder = {});
// Looks at the named entry once (in entry.folder when that is open); false (with the result
// filled) when nothing is to be moved: nothing is there, it cannot be looked at, or it is a folder.
bool lookBefore(Entry& entry, TrashResult& result);
// Both in one, by the full path.
bool lookBefore(const QString& path, Entry& entry, TrashResult& result);

// The home trash and the volumes' tops, found once and kept until reset() (after each flush).
class Destinations {
public:
    // Where the entry goes; false with the reason in the result when no trash can take it.
    bool find(const Entry& entry, Destination& to, TrashResult& result);
    // Forgets the mount table, the environment and where the home trash is, so that the next call
    // reads them anew.
    void reset() {
        m_mountsRead = false;
        m_homeKnown = false;
        m_last.known = false;
        m_environmentRead = false;
    }

private:
    bool readMounts();
    const MountTable::Mount* mountById(std::uint64_t id);
    // The mount point holding a resolved path, by the longest prefix; null without a table.
    const MountTable::Mount* mountHolding(const QByteArray& path);
    [[nodiscard]] QString mountTableFault() const;
    // The home trash's files folder, or its nearest existing ancestor.
    bool lookAtHome(const QByteArray& trashPath);
    // Whether the entry's folder lies on the home trash's mount (see the .cpp).
    bool isHome(const Entry& entry, const QByteArray& homeTrash, QByteArray& realParent,
                const MountTable::Mount*& mount);
    // The top of the volume that holds the entry's folder, and the path recorded relative to it.
    bool findTop(const Entry& entry, QByteArray realParent, const MountTable::Mount* mount,
                 Destination& to, TrashResult& result);

    // The mount table as last read, and the error when it could not be read; read again after each
    // flush and when a mount is missing from it.
    std::vector<MountTable::Mount> m_mounts;
    bool m_mountsRead = false;
    int m_mountsError = 0;
    // The home trash and where it is (or would be made), found again after each flush.
    QByteArray m_homePath;
    Look m_homeLook;
    QByteArray m_homeFound; // the path looked at: files/ or its nearest existing ancestor
    bool m_homeKnown = false;
    // Where the last file went, for the next one from its folder and mount.
    struct Last {
        bool known = false;
        QByteArray parent;
        std::uint64_t mountId = 0;
        bool home = false;
        QByteArray top;
        QString refusal;
        QByteArray prefix; // the recorded path without the file's name
    } m_last;
    // The home trash's path as last read from the user's folders (since the last reset, when
    // m_environmentRead).
    bool m_environmentRead = false;
    QByteArray m_homeTrash;
};

// The path's parent folder ("/" for a path in the root).
QByteArray parentOf(const QByteArray& path);

// Whether the path has a "." or ".." part.
bool hasDotParts(const QByteArray& path);
// An absolute path with "." and ".." taken out as written (a path without them as it is).
QByteArray withoutDots(const QByteArray& path);

// The folder's device, inode, birth time and resolved path (kept only when it differs), all of the
// one folder the path leads to; zeros when it cannot be opened. With `keep` the folder's
// descriptor (opened for looking and for the *at calls only) is handed over instead of closed;
// -1 when it could not be opened.
FolderLook lookAtFolder(const QByteArray& folder, int* keep = nullptr);

} // namespace TrashDestination
