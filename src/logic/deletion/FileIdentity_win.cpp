#include "deletion/FileIdentity.h"

#include <QDir>
#include <memory>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>

// Windows keeps %LOCALAPPDATA% to its user by its access lists, and Qt reports no inode numbers:
// the records carry no identities there and the folder needs no closing. What is checked is who
// owns each folder of the runs path and that none is a link or junction leading elsewhere.
namespace RunRecord {

namespace {

// The token's user and its default owner for new objects (an elevated administrator's new
// folders belong to the Administrators group): either owning a folder makes it the user's own.
std::vector<std::vector<BYTE>> ownSids() {
    std::vector<std::vector<BYTE>> sids;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return sids;
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<BYTE> buffer(size);
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
            continue;
        // TOKEN_USER and TOKEN_OWNER both start with the SID's address.
        const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                           : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        const DWORD length = GetLengthSid(sid);
        const auto* bytes = static_cast<const BYTE*>(sid);
        sids.emplace_back(bytes, bytes + length);
    }
    CloseHandle(token);
    return sids;
}

} // namespace

FileId identityOf(const QString& /*path*/, bool /*follow*/) {
    return {};
}

QString ownershipFault(const QString& path, bool /*stickyAllowed*/) {
    const QString shown = QDir::toNativeSeparators(path);
    const std::wstring name = shown.toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return QStringLiteral("cannot look at %1").arg(shown);
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return QStringLiteral("the folder %1 is a link or junction, which is not followed")
            .arg(shown);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return QStringLiteral("cannot tell who owns %1").arg(shown);
    const std::unique_ptr<void, decltype(&LocalFree)> freed(descriptor, &LocalFree);
    for (std::vector<BYTE>& sid : ownSids())
        if (owner != nullptr && EqualSid(owner, sid.data()))
            return {};
    return QStringLiteral("%1 belongs to another user").arg(shown);
}

void closeToOthers(const QString& /*folder*/) {}

// Setting the end of a file gives it its blocks on NTFS.
QString reserveRoom(QFile& file, qint64 size) {
    if (file.size() >= size || file.resize(size))
        return {};
    return file.errorString();
}

} // namespace RunRecord
