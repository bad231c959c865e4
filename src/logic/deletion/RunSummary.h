#pragma once

#include "deletion/PutBack.h"
#include "deletion/RunRecord.h"
#include "deletion/ShellDelete.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace Delete1 {

// A run as every put-back message, question and list names it: "run 7 of <local date and time>
// (3 files from /home/a/Photos)", with "from the command line" after the time for a run started
// there, "N folders" for files from several, and "the run of …" for a record without a number.
QString runTitle(const RunRecord::Run& run);

// What a deletion run did with its files, as its closing message tells it.
struct RunTally {
    QStringList leftInPlace; // "path (reason)" of each file that stayed where it was
    qsizetype gone = 0;      // listed files no longer at their path
    // Counts one file's outcome; a moved file goes into the run's record unless it is there
    // already (record null).
    void count(const QString& path, const ShellDeleteResult& result, RunRecord::Recorder* record);
};

// What putting a run back did with its files; kept holds the entries still worth recording.
struct PutBackTally {
    qsizetype restored = 0;
    QStringList stayed;  // "path (reason)" of each file that stayed in the trash
    QStringList missing; // files no longer in the trash
    std::vector<RunRecord::Entry> kept;
    QStringList leftovers; // "path (note)" of each file put back with something left behind
    QStringList damaged;   // the entries whose line in the record cannot be read
    // Only a file that is back leaves the record: one that stayed, a damaged line, and one said to
    // be no longer in the trash while something is still at its place there stay in it.
    void count(const RunRecord::Entry& entry, const PutBackResult& result);
};

// The closing message of a deletion run, in the window and on the command line alike: "Done.",
// then how many listed files were already gone, then the files left in place (each with its
// reason), the first twenty by name and the rest counted.
QString closingMessage(const QStringList& leftInPlace, qsizetype gone);

// The closing message of putting a run back: how many files went back, then the files that stayed
// in the trash because their place is taken, and those no longer in the trash, named as above.
QString putBackMessage(qsizetype restored, const QStringList& stayed, const QStringList& missing);
// The same for a tally, with the files put back that left something behind (their trash
// information file) named last.
QString putBackMessage(const PutBackTally& tally);
// The same after a line that names the run (its runTitle, taken before it was put back).
QString putBackMessage(const QString& runTitle, const PutBackTally& tally);

} // namespace Delete1
