#pragma once

#include "deletelist/NameFilter.h"

#include <QString>
#include <optional>

class Form1;
class ListView;

namespace Main {

class ErrorTrap;

// Removes every row of the list whose text contains the search text (case-insensitive), then
// rewrites the window's summary box as the remaining paths, each followed by CR LF.
void RemoveItemsWith(Form1& form, ListView& list, const QString& text);
// The same, removing every row whose text does not contain the search text.
void RemoveItemsWithout(Form1& form, ListView& list, const QString& text);

// The filter up to the summary box: scans the rows, writes the kept rows to the list and answers
// the new summary text. No value when the scan was abandoned because the list changed or the
// window closed while it yielded; the list and the summary box are then left as they are.
std::optional<QString> filterListRows(Form1& form, ListView& list, const QString& text,
                                      NameFilterKind kind, ErrorTrap& trap);

} // namespace Main
