#include "SummaryBox.h"

#include "SummaryBoxAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

// Space around the text, as a plain text edit leaves it.
constexpr int Margin = 4;

} // namespace

SummaryBox::SummaryBox(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool registered = [] {
        QAccessible::installFactory(summaryBoxAccessibleFactory);
        return true;
    }();
    Q_UNUSED(registered);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

SummaryBox::~SummaryBox() = default;

void SummaryBox::setText(const QString& text) {
    if (!m_model.sharesLines() && text.size() == m_model.size() && text == m_model.text())
        return;
    const QString before = QAccessible::isActive() ? this->text() : QString();
    m_model.setText(text);
    reset(m_model.longestLine());
    textChanged(before);
}

void SummaryBox::setLines(const QStringList& lines, const QString& ending) {
    const QString before = QAccessible::isActive() ? text() : QString();
    m_model.setLines(lines, ending);
    textChanged(before);
    reset(m_model.longestLine());
}

void SummaryBox::setLines(const Delete1::DrawnFiles& lines, const QString& ending) {
    const QString before = QAccessible::isActive() ? text() : QString();
    m_model.setLines(lines, ending);
    textChanged(before);
    reset(m_model.longestLine());
}

const QString& SummaryBox::text() const {
    return m_model.text();
}

void SummaryBox::reset(qsizetype longestLine) {
    // As a plain text edit does on new text: the cursor at the start, the view at the top left.
    m_anchor = m_cursor = 0;
    m_preferredX = -1;
    m_selecting = false;
    m_autoScroll.stop();
    m_widest = 0;
    if (longestLine < lineCount()) {
        QTextLayout layout;
        layOut(layout, longestLine);
        m_widest = layout.lineAt(0).naturalTextWidth();
    }
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void SummaryBox::textChanged(const QString& before) {
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(this, 0, before, text());
        QAccessible::updateAccessibility(&event);
    }
    emit selectionChanged();
}

int SummaryBox::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

qsizetype SummaryBox::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int SummaryBox::visibleLineCount() const {
    return std::max(1, (viewport()->height() - Margin) / lineHeight());
}

int SummaryBox::lineTop(qsizetype line) const {
    return Margin + static_cast<int>(line - firstVisibleLine()) * lineHeight();
}

qreal SummaryBox::xOffset() const {
    return Margin - horizontalScrollBar()->value();
}

void SummaryBox::layOut(QTextLayout& layout, qsizetype line) const {
    layout.setText(m_model.shownLine(line));
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(layoutDirection());
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    textLine.setLeadingIncluded(true);
    textLine.setLineWidth(std::max(1, viewport()->width()));
    textLine.setPosition(QPointF(0, 0));
    layout.endLayout();
}

void SummaryBox::updateScrollBars() {
    const int height = visibleLineCount();
    const qsizetype lines = lineCount();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(
        0, static_cast<int>(std::min<qsizetype>(std::max<qsizetype>(0, lines - height), INT_MAX)));
    vertical->setPageStep(height);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = static_cast<int>(std::ceil(m_widest)) + 2 * Margin;
    horizontal->setRange(0, std::max(0, width - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
}

void SummaryBox::ensureVisible(qsizetype offset) {
    offset = clampOffset(offset);
    const qsizetype line = lineOf(offset);
    const qsizetype first = firstVisibleLine();
    const int height = visibleLineCount();
    if (line < first)
        verticalScrollBar()->setValue(static_cast<int>(line));
    else if (line >= first + height)
        verticalScrollBar()->setValue(static_cast<int>(line - height + 1));
    QTextLayout layout;
    layOut(layout, line);
    const qreal x = layout.lineAt(0).cursorToX(static_cast<int>(offset - lineStart(line)));
    QScrollBar* horizontal = horizontalScrollBar();
    const int left = horizontal->value();
    const int width = viewport()->width() - 2 * Margin;
    if (x < left)
        horizontal->setValue(static_cast<int>(std::floor(x)));
    else if (x > left + width)
        horizontal->setValue(static_cast<int>(std::ceil(x)) - width);
}

qsizetype SummaryBox::offsetAt(QPoint point) const {
    const qsizetype first = firstVisibleLine();
    const int row = static_cast<int>(std::floor(double(point.y() - Margin) / lineHeight()));
    const qsizetype line = std::clamp<qsizetype>(first + row, 0, lineCount() - 1);
    QTextLayout layout;
    layOut(layout, line);
    const int column = layout.lineAt(0).xToCursor(point.x() - xOffset());
    return clampOffset(lineStart(line) + column);
}

QRect SummaryBox::characterRect(qsizetype offset) const {
    offset = clampOffset(offset);
    const qsizetype line = lineOf(offset);
    const qsizetype first = firstVisibleLine();
    if (line < first || line > first + visibleLineCount())
        return {};
    QTextLayout layout;
    layOut(layout, line);
    const QTextLine textLine = layout.lineAt(0);
    const int column = static_cast<int>(offset - lineStart(line));
    const qreal left = textLine.cursorToX(column);
    qreal right = textLine.cursorToX(layout.nextCursorPosition(column));
    if (right <= left)
        right = left + fontMetrics().horizontalAdvance(QLatin1Char(' '));
    return QRect(QPoint(static_cast<int>(std::floor(left + xOffset())), lineTop(line)),
                 QPoint(static_cast<int>(std::ceil(right + xOffset())) - 1,
                        lineTop(line) + lineHeight() - 1));
}

void SummaryBox::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect clip = event->rect();
    const QPalette& colors = palette();
    painter.setPen(colors.color(QPalette::Text));
    const qsizetype selectionStart = std::min(m_anchor, m_cursor);
    const qsizetype selectionEnd = std::max(m_anchor, m_cursor);
    const qreal x = xOffset();
    const int height = lineHeight();
    const qreal widestBefore = m_widest;
    QTextCharFormat selected;
    selected.setBackground(colors.brush(QPalette::Highlight));
    selected.setForeground(colors.brush(QPalette::HighlightedText));
    for (qsizetype line = firstVisibleLine(); line < lineCount(); ++line) {
        const int top = lineTop(line);
        if (top > clip.bottom())
            break;
        if (top + height <= clip.top())
            continue;
        QTextLayout layout;
        layOut(layout, line);
        const QTextLine textLine = layout.lineAt(0);
        m_widest = std::max(m_widest, textLine.naturalTextWidth());
        const qsizetype start = lineStart(line);
        const qsizetype length = lineLength(line);
        QList<QTextLayout::FormatRange> selections;
        if (selectionStart < start + length && selectionEnd > start) {
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(std::max<qsizetype>(selectionStart - start, 0));
            range.length = static_cast<int>(std::min(selectionEnd - start, length)) - range.start;
            range.format = selected;
            selections.append(range);
        }
        layout.draw(&painter, QPointF(x, top), selections, clip);
        // A selection that goes on past the line's end shows its line break as a small block.
        if (selectionStart <= start + length && selectionEnd > start + length &&
            line + 1 < lineCount()) {
            const qreal end = textLine.naturalTextWidth() + x;
            painter.fillRect(
                QRectF(end, top, fontMetrics().horizontalAdvance(QLatin1Char(' ')), height),
                colors.brush(QPalette::Highlight));
        }
        if (hasFocus() && lineOf(m_cursor) == line)
            layout.drawCursor(&painter, QPointF(x, top), static_cast<int>(m_cursor - start));
    }
    if (m_widest > widestBefore)
        updateScrollBars();
}

void SummaryBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SummaryBox::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Widths measured in the old font no longer hold: measure the longest line again.
        qsizetype longest = 0;
        for (qsizetype line = 1; line < lineCount(); ++line) {
            if (lineLength(line) > lineLength(longest))
                longest = line;
        }
        QTextLayout layout;
        layOut(layout, longest);
        m_widest = layout.lineAt(0).naturalTextWidth();
        updateScrollBars();
        viewport()->update();
    }
}

void SummaryBox::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void SummaryBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void SummaryBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
