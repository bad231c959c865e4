#pragma once

#include "deletelist/ListingCache.h"

#include <cstddef>

namespace Delete1 {

// Whether a folder's entry, as the system reads it (POSIX), is an ordinary file: the pool listing
// and the subfolder walk, which reads the same entries anyway, decide alike. Not hidden, a name
// that is valid UTF-8 (a file whose name cannot be written back exactly from its text could never
// be deleted as listed), and a regular file or a link to one; a file system that does not say
// the type is asked. name has length bytes; folderHandle is the open folder.
bool isOrdinaryFile(int folderHandle, const char* name, std::size_t length, unsigned char type);

// Reads the stamp of the folder open as folderHandle; false when it cannot be read.
bool readFolderStamp(int folderHandle, FolderStamp& stamp);

} // namespace Delete1
