#include "common/FileRead.h"

#include "common/ErrorReport.h"

#include <QFile>
#include <QFileInfo>

namespace Main {

QByteArray readWholeFile(const QString& path) {
    if (QFileInfo(path).isDir())
        throw Failure(QStringLiteral("Is a directory: ") + path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString() + QStringLiteral(": ") + path);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString() + QStringLiteral(": ") + path);
    return bytes;
}

} // namespace Main
