#include "deletion/ShellDelete.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Delete1 {

bool isHiddenOrSystem(const QString& path) {
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

std::filesystem::path nativePath(const QString& path) {
    return {path.toStdWString()};
}

} // namespace Delete1
