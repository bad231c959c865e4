#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace Main {

// Which rows a name filter removes.
enum class NameFilterKind { RemoveContaining, RemoveNotContaining };

// The case-insensitive substring test of the name filters: the row and the search text are both
// lower-cased (Unicode, as QString::toLower does it, so "É" finds "é" and "İ" becomes "i" followed
// by a combining dot) and the lower-cased text is looked for in the lower-cased row, comparing
// code units exactly. Rows of plain ASCII, the common case, are searched in place; other rows are
// lower-cased into a buffer the matcher keeps, so no row costs an allocation.
class NameMatcher {
public:
    explicit NameMatcher(const QString& text);
    bool isFoundIn(const QString& row) const;

private:
    QString m_lower;
    bool m_asciiText;
    mutable std::u16string m_buffer;
};

// Appends the lower case of the text, letter by letter, exactly as QString::toLower() gives it.
void appendLowerCase(QStringView text, std::u16string& out);

// What a scan does between rows.
struct RowScanHooks {
    // Called before the first row and then before a row once the interval has passed since the
    // last call, so the window stays responsive without a pass of the message loop per row.
    // Answering false abandons the scan.
    std::function<bool()> yield;
    qint64 yieldIntervalMs = 16;
    // A row whose test failed; that row counts as matching.
    std::function<void(const std::exception&)> testFailed;
};

// One pass over the rows: those for which removes() is false, in their order. A test that throws
// counts as true. No value when a yield abandoned the scan.
template <class Removes>
std::optional<QStringList> keptRowsWhere(const QStringList& rows, Removes&& removes,
                                         const RowScanHooks& hooks) {
    // The clock is read every few rows only: a row is tested in well under a microsecond.
    constexpr qsizetype ClockStride = 64;
    QStringList kept;
    kept.reserve(rows.size());
    QElapsedTimer sinceYield;
    const qsizetype count = rows.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (hooks.yield &&
            (i == 0 || (i % ClockStride == 0 && sinceYield.elapsed() >= hooks.yieldIntervalMs))) {
            if (!hooks.yield())
                return std::nullopt;
            sinceYield.start();
        }
        const QString& row = rows.at(i);
        bool remove = true;
        try {
            remove = removes(row);
        } catch (const std::exception& failure) {
            if (hooks.testFailed)
                hooks.testFailed(failure);
        }
        if (!remove)
            kept.append(row);
    }
    return kept;
}

// The rows a name filter keeps, in their order.
std::optional<QStringList> keptRows(const QStringList& rows, const QString& text,
                                    NameFilterKind kind, const RowScanHooks& hooks = {});

// The summary after a filter: each path followed by CR LF, nothing else.
QString plainSummaryText(const QStringList& paths);

} // namespace Main
