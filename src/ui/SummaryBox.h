#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <QStringList>
#include <vector>

class QTextLayout;

// The multi-line summary box with both scroll bars: a read-only view over its lines that paints
// only the lines in sight, so a box of a million lines costs no more than the lines themselves.
// It keeps its text exactly as set, line ends included; lines break at CR LF, LF or a lone CR.
// The user can read, select (mouse and keyboard) and copy it but not type into it, and assistive
// technology reads it as read-only multi-line text.
//
// Offsets count UTF-16 code units into the text, as QString does.
class SummaryBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SummaryBox(QWidget* parent = nullptr);
    ~SummaryBox() override;

    void setText(const QString& text);
    // Sets the text to each of lines followed by ending and CR LF, the last line included,
    // without building it: the lines are shared with the caller. text() builds it when asked.
    void setLines(const QStringList& lines, const QString& ending);
    const QString& text() const;

    // The lines as shown; a text that ends in a line break has an empty line after it.
    qsizetype lineCount() const { return static_cast<qsizetype>(m_starts.size()); }
    qsizetype textSize() const { return m_size; }
    qsizetype lineStart(qsizetype line) const { return m_starts[static_cast<std::size_t>(line)]; }
    // The line's length without its line break.
    qsizetype lineLength(qsizetype line) const;
    // The line's text without its line break.
    QString lineText(qsizetype line) const;
    // The line that holds the offset (an offset inside a line break belongs to the line before).
    qsizetype lineOf(qsizetype offset) const;
    // The text from one offset to another, without building the whole text.
    QString textRange(qsizetype from, qsizetype to) const;

    // The selection runs from the anchor to the cursor; they are equal when nothing is selected.
    qsizetype cursorPosition() const { return m_cursor; }
    qsizetype anchorPosition() const { return m_anchor; }
    void setSelection(qsizetype anchor, qsizetype cursor);
    bool hasSelection() const { return m_anchor != m_cursor; }
    QString selectedText() const;
    void selectAll();
    // Puts the selected text on the clipboard; nothing when nothing is selected.
    void copy() const;

    // The first line in sight and the number of whole lines the box shows.
    qsizetype firstVisibleLine() const;
    int visibleLineCount() const;
    // Scrolls so that the offset is in sight.
    void ensureVisible(qsizetype offset);
    // The offset nearest to a point of the viewport, and the rectangle of the character at an
    // offset in viewport coordinates (empty when its line is out of sight).
    qsizetype offsetAt(QPoint point) const;
    QRect characterRect(qsizetype offset) const;

signals:
    void selectionChanged();
    // The context menu is about to open; the box's own actions (QWidget::addAction) follow its
    // copy entries there.
    void contextMenuOpening();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void reset(qsizetype longestLine);
    void indexText();
    void textChanged(const QString& before);
    // The line as drawn: line breaks inside a shared line show as replacement characters.
    QString shownText(qsizetype line) const;
    void layOut(QTextLayout& layout, qsizetype line) const;
    int lineHeight() const;
    int lineTop(qsizetype line) const;
    qreal xOffset() const;
    void updateScrollBars();
    void moveCursor(qsizetype offset, bool keepAnchor);
    qsizetype clampOffset(qsizetype offset) const;
    qsizetype nextPosition(qsizetype offset, bool words) const;
    qsizetype previousPosition(qsizetype offset, bool words) const;
    qsizetype verticalMove(qsizetype offset, qsizetype lines) const;
    void notifySelection();

    // Either the text itself, or shared lines with an ending (the text is then built on demand).
    mutable QString m_text;
    mutable bool m_textBuilt = true;
    bool m_linesMode = false;
    QStringList m_lines;
    QString m_ending;
    qsizetype m_size = 0;
    // Where each line starts in the text.
    std::vector<qsizetype> m_starts{0};
    // The widest line measured so far, in pixels: the longest line at first, then every line
    // drawn, as a plain text edit measures lines when it lays them out.
    qreal m_widest = 0;
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    // The x position that up and down keep, -1 when none.
    qreal m_preferredX = -1;
    bool m_selecting = false;
    QPoint m_lastMouse;
    QBasicTimer m_autoScroll;
};
