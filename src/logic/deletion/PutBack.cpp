// Putting a file back from the trash. On freedesktop systems the trash entry is files/NAME with
// its information in info/NAME.trashinfo beside files/; elsewhere there is no information file.
#include "deletion/PutBack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include "deletion/RenameNoReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Delete1 {

namespace {

#ifdef Q_OS_UNIX

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The trash information file of an entry in a freedesktop trash, empty elsewhere.
QByteArray infoFileOf(const QByteArray& trashed) {
    const qsizetype slash = trashed.lastIndexOf('/');
    const QByteArray folder = trashed.left(slash);
    if (slash <= 0 || !folder.endsWith("/files"))
        return {};
    return folder.chopped(5) + "info" + trashed.mid(slash) + ".trashinfo";
}

// True when the information file names the original path: absolutely, or relative to the top
// of a device's trash.
bool infoNames(const QByteArray& info, const QByteArray& original) {
    QFile file(QFile::decodeName(info));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.read(qint64{64} * 1024).split('\n');
    for (const QByteArray& line : lines) {
        if (!line.startsWith("Path="))
            continue;
        const QByteArray path = QByteArray::fromPercentEncoding(line.mid(5).trimmed());
        return path.startsWith('/') ? path == original : original.endsWith('/' + path);
    }
    return false;
}

#endif

} // namespace

PutBackResult putBack(const RunRecord::Entry& entry) {
    PutBackResult result;
#ifdef Q_OS_UNIX
    const QByteArray trashed = QFile::encodeName(entry.trashed);
    const QByteArray original = QFile::encodeName(entry.original);
    const QByteArray info = infoFileOf(trashed);
    struct stat st {};
    // An entry whose information file is gone, or names another file, is no longer the recorded
    // file: the trash was emptied or restored meanwhile and the name used again.
    if (::lstat(trashed.constData(), &st) != 0 || (!info.isEmpty() && !infoNames(info, original))) {
        result.missing = true;
        result.reason = QStringLiteral("it is no longer in the trash");
        return result;
    }
    const QByteArray parent = original.left(std::max<qsizetype>(original.lastIndexOf('/'), 1));
    if (!QDir().mkpath(QFile::decodeName(parent))) {
        result.reason = QStringLiteral("its folder %1 cannot be made again; it stays in the trash "
                                       "as %2")
                            .arg(QFile::decodeName(parent), entry.trashed);
        return result;
    }
    if (NoReplace::rename(AT_FDCWD, trashed.constData(), AT_FDCWD, original.constData()) != 0) {
        const int error = errno;
        result.reason = error == EEXIST
                            ? QStringLiteral("its place is taken; it stays in the trash as %1")
                                  .arg(entry.trashed)
                            : QStringLiteral("%1; it stays in the trash as %2")
                                  .arg(errorText(error), entry.trashed);
        return result;
    }
    if (!info.isEmpty())
        ::unlink(info.constData());
#else
    if (!QFileInfo::exists(entry.trashed)) {
        result.missing = true;
        result.reason = QStringLiteral("it is no longer in the trash");
        return result;
    }
    QDir().mkpath(QFileInfo(entry.original).absolutePath());
    if (QFileInfo::exists(entry.original) || !QFile::rename(entry.trashed, entry.original)) {
        result.reason =
            QStringLiteral("its place is taken; it stays in the trash as %1").arg(entry.trashed);
        return result;
    }
#endif
    result.restored = true;
    return result;
}

} // namespace Delete1
