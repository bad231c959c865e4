#include "shell/RunList.h"

#include "common/PathRules.h"
#include "deletion/ShellDelete.h"
#include "shell/ShellText.h"

#include <QDir>
#include <QLocale>
#include <QSet>
#include <filesystem>
#include <system_error>

namespace Shell {

namespace fs = std::filesystem;

namespace {

constexpr qsizetype ShownFolders = 2;

// The size of the entry in the trash (a link as the link), or no value when it is not there.
std::optional<std::uintmax_t> sizeInTrash(const QString& trashed) {
    std::error_code error;
    const fs::path native = Delete1::nativePath(trashed);
    const fs::file_status status = fs::symlink_status(native, error);
    if (error || !fs::exists(status))
        return std::nullopt;
    if (fs::is_symlink(status))
        return 0;
    const std::uintmax_t size = fs::file_size(native, error);
    return error ? 0 : size;
}

QString folderOf(const QString& path) {
    const QChar separator = Main::nativeSeparator();
    const qsizetype last = path.lastIndexOf(separator);
    return last <= 0 ? QString(separator) : path.left(last);
}

} // namespace

QString runLine(const RunRecord::Run& run) {
    qsizetype inTrash = 0;
    qsizetype recycled = 0;
    std::uintmax_t bytes = 0;
    QStringList folders;
    QSet<QString> seen;
    for (const RunRecord::Entry& entry : run.entries) {
        if (entry.trashed.isEmpty()) {
            ++recycled;
        } else if (const auto size = sizeInTrash(entry.trashed)) {
            ++inTrash;
            bytes += *size;
        }
        // Records keep "/"; the folder is shown with the platform's separator.
        QString folder = folderOf(QDir::toNativeSeparators(entry.original));
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders.append(std::move(folder));
        }
    }
    QString from = escaped(folders.mid(0, ShownFolders).join(QStringLiteral(", ")));
    if (folders.size() > ShownFolders)
        from += QStringLiteral(" and %1 more folders").arg(folders.size() - ShownFolders);
    QString trash = QStringLiteral("none in the trash");
    if (inTrash > 0)
        trash = QStringLiteral("%1 in the trash (%2)")
                    .arg(inTrash)
                    .arg(QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1));
    else if (recycled > 0)
        // The Recycle Bin does not say where it put a file: what is known is that it took it.
        trash = QStringLiteral("sent to the Recycle Bin");
    return QStringLiteral("%1  %2  %3  %4, %5  %6")
        .arg(run.number == 0 ? QStringLiteral("-") : QString::number(run.number), 2)
        .arg(run.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.id,
             filesCount(static_cast<qsizetype>(run.entries.size())), trash, from);
}

QString runFilesText(const RunRecord::Run& run) {
    QString text;
    for (const RunRecord::Entry& entry : run.entries) {
        QString state;
        if (entry.trashed.isEmpty())
            state = QStringLiteral("sent to the Recycle Bin    ");
        else if (!sizeInTrash(entry.trashed))
            state = QStringLiteral("not in the trash           ");
        else if (Main::FileExists(entry.original) ||
                 fs::is_symlink(Delete1::nativePath(entry.original)))
            state = QStringLiteral("in the trash, place taken  ");
        else
            state = QStringLiteral("in the trash               ");
        text += state + escaped(QDir::toNativeSeparators(entry.original)) + QLatin1Char('\n');
    }
    return text;
}

std::optional<QString> runNamed(const QString& given, QString& reason) {
    if (const QString fault = RunRecord::runsFolderFault(); !fault.isEmpty()) {
        reason = QStringLiteral("the runs folder cannot be trusted: ") + fault;
        return std::nullopt;
    }
    const QStringList ids = RunRecord::ids();
    if (given.isEmpty()) {
        if (ids.isEmpty()) {
            reason = QStringLiteral("no run is recorded");
            return std::nullopt;
        }
        return ids.first();
    }
    bool isNumber = false;
    const quint64 number = given.toULongLong(&isNumber);
    if (isNumber && given.at(0).isDigit()) {
        if (QString id = RunRecord::idNumbered(number); !id.isEmpty())
            return id;
        reason = ids.isEmpty()
                     ? QStringLiteral("there is no run %1: no run is recorded").arg(escaped(given))
                     : QStringLiteral("there is no run %1: thinwick --runs lists the runs "
                                      "recorded")
                           .arg(escaped(given));
        return std::nullopt;
    }
    if (ids.contains(given))
        return given;
    reason = QStringLiteral("\"%1\" is not the name or number of a run; thinwick --runs lists them")
                 .arg(escaped(given));
    return std::nullopt;
}

} // namespace Shell
