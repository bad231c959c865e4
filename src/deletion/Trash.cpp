// GIO comes first: its headers use names that Qt's keyword macros would otherwise replace.
#if !defined(_WIN32) && !defined(__APPLE__)
#include <gio/gio.h>
#endif

#include "Trash.h"

#include <QFile>

TrashResult DesktopTrash::moveToTrash(const QString& path) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    QFile file(path);
    if (file.moveToTrash())
        return {true, {}};
    return {false, file.errorString()};
#else
    // GIO follows the freedesktop trash rules: the home trash for files on the home volume, a
    // per-volume trash elsewhere, and an error (never a permanent deletion) when neither works.
    const QByteArray encoded = QFile::encodeName(path);
    GFile* file = g_file_new_for_path(encoded.constData());
    GError* error = nullptr;
    const gboolean moved = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (moved)
        return {true, {}};
    QString reason =
        error != nullptr ? QString::fromUtf8(error->message) : QStringLiteral("Unknown error");
    if (error != nullptr)
        g_error_free(error);
    return {false, reason};
#endif
}
