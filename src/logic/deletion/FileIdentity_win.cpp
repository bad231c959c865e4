#include "deletion/FileIdentity.h"

// Windows keeps %LOCALAPPDATA% to its user by its access lists, and Qt reports no inode numbers:
// the records carry no identities there and the folder needs no closing.
namespace RunRecord {

FileId identityOf(const QString& /*path*/, bool /*follow*/) {
    return {};
}

QString ownershipFault(const QString& /*path*/, bool /*stickyAllowed*/) {
    return {};
}

void closeToOthers(const QString& /*folder*/) {}

} // namespace RunRecord
