#include "common/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace UserFolders {

namespace {

// The variable's path when it is an absolute one, else the home folder's `fallback`.
QByteArray fromEnvironment(const char* variable, const char* fallback) {
    QByteArray path = cleaned(qgetenv(variable));
    if (path.isEmpty()) {
        const QByteArray home = cleaned(qgetenv("HOME"));
        path =
            cleaned((home.isEmpty() ? QFile::encodeName(QDir::homePath()) : home) + '/' + fallback);
    }
    return path;
}

} // namespace

QByteArray cleaned(const QByteArray& path) {
    if (!path.startsWith('/'))
        return {};
    QList<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}

QString configHome() {
    return QFile::decodeName(fromEnvironment("XDG_CONFIG_HOME", ".config"));
}

QString dataHome() {
    return QFile::decodeName(fromEnvironment("XDG_DATA_HOME", ".local/share"));
}

QString stateHome() {
    return QFile::decodeName(fromEnvironment("XDG_STATE_HOME", ".local/state"));
}

QByteArray homeTrash() {
    const QByteArray data = fromEnvironment("XDG_DATA_HOME", ".local/share");
    return data == "/" ? QByteArray("/Trash") : data + "/Trash";
}

} // namespace UserFolders
