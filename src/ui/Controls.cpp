#include "Controls.h"

#include "common/ErrorReport.h"

#include <QAccessible>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <cmath>
#include <utility>

int RowsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_compact ? m_drawn.size() : m_rows.size());
}

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_compact ? m_drawn.at(index.row()) : m_rows.at(index.row());
}

bool RowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    makeTexts();
    QString text = value.toString();
    if (m_rows.at(index.row()) != text) {
        m_rows[index.row()] = std::move(text);
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

Qt::ItemFlags RowsModel::flags(const QModelIndex& index) const {
    // As a list of strings has them; the views take no part in dragging and dropping rows.
    if (!index.isValid())
        return QAbstractListModel::flags(index) | Qt::ItemIsDropEnabled;
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
}

bool RowsModel::insertRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count < 1 || row < 0 || row > rowCount())
        return false;
    makeTexts();
    beginInsertRows(QModelIndex(), row, row + count - 1);
    m_rows.insert(row, count, QString());
    endInsertRows();
    return true;
}

bool RowsModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count < 1 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    if (m_compact)
        m_drawn.remove(row, count);
    else
        m_rows.remove(row, count);
    endRemoveRows();
    return true;
}

void RowsModel::appendRows(const QStringList& texts) {
    if (texts.isEmpty())
        return;
    makeTexts();
    const auto first = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(texts.size()) - 1);
    m_rows.append(texts);
    endInsertRows();
}

QStringList RowsModel::stringList() const {
    return m_compact ? m_drawn.paths() : m_rows;
}

void RowsModel::setStringList(QStringList rows) {
    beginResetModel();
    m_rows = std::move(rows);
    m_drawn = {};
    m_compact = false;
    endResetModel();
}

void RowsModel::setDrawnFiles(Delete1::DrawnFiles rows) {
    beginResetModel();
    m_rows = {};
    m_drawn = std::move(rows);
    m_compact = true;
    endResetModel();
}

void RowsModel::makeTexts() {
    // The texts stay as they were: no row changes, so the views need no notice.
    if (m_compact) {
        m_rows = m_drawn.paths();
        m_drawn = {};
        m_compact = false;
    }
}

QVariant RowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_heading;
    return {};
}

void RowsModel::setHeading(const QString& heading) {
    m_heading = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(this) {
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAutoScroll(false);
    setAllColumnsShowFocus(true);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    // The designed control has no column; start-up adds it.
    header()->hide();
    viewport()->setMouseTracking(true);
}

void ListView::addColumn(const QString& heading) {
    m_model.setHeading(heading);
    header()->show();
}

void ListView::setColumnWidthTwips(int twips) {
    header()->resizeSection(0, static_cast<int>(std::lround(twips / 15.0)));
}

void ListView::addRow(const QString& text) {
    m_model.appendRows({text});
}

void ListView::addRows(const QStringList& texts) {
    // One insertion for all rows: the view lays them out once, at its next paint.
    m_model.appendRows(texts);
}

void ListView::setRows(QStringList rows) {
    m_model.setStringList(std::move(rows));
}

void ListView::setRows(Delete1::DrawnFiles rows) {
    m_model.setDrawnFiles(std::move(rows));
}

void ListView::checkPosition(int position) const {
    if (position < 1 || position > count())
        throw Failure(QStringLiteral("Index out of bounds"));
}

QString ListView::rowText(int position) const {
    checkPosition(position);
    return m_model.index(position - 1).data().toString();
}

void ListView::setRowText(int position, const QString& text) {
    checkPosition(position);
    m_model.setData(m_model.index(position - 1), text);
}

void ListView::removeRow(int position) {
    checkPosition(position);
    m_model.removeRows(position - 1, 1);
}

void ListView::removeSelectedRow() {
    const int selected = selectedRow();
    if (selected > 0)
        removeRow(selected);
}

void ListView::clearRows() {
    m_model.setStringList({});
}

int ListView::selectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : selected.first().row() + 1;
}

void ListView::selectRow(int position) {
    checkPosition(position);
    const QModelIndex index = m_model.index(position - 1);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

int ListView::hitTest(QPoint point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() + 1 : 0;
}

void ListView::ensureRowVisible(int position) {
    checkPosition(position);
    scrollTo(m_model.index(position - 1));
}

int ListView::rowHeightPixels() const {
    if (count() > 0) {
        const int height = sizeHintForRow(0);
        if (height > 0)
            return height;
    }
    return fontMetrics().height() + 2;
}

QPersistentModelIndex ListView::rowHandle(int position) const {
    checkPosition(position);
    return QPersistentModelIndex(m_model.index(position - 1));
}

int ListView::positionOf(const QPersistentModelIndex& handle) {
    return handle.isValid() ? handle.row() + 1 : 0;
}

void ListView::setMousePointer(int value) {
    m_mousePointer = value;
    if (value == PointerCustom && m_mouseIcon)
        viewport()->setCursor(*m_mouseIcon);
    else if (value == PointerDefault)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(Qt::ArrowCursor);
}

void ListView::setMouseIcon(std::optional<QCursor> icon) {
    m_mouseIcon = std::move(icon);
    if (m_mousePointer == PointerCustom)
        setMousePointer(PointerCustom);
}

void ListView::setLayoutOnlyWhenNeeded(bool onlyWhenNeeded) {
    m_layoutOnlyWhenNeeded = onlyWhenNeeded;
    if (!onlyWhenNeeded)
        layoutNow();
}

void ListView::doItemsLayout() {
    // Seen: shown, and some of it inside its window. An assistive technology reads the rows
    // from the layout: while one is active the rows are laid out as usual.
    if (m_layoutOnlyWhenNeeded && !QAccessible::isActive() &&
        (!isVisible() || visibleRegion().isEmpty())) {
        m_layoutDeferred = true;
        return;
    }
    m_layoutDeferred = false;
    QTreeView::doItemsLayout();
}

void ListView::layoutNow() const {
    if (m_layoutDeferred) {
        m_layoutDeferred = false;
        const_cast<ListView*>(this)->QTreeView::doItemsLayout();
    }
}

QRect ListView::visualRect(const QModelIndex& index) const {
    layoutNow();
    return QTreeView::visualRect(index);
}

QModelIndex ListView::indexAt(const QPoint& point) const {
    layoutNow();
    return QTreeView::indexAt(point);
}

void ListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    layoutNow();
    QTreeView::scrollTo(index, hint);
}

void ListView::paintEvent(QPaintEvent* event) {
    layoutNow();
    QTreeView::paintEvent(event);
}

QModelIndex ListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    layoutNow();
    return QTreeView::moveCursor(action, modifiers);
}

void ListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
    layoutNow();
    QTreeView::setSelection(rect, flags);
}

QRegion ListView::visualRegionForSelection(const QItemSelection& selection) const {
    layoutNow();
    return QTreeView::visualRegionForSelection(selection);
}

void ListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    emit mouseDown(event->button(), event->modifiers(), point);
    const int position = hitTest(point);
    if (position > 0)
        emit itemClick(position);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    // The list's own selection-by-dragging is left out: the window's handlers decide what a
    // move with the button down does.
    emit mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit dblClick();
}

bool ListView::answerDrag(QDropEvent* event) {
    // Only the receiver decides; the view's own drag and drop of rows is not used.
    Qt::DropAction effect = event->proposedAction();
    emit oleDragOver(event->mimeData(), event->possibleActions(), &effect);
    if (effect == Qt::IgnoreAction) {
        event->ignore();
        return false;
    }
    event->setDropAction(effect);
    event->accept();
    return true;
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    answerDrag(event);
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    answerDrag(event);
}

void ListView::dropEvent(QDropEvent* event) {
    if (answerDrag(event))
        emit oleDragDrop(event->mimeData());
}

void ListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    QTreeView::keyPressEvent(event);
}

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &TextBox::change);
}

bool TextBox::event(QEvent* event) {
    // Undo is the box's own only while it has something to undo; otherwise the key goes on to
    // the window, whose undo puts back the last run.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo) && !isUndoAvailable()) {
        event->ignore();
        return false;
    }
    return QLineEdit::event(event);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    // Switching to another application or opening a menu is not leaving the box.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit validate();
    QLineEdit::focusOutEvent(event);
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, Steps);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setValueF(double value) {
    m_value = value;
    // A run sets the value and the text per file. QProgressBar measures its text for every new
    // value and may repaint at once, so the bar takes what it is given at most once a frame (its
    // ends at once) and what came in between a frame later; the window repaints no more often.
    showSoon(value <= 0.0 || value >= 100.0);
    emit valueSet(value);
}

void ProgressBar::setBarText(const QString& text) {
    // Copied into the bar's own buffer, kept from text to text: a run sets one per file.
    if (m_text.isDetached()) {
        m_text.resize(0);
        m_text.append(text);
    } else {
        m_text = text;
    }
    m_textPending = true;
    showSoon(false);
    emit textSet(text);
}

void ProgressBar::showSoon(bool now) {
    if (!now && m_pending)
        return; // what was set is shown when the pending frame comes
    if (now || !m_sinceShown.isValid() || m_sinceShown.elapsed() >= FrameMs) {
        showNow();
    } else if (!m_pending) {
        m_pending = true;
        QTimer::singleShot(FrameMs, this, &ProgressBar::showNow);
    }
}

int ProgressBar::steps(double value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0) * Steps / 100.0));
}

void ProgressBar::showNow() {
    m_pending = false;
    m_sinceShown.start();
    // The repaint is left to the next pass of the message loop.
    setUpdatesEnabled(false);
    setValue(steps(m_value));
    setUpdatesEnabled(true);
    update();
    // Assistive technology hears of a new text (the file in progress) as often as the bar shows
    // it; at rest the bar describes nothing.
    if (m_textPending || m_value <= 0.0) {
        m_textPending = false;
        const QString description = m_value > 0.0 ? m_text : QString();
        if (description != accessibleDescription())
            setAccessibleDescription(description);
    }
}
