#include "deletelist/SummaryText.h"

namespace Delete1 {

QString joinedLines(const QStringList& lines, const QString& ending) {
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + ending.size();
    QString text;
    text.reserve(size);
    for (const QString& line : lines) {
        text.append(line);
        text.append(ending);
    }
    return text;
}

QString summaryText(const QStringList& paths) {
    return joinedLines(paths, QStringLiteral(" will be deleted.\r\n"));
}

} // namespace Delete1
