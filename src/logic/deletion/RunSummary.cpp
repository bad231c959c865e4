#include "deletion/RunSummary.h"

#include <QDir>
#include <QLocale>
#include <QSet>
#include <filesystem>
#include <system_error>

namespace Delete1 {

QString runTitle(const RunRecord::Run& run) {
    QString title =
        run.number == 0 ? QStringLiteral("the run") : QStringLiteral("run %1").arg(run.number);
    title += QStringLiteral(" of ") +
             QLocale::system().toString(run.time.toLocalTime(), QLocale::ShortFormat);
    if (run.origin == RunRecord::FromCommandLine)
        title += QStringLiteral(" from the command line");
    QSet<QString> folders;
    QString folder;
    for (const RunRecord::Entry& entry : run.entries) {
        if (entry.original.isEmpty())
            continue;
        const qsizetype slash = entry.original.lastIndexOf(QLatin1Char('/'));
        folder = slash <= 0 ? QStringLiteral("/") : entry.original.left(slash);
        folders.insert(folder);
    }
    const auto files = static_cast<qsizetype>(run.entries.size());
    title += files == 1 ? QStringLiteral(" (1 file") : QStringLiteral(" (%1 files").arg(files);
    if (folders.size() == 1)
        title += QStringLiteral(" from ") + QDir::toNativeSeparators(folder);
    else if (folders.size() > 1)
        title += QStringLiteral(" from %1 folders").arg(folders.size());
    return title + QLatin1Char(')');
}

void RunTally::count(const QString& path, const ShellDeleteResult& result,
                     RunRecord::Recorder* record) {
    if (result.moved) {
        if (record != nullptr)
            record->add(path, result.trashedPath);
    } else if (result.destroyed) {
        destroyed.append(path);
        if (record != nullptr)
            record->addDestroyed(path);
    } else if (Delete1::leftInPlace(result))
        leftInPlace.append(path + QStringLiteral(" (") + result.reason + QLatin1Char(')'));
    else if (result.gone)
        ++gone;
}

void PutBackTally::count(const RunRecord::Entry& entry, const PutBackResult& result) {
    // A file the shell deleted for good was never in the trash: nothing to put back or keep.
    if (result.neverMoved || entry.destroyed)
        return;
    // Records keep "/"; the message shows the platform's separator.
    const QString original = QDir::toNativeSeparators(entry.original);
    if (result.restored) {
        ++restored;
        if (!result.reason.isEmpty())
            leftovers.append(original + QStringLiteral(" (") + result.reason + QLatin1Char(')'));
    } else if (result.damaged) {
        damaged.append(original.isEmpty() ? QString::fromUtf8(entry.line.trimmed().left(80))
                                          : original);
        kept.push_back(entry);
    } else if (result.missing) {
        missing.append(original);
        std::error_code error;
        if (!entry.trashed.isEmpty() &&
            std::filesystem::symlink_status(nativePath(entry.trashed), error).type() !=
                std::filesystem::file_type::not_found)
            kept.push_back(entry);
    } else {
        stayed.append(original + QStringLiteral(" (") + result.reason + QLatin1Char(')'));
        kept.push_back(entry);
    }
}

namespace {

constexpr qsizetype ListedFailures = 20;

void appendNamed(QString& text, const QStringList& paths) {
    const auto count = paths.size();
    for (qsizetype i = 0; i < count && i < ListedFailures; ++i)
        text += QLatin1Char('\n') + paths.at(i);
    if (count > ListedFailures)
        text += QStringLiteral("\n... and %1 more.").arg(count - ListedFailures);
}

// A paragraph that counts the paths (`one` for a single path, `many` with %1 for more) and names
// them; nothing when there are none.
void appendCounted(QString& text, const QStringList& paths, const QString& one,
                   const QString& many) {
    if (paths.isEmpty())
        return;
    text += QStringLiteral("\n\n") + (paths.size() == 1 ? one : many.arg(paths.size()));
    appendNamed(text, paths);
}

} // namespace

QString closingMessage(const QStringList& leftInPlace, qsizetype gone,
                       const QStringList& destroyed) {
    QString text = QStringLiteral("Done.");
    if (gone == 1)
        text += QStringLiteral("\n\n1 listed file was no longer where it was listed and was "
                               "skipped.");
    else if (gone > 1)
        text += QStringLiteral("\n\n%1 listed files were no longer where they were listed and "
                               "were skipped.")
                    .arg(gone);
    appendCounted(text, leftInPlace,
                  QStringLiteral("1 file could not be moved to the trash and was left in place:"),
                  QStringLiteral("%1 files could not be moved to the trash and were left in "
                                 "place:"));
    appendCounted(text, destroyed,
                  QStringLiteral("Fault: 1 file was deleted for good by the shell instead of "
                                 "being moved to the trash:"),
                  QStringLiteral("Fault: %1 files were deleted for good by the shell instead of "
                                 "being moved to the trash:"));
    return text;
}

QString putBackMessage(qsizetype restored, const QStringList& stayed, const QStringList& missing) {
    QString text = restored == 1 ? QStringLiteral("1 file was put back.")
                                 : QStringLiteral("%1 files were put back.").arg(restored);
    appendCounted(text, stayed, QStringLiteral("1 file stayed in the trash:"),
                  QStringLiteral("%1 files stayed in the trash:"));
    appendCounted(text, missing, QStringLiteral("1 file is no longer in the trash:"),
                  QStringLiteral("%1 files are no longer in the trash:"));
    return text;
}

QString putBackMessage(const PutBackTally& tally) {
    QString text = putBackMessage(tally.restored, tally.stayed, tally.missing);
    appendCounted(text, tally.leftovers,
                  QStringLiteral("1 file was put back but left something in the trash:"),
                  QStringLiteral("%1 files were put back but left something in the trash:"));
    appendCounted(text, tally.damaged,
                  QStringLiteral("1 file's line in the run's record is damaged; it was left as it "
                                 "is:"),
                  QStringLiteral("%1 files' lines in the run's record are damaged; they were left "
                                 "as they are:"));
    return text;
}

QString putBackMessage(const QString& runTitle, const PutBackTally& tally) {
    return QStringLiteral("Put-back of ") + runTitle + QStringLiteral(":\n") +
           putBackMessage(tally);
}

} // namespace Delete1
