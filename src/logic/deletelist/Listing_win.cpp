// Reading folders on Windows: the pool listing with FindFirstFileEx, and a folder's stamps.
#include "common/ErrorReport.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/ListingCache.h"
#include "deletelist/Sampling.h"

#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Delete1 {

void appendOrdinaryFiles(const QString& folder, QStringList& pool, const QStringList* previous) {
    const qsizetype first = pool.size();
    const std::wstring pattern = (folder + QLatin1Char('*')).toStdWString();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME)
            return;
        throw Failure(QStringLiteral("Cannot list folder %1 (error %2)").arg(folder).arg(error));
    }
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & skipped) != 0)
            continue;
        // The same file at the same place as in the previous listing keeps its text.
        const qsizetype index = pool.size() - first;
        const auto name = QStringView(reinterpret_cast<const QChar*>(data.cFileName),
                                      static_cast<qsizetype>(wcslen(data.cFileName)));
        if (previous != nullptr && index < previous->size() &&
            QStringView(previous->at(index)).mid(folder.size()) == name &&
            previous->at(index).startsWith(folder)) {
            pool.append(previous->at(index));
        } else {
            QString path;
            path.reserve(folder.size() + name.size());
            path.append(folder);
            path.append(name);
            pool.append(std::move(path));
        }
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        throw Failure(QStringLiteral("Cannot list folder %1 (error %2)").arg(folder).arg(error));
}

void listOrdinaryFiles(FolderFiles& files) {
    QStringList paths;
    const QString& folder = files.folder();
    auto keep = [&] {
        for (const QString& path : std::as_const(paths)) {
            const QStringView text = QStringView(path).sliced(folder.size());
            const QByteArray name = text.toUtf8();
            // A name with a lone surrogate has no UTF-8 form that names the file again.
            if (QString::fromUtf8(name) == text)
                files.append(name);
        }
    };
    try {
        appendOrdinaryFiles(folder, paths);
    } catch (...) {
        keep();
        throw;
    }
    keep();
}

bool readFolderStamp(const QString& folder, FolderStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(reinterpret_cast<const wchar_t*>(folder.utf16()),
                              GetFileExInfoStandard, &data))
        return false;
    // 100-nanosecond ticks since 1601; only equality and age matter, so they go to the Unix
    // epoch. Windows keeps no status change time: the creation time stands in for it.
    auto split = [](FILETIME time, qint64& sec, qint64& nsec) {
        const qint64 ticks = (static_cast<qint64>(time.dwHighDateTime) << 32 | time.dwLowDateTime) -
                             116444736000000000LL;
        sec = ticks / 10000000;
        nsec = ticks % 10000000 * 100;
    };
    split(data.ftLastWriteTime, stamp.modifiedSec, stamp.modifiedNsec);
    split(data.ftCreationTime, stamp.changedSec, stamp.changedNsec);
    return true;
}

} // namespace Delete1
