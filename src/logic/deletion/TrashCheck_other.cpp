// Windows and macOS: the platform's trash says only when it tries, so every file is let through
// to the move, which leaves a file it cannot trash in place with the reason.
#include "deletion/TrashCheck.h"

struct TrashCheck::State {};

TrashCheck::TrashCheck() = default;
TrashCheck::~TrashCheck() = default;

QString TrashCheck::problemFor(const QString& /*path*/) {
    return {};
}
