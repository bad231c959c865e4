#pragma once

#include <QString>
#include <QStringList>
#include <vector>

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

// The number of draws for a count value of at least 0.5: the count less one, rounded to the
// nearest whole number with halves going to the even neighbour, plus one.
qsizetype drawCount(double count);

// Chooses from the pool for the count value: nothing from an empty pool or for a count below 0.5;
// a uniformly random sample of drawCount(count) distinct entries in draw order when the pool holds
// at least count entries; otherwise the whole pool in pool order. Every ordered sample is equally
// likely, and the cost is linear in the pool size.
QStringList chooseFromPool(const QStringList& pool, double count);

// Draws k entries from items (k at most its size) into result: a partial Fisher-Yates shuffle in
// place, where slot i takes a uniformly chosen entry among those not drawn yet, which gives every
// ordered sample the same chance. label follows the step under way, for a failure report.
void drawInto(std::vector<const QString*>& items, qsizetype k, QStringList& result, int& label);

} // namespace Delete1
