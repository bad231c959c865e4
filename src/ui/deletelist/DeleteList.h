#pragma once

#include "deletelist/SummaryText.h"

#include <QString>
#include <QStringList>

class Form1;

namespace Delete1 {

// Rebuilds the delete list and the summary box from a fresh draw over the source folders.
void CorrelateListviewsWrapper(Form1& form);

} // namespace Delete1
