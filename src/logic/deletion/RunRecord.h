#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What each deletion run moved to the trash, kept so that the run can be put back.
//
// One JSON file per run in runsFolder(), named by the run's id (its time in UTC and a number that
// keeps two runs of one millisecond apart, so names sort by age): {"format": "thinwick-run 1",
// "time": ISO 8601 in UTC, "files": [{"from": original path, "to": path in the trash}, ...]}.
// Paths are stored as their bytes on disk, percent-encoded ("/" kept), so any file name comes back
// exactly. Each file is written whole or not at all (QSaveFile); the newest Kept runs are kept.
namespace RunRecord {

inline constexpr int Kept = 20;

struct Entry {
    QString original; // absolute path the file had
    QString trashed;  // where it is in the trash
};

struct Run {
    QString id; // the file name without ".json"
    QDateTime time;
    std::vector<Entry> entries;
};

// $XDG_STATE_HOME/Thinwick/runs, with ~/.local/state when XDG_STATE_HOME is unset or relative;
// %LOCALAPPDATA%/Thinwick/runs on Windows.
QString runsFolder();

// Writes the run under a fresh id (set in run.id) and removes all but the newest Kept records.
// Returns the reason when the record could not be written, empty when it was.
QString save(Run& run);

// Rewrites an existing record with its entries as they are now, or removes it when none are left.
QString update(const Run& run);

// The ids of the recorded runs, newest first.
QStringList ids();

// Reads the record with that id, or the newest with an empty id; no value (and the reason) when
// there is none or it cannot be read.
std::optional<Run> load(const QString& id, QString* reason = nullptr);

// Collects a run's moved files and saves them once: at save(), or when it goes out of scope
// (a run cut short still leaves its record). Nothing is written for a run that moved nothing.
class Recorder {
public:
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder();
    // A relative original path is taken relative to the current folder.
    void add(const QString& original, const QString& trashed);
    qsizetype size() const { return static_cast<qsizetype>(m_run.entries.size()); }
    // Empty when the record was written or there was nothing to write; else why not.
    QString save();

private:
    Run m_run;
    bool m_saved = false;
};

} // namespace RunRecord
