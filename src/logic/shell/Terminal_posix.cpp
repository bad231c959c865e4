// The command line's streams on POSIX: bytes in the local encoding, names as the file system
// holds them.
#include "shell/ShellText.h"

#include <QFile>
#include <cstdio>

namespace Shell {

bool writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    return std::fflush(stderr) == 0 && written == static_cast<std::size_t>(bytes.size());
}

bool writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

QByteArray outputBytes(const QString& text) {
    return text.toLocal8Bit();
}

QByteArray pathBytes(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace Shell
