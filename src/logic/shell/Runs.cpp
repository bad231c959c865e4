// --runs and --put-back: the recorded runs, read and put back.
#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"
#include "shell/RunList.h"
#include "shell/ShellParts.h"
#include "shell/ShellText.h"
#include "shell/Terminal.h"

namespace Shell {

namespace {

// The run the user named, or the exit status when there is none: 2 for a number or name that
// names none, 1 when no run is recorded at all or the run's record cannot be read or used.
std::optional<RunRecord::Run> namedRun(const QString& given, int& status,
                                       RunRecord::Access access = RunRecord::Access::Read) {
    QString reason;
    if (const QString fault = RunRecord::runsFolderFault(); !fault.isEmpty()) {
        writeErr(QStringLiteral("thinwick: the runs folder cannot be trusted: ") + fault +
                 QLatin1Char('\n'));
        status = ExitLeftInPlace;
        return std::nullopt;
    }
    const std::optional<QString> id = runNamed(given, reason);
    std::optional<RunRecord::Run> run;
    if (id)
        run = RunRecord::load(*id, &reason, access, [&given] {
            writeErr(QStringLiteral("thinwick: waiting for another put-back of run %1 to end\n")
                         .arg(escaped(given.isEmpty() ? QStringLiteral("(the last)") : given)));
        });
    if (!run) {
        writeErr(QStringLiteral("thinwick: ") + reason + QLatin1Char('\n'));
        status = id || given.isEmpty() ? ExitLeftInPlace : ExitUsage;
    }
    return run;
}

} // namespace

int putBackRun(const QString& given) {
    int status = ExitDone;
    // Another put-back under way finishes first; this one then reads the record as it left it.
    std::optional<RunRecord::Run> run = namedRun(given, status, RunRecord::Access::PutBack);
    if (!run)
        return status;
    const QString title = Delete1::runTitle(*run);
    Delete1::PutBackTally tally;
    {
        Progress progress(QStringLiteral("Putting back"),
                          static_cast<qsizetype>(run->entries.size()));
        qsizetype done = 0;
        for (const RunRecord::Entry& entry : run->entries) {
            progress.step(done++);
            tally.count(entry, Delete1::putBack(entry));
        }
    }
    // What went back, or is gone from the trash, leaves the record; what stayed can be tried
    // again once its place is free.
    run->entries = std::move(tally.kept);
    const QString updateError = RunRecord::update(*run);
    QString summary = Delete1::putBackMessage(title, tally);
    if (!updateError.isEmpty())
        summary += QStringLiteral("\n\nThe run's record could not be updated: ") + updateError;
    writeErr(summary + QLatin1Char('\n'));
    return tally.stayed.isEmpty() && tally.missing.isEmpty() && tally.leftovers.isEmpty() &&
                   tally.damaged.isEmpty()
               ? ExitDone
               : ExitLeftInPlace;
}

int listRuns(const QString& given) {
    QString text;
    if (!given.isEmpty()) {
        int status = ExitDone;
        const std::optional<RunRecord::Run> run = namedRun(given, status);
        if (!run)
            return status;
        text = runFilesText(*run);
    } else {
        if (const QString fault = RunRecord::runsFolderFault(); !fault.isEmpty()) {
            writeErr(QStringLiteral("thinwick: the runs folder cannot be trusted: ") + fault +
                     QLatin1Char('\n'));
            return ExitLeftInPlace;
        }
        for (const QString& id : RunRecord::ids()) {
            QString reason;
            if (const std::optional<RunRecord::Run> run = RunRecord::load(id, &reason))
                text += runLine(*run) + QLatin1Char('\n');
            else
                text += QStringLiteral(" ?  %1  %2\n").arg(id, escaped(reason));
        }
    }
    return writeOut(text.toLocal8Bit()) ? ExitDone : ExitLeftInPlace;
}

} // namespace Shell
