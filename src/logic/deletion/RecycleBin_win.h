#pragma once

// The Windows trash and its put-back over the shell's Recycle Bin, and the few shell calls they
// make, gathered in one interface so that tests can stand in for the shell: a file operation that
// recycles, destroys, is not implemented, or finds a name taken.
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/SourceFolders_win.h"
#include "deletion/Trash.h"

#include <QDateTime>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the shell's headers need its types.
#include <shellapi.h>
#include <shobjidl.h>

// COM on this thread for as long as the object lives (apartment-threaded, as the shell wants it).
class ComScope {
public:
    ComScope();
    Q_DISABLE_COPY_MOVE(ComScope)
    ~ComScope();

private:
    HRESULT m_result;
};

// What a file operation's progress sink heard of its one item: a delete or a move. It lives on the
// caller's stack for one operation.
class ShellSink : public IFileOperationProgressSink {
public:
    ShellSink() = default;
    Q_DISABLE_COPY_MOVE(ShellSink)
    virtual ~ShellSink() = default;
    bool refused = false;   // Pre…Item cancelled it: not recyclable, or the name is taken
    bool done = false;      // Post…Item was called
    HRESULT outcome = S_OK; // its result
    std::wstring newItem;   // the parsing name of the item it made, empty when none

    static std::wstring parsingName(IShellItem* item);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT /*result*/) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT,
                                             IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD flags, IShellItem* item, IShellItem* folder,
                                          LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD flags, IShellItem* item, IShellItem* folder,
                                           LPCWSTR name, HRESULT result,
                                           IShellItem* created) override;
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                           IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem* item) override;
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD flags, IShellItem* item, HRESULT result,
                                             IShellItem* created) override;
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                                          IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

// The full path the shell wants, native separators; empty with the reason when there is none.
std::wstring fullPathOf(const QString& given, QString& reason);
// The system's text for an HRESULT.
QString hresultMessage(HRESULT result);

class RecycleShell {
public:
    RecycleShell() = default;
    Q_DISABLE_COPY_MOVE(RecycleShell)
    virtual ~RecycleShell() = default;
    // GetDriveTypeW on a volume's root.
    virtual UINT driveType(const std::wstring& root);
    // SHQueryRecycleBinW on a volume's root.
    virtual HRESULT queryRecycleBin(const std::wstring& root, SHQUERYRBINFO* info);
    // A new shell file operation (CLSID_FileOperation); the caller releases it.
    virtual HRESULT createFileOperation(IFileOperation** operation);
    // SHFileOperationW, where no file operation is implemented.
    virtual int fileOperation(SHFILEOPSTRUCTW* operation);
    // A Recycle Bin item's original folder and the time it was deleted.
    virtual HRESULT itemOrigin(IShellItem* item, std::wstring* folder, FILETIME* deleted);

    // The shell itself.
    static RecycleShell& real();
};

// The trash over the Recycle Bin: each file through one IFileOperation, recycled or left in place,
// never deleted for good without saying so. Each file is taken from the folder the run found at
// its folder's path first, until the next flush.
class RecycleBinTrash : public Trash {
public:
    explicit RecycleBinTrash(RecycleShell& shell) : m_shell(shell) {}
    TrashResult moveToTrash(const QString& path) override;
    // Lets go of the folders held since the last flush.
    void flush() override { m_folders.clear(); }
    [[nodiscard]] bool looksBeforeMoving() const override { return true; }

private:
    RecycleShell& m_shell;
    HeldFolders m_folders;
};

namespace Delete1 {

// Puts one file back from the Recycle Bin item its record names, through the given shell.
PutBackResult putBackFromRecycleBin(const RunRecord::Entry& entry, const QDateTime& ranAt,
                                    RecycleShell& shell);

} // namespace Delete1
