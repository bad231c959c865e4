#pragma once

#include <QByteArray>
#include <QString>

namespace Main {

// The whole contents of a file. Throws Failure with the platform's description and the path when
// the file cannot be opened or read; a folder is refused the same way.
QByteArray readWholeFile(const QString& path);

} // namespace Main
