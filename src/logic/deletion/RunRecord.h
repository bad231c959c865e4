#pragma once

#include "deletion/Trash.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// What each deletion run moved to the trash, kept so that the run can be put back.
//
// The records lie in runsFolder(), a folder of the user's own (0700, not a link, no one else can
// write to it); each record is 0600 and named by the run's id: its time in UTC and a number that
// keeps two runs of one millisecond apart. While a run moves files its record grows as a journal,
// <id>.journal, one line per moved file, so a run that is killed still names what it moved; at its
// end the journal is renamed <id>.json. The lines are JSON: first {"format": "thinwick-run 3",
// "time": ISO 8601 in UTC, "number": the run's number, "origin": "window" or "command line"},
// then per file {"from", "to", "folder": [device, inode], "file": [device, inode], "born":
// [seconds, nanoseconds], "real": the folder resolved}, the 64-bit numbers as decimal strings so
// they come back exactly, and {"moved": trash folder, "now": where} for a trash folder found
// renamed during the run. Records of format 2 (the same with JSON numbers, no run number) and
// format 1 (one JSON document, "from" and "to" only) still load. Paths are stored as their bytes
// on disk, percent-encoded ("/" kept), so any file name comes back exactly. The runs folder also
// holds the counter that numbers the runs. No record is ever written over another run's. Which
// runs are kept: see Kept.
namespace RunRecord {

// The newest Kept runs are kept; an older run is kept while any of its files is still in the
// trash, up to MostKept records in all (past that the oldest go even so, so the runs folder stays
// bounded).
inline constexpr int Kept = 20;
inline constexpr int MostKept = 200;

// A device and inode number; both zero when not recorded (records of format 1).
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    [[nodiscard]] bool known() const { return device != 0 || inode != 0; }
    bool operator==(const FileId&) const = default;
};

// A birth time, where the file system keeps one: a folder removed and made again may get the
// same inode number, never the same birth time.
struct Birth {
    qint64 seconds = 0;
    quint32 nanoseconds = 0;
    [[nodiscard]] bool known() const { return seconds != 0 || nanoseconds != 0; }
    bool operator==(const Birth&) const = default;
};

struct Entry {
    Entry() = default;
    Entry(QString originalPath, QString trashedPath)
        : original(std::move(originalPath)), trashed(std::move(trashedPath)) {}
    QString original;   // absolute path the file had
    QString trashed;    // where it is in the trash
    FileId folder;      // the folder it left
    Birth folderBorn;   // that folder's birth time, when known
    FileId file;        // the file itself
    QString realFolder; // that folder's resolved path, when it differs from the original's folder
    bool destroyed = false; // the shell deleted it for good instead of moving it: not in the trash
    // The record's line for this file cannot be read (a number out of range, a path missing): it
    // is kept in the record as it is (line) and never taken for a file gone from the trash.
    bool damaged = false;
    QByteArray line;
};

// Where a run was started from, as its record says.
inline const QString FromWindow = QStringLiteral("window");
inline const QString FromCommandLine = QStringLiteral("command line");

struct Run {
    QString id; // the file name without ".json"
    QDateTime time;
    // Given when the run starts, from a counter in the runs folder: never changed, never given
    // to another run. 0 for a record written before runs had numbers.
    quint64 number = 0;
    QString origin; // FromWindow, FromCommandLine, or empty when not recorded
    std::vector<Entry> entries;
    bool finished = true; // false for a run known only from its journal (it was cut short)
    // Held from load(id, reason, Access::PutBack) until the run is dropped: no other put-back of
    // this run goes on meanwhile.
    std::shared_ptr<const void> lock;
};

enum class Access { Read, PutBack };

// Thinwick/runs in the user's state folder (UserFolders::stateHome()).
QString runsFolder();

// Why the runs folder cannot be used (a link, another user's, writable by others), empty when it
// can or does not exist yet.
QString runsFolderFault();

// Writes the run under a fresh id (set in run.id) and removes all but the newest Kept records.
// Returns the reason when the record could not be written, empty when it was.
QString save(Run& run);

// Rewrites an existing record with its entries as they are now, or removes it when none are left.
QString update(const Run& run);

// The ids of the recorded runs, newest first by their recorded time (a time in the future, left
// by a clock that was ahead, counts as older than any other).
QStringList ids();

// Whether the run with that id is still moving files to the trash (its trash run, in this
// program or another, holds the record open).
bool stillMoving(const QString& id);

// The id of the recorded run with that number; empty when none has it.
QString idNumbered(quint64 number);

// Reads the record with that id, or the newest with an empty id; no value (and the reason) when
// there is none or it cannot be read. Access::PutBack waits for any other put-back of the run to
// end (calling `waiting` first when it has to wait), then refuses a run whose trash run is still
// going.
std::optional<Run> load(const QString& id, QString* reason = nullptr, Access access = Access::Read,
                        const std::function<void()>& waiting = {});

// For tests: the clock that dates runs (the real one when empty).
void setClock(std::function<QDateTime()> clock);

// Records a run's moved files as they move, each in the run's journal at once, so a run killed at
// any point leaves a record of every file it moved. A trash that tells its moves ahead
// (MoveWitness) has each line written before the rename and taken back when the move fails; a
// file killed between the two is named in the journal and still in its place, which put-back
// tells apart. For other trashes add() records a file after its move. save() (or the end of the
// recorder's life) turns the journal into the run's record. Nothing is written for a run that
// moved nothing. While the journal is open the run holds a lock that put-back respects.
class Recorder : public MoveWitness {
public:
    Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    Recorder(Recorder&&) = delete;
    Recorder& operator=(Recorder&&) = delete;
    ~Recorder() override;
    // FromWindow (the default) or FromCommandLine; set before the first file moves.
    void setOrigin(const QString& origin) { m_run.origin = origin; }
    // Gives the run its number and begins its record before any file moves, so that a runs folder
    // that cannot be used, a counter that cannot be kept or a full disk is known then. The reason,
    // empty when the record is begun. Without it the first moved file begins the record.
    QString reserve();
    // Whether the record has room for the line of a file at `path`, reserved now where it had
    // not; false when the record is being kept and the file system has no more room (error()
    // says so): the file must then stay where it is. True for a run that is not recorded at all.
    bool roomFor(const QString& path);
    // Why the record cannot be kept; empty while it can.
    [[nodiscard]] QString error() const;
    // A relative original path is taken relative to the current folder.
    void add(const QString& original, const QString& trashed);
    // A file the shell deleted for good instead of moving it: recorded as such, not counted.
    void addDestroyed(const QString& original);
    void aboutToMove(const MoveNotice& notice) override;
    void notMoved() override;
    // Whether a move was told (and not taken back) since the last call; a told move that
    // happened counts from here on.
    bool takeTold();
    // The trash folder `said` was found at `now` (renamed during the run): the entries said to be
    // in it are recorded at their real place. With `now` unknown they stay as they are.
    void relocate(const QString& said, const QString& now);
    qsizetype size() const { return m_count; }
    // The run's id, time and number, set when the first file is added.
    QString id() const;
    QDateTime time() const;
    quint64 number() const { return m_run.number; }
    // Empty when the record was written or there was nothing to write; else why not.
    QString save();

private:
    struct Journal;
    void open();
    Run m_run; // its id and time
    qsizetype m_count = 0;
    qsizetype m_destroyed = 0;
    std::unique_ptr<Journal> m_journal;
    bool m_saved = false;
    bool m_told = false;
    qint64 m_toldAt = 0; // where the told line starts in the journal
};

} // namespace RunRecord
