// The folders on disk and the 8-bit code page of the subfolder walk, on Windows.
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QDir>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace AddFolder {

namespace {

// The attribute bits the platform's scripting object reports for a folder.
constexpr DWORD ReportedBits = 0x0C3F;

FolderFailure folderFailure(DWORD error, const QString& folder) {
    const QString description =
        QStringLiteral("Cannot list folder %1 (error %2)").arg(folder).arg(error);
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return {FolderFailure::Kind::PermissionDenied, description};
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_NAME:
        return {FolderFailure::Kind::NotFound, description};
    default:
        return {FolderFailure::Kind::Other, description};
    }
}

} // namespace

bool hasUnsupportedCharacter(QStringView name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int units = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        char bytes[8];
        BOOL usedDefault = FALSE;
        const int length = WideCharToMultiByte(
            CP_ACP, 0, reinterpret_cast<const wchar_t*>(name.utf16() + i), units, bytes,
            static_cast<int>(sizeof bytes), nullptr, &usedDefault);
        i += units - 1;
        if (length != 1 || usedDefault)
            return true;
        const auto code = static_cast<unsigned char>(bytes[0]);
        if (code < 32 || (code >= 127 && code <= 159) || code == '?')
            return true;
    }
    return false;
}

DiskFolderTree::~DiskFolderTree() = default;

std::optional<int> DiskFolderTree::attributes(const QString& folder) {
    const DWORD value = GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.utf16()));
    if (value == INVALID_FILE_ATTRIBUTES || (value & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    return static_cast<int>(value & ReportedBits);
}

bool DiskFolderTree::isRoot(const QString& folder) {
    return QDir(folder).isRoot();
}

bool DiskFolderTree::searchFolder(const QString& folder, const std::function<bool()>& goOn,
                                  QStringList& names) {
    // The attribute value decides whether the folder is searched: it is read before the listing.
    return FolderTree::searchFolder(folder, goOn, names);
}

void DiskFolderTree::subFolders(const QString& folder, QStringList& names) {
    const std::wstring pattern = (folder + QLatin1Char('*')).toStdWString();
    WIN32_FIND_DATAW data;
    HANDLE find =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchLimitToDirectories,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return; // an empty drive root lists nothing at all
        throw folderFailure(error, folder);
    }
    do {
        // Links and junctions to folders are neither followed nor listed.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            continue;
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        throw folderFailure(error, folder);
}

} // namespace AddFolder
