#pragma once

#include "deletelist/Sampling.h"

#include <QStringList>

class Form1;

namespace Delete1 {

// Pools the ordinary files of every source row of the window and draws from them for the count
// in the number box; shows "There are no files in folder " for each row that yields none. Each
// row's listing comes from the window's listing cache: a folder unchanged since it was last
// listed is not read again.
QStringList randomFileList(Form1& form);

} // namespace Delete1
