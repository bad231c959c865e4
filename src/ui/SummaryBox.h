#pragma once

#include "deletelist/SummaryTextModel.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <QStringList>

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
    void setLines(const Delete1::DrawnFiles& lines, const QString& ending);
    const QString& text() const;

    // The lines as shown; a text that ends in a line break has an empty line after it.
    qsizetype lineCount() const { return m_model.lineCount(); }
    qsizetype textSize() const { return m_model.size(); }
    qsizetype lineStart(qsizetype line) const { return m_model.lineStart(line); }
    // The line's length without its line break.
    qsizetype lineLength(qsizetype line) const { return m_model.lineLength(line); }
    // The line's text without its line break.
    QString lineText(qsizetype line) const { return m_model.lineText(line); }
    // The line that holds the offset (an offset inside a line break belongs to the line before).
    qsizetype lineOf(qsizetype offset) const { return m_model.lineOf(offset); }
    // The text from one offset to another, without building the whole text.
    QString textRange(qsizetype from, qsizetype to) const { return m_model.textRange(from, to); }

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
    void textChanged(const QString& before);
    void layOut(QTextLayout& layout, qsizetype line) const;
    int lineHeight() const;
    int lineTop(qsizetype line) const;
    qreal xOffset() const;
    void updateScrollBars();
    void moveCursor(qsizetype offset, bool keepAnchor);
    qsizetype clampOffset(qsizetype offset) const { return m_model.clampOffset(offset); }
    qsizetype nextPosition(qsizetype offset, bool words) const;
    qsizetype previousPosition(qsizetype offset, bool words) const;
    qsizetype verticalMove(qsizetype offset, qsizetype lines) const;
    void notifySelection();

    // The text and its lines, held whole or as shared lines.
    Delete1::SummaryTextModel m_model;
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
