#pragma once

#include "deletelist/Sampling.h"

#include <QStringList>

class Form1;

namespace Delete1 {

// Pools the ordinary files of every source row of the window and draws from them for the count
// in the number box. The rows that yield no file are named in one message box at the end (see
// noFilesMessage). Each row's listing comes from the window's listing cache: a folder unchanged
// since it was last listed is not read again. The window repaints during a long listing; its
// input waits until the draw is made.
QStringList randomFileList(Form1& form);

// "There are no files in folder " and the folder, one line per folder, the first 20 of them and
// then "... and N more."; one folder gives that one sentence.
QString noFilesMessage(const QStringList& folders);

} // namespace Delete1
