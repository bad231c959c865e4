#pragma once

// The folders a trash run takes files from, between two flushes: each looked at when its first
// file comes (for the run's record), and those in use held open, so that their files are looked
// at and moved by name in that very folder: no lookup of the whole path per file, and no link put
// in a folder's place during the run is followed. POSIX only.
#include "deletion/Trash.h"
#include "deletion/TrashFolders.h"

#include <QByteArray>

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

// Byte strings hashed by the standard library: Qt's QHash measured about four times slower on a
// run's folder paths, and a run asks for a folder per file.
struct BytesHash {
    std::size_t operator()(const QByteArray& bytes) const noexcept {
        return std::hash<std::string_view>{}(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
};

class SourceFolders {
public:
    // How many folders are held open at most: a run over more folders closes one not used lately
    // (second chance), and files of that folder that still come go by their full paths.
    static constexpr std::size_t KeptFolders = 128;

    // The folder's look, taken when it was first asked for.
    const FolderLook& look(const QByteArray& folder) { return known(folder, false).look; }
    // The folder's descriptor held open, or AT_FDCWD when it is not (it could not be opened: its
    // file is gone, and it is looked for again with its next file; or it was closed for others).
    int fd(const QByteArray& folder);
    // The folder asked for last: an entry's folder is mostly the one before's.
    [[nodiscard]] const QByteArray& last() const { return m_lastFolder; }
    // Closes and forgets them all.
    void clear();

private:
    struct Known {
        FolderLook look;
        int fd = -1;
        bool used = false; // asked for again since it was kept or the hand last passed it
    };
    const Known& known(const QByteArray& folder, bool keepOpen);
    void keep(Known& folder);

    std::unordered_map<QByteArray, Known, BytesHash> m_folders;
    // The descriptors held open, each with its folder's entry, and the hand that goes round them
    // when all are taken.
    struct Kept {
        TrashFolders::Fd fd;
        Known* folder = nullptr;
    };
    std::vector<Kept> m_kept;
    std::size_t m_next = 0;
    QByteArray m_lastFolder;
    Known* m_lastKnown = nullptr;
};
