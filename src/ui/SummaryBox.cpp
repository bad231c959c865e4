#include "SummaryBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
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
const QString LineBreak = QStringLiteral("\r\n");

// Appends the part of piece that lies in [from, to), piece starting at offset base.
void appendOverlap(QString& out, const QString& piece, qsizetype base, qsizetype from,
                   qsizetype to) {
    const qsizetype start = std::max(from, base);
    const qsizetype end = std::min(to, base + piece.size());
    if (start < end)
        out.append(QStringView(piece).mid(start - base, end - start));
}

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

QAccessibleInterface* summaryBoxAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("SummaryBox") && object != nullptr && object->isWidgetType())
        return new SummaryBoxAccessible(static_cast<SummaryBox*>(object));
    return nullptr;
}

} // namespace

SummaryBox::SummaryBox(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool registered = [] {
        QAccessible::installFactory(summaryBoxAccessible);
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
    if (!m_linesMode && text.size() == m_text.size() && text == m_text)
        return;
    const QString before = QAccessible::isActive() ? this->text() : QString();
    m_linesMode = false;
    m_lines = QStringList();
    m_ending = QString();
    m_text = text;
    m_textBuilt = true;
    m_size = text.size();
    indexText();
    textChanged(before);
}

void SummaryBox::setLines(const QStringList& lines, const QString& ending) {
    const QString before = QAccessible::isActive() ? text() : QString();
    m_linesMode = true;
    m_lines = lines;
    m_ending = ending;
    m_text = QString();
    m_textBuilt = lines.isEmpty();
    // One pass over the lines' sizes, which the list holds beside each line.
    m_starts.clear();
    m_starts.reserve(static_cast<std::size_t>(lines.size()) + 1);
    const qsizetype extra = ending.size() + LineBreak.size();
    qsizetype offset = 0;
    qsizetype longest = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        m_starts.push_back(offset);
        const qsizetype length = lines[i].size();
        if (length > lines[longest].size())
            longest = i;
        offset += length + extra;
    }
    m_starts.push_back(offset);
    m_size = offset;
    textChanged(before);
    reset(longest);
}

const QString& SummaryBox::text() const {
    if (!m_textBuilt) {
        m_text = textRange(0, m_size);
        m_textBuilt = true;
    }
    return m_text;
}

void SummaryBox::indexText() {
    // One pass: a line ends at CR LF, LF or a lone CR.
    m_starts.clear();
    m_starts.push_back(0);
    const auto* chars = reinterpret_cast<const char16_t*>(m_text.utf16());
    const qsizetype size = m_text.size();
    qsizetype longest = 0;
    qsizetype longestLength = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i];
        if (c > u'\r' || (c != u'\n' && c != u'\r'))
            continue;
        if (i - start > longestLength) {
            longestLength = i - start;
            longest = static_cast<qsizetype>(m_starts.size()) - 1;
        }
        if (c == u'\r' && i + 1 < size && chars[i + 1] == u'\n')
            ++i;
        start = i + 1;
        m_starts.push_back(start);
    }
    if (size - start > longestLength)
        longest = static_cast<qsizetype>(m_starts.size()) - 1;
    reset(longest);
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

qsizetype SummaryBox::lineLength(qsizetype line) const {
    if (m_linesMode) {
        if (line >= m_lines.size())
            return 0;
        return m_lines[line].size() + m_ending.size();
    }
    if (line + 1 >= lineCount())
        return m_size - lineStart(line);
    const qsizetype next = lineStart(line + 1);
    const auto* chars = reinterpret_cast<const char16_t*>(m_text.utf16());
    const qsizetype breakLength =
        (chars[next - 1] == u'\n' && next - 2 >= lineStart(line) && chars[next - 2] == u'\r') ? 2
                                                                                              : 1;
    return next - breakLength - lineStart(line);
}

QString SummaryBox::lineText(qsizetype line) const {
    if (line < 0 || line >= lineCount())
        return {};
    if (m_linesMode)
        return line < m_lines.size() ? m_lines[line] + m_ending : QString();
    return m_text.mid(lineStart(line), lineLength(line));
}

QString SummaryBox::shownText(qsizetype line) const {
    QString shown = lineText(line);
    if (m_linesMode) {
        for (QChar& c : shown) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                c = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

qsizetype SummaryBox::lineOf(qsizetype offset) const {
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    return std::max<qsizetype>(0, (it - m_starts.begin()) - 1);
}

QString SummaryBox::textRange(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, m_size);
    to = std::clamp<qsizetype>(to, from, m_size);
    if (!m_linesMode || m_textBuilt)
        return m_text.mid(from, to - from);
    QString out;
    out.reserve(to - from);
    for (qsizetype line = lineOf(from); line < m_lines.size(); ++line) {
        const qsizetype start = lineStart(line);
        if (start >= to)
            break;
        const QString& path = m_lines[line];
        appendOverlap(out, path, start, from, to);
        appendOverlap(out, m_ending, start + path.size(), from, to);
        appendOverlap(out, LineBreak, start + path.size() + m_ending.size(), from, to);
    }
    return out;
}

void SummaryBox::setSelection(qsizetype anchor, qsizetype cursor) {
    m_anchor = clampOffset(anchor);
    m_cursor = clampOffset(cursor);
    m_preferredX = -1;
    ensureVisible(m_cursor);
    viewport()->update();
    notifySelection();
}

QString SummaryBox::selectedText() const {
    return textRange(std::min(m_anchor, m_cursor), std::max(m_anchor, m_cursor));
}

void SummaryBox::selectAll() {
    m_anchor = 0;
    m_cursor = m_size;
    viewport()->update();
    notifySelection();
}

void SummaryBox::copy() const {
    if (!hasSelection())
        return;
    // Copying everything hands over the text itself rather than a copy of it.
    if (std::min(m_anchor, m_cursor) == 0 && std::max(m_anchor, m_cursor) == m_size)
        QGuiApplication::clipboard()->setText(text());
    else
        QGuiApplication::clipboard()->setText(selectedText());
}

void SummaryBox::notifySelection() {
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent cursorEvent(this, static_cast<int>(m_cursor));
        QAccessible::updateAccessibility(&cursorEvent);
        QAccessibleTextSelectionEvent selectionEvent(
            this, static_cast<int>(std::min(m_anchor, m_cursor)),
            static_cast<int>(std::max(m_anchor, m_cursor)));
        QAccessible::updateAccessibility(&selectionEvent);
    }
    emit selectionChanged();
}

qsizetype SummaryBox::clampOffset(qsizetype offset) const {
    offset = std::clamp<qsizetype>(offset, 0, m_size);
    const qsizetype line = lineOf(offset);
    // Never inside a line break: such an offset stands for the end of its line.
    return std::min(offset, lineStart(line) + lineLength(line));
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
    layout.setText(shownText(line));
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

bool SummaryBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Copy and select-all belong to the box while it has the focus.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
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

void SummaryBox::moveCursor(qsizetype offset, bool keepAnchor) {
    m_cursor = clampOffset(offset);
    if (!keepAnchor)
        m_anchor = m_cursor;
    ensureVisible(m_cursor);
    viewport()->update();
    notifySelection();
}

void SummaryBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_preferredX = -1;
    m_selecting = true;
    m_lastMouse = event->position().toPoint();
    moveCursor(offsetAt(m_lastMouse), event->modifiers().testFlag(Qt::ShiftModifier));
}

void SummaryBox::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || !event->buttons().testFlag(Qt::LeftButton)) {
        event->ignore();
        return;
    }
    m_lastMouse = event->position().toPoint();
    moveCursor(offsetAt(m_lastMouse), true);
    // Held above or below the box, the selection keeps scrolling on.
    if (viewport()->rect().contains(m_lastMouse))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(50, this);
}

void SummaryBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_selecting) {
        event->ignore();
        return;
    }
    m_selecting = false;
    m_autoScroll.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void SummaryBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The word under the pointer.
    const qsizetype offset = offsetAt(event->position().toPoint());
    const qsizetype line = lineOf(offset);
    const qsizetype start = lineStart(line);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, lineText(line));
    finder.setPosition(offset - start);
    qsizetype from =
        finder.isAtBoundary() && finder.boundaryReasons().testFlag(QTextBoundaryFinder::StartOfItem)
            ? offset - start
            : finder.toPreviousBoundary();
    finder.setPosition(offset - start);
    qsizetype to = finder.toNextBoundary();
    if (from < 0)
        from = 0;
    if (to < 0)
        to = lineLength(line);
    m_selecting = true;
    m_anchor = clampOffset(start + from);
    moveCursor(start + to, true);
}

void SummaryBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_autoScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (!m_selecting) {
        m_autoScroll.stop();
        return;
    }
    moveCursor(offsetAt(m_lastMouse), true);
}

qsizetype SummaryBox::nextPosition(qsizetype offset, bool words) const {
    const qsizetype line = lineOf(offset);
    const qsizetype column = offset - lineStart(line);
    if (column >= lineLength(line))
        return line + 1 < lineCount() ? lineStart(line + 1) : offset;
    QTextLayout layout;
    layOut(layout, line);
    return lineStart(line) +
           layout.nextCursorPosition(static_cast<int>(column),
                                     words ? QTextLayout::SkipWords : QTextLayout::SkipCharacters);
}

qsizetype SummaryBox::previousPosition(qsizetype offset, bool words) const {
    const qsizetype line = lineOf(offset);
    const qsizetype column = offset - lineStart(line);
    if (column == 0)
        return line > 0 ? lineStart(line - 1) + lineLength(line - 1) : 0;
    QTextLayout layout;
    layOut(layout, line);
    return lineStart(line) + layout.previousCursorPosition(static_cast<int>(column),
                                                           words ? QTextLayout::SkipWords
                                                                 : QTextLayout::SkipCharacters);
}

qsizetype SummaryBox::verticalMove(qsizetype offset, qsizetype lines) const {
    const qsizetype line = lineOf(offset);
    QTextLayout from;
    layOut(from, line);
    const qreal x = m_preferredX >= 0
                        ? m_preferredX
                        : from.lineAt(0).cursorToX(static_cast<int>(offset - lineStart(line)));
    const qsizetype target = std::clamp<qsizetype>(line + lines, 0, lineCount() - 1);
    if (target == line)
        return lines < 0 ? lineStart(line) : lineStart(line) + lineLength(line);
    QTextLayout to;
    layOut(to, target);
    return lineStart(target) + to.lineAt(0).xToCursor(x);
}

void SummaryBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        int kind;
    };
    enum {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        LineStart,
        LineEnd,
        TextStart,
        TextEnd
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, PreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, PreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, LineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, LineEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, TextStart},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, TextEnd},
    };
    for (const Move& move : moves) {
        const bool select = event->matches(move.select);
        if (!select && !event->matches(move.move))
            continue;
        const qsizetype line = lineOf(m_cursor);
        qsizetype target = m_cursor;
        const bool vertical = move.kind == NextLine || move.kind == PreviousLine ||
                              move.kind == NextPage || move.kind == PreviousPage;
        qreal keptX = -1;
        if (vertical) {
            QTextLayout layout;
            layOut(layout, line);
            keptX = m_preferredX >= 0
                        ? m_preferredX
                        : layout.lineAt(0).cursorToX(static_cast<int>(m_cursor - lineStart(line)));
        }
        switch (move.kind) {
        case NextChar:
            target = nextPosition(m_cursor, false);
            break;
        case PreviousChar:
            target = previousPosition(m_cursor, false);
            break;
        case NextWord:
            target = nextPosition(m_cursor, true);
            break;
        case PreviousWord:
            target = previousPosition(m_cursor, true);
            break;
        case NextLine:
            target = verticalMove(m_cursor, 1);
            break;
        case PreviousLine:
            target = verticalMove(m_cursor, -1);
            break;
        case NextPage:
            target = verticalMove(m_cursor, visibleLineCount());
            break;
        case PreviousPage:
            target = verticalMove(m_cursor, -visibleLineCount());
            break;
        case LineStart:
            target = lineStart(line);
            break;
        case LineEnd:
            target = lineStart(line) + lineLength(line);
            break;
        case TextStart:
            target = 0;
            break;
        case TextEnd:
            target = m_size;
            break;
        default:
            break;
        }
        moveCursor(target, select);
        m_preferredX = keptX;
        return;
    }
    event->ignore();
}

void SummaryBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void SummaryBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void SummaryBox::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuOpening();
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction* selectAllAction = menu.addAction(tr("Select All"), this, [this] { selectAll(); });
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(m_size > 0);
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
    menu.exec(event->globalPos());
}
