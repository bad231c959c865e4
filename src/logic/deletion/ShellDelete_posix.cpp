#include "common/PathRules.h"
#include "deletion/ShellDelete.h"

#include <QFile>

namespace Delete1 {

bool isHiddenOrSystem(const QString& path) {
    // Unix has no hidden or system attribute: a name starting with "." is hidden.
    // The name is looked at in place: a run asks this of every file.
    const qsizetype name = path.lastIndexOf(QLatin1Char('/')) + 1;
    return name < path.size() && path.at(name) == QLatin1Char('.');
}

std::filesystem::path nativePath(const QString& path) {
    return {QFile::encodeName(path).toStdString()};
}

} // namespace Delete1
