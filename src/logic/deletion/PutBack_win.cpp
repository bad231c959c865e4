// Putting a file back on Windows: the Recycle Bin item its record names is found by its parsing
// name, checked to come from the recorded folder and to have been deleted since the run began, and
// moved back by the shell into that folder under its old name, never over anything. A file the
// Recycle Bin took without saying where (runs made where the shell could not tell) is left to the
// Recycle Bin's own Restore.
#include "deletion/RecycleBin_win.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Where the Recycle Bin keeps an item's original folder and its deletion time.
constexpr GUID Displaced = {
    0x9b174b33, 0x40ff, 0x11d2, {0xa2, 0x7e, 0x00, 0xc0, 0x4f, 0xc3, 0x08, 0x71}};
constexpr DWORD DisplacedFrom = 2;
constexpr DWORD DisplacedDate = 3;

// A deletion time may be up to this much before the run's recorded time (clocks read apart).
constexpr qint64 EarlierBy = 60;

bool sameFolder(const std::wstring& one, const QString& other) {
    return QDir::cleanPath(QDir::fromNativeSeparators(QString::fromStdWString(one)))
               .compare(QDir::cleanPath(QDir::fromNativeSeparators(other)), Qt::CaseInsensitive) ==
           0;
}

bool present(const QString& path) {
    return GetFileAttributesW(reinterpret_cast<const wchar_t*>(
               QDir::toNativeSeparators(path).utf16())) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

HRESULT RecycleShell::itemOrigin(IShellItem* item, std::wstring* folder, FILETIME* deleted) {
    IShellItem2* details = nullptr;
    HRESULT result = item->QueryInterface(IID_IShellItem2, reinterpret_cast<void**>(&details));
    if (FAILED(result))
        return result;
    wchar_t* text = nullptr;
    result = details->GetString(PROPERTYKEY{Displaced, DisplacedFrom}, &text);
    if (SUCCEEDED(result)) {
        *folder = text;
        CoTaskMemFree(text);
        result = details->GetFileTime(PROPERTYKEY{Displaced, DisplacedDate}, deleted);
    }
    details->Release();
    return result;
}

namespace Delete1 {

PutBackResult putBackFromRecycleBin(const RunRecord::Entry& entry, const QDateTime& ranAt,
                                    RecycleShell& shell) {
    if (entry.damaged)
        return damagedEntry();
    PutBackResult result;
    if (entry.destroyed) {
        result.neverMoved = true;
        return result;
    }
    if (entry.trashed.isEmpty()) {
        result.reason = QStringLiteral("the Recycle Bin does not say where it keeps it; restore "
                                       "it with the Recycle Bin's Restore");
        return result;
    }
    const QString original = QDir::fromNativeSeparators(entry.original);
    if (!QDir::isAbsolutePath(original) || QDir::cleanPath(original) != original) {
        result.reason = QStringLiteral("refused: the record names %1; it must be an absolute path "
                                       "without . or ..")
                            .arg(entry.original);
        return result;
    }
    const QString folder = QFileInfo(original).path();
    const QString name = QFileInfo(original).fileName();
    const std::wstring itemName = QDir::toNativeSeparators(entry.trashed).toStdWString();

    const ComScope com;
    IShellItem* item = nullptr;
    if (FAILED(SHCreateItemFromParsingName(itemName.c_str(), nullptr, IID_IShellItem,
                                           reinterpret_cast<void**>(&item)))) {
        result.missing = true;
        result.reason = QStringLiteral("it is no longer in the Recycle Bin");
        return result;
    }
    // The item must be the one the run made: from the recorded folder, deleted since the run.
    std::wstring from;
    FILETIME deleted{};
    const HRESULT origin = shell.itemOrigin(item, &from, &deleted);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = deleted.dwLowDateTime;
    ticks.HighPart = deleted.dwHighDateTime;
    // FILETIME counts 100 ns since 1601-01-01 UTC.
    constexpr qint64 EpochDifference = 11644473600LL;
    const qint64 deletedAt = static_cast<qint64>(ticks.QuadPart / 10000000ULL) - EpochDifference;
    QString mismatch;
    if (FAILED(origin))
        mismatch = QStringLiteral("the Recycle Bin does not say where %1 came from")
                       .arg(QDir::toNativeSeparators(entry.trashed));
    else if (!sameFolder(from, folder))
        mismatch = QStringLiteral("the Recycle Bin's item %1 came from %2, not from %3")
                       .arg(QDir::toNativeSeparators(entry.trashed), QString::fromStdWString(from),
                            QDir::toNativeSeparators(folder));
    else if (ranAt.isValid() && deletedAt < ranAt.toSecsSinceEpoch() - EarlierBy)
        mismatch = QStringLiteral("the Recycle Bin's item %1 was deleted before the run")
                       .arg(QDir::toNativeSeparators(entry.trashed));
    if (!mismatch.isEmpty()) {
        item->Release();
        result.reason = QStringLiteral("refused: ") + mismatch;
        return result;
    }
    if (present(original)) {
        item->Release();
        result.reason = QStringLiteral("its place is taken; it stays in the Recycle Bin");
        return result;
    }
    QDir().mkpath(folder);
    const std::wstring nativeFolder = QDir::toNativeSeparators(folder).toStdWString();
    const std::wstring nativeName = name.toStdWString();
    IShellItem* destination = nullptr;
    IFileOperation* operation = nullptr;
    ShellSink sink;
    DWORD cookie = 0;
    HRESULT step = SHCreateItemFromParsingName(nativeFolder.c_str(), nullptr, IID_IShellItem,
                                               reinterpret_cast<void**>(&destination));
    if (SUCCEEDED(step))
        step = shell.createFileOperation(&operation);
    // Never FOF_NOCONFIRMATION: it would let the shell replace a file of the same name.
    if (SUCCEEDED(step))
        step = operation->SetOperationFlags(FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR);
    bool advised = false;
    if (SUCCEEDED(step))
        advised = SUCCEEDED(step = operation->Advise(&sink, &cookie));
    if (SUCCEEDED(step))
        step = operation->MoveItem(item, destination, nativeName.c_str(), nullptr);
    if (SUCCEEDED(step))
        step = operation->PerformOperations();
    if (advised)
        operation->Unadvise(cookie);
    if (operation != nullptr)
        operation->Release();
    if (destination != nullptr)
        destination->Release();
    item->Release();

    // Back means at its place, and the item gone from the Recycle Bin.
    IShellItem* left = nullptr;
    const bool stillInBin = SUCCEEDED(SHCreateItemFromParsingName(
        itemName.c_str(), nullptr, IID_IShellItem, reinterpret_cast<void**>(&left)));
    if (left != nullptr)
        left->Release();
    if (sink.refused && stillInBin) {
        result.reason = QStringLiteral("its place is taken; it stays in the Recycle Bin");
    } else if (present(original) && !stillInBin) {
        result.restored = true;
    } else if (step == E_NOTIMPL) {
        result.reason = QStringLiteral("the shell cannot move items out of the Recycle Bin here; "
                                       "restore it with the Recycle Bin's Restore");
    } else {
        const HRESULT why = sink.done && FAILED(sink.outcome) ? sink.outcome : step;
        result.reason =
            FAILED(why)
                ? QStringLiteral("the shell could not move it back: %1").arg(hresultMessage(why))
                : QStringLiteral("the shell did not move it back");
    }
    return result;
}

PutBackResult putBack(const RunRecord::Entry& entry, const QDateTime& ranAt) {
    return putBackFromRecycleBin(entry, ranAt, RecycleShell::real());
}

// A run with no Recycle Bin item recorded (the shell could not tell, or an older record) cannot.
bool canPutBack(const RunRecord::Run& run, QString* why) {
    bool without = false;
    for (const RunRecord::Entry& entry : run.entries) {
        if (!entry.destroyed && !entry.trashed.isEmpty())
            return true;
        without = without || !entry.destroyed;
    }
    if (without && why != nullptr)
        *why = QStringLiteral("The files of this run must be restored with the Recycle Bin's "
                              "Restore, because the Recycle Bin did not say where it keeps them.");
    return !without;
}

} // namespace Delete1
