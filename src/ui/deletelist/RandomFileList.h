#pragma once

#include "deletelist/Sampling.h"

#include <QStringList>

namespace Delete1 {

// "There are no files in folder " and the folder, one line per folder, the first 20 of them and
// then "... and N more."; one folder gives that one sentence.
QString noFilesMessage(const QStringList& folders);

} // namespace Delete1
