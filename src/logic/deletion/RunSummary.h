#pragma once

#include <QString>
#include <QStringList>

namespace Delete1 {

// The closing message of a deletion run, in the window and on the command line alike: "Done.",
// then how many listed files were already gone, then the files left in place (each with its
// reason), the first twenty by name and the rest counted.
QString closingMessage(const QStringList& leftInPlace, qsizetype gone);

// The closing message of putting a run back: how many files went back, then the files that stayed
// in the trash because their place is taken, and those no longer in the trash, named as above.
QString putBackMessage(qsizetype restored, const QStringList& stayed, const QStringList& missing);

} // namespace Delete1
