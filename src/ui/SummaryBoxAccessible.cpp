#include "SummaryBoxAccessible.h"

#include "SummaryBox.h"

#include <QAccessibleWidget>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <limits>

namespace {

// Assistive technology reads the box as read-only multi-line text, with its whole text, its
// selection, and its lines.
class SummaryBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit SummaryBoxAccessible(SummaryBox* box)
        : QAccessibleWidget(box, QAccessible::EditableText) {}

    SummaryBox* box() const { return static_cast<SummaryBox*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.editable = false;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value)
            return box()->text();
        return QAccessibleWidget::text(type);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && box()->hasSelection()) {
            *startOffset = toInt(std::min(box()->anchorPosition(), box()->cursorPosition()));
            *endOffset = toInt(std::max(box()->anchorPosition(), box()->cursorPosition()));
        }
    }
    int selectionCount() const override { return box()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override {
        box()->setSelection(startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            box()->setSelection(box()->cursorPosition(), box()->cursorPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex == 0)
            box()->setSelection(startOffset, endOffset);
    }
    int cursorPosition() const override { return toInt(box()->cursorPosition()); }
    void setCursorPosition(int position) override { box()->setSelection(position, position); }
    QString text(int startOffset, int endOffset) const override {
        return box()->textRange(startOffset, endOffset);
    }
    int characterCount() const override { return toInt(box()->textSize()); }
    QRect characterRect(int offset) const override {
        const QRect rect = box()->characterRect(offset);
        if (rect.isEmpty())
            return {};
        return QRect(box()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = box()->viewport()->mapFromGlobal(point);
        if (!box()->viewport()->rect().contains(local))
            return -1;
        return toInt(box()->offsetAt(local));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        box()->ensureVisible(endIndex);
        box()->ensureVisible(startIndex);
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        // One look for the whole text.
        *startOffset = offset < 0 ? -1 : 0;
        *endOffset = offset < 0 ? -1 : characterCount();
        return {};
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override {
        *startOffset = *endOffset = -1;
        const qsizetype size = box()->textSize();
        if (offset < 0 || offset > size)
            return {};
        if (type == QAccessible::NoBoundary) {
            *startOffset = 0;
            *endOffset = toInt(size);
            return box()->textRange(0, size);
        }
        if (offset == size && offset > 0 && type != QAccessible::LineBoundary &&
            type != QAccessible::ParagraphBoundary)
            return {};
        const qsizetype line = box()->lineOf(offset);
        const qsizetype lineStart = box()->lineStart(line);
        const qsizetype lineEnd = line + 1 < box()->lineCount() ? box()->lineStart(line + 1) : size;
        qsizetype start = lineStart;
        qsizetype end = lineEnd;
        if (type != QAccessible::LineBoundary && type != QAccessible::ParagraphBoundary) {
            // Characters, words and sentences are found within the line and its line break.
            const QString lineText = box()->textRange(lineStart, lineEnd);
            QTextBoundaryFinder::BoundaryType finderType = QTextBoundaryFinder::Grapheme;
            if (type == QAccessible::WordBoundary)
                finderType = QTextBoundaryFinder::Word;
            else if (type == QAccessible::SentenceBoundary)
                finderType = QTextBoundaryFinder::Sentence;
            QTextBoundaryFinder finder(finderType, lineText);
            finder.setPosition(offset - lineStart);
            qsizetype local = offset - lineStart;
            qsizetype before = finder.isAtBoundary() ? local : finder.toPreviousBoundary();
            finder.setPosition(local);
            qsizetype after = finder.toNextBoundary();
            if (before < 0)
                before = 0;
            if (after < 0)
                after = lineText.size();
            start = lineStart + before;
            end = lineStart + after;
        }
        *startOffset = toInt(start);
        *endOffset = toInt(end);
        return box()->textRange(start, end);
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override {
        int start = -1;
        int end = -1;
        textAtOffset(offset, type, &start, &end);
        *startOffset = *endOffset = -1;
        if (start <= 0)
            return {};
        return textAtOffset(start - 1, type, startOffset, endOffset);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override {
        int start = -1;
        int end = -1;
        textAtOffset(offset, type, &start, &end);
        *startOffset = *endOffset = -1;
        if (end < 0 || end >= characterCount())
            return {};
        return textAtOffset(end, type, startOffset, endOffset);
    }

private:
    static int toInt(qsizetype value) {
        return static_cast<int>(std::min<qsizetype>(value, std::numeric_limits<int>::max()));
    }
};

} // namespace

QAccessibleInterface* summaryBoxAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("SummaryBox") && object != nullptr && object->isWidgetType())
        return new SummaryBoxAccessible(static_cast<SummaryBox*>(object));
    return nullptr;
}
