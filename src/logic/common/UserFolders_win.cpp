#include "common/UserFolders.h"

#include <QDir>
#include <QFile>

namespace UserFolders {

namespace {

// The folder the variable names when it is an absolute path, else the profile's `fallback`.
QString fromEnvironment(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback));
}

} // namespace

QByteArray cleaned(const QByteArray& path) {
    const QString text = QFile::decodeName(path);
    return QDir::isAbsolutePath(text) ? QFile::encodeName(QDir::cleanPath(text)) : QByteArray();
}

QString configHome() {
    return fromEnvironment("APPDATA", "AppData/Roaming");
}

QString dataHome() {
    return fromEnvironment("LOCALAPPDATA", "AppData/Local");
}

QString stateHome() {
    return dataHome();
}

// The Recycle Bin is the shell's.
QByteArray homeTrash() {
    return {};
}

} // namespace UserFolders
