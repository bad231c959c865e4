#include "shell/FileList.h"

#include "common/PathRules.h"
#include "deletion/ShellDelete.h"
#include "shell/ShellText.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QUtf8StringView>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace Shell {

namespace fs = std::filesystem;

QString refusalOf(const QByteArray& path) {
    if (path.isEmpty())
        return QStringLiteral("an empty name");
    if (!QUtf8StringView(path.constData(), path.size()).isValidUtf8())
        return QStringLiteral("its name is not valid UTF-8");
    const QString text = QString::fromUtf8(path);
    const fs::path native = Delete1::nativePath(text);
    std::error_code error;
    const fs::file_status link = fs::symlink_status(native, error);
    if (error || !fs::exists(link))
        return error && error != std::errc::no_such_file_or_directory
                   ? QString::fromLocal8Bit(error.message())
                   : QStringLiteral("does not exist");
    const fs::file_status target = fs::status(native, error);
    if (fs::is_directory(target))
        return QStringLiteral("is a folder");
    if (!fs::exists(target))
        return QStringLiteral("is a link to nothing");
    if (Delete1::isHiddenOrSystem(text))
        return QStringLiteral("is hidden");
    if (!fs::is_regular_file(target))
        return QStringLiteral("is not an ordinary file");
    return {};
}

ListedFiles takeListedFiles(const QByteArray& list) {
    ListedFiles taken;
    // A file named twice, in whatever form, is taken once: its real folder and its name.
    QSet<QString> seen;
    QHash<QString, QString> realFolders;
    const QChar separator = Main::nativeSeparator();
    qsizetype start = 0;
    while (start < list.size()) {
        qsizetype end = list.indexOf('\0', start);
        if (end < 0)
            end = list.size();
        const QByteArray path = list.mid(start, end - start);
        start = end + 1;
        const QString reason = refusalOf(path);
        if (!reason.isEmpty()) {
            taken.refusals.append(QStringLiteral("\"%1\" %2").arg(escapedBytes(path), reason));
            continue;
        }
        const QString text = QString::fromUtf8(path);
        const fs::path native = Delete1::nativePath(text);
        const QString folder = QString::fromStdU16String(native.parent_path().u16string());
        auto real = realFolders.find(folder);
        if (real == realFolders.end()) {
            std::error_code error;
            const fs::path canonical =
                fs::canonical(folder.isEmpty() ? fs::path(".") : native.parent_path(), error);
            real = realFolders.insert(
                folder, error ? folder : QString::fromStdU16String(canonical.u16string()));
        }
        const QString key =
            *real + separator + QString::fromStdU16String(native.filename().u16string());
        if (seen.contains(key))
            continue;
        seen.insert(key);
        taken.files.append(text);
    }
    return taken;
}

bool readList(const QString& source, QByteArray& list, QString& reason) {
    if (source == QStringLiteral("-")) {
#ifdef Q_OS_WIN
        // The list is bytes: a text-mode standard input would drop CRs and stop at a Ctrl-Z.
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        // Read with the C library: Qt's file object over a Windows pipe fails ("Unknown error").
        QByteArray buffer(qsizetype{1} << 16, Qt::Uninitialized);
        std::size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, static_cast<std::size_t>(buffer.size()),
                                 stdin)) > 0)
            list.append(buffer.constData(), static_cast<qsizetype>(got));
        if (std::ferror(stdin) != 0) {
            reason = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    list = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace Shell
