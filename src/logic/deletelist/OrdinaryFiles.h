#pragma once

#include "deletelist/ListingCache.h"

#include <QString>
#include <QStringList>
#include <cstddef>

namespace Delete1 {

// Takes a folder's ordinary files from its entries as the system reads them (POSIX): the pool
// listing and the subfolder walk, which reads the same entries anyway, decide alike which entry
// is an ordinary file and write its path alike. Not hidden, a name that is valid UTF-8, and a
// regular file or a link to one; a file system that does not say the type is asked.
class OrdinaryFiles {
public:
    // Appends folder + name to files for each ordinary file taken. An entry equal to the one at
    // the same place of previous (an earlier listing of the same folder) shares its text.
    OrdinaryFiles(const QString& folder, QStringList& files, const QStringList* previous = nullptr)
        : m_folder(folder), m_files(files), m_first(files.size()), m_previous(previous) {}
    // The entry name of the folder open as folderHandle, with its d_type value.
    void take(int folderHandle, const char* name, unsigned char type);

private:
    void append(const char* name, std::size_t length, bool ascii);

    const QString& m_folder;
    QStringList& m_files;
    qsizetype m_first;
    const QStringList* m_previous;
};

// Reads the stamp of the folder open as folderHandle; false when it cannot be read.
bool readFolderStamp(int folderHandle, FolderStamp& stamp);

} // namespace Delete1
