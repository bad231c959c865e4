#pragma once

#include <QString>
#include <QStringList>

namespace Delete1 {

// Appends folder + name for every ordinary file directly inside the folder, in the order the
// directory listing returns them. The folder text must end in the separator. An ordinary file is a
// regular file, or a symbolic link to one, that is neither hidden nor system; subfolders are not
// entered. A missing folder, or a path that is no folder, adds nothing; any other failure to list
// throws Failure (entries found before it stay). An entry equal to the one at the same place of
// previous (an earlier listing of the same folder) is taken from it, sharing its text, instead of
// being made again.
void appendOrdinaryFiles(const QString& folder, QStringList& pool,
                         const QStringList* previous = nullptr);

} // namespace Delete1
