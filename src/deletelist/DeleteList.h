#pragma once

#include <QString>
#include <QStringList>

class Form1;

namespace Delete1 {

// The summary text: one line per path, the path followed by " will be deleted." and CR LF.
QString summaryText(const QStringList& paths);

// Rebuilds the delete list and the summary box from a fresh draw over the source folders.
void CorrelateListviewsWrapper(Form1& form);

} // namespace Delete1
