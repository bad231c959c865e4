// The summary box's input: selection and copy, the mouse, the keys, the context menu.
#include "SummaryBox.h"

#include "MenuEntry.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>

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
    m_cursor = m_model.size();
    viewport()->update();
    notifySelection();
}

void SummaryBox::copy() const {
    if (!hasSelection())
        return;
    // Copying everything hands over the text itself rather than a copy of it.
    if (std::min(m_anchor, m_cursor) == 0 && std::max(m_anchor, m_cursor) == m_model.size())
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
            target = m_model.size();
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

void SummaryBox::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuOpening();
    QMenu menu(this);
    menu.setToolTipsVisible(true); // a greyed entry says why
    QAction* copyAction = menu.addAction(tr("&Copy"), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction* selectAllAction = menu.addAction(tr("Select All"), this, [this] { selectAll(); });
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(m_model.size() > 0);
    if (!actions().isEmpty()) {
        menu.addSeparator();
        for (QAction* action : actions())
            addEntryFor(menu, action);
    }
    menu.exec(event->globalPos());
}
