#include "deletion/SourceFolders_win.h"

#include "deletion/SecondChance.h"

#include <cstring>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// Opens the folder the path leads to (through a link or junction at it) for its attributes only,
// sharing every access: the user can still rename, move or delete it while it is held.
HANDLE openFolder(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool idOf(HANDLE handle, HeldFolders::Id& id) {
    // The 128-bit id where the file system has one (ReFS), else the 64-bit file index.
    FILE_ID_INFO info{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof info)) {
        std::uint64_t parts[2] = {};
        static_assert(sizeof parts == sizeof info.FileId.Identifier);
        std::memcpy(parts, info.FileId.Identifier, sizeof parts);
        id = {info.VolumeSerialNumber, parts[0], parts[1]};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION basic{};
    if (!GetFileInformationByHandle(handle, &basic))
        return false;
    id = {basic.dwVolumeSerialNumber,
          (std::uint64_t{basic.nFileIndexHigh} << 32U) | basic.nFileIndexLow, 0};
    return true;
}

// True when the path leads to the folder with that id now.
bool leadsTo(const std::wstring& path, const HeldFolders::Id& id) {
    const HANDLE handle = openFolder(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    HeldFolders::Id found;
    const bool same = idOf(handle, found) && found == id;
    CloseHandle(handle);
    return same;
}

// The path the system has for an open folder, in the form the shell takes ("C:\…", "\\server\…").
std::wstring finalPath(HANDLE handle) {
    constexpr DWORD Flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, Flags);
    if (needed == 0)
        return {};
    std::wstring path(needed, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), needed, Flags);
    if (length == 0 || length >= needed)
        return {};
    path.resize(length);
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\\\" + path.substr(8);
    if (path.starts_with(L"\\\\?\\"))
        return path.substr(4);
    return path;
}

bool deletePending(HANDLE handle) {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info) &&
           info.DeletePending;
}

} // namespace

HeldFolders::~HeldFolders() {
    clear();
}

void HeldFolders::clear() {
    for (const Kept& kept : m_kept)
        CloseHandle(kept.handle);
    m_kept.clear();
    m_next = 0;
    m_folders.clear();
}

HeldFolders::Known* HeldFolders::known(const std::wstring& folder) {
    if (const auto found = m_folders.find(folder); found != m_folders.end()) {
        found->second.used = true; // asked for again: it keeps its handle a round longer
        return &found->second;
    }
    // Not remembered when it cannot be opened: it is looked for again with its next file.
    const HANDLE handle = openFolder(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    Id id;
    if (!idOf(handle, id)) {
        CloseHandle(handle);
        return nullptr;
    }
    Known& entry = m_folders[folder];
    entry.id = id;
    keep(entry, handle);
    return &entry;
}

void HeldFolders::keep(Known& folder, void* handle) {
    folder.held = handle;
    if (m_kept.size() < KeptFolders) {
        m_kept.push_back({handle, &folder});
        return;
    }
    Kept& slot = secondChanceSlot(m_kept, m_next);
    CloseHandle(slot.handle);
    slot.folder->held = nullptr;
    slot = {handle, &folder};
}

std::wstring HeldFolders::whereNow(const std::wstring& folder, Known& known) const {
    if (!known.now.empty() && leadsTo(known.now, known.id))
        return known.now;
    if (known.held == nullptr)
        return {};
    // The system follows a held folder that was renamed or moved.
    if (std::wstring path = finalPath(known.held); !path.empty() && leadsTo(path, known.id))
        return path;
    // Wine keeps the name the folder was opened by: it is looked for beside where it was, among
    // the folders themselves (no link or junction).
    const std::size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    const std::wstring parent = folder.substr(0, slash + 1);
    WIN32_FIND_DATAW entry{};
    const HANDLE search =
        FindFirstFileExW((parent + L'*').c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::wstring found;
    do {
        const std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || name == L"." ||
            name == L"..")
            continue;
        if (leadsTo(parent + name, known.id))
            found = parent + name;
    } while (found.empty() && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

std::wstring HeldFolders::source(const std::wstring& path, QString& reason, bool& gone) {
    const std::size_t slash = path.find_last_of(L'\\');
    // A file at a drive's root: the root is never renamed or replaced.
    if (slash == std::wstring::npos || (slash == 2 && path[1] == L':'))
        return path;
    const std::wstring folder = path.substr(0, slash);
    Known* entry = known(folder);
    // Its folder cannot be opened: the caller's look at the path tells why.
    if (entry == nullptr || leadsTo(folder, entry->id))
        return path;
    if (std::wstring now = whereNow(folder, *entry); !now.empty()) {
        entry->now = now;
        return now + path.substr(slash);
    }
    if (entry->held != nullptr && deletePending(entry->held)) {
        gone = true;
        return {};
    }
    reason = QStringLiteral("its folder %1 was moved or replaced during the run, and where it went "
                            "cannot be told; it stays in place")
                 .arg(QString::fromStdWString(folder));
    return {};
}
