#pragma once

#include "deletion/RunRecord.h"
#include "deletion/RunSummary.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <utility>
#include <vector>

class Trash;

namespace Delete1 {

// One deletion run, the window's and the command line's alike: each listed path goes to the
// trash through ShellDelete, the outcomes are tallied, what moved is recorded so that the run can
// be put back, and before the closing message the trash is made durable (one syncfs per volume)
// and the record written.
class TrashRun {
public:
    // Called before each path with its 1-based position, the number of paths and the path; it may
    // call requestStop(), which then keeps that path and the rest in place.
    using Progress = std::function<void(qsizetype position, qsizetype count, const QString& path)>;

    // The trash tells the run's record of each move before it happens, where it can. The origin
    // (RunRecord::FromWindow or FromCommandLine) goes into the record.
    explicit TrashRun(Trash& trash, const QString& origin = RunRecord::FromWindow);
    TrashRun(const TrashRun&) = delete;
    TrashRun& operator=(const TrashRun&) = delete;
    TrashRun(TrashRun&&) = delete;
    TrashRun& operator=(TrashRun&&) = delete;
    // A run cut short (the window closed, a failure) is finished here: what moved is durable and
    // recorded.
    ~TrashRun();

    // Begins the run's record (its number, the runs folder checked, room reserved) before any
    // file moves; the reason it cannot be kept, empty when it can. Without it the first file
    // begins the record, and a run that cannot be recorded goes on unrecorded.
    QString prepare();
    // Moves the paths in order until all are handled or a stop is requested. A file is moved only
    // while the record has room for it; once it has none, the rest stay in place with the reason.
    void run(const QStringList& paths, const Progress& progress = {});
    // Moves one path: for a caller that drives the loop itself.
    void trashOne(const QString& path);
    // Asks the run to stop before its next path; safe from another thread.
    void requestStop() { m_stop = true; }
    [[nodiscard]] bool stopRequested() const { return m_stop; }

    // Ends the run: the trash made durable, then the record written, then the run marked
    // finished. Called before the closing message is shown; a second call does nothing. A failed
    // flush is thrown on after the record is written.
    void finish();

    // "Done.", the files no longer there and those left in place (see closingMessage).
    [[nodiscard]] QString closingMessage() const;
    [[nodiscard]] const RunTally& tally() const { return m_tally; }
    // The paths handled so far.
    [[nodiscard]] qsizetype handled() const { return m_handled; }
    // The files moved so far, and the name of the run's record (set once a file has moved).
    [[nodiscard]] qsizetype moved() const { return m_record.size(); }
    [[nodiscard]] QString runId() const { return m_record.id(); }
    // The run's number, given with its record (0 until then).
    [[nodiscard]] quint64 runNumber() const { return m_record.number(); }
    // Why the record could not be written; empty when it was or nothing moved.
    [[nodiscard]] const QString& recordError() const { return m_recordError; }

private:
    // Takes the trash folders found moved during the run and points the record at their real
    // places.
    void followMovedFolders();

    Trash& m_trash;
    RunRecord::Recorder m_record;
    RunTally m_tally;
    std::atomic<bool> m_stop{false};
    qsizetype m_handled = 0;
    QString m_recordError;
    bool m_finished = false;
    std::vector<std::pair<QString, QString>> m_movedFolders;
};

} // namespace Delete1
