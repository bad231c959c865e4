#pragma once

#include <QString>

// Where the files that stand beside the program are found: the hand and drag pointer images, the
// skin and the sample folder. Plain file-system code, no window.
namespace ProgramFolder {

struct Found {
    QString folder;      // without a trailing separator
    bool shared = false; // true for an installed layout: <prefix>/share/thinwick beside bin/
};

// The executable's own folder when it holds any of the program's files (build tree, Windows, a
// flat copy); otherwise <executable folder>/../share/thinwick when that folder exists, so a
// relocated install still finds its files; otherwise the executable's folder.
Found locate(const QString& executableFolder);

// The per-user copy of the installed samples: $XDG_DATA_HOME/Thinwick/Samples.
QString userSampleFolder();

// The folder a sample run draws from and deletes in: Samples in the program folder, or, for an
// installed layout, which users cannot write to, the per-user copy. No trailing separator.
QString sampleFolder(const Found& where);

// Copies every ordinary file of `installed` that `copy` lacks into `copy` (made when missing);
// files already there, changed or not, and files of the user's own are left alone. Nothing happens
// when `installed` is not a folder. Returns the number of files restored; throws Failure with the
// platform's description of the first file that could not be restored.
int refreshSampleCopy(const QString& installed, const QString& copy);

} // namespace ProgramFolder
