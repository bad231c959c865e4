#include "common/PathRules.h"
#include "deletion/ShellDelete.h"

#include <QFile>

namespace Delete1 {

bool isHiddenOrSystem(const QString& path) {
    // Unix has no hidden or system attribute: a name starting with "." is hidden.
    return Main::fileNameView(path).startsWith(QLatin1Char('.'));
}

std::filesystem::path nativePath(const QString& path) {
    return {QFile::encodeName(path).toStdString()};
}

} // namespace Delete1
