#pragma once

#include "deletion/RunRecord.h"

#include <QString>

namespace Delete1 {

struct PutBackResult {
    bool restored = false; // the file is back at its original path (or was already)
    bool missing = false;  // it is no longer in the trash (emptied meanwhile)
    // It never went: a run killed between recording the move and making it left the file in
    // its place and its information file in the trash (now removed). Not counted either way.
    bool neverMoved = false;
    // The record's line for it cannot be read: nothing was done, and the line stays recorded.
    bool damaged = false;
    // Why it stayed in the trash ("refused: …" for a record that names no trash entry of this
    // user's), why it is not there, or for a file put back what it left in the trash.
    QString reason;
};

// Puts one recorded file back: renamed from the trash into the very folder it left when nothing
// is at its name (a folder that is gone is made again), never replacing anything and never through
// a link, and its trash information file removed. Only an entry of this user's trash whose
// information names the recorded path is moved. A file already back at its place counts as put
// back; one whose place is taken, or whose folder is another now, stays in the trash.
PutBackResult putBack(const RunRecord::Entry& entry);

// The result for an entry whose line in the record is damaged: nothing is looked at or moved.
inline PutBackResult damagedEntry() {
    PutBackResult result;
    result.damaged = true;
    result.reason = QStringLiteral("its line in the record cannot be read");
    return result;
}

} // namespace Delete1
