#include "deletion/RunChoice.h"

#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "deletion/ShellDelete.h"

#include <QFileInfo>
#include <QPair>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// Whether anything, a dangling link included, is at the path.
bool somethingAt(const QString& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(Delete1::nativePath(path), error));
}

// The run last found able to go back, and the file that showed it. Looking again (every context
// menu, every Ctrl+Z) while its record is unchanged checks that file alone instead of reading a
// record of perhaps a hundred thousand lines.
struct Witness {
    QString id;
    QPair<qint64, QDateTime> record;
    RunChoice choice;
    QString original;
    QString trashed;
};

Witness& lastWitness() {
    static Witness witness;
    return witness;
}

// The size and time of the run's record, which change whenever it is written.
QPair<qint64, QDateTime> recordStamp(const QString& id) {
    const QString base = RunRecord::runsFolder() + QLatin1Char('/') + id;
    QFileInfo info(base + QStringLiteral(".json"));
    if (!info.exists())
        info.setFile(base + QStringLiteral(".journal"));
    return {info.size(), info.lastModified()};
}

QString capitalised(QString text) {
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

// The text with a full stop at its end, for a reason that follows a colon.
QString fullStop(const QString& text) {
    QString result = text.trimmed();
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('.')))
        result += QLatin1Char('.');
    return result;
}

QString filesText(qsizetype count) {
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

} // namespace

QString RunChoice::sentenceTitle() const {
    return capitalised(title);
}

QString RunChoice::whyNot() const {
    switch (block) {
    case Block::None:
        return {};
    case Block::Unreadable:
        return QStringLiteral("Its record cannot be read: ") + fullStop(detail);
    case Block::Moving:
        return QStringLiteral("It is still moving files to the trash; put it back once it has "
                              "ended.");
    case Block::NothingInTrash:
        return QStringLiteral("None of its files is still in the trash.");
    case Block::RecycleBinOnly:
        return QStringLiteral("Its files went to the Recycle Bin, which did not say where; "
                              "restore them with the Recycle Bin's Restore.");
    case Block::PlacesTaken:
        return QStringLiteral("Other files now stand where its files in the trash were; move "
                              "them away first.");
    case Block::Damaged:
        return QStringLiteral("Its record is damaged where it names its files in the trash; "
                              "they cannot be put back from here.");
    }
    return {};
}

QString RunChoice::whyNotLast() const {
    switch (block) {
    case Block::None:
        return {};
    case Block::Unreadable:
        return QStringLiteral("The record of the last run cannot be read: ") + fullStop(detail);
    case Block::Moving:
        return QStringLiteral("The last run, %1, is still moving files to the trash; put it back "
                              "once it has ended.")
            .arg(title);
    case Block::NothingInTrash:
        return QStringLiteral("None of the files of the last run, %1, is still in the trash.")
            .arg(title);
    case Block::RecycleBinOnly:
        return QStringLiteral("The files of the last run, %1, went to the Recycle Bin, which did "
                              "not say where; restore them with the Recycle Bin's Restore.")
            .arg(title);
    case Block::PlacesTaken:
        return QStringLiteral("Other files now stand where the files of the last run, %1, were; "
                              "move them away first.")
            .arg(title);
    case Block::Damaged:
        return QStringLiteral("The record of the last run, %1, is damaged where it names its "
                              "files in the trash; they cannot be put back from here.")
            .arg(title);
    }
    return {};
}

QString RunChoice::state() const {
    if (!canPutBack())
        return whyNot();
    QString text = QStringLiteral("%1 of %2 in the trash.").arg(inTrash).arg(filesText(files));
    if (placesTaken > 0)
        text += placesTaken == 1
                    ? QStringLiteral(" Another file stands in the place of 1.")
                    : QStringLiteral(" Other files stand in the places of %1.").arg(placesTaken);
    return text;
}

namespace RunChoices {

QString titleOf(const RunRecord::Run& run) {
    return Delete1::runTitle(run);
}

RunChoice look(const QString& id, Look how) {
    Witness& witness = lastWitness();
    const QPair<qint64, QDateTime> stamp = recordStamp(id);
    if (how == Look::UntilOneCanGo && witness.id == id && witness.record == stamp &&
        somethingAt(witness.trashed) && !somethingAt(witness.original) &&
        !RunRecord::stillMoving(id))
        return witness.choice;
    RunChoice choice;
    choice.id = id;
    QString reason;
    const std::optional<RunRecord::Run> run = RunRecord::load(id, &reason);
    if (!run) {
        choice.title = QStringLiteral("the run %1").arg(id);
        choice.block = RunChoice::Block::Unreadable;
        choice.detail = reason;
        return choice;
    }
    choice.title = titleOf(*run);
    choice.files = static_cast<qsizetype>(run->entries.size());
    qsizetype unplaced = 0;
    qsizetype damaged = 0;
    for (const RunRecord::Entry& entry : run->entries) {
        if (entry.damaged) {
            ++damaged;
        } else if (entry.destroyed) {
            continue; // deleted for good by the shell: nothing of it is in the trash
        } else if (entry.trashed.isEmpty()) {
            ++unplaced;
        } else if (somethingAt(entry.trashed)) {
            ++choice.inTrash;
            if (somethingAt(entry.original))
                ++choice.placesTaken;
            else if (how == Look::UntilOneCanGo) {
                // Enough to know it can go back.
                witness.original = entry.original;
                witness.trashed = entry.trashed;
                break;
            }
        }
    }
    if (RunRecord::stillMoving(id))
        choice.block = RunChoice::Block::Moving;
    else if (choice.inTrash == 0 && damaged > 0)
        choice.block = RunChoice::Block::Damaged;
    else if (choice.inTrash == 0)
        choice.block =
            unplaced > 0 ? RunChoice::Block::RecycleBinOnly : RunChoice::Block::NothingInTrash;
    else if (choice.placesTaken == choice.inTrash)
        choice.block = RunChoice::Block::PlacesTaken;
    if (how == Look::UntilOneCanGo) {
        witness.id = choice.canPutBack() ? id : QString();
        witness.record = stamp;
        witness.choice = choice;
    }
    return choice;
}

std::vector<RunChoice> all() {
    std::vector<RunChoice> runs;
    for (const QString& id : RunRecord::ids())
        runs.push_back(look(id));
    return runs;
}

std::optional<RunChoice> last(QString& why, Look how) {
    if (const QString fault = RunRecord::runsFolderFault(); !fault.isEmpty()) {
        why = QStringLiteral("The runs folder cannot be trusted: ") + fullStop(fault);
        return std::nullopt;
    }
    const QStringList ids = RunRecord::ids();
    if (ids.isEmpty()) {
        why = QStringLiteral("No run is recorded, so there is nothing to put back.");
        return std::nullopt;
    }
    return look(ids.first(), how);
}

QString question(const RunChoice& run, bool isLast) {
    QString text = isLast ? QStringLiteral("Put back the last run, %1?").arg(run.title)
                          : QStringLiteral("Put back %1?").arg(run.title);
    text += QStringLiteral("\n\n");
    if (run.inTrash == run.files)
        text += run.files == 1
                    ? QStringLiteral("Its file is still in the trash.")
                    : QStringLiteral("All %1 of its files are still in the trash.").arg(run.files);
    else
        text += QStringLiteral("%1 of its %2 %3 still in the trash.")
                    .arg(run.inTrash)
                    .arg(filesText(run.files),
                         run.inTrash == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    if (run.placesTaken == 1)
        text += QStringLiteral(" Another file stands in the place of 1 of them; it stays in the "
                               "trash.");
    else if (run.placesTaken > 1)
        text += QStringLiteral(" Other files stand in the places of %1 of them; they stay in the "
                               "trash.")
                    .arg(run.placesTaken);
    return text;
}

QString sentence(const QString& text) {
    return capitalised(fullStop(text));
}

} // namespace RunChoices
