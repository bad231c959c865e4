// The trash on Windows: the shell's Recycle Bin, which must only ever recycle a file or leave it in
// place, and say which.
//   - A file on a volume that is not a fixed drive (removable, network, unknown) is refused before
//     any shell call: such volumes have no Recycle Bin and the shell destroys what it deletes
//     there. SHQueryRecycleBinW failing on the volume is a further early "no".
//   - Each file goes through one IFileOperation (FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE, silent, no
//     error dialogs) with a progress sink: PreDeleteItem cancels an item the shell would not
//     recycle (no TSF_DELETE_RECYCLE_IF_POSSIBLE), PostDeleteItem gives the new Recycle Bin item,
//     whose parsing name is where the file went. A file gone without a new item was destroyed:
//     reported as such, never as moved. One operation per file, because a run tallies and
//     records each file as it goes, and the window and the shell can stop a run between files.
//   - Each file is taken from the folder the run found at its folder's path first (held open
//     until the flush): a junction or link put in the folder's place is not followed, and a
//     folder renamed during the run gives its files from where it went.
//   - Where IFileOperation is not implemented (Wine), SHFileOperationW with FOF_ALLOWUNDO and
//     FOF_WANTNUKEWARNING (the shell asks before it would destroy anything); a file counts as
//     moved only when the Recycle Bin holds more items afterwards than before.
#include "deletion/RecycleBin_win.h"

#include <QDir>
#include <string>

namespace {

QString systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length > 0 ? QString::fromWCharArray(buffer, length).trimmed()
                              : QStringLiteral("error 0x%1").arg(error, 0, 16);
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

QString driveKind(UINT type) {
    switch (type) {
    case DRIVE_REMOVABLE:
        return QStringLiteral("a removable drive");
    case DRIVE_REMOTE:
        return QStringLiteral("a network drive");
    case DRIVE_CDROM:
        return QStringLiteral("an optical drive");
    case DRIVE_RAMDISK:
        return QStringLiteral("a RAM disk");
    default:
        return QStringLiteral("a drive of unknown kind");
    }
}

bool present(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const QString DestroyedReason =
    QStringLiteral("the shell deleted it for good instead of moving it to the Recycle Bin");

// The guarded SHFileOperationW, judged by the Recycle Bin's item count before and after.
TrashResult fallbackMove(RecycleShell& shell, const std::wstring& path, const std::wstring& volume,
                         const SHQUERYRBINFO& before) {
    TrashResult result;
    // The list of sources ends in two NULs: the string's own and this one.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING;
    const int code = shell.fileOperation(&operation);
    if (!present(path)) {
        SHQUERYRBINFO after{};
        after.cbSize = sizeof after;
        if (SUCCEEDED(shell.queryRecycleBin(volume, &after)) &&
            after.i64NumItems > before.i64NumItems) {
            result.moved = true;
        } else {
            result.destroyed = true;
            result.reason = DestroyedReason;
        }
    } else if (code != 0) {
        result.reason =
            QStringLiteral("the shell could not move it to the Recycle Bin (error 0x%1)")
                .arg(code, 0, 16);
    } else if (operation.fAnyOperationsAborted) {
        result.reason = QStringLiteral("moving it to the Recycle Bin was cancelled");
    } else {
        result.reason = QStringLiteral("the shell reported it moved, but it is still there");
    }
    return result;
}

} // namespace

// The sink's object lives on the caller's stack for one operation; references are not counted.
HRESULT STDMETHODCALLTYPE ShellSink::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IFileOperationProgressSink) {
        *object = static_cast<IFileOperationProgressSink*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ShellSink::PreDeleteItem(DWORD flags, IShellItem* /*item*/) {
    // The shell would delete this one for good (no Recycle Bin, too big for it): it stays.
    if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) == 0) {
        refused = true;
        return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ShellSink::PostDeleteItem(DWORD /*flags*/, IShellItem* /*item*/,
                                                    HRESULT result, IShellItem* created) {
    done = true;
    outcome = result;
    newItem = parsingName(created);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ShellSink::PreMoveItem(DWORD /*flags*/, IShellItem* /*item*/,
                                                 IShellItem* folder, LPCWSTR name) {
    // Never over anything: a name taken since the look before stays taken.
    const std::wstring target = parsingName(folder) + L'\\' + (name != nullptr ? name : L"");
    if (name == nullptr || GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        refused = true;
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ShellSink::PostMoveItem(DWORD /*flags*/, IShellItem* /*item*/,
                                                  IShellItem* /*folder*/, LPCWSTR /*name*/,
                                                  HRESULT result, IShellItem* created) {
    done = true;
    outcome = result;
    newItem = parsingName(created);
    return S_OK;
}

std::wstring ShellSink::parsingName(IShellItem* item) {
    std::wstring name;
    wchar_t* text = nullptr;
    if (item != nullptr && SUCCEEDED(item->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &text))) {
        name = text;
        CoTaskMemFree(text);
    }
    return name;
}

ComScope::ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComScope::~ComScope() {
    if (SUCCEEDED(m_result))
        CoUninitialize();
}

UINT RecycleShell::driveType(const std::wstring& root) {
    return GetDriveTypeW(root.c_str());
}

HRESULT RecycleShell::queryRecycleBin(const std::wstring& root, SHQUERYRBINFO* info) {
    return SHQueryRecycleBinW(root.c_str(), info);
}

HRESULT RecycleShell::createFileOperation(IFileOperation** operation) {
    return CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation,
                            reinterpret_cast<void**>(operation));
}

int RecycleShell::fileOperation(SHFILEOPSTRUCTW* operation) {
    return SHFileOperationW(operation);
}

RecycleShell& RecycleShell::real() {
    static RecycleShell shell;
    return shell;
}

std::wstring fullPathOf(const QString& given, QString& reason) {
    // The shell wants a full path with the native separator.
    const std::wstring relative = QDir::toNativeSeparators(given).toStdWString();
    const DWORD needed = GetFullPathNameW(relative.c_str(), 0, nullptr, nullptr);
    std::wstring path(needed, L'\0');
    if (needed == 0 || GetFullPathNameW(relative.c_str(), needed, path.data(), nullptr) >= needed) {
        reason = systemMessage(GetLastError());
        return {};
    }
    path.resize(wcslen(path.c_str()));
    return path;
}

QString hresultMessage(HRESULT result) {
    return systemMessage(static_cast<DWORD>(result));
}

TrashResult RecycleBinTrash::moveToTrash(const QString& given) {
    TrashResult result;
    const std::wstring full = fullPathOf(given, result.reason);
    if (full.empty())
        return result;
    // Taken from the folder the run found there first, never through a link put in its place.
    const std::wstring path = m_folders.source(full, result.reason, result.gone);
    if (path.empty())
        return result;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            result.gone = true;
        else
            result.reason = systemMessage(error);
        return result;
    }
    // A folder, a link to one or a junction: a delete would take a folder with its contents.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.isFolder = true;
        result.reason = QStringLiteral("it is a folder; folders are never deleted");
        return result;
    }

    const std::wstring volume = volumeOf(path);
    const QString volumeName = QString::fromStdWString(volume.empty() ? path : volume);
    if (const UINT type = volume.empty() ? DRIVE_UNKNOWN : m_shell.driveType(volume);
        type != DRIVE_FIXED) {
        result.reason = QStringLiteral("it is on %1 (%2), which has no Recycle Bin; it stays in "
                                       "place")
                            .arg(driveKind(type), volumeName);
        return result;
    }
    SHQUERYRBINFO before{};
    before.cbSize = sizeof before;
    if (FAILED(m_shell.queryRecycleBin(volume, &before))) {
        result.reason =
            QStringLiteral("the volume %1 has no Recycle Bin; it stays in place").arg(volumeName);
        return result;
    }

    const ComScope com;
    IFileOperation* operation = nullptr;
    if (FAILED(m_shell.createFileOperation(&operation)) || operation == nullptr)
        return fallbackMove(m_shell, path, volume, before);
    ShellSink sink;
    DWORD cookie = 0;
    IShellItem* item = nullptr;
    HRESULT step =
        operation->SetOperationFlags(FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_NOCONFIRMATION |
                                     FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR);
    if (SUCCEEDED(step))
        step = operation->Advise(&sink, &cookie);
    const bool advised = SUCCEEDED(step);
    if (SUCCEEDED(step))
        step = SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem,
                                           reinterpret_cast<void**>(&item));
    if (SUCCEEDED(step))
        step = operation->DeleteItem(item, nullptr);
    const bool prepared = SUCCEEDED(step);
    if (prepared)
        step = operation->PerformOperations();
    if (advised)
        operation->Unadvise(cookie);
    if (item != nullptr)
        item->Release();
    operation->Release();

    const bool there = present(path);
    if (step == E_NOTIMPL && there && !sink.done && !sink.refused)
        return fallbackMove(m_shell, path, volume, before);
    if (!there) {
        if (sink.done && SUCCEEDED(sink.outcome) && !sink.newItem.empty()) {
            result.moved = true;
            result.trashedPath = QDir::fromNativeSeparators(QString::fromStdWString(sink.newItem));
        } else {
            // Gone without a new Recycle Bin item: the shell destroyed it.
            result.destroyed = true;
            result.reason = DestroyedReason;
        }
    } else if (sink.refused) {
        result.reason = QStringLiteral("the shell would have deleted it for good rather than move "
                                       "it to the Recycle Bin; it stays in place");
    } else if (sink.done && FAILED(sink.outcome)) {
        result.reason = QStringLiteral("the shell could not move it to the Recycle Bin: %1")
                            .arg(hresultMessage(sink.outcome));
    } else if (FAILED(step)) {
        result.reason = QStringLiteral("the shell could not move it to the Recycle Bin: %1")
                            .arg(hresultMessage(step));
    } else {
        result.reason = QStringLiteral("the shell reported it moved, but it is still there");
    }
    return result;
}

struct DesktopTrash::State {
    RecycleBinTrash trash{RecycleShell::real()};
};

DesktopTrash::DesktopTrash() : m_state(std::make_unique<State>()) {}
DesktopTrash::~DesktopTrash() = default;

// The Recycle Bin keeps its own records; the run's folders are let go.
void DesktopTrash::flush() {
    m_state->trash.flush();
}

// The Recycle Bin's folders are the shell's own; none is kept open between calls.
std::vector<std::pair<QString, QString>> DesktopTrash::takeMovedFolders() {
    return {};
}

TrashResult DesktopTrash::moveToTrash(const QString& given) {
    return m_state->trash.moveToTrash(given);
}
