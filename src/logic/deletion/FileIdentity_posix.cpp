#include "deletion/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RunRecord {

FileId identityOf(const QString& path, bool follow) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return {};
    return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

QString ownershipFault(const QString& path, bool stickyAllowed) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("cannot look at %1").arg(QDir::toNativeSeparators(path));
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (!stickyAllowed || (st.st_mode & S_ISVTX) == 0))
        return QStringLiteral("%1 can be written to by other users").arg(path);
    return {};
}

void closeToOthers(const QString& folder) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(folder);
    if (::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
}

QString reserveRoom(QFile& file, qint64 size) {
    // posix_fallocate returns the error rather than setting errno.
    const int error = ::posix_fallocate(file.handle(), 0, static_cast<off_t>(size));
    return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

} // namespace RunRecord
