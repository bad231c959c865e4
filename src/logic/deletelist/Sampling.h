#pragma once

// The pool listing, used with the draw; declared in a header of its own.
#include "deletelist/Listing.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace Delete1 {

// The number of draws for a count value of at least 0.5: the count less one, rounded to the
// nearest whole number with halves going to the even neighbour, plus one.
qsizetype drawCount(double count);

// Whether a pool of poolSize entries is taken whole for the count value: it holds fewer entries
// than the count.
bool takesWholePool(qsizetype poolSize, double count);

// The whole choice rule, over pool positions (0-based), so that it does not depend on how the pool
// is stored. Nothing from an empty pool; every position in pool order when the pool holds fewer
// entries than the count; nothing for a count below 0.5; otherwise drawCount(count) distinct
// positions in draw order, by a partial Fisher-Yates shuffle: every ordered sample is equally
// likely, and the cost is linear in the pool size. Each draw takes one value from the program's
// generator.
std::vector<qsizetype> choosePositions(qsizetype poolSize, double count);

} // namespace Delete1
