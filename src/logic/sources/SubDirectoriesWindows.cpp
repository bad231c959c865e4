// The folders on disk and the 8-bit code page of the subfolder walk, on Windows.
#include "deletelist/FolderFiles.h"
#include "deletelist/ListingCache.h"
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
        // Without WC_NO_BEST_FIT_CHARS a character the code page lacks comes out as a look-alike
        // ("\u0100" as "A") and would pass.
        BOOL usedDefault = FALSE;
        const int length = WideCharToMultiByte(
            CP_ACP, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(name.utf16() + i), units,
            bytes, static_cast<int>(sizeof bytes), nullptr, &usedDefault);
        i += units - 1;
        if (length != 1 || usedDefault)
            return true;
        const auto code = static_cast<unsigned char>(bytes[0]);
        if (code < 32 || (code >= 127 && code <= 159) || code == '?')
            return true;
    }
    return false;
}

// Folders are read in the walk's own thread here.
struct DiskFolderTree::Ahead {};

DiskFolderTree::DiskFolderTree() = default;

DiskFolderTree::~DiskFolderTree() = default;

void DiskFolderTree::searchAhead(const QStringList&) {}

void DiskFolderTree::lookAhead(const QStringList&) {}

std::optional<int> DiskFolderTree::attributes(const QString& folder) {
    const DWORD value = GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.utf16()));
    if (value == INVALID_FILE_ATTRIBUTES || (value & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    return static_cast<int>(value & ReportedBits);
}

bool DiskFolderTree::isRoot(const QString& folder) {
    return QDir(folder).isRoot();
}

namespace {

// Reads the folder's entries with one search: its subfolders (no link or junction, not "." or
// "..") go to names and, when files is given, its ordinary files (neither folders nor hidden nor
// system) to files, as the pool listing takes them.
void readEntries(const QString& folder, FINDEX_SEARCH_OPS search, QStringList& names,
                 Delete1::FolderFiles* files) {
    const std::wstring pattern = (folder + QLatin1Char('*')).toStdWString();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, search, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return; // an empty drive root lists nothing at all
        throw folderFailure(error, folder);
    }
    constexpr DWORD NotOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // Links and junctions to folders are neither followed nor listed.
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                name != QLatin1String(".") && name != QLatin1String(".."))
                names.append(name);
        } else if (files != nullptr && (data.dwFileAttributes & NotOrdinary) == 0) {
            // A name with a lone surrogate has no UTF-8 form that names the file again.
            const QByteArray bytes = name.toUtf8();
            if (QString::fromUtf8(bytes) == name)
                files->append(bytes);
        }
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        throw folderFailure(error, folder);
}

} // namespace

void DiskFolderTree::subFolders(const QString& folder, QStringList& names) {
    readEntries(folder, FindExSearchLimitToDirectories, names, nullptr);
}

bool DiskFolderTree::searchFolder(const QString& folder, const std::function<bool()>& goOn,
                                  QStringList& names) {
    // The attribute value decides whether the folder is searched: it is read before the listing.
    const std::optional<int> value = attributes(folder);
    if (!value)
        return false;
    if (!goOn() || (isSkippedValue(*value) && !isRoot(folder)))
        return true;
    Delete1::FolderListing listing;
    // The stamp is read before the entries, as the rebuild's own listing reads it; without one
    // the listing is not gathered.
    if (!m_listingSink || !Delete1::readFolderStamp(folder, listing.stamp)) {
        subFolders(folder, names);
        return true;
    }
    listing.listedAtNsec = Delete1::stampClockNsec();
    listing.folder = folder;
    listing.files = Delete1::FolderFiles(folder);
    readEntries(folder, FindExSearchNameMatch, names, &listing.files);
    listing.files.squeeze();
    // Only a listing read to its end is handed over.
    m_listingSink(std::move(listing));
    return true;
}

} // namespace AddFolder
