#pragma once

#include "deletion/RunRecord.h"

#include <QString>

namespace Delete1 {

struct PutBackResult {
    bool restored = false; // the file is back at its original path
    bool missing = false;  // it is no longer in the trash (restored or emptied meanwhile)
    QString reason;        // why it stayed in the trash, or why it is not there
};

// Puts one recorded file back: renamed from the trash to its original path when nothing is there
// (missing folders of that path are made again), never replacing anything, and its trash
// information file removed. A file whose place is taken stays in the trash.
PutBackResult putBack(const RunRecord::Entry& entry);

} // namespace Delete1
