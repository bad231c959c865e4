#pragma once

#include "deletelist/DrawnFiles.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace Delete1 {

// The text of the summary box, read line by line without ever being built whole unless asked.
// It is held in one of two ways behind the same readings: a text set as it is (lines break at
// CR LF, LF or a lone CR), or lines shared with the caller (texts, or drawn files whose paths are
// made only for the lines read), each followed by an ending and CR LF (the rebuild's form: a
// million paths cost no copy). Offsets count UTF-16 code units.
class SummaryTextModel {
public:
    SummaryTextModel();
    ~SummaryTextModel();
    SummaryTextModel(const SummaryTextModel&) = delete;
    SummaryTextModel& operator=(const SummaryTextModel&) = delete;

    // False when the model already holds exactly this text as a text of its own: nothing changed.
    bool setText(const QString& text);
    void setLines(const QStringList& lines, const QString& ending);
    // The same over drawn files, whose paths are made only for the lines read.
    void setLines(const DrawnFiles& lines, const QString& ending);
    // The whole text; in the shared-lines form it is built on the first call and kept.
    const QString& text() const;
    // True while the model holds shared lines rather than a text of its own.
    bool sharesLines() const;

    qsizetype size() const;
    // The lines as shown; a text that ends in a line break has an empty line after it.
    qsizetype lineCount() const;
    qsizetype lineStart(qsizetype line) const;
    // The line's length without its line break.
    qsizetype lineLength(qsizetype line) const;
    // The line's text without its line break; empty for a line that does not exist.
    QString lineText(qsizetype line) const;
    // The line as drawn: a line break inside a shared line shows as a replacement character.
    QString shownLine(qsizetype line) const;
    // The line that holds the offset (an offset inside a line break belongs to the line before).
    qsizetype lineOf(qsizetype offset) const;
    // The text from one offset to another (both clamped to the text).
    QString textRange(qsizetype from, qsizetype to) const;
    // The offset clamped to the text and moved out of a line break to the end of its line.
    qsizetype clampOffset(qsizetype offset) const;
    // The line with the most code units, found when the text was set.
    qsizetype longestLine() const;

    class Storage;

private:
    std::unique_ptr<Storage> m_storage;
};

} // namespace Delete1
