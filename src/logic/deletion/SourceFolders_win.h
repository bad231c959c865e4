#pragma once

// The folders a Recycle Bin run takes files from, between two flushes: each held open from its
// first file on, so that a junction or link put in a folder's place during the run is not
// followed. Before each later file the folder's path is checked to still lead to the held folder;
// when it does not, the file is taken from where the held folder is now, or stays with a reason.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class HeldFolders {
public:
    // How many folders are held open at most: a run over more folders closes one not used lately
    // (second chance). A folder no longer held is still known by its id: a file of it whose
    // folder path leads elsewhere stays in place.
    static constexpr std::size_t KeptFolders = 128;

    HeldFolders() = default;
    HeldFolders(const HeldFolders&) = delete;
    HeldFolders& operator=(const HeldFolders&) = delete;
    ~HeldFolders();

    // The full path to take the file at `path` by: `path` itself while its folder's path leads to
    // the folder the run found there first (or the folder cannot be opened at its first file:
    // the caller's own look answers for that), else the file's name in that folder where it is
    // now. Empty with the reason when the file cannot be reached safely; `gone` set when its
    // folder was deleted.
    std::wstring source(const std::wstring& path, QString& reason, bool& gone);
    // Closes and forgets them all.
    void clear();

    // A folder's identity: the volume's serial and the file id within it.
    struct Id {
        std::uint64_t volume = 0;
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        bool operator==(const Id&) const = default;
    };

private:
    struct Known {
        Id id;
        void* held = nullptr; // the folder's handle while it is held
        bool used = false;    // asked for again since it was kept or the hand last passed it
        std::wstring now;     // where the folder was found last after it left its path
    };
    Known* known(const std::wstring& folder);
    void keep(Known& folder, void* handle);
    // Where the held folder is now, checked to lead to it; empty when that cannot be told.
    std::wstring whereNow(const std::wstring& folder, Known& known) const;

    std::unordered_map<std::wstring, Known> m_folders;
    struct Kept {
        void* handle = nullptr;
        Known* folder = nullptr;
    };
    std::vector<Kept> m_kept;
    std::size_t m_next = 0;
};
