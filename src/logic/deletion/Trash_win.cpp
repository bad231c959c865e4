// The trash on Windows: the shell's own file operation in its wide form, to the Recycle Bin.
// It never deletes for good. SHFileOperationW with FOF_ALLOWUNDO destroys a file when its volume
// has no Recycle Bin (a network share, many removable drives) or the file is too big for the
// bin, and FOF_NOCONFIRMATION would let it do so without asking. So:
//   - before the call, SHQueryRecycleBinW on the file's volume must succeed, or the file stays
//     and the reason says the volume has no Recycle Bin;
//   - FOF_WANTNUKEWARNING stays set: for what that query cannot see (a file bigger than the bin,
//     a bin set to remove files at once) the shell asks before it destroys anything, and a "No"
//     aborts the operation, which is reported as the reason the file stayed.
// The shell does not say where in the Recycle Bin a file went, so trashedPath stays empty.
// It runs under Wine as well (whose Recycle Bin is the host's freedesktop trash).
#include "deletion/Trash.h"

#include <QDir>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

namespace {

QString systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length > 0 ? QString::fromWCharArray(buffer, length).trimmed()
                              : QStringLiteral("error %1").arg(error);
    LocalFree(buffer);
    return text;
}

// The root of the volume that holds the path ("C:\", "\\server\share\", a mount folder).
std::wstring volumeOf(const std::wstring& path) {
    std::wstring volume(path.size() + MAX_PATH + 2, L'\0');
    if (!GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return {};
    volume.resize(wcslen(volume.c_str()));
    return volume;
}

} // namespace

struct DesktopTrash::State {};

DesktopTrash::DesktopTrash() = default;
DesktopTrash::~DesktopTrash() = default;

// The Recycle Bin keeps its own records.
void DesktopTrash::flush() {}

// The Recycle Bin's folders are the shell's own; none is kept open between calls.
std::vector<std::pair<QString, QString>> DesktopTrash::takeMovedFolders() {
    return {};
}

TrashResult DesktopTrash::moveToTrash(const QString& given) {
    TrashResult result;
    // The shell wants a full path with the native separator.
    const std::wstring relative = QDir::toNativeSeparators(given).toStdWString();
    const DWORD needed = GetFullPathNameW(relative.c_str(), 0, nullptr, nullptr);
    std::wstring path(needed, L'\0');
    if (needed == 0 || GetFullPathNameW(relative.c_str(), needed, path.data(), nullptr) >= needed) {
        result.reason = systemMessage(GetLastError());
        return result;
    }
    path.resize(wcslen(path.c_str()));

    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            result.gone = true;
        else
            result.reason = systemMessage(error);
        return result;
    }
    // A folder, a link to one or a junction: FO_DELETE would take a folder with its contents.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }

    const std::wstring volume = volumeOf(path);
    SHQUERYRBINFO bin{};
    bin.cbSize = sizeof bin;
    if (volume.empty() || FAILED(SHQueryRecycleBinW(volume.c_str(), &bin))) {
        result.reason = QStringLiteral("the volume %1 has no Recycle Bin; it stays in place")
                            .arg(QString::fromStdWString(volume.empty() ? path : volume));
        return result;
    }

    // The list of sources ends in two NULs: the string's own and this one.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING;
    const int code = SHFileOperationW(&operation);
    if (code != 0) {
        result.reason = QStringLiteral("the shell could not move it to the Recycle Bin (error "
                                       "0x%1)")
                            .arg(code, 0, 16);
        return result;
    }
    if (operation.fAnyOperationsAborted) {
        result.reason = QStringLiteral("moving it to the Recycle Bin was cancelled");
        return result;
    }
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        result.reason = QStringLiteral("the shell reported it moved, but it is still there");
        return result;
    }
    result.moved = true;
    return result;
}
