#pragma once

#include "deletelist/DrawnFiles.h"

#include <QAbstractListModel>
#include <QCursor>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTreeView>
#include <optional>

// Rows of a one-column list: plain texts under one column heading. A list of strings as
// QStringListModel keeps one, which inserts rows one by one at the insertion point: a hundred
// thousand rows appended after one row would cost time that grows with the square of their count.
class RowsModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setHeading(const QString& heading);
    // Appends the texts as rows after the last one: one insertion, one notice.
    void appendRows(const QStringList& texts);
    QStringList stringList() const;
    // Replaces every row; the view starts afresh.
    void setStringList(QStringList rows);
    // Replaces every row by the drawn files' paths, kept compactly until a row is changed or
    // added: a path is made when a row is read.
    void setDrawnFiles(Delete1::DrawnFiles rows);

private:
    // Turns compact rows into texts, before a change that only texts can take.
    void makeTexts();

    QStringList m_rows;
    Delete1::DrawnFiles m_drawn;
    bool m_compact = false;
    QString m_heading;
};

// A one-column report list whose rows are addressed 1..count.
class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    void addColumn(const QString& heading);
    void setColumnWidthTwips(int twips);

    void addRow(const QString& text);
    // Appends rows after the last one in one step; selection and row handles stay.
    void addRows(const QStringList& texts);
    // Replaces every row in one step; much faster than adding rows one by one.
    void setRows(QStringList rows);
    // The same with the files of a draw, whose paths are made only for the rows read.
    void setRows(Delete1::DrawnFiles rows);
    int count() const { return m_model.rowCount(); }
    // Every row's text.
    QStringList rows() const { return m_model.stringList(); }
    // Throws Failure when the position is not 1..count.
    QString rowText(int position) const;
    void setRowText(int position, const QString& text);
    void removeRow(int position);
    // Removes the selected row; nothing when no row is selected.
    void removeSelectedRow();
    void clearRows();

    // 0 when no row is selected.
    int selectedRow() const;
    void selectRow(int position);
    // The row under a point of the list's viewport, 0 when none.
    int hitTest(QPoint point) const;
    void ensureRowVisible(int position);
    int rowHeightPixels() const;
    // A persistent handle on a row: it follows the row and becomes invalid when the row goes.
    QPersistentModelIndex rowHandle(int position) const;
    static int positionOf(const QPersistentModelIndex& handle);

    static constexpr int PointerDefault = 0;
    static constexpr int PointerArrow = 1;
    static constexpr int PointerCustom = 99;
    // 0 default, 1 arrow, 99 the custom pointer image (the arrow when none is set).
    void setMousePointer(int value);
    int mousePointer() const { return m_mousePointer; }
    void setMouseIcon(std::optional<QCursor> icon);
    bool hasMouseIcon() const { return m_mouseIcon.has_value(); }

    // A list placed where the user cannot see it lays its rows out only when something needs
    // the layout (painting once it shows, moving the current row, finding a row by its place):
    // laying out a million rows costs time and tens of bytes per row.
    void setLayoutOnlyWhenNeeded(bool onlyWhenNeeded);
    // True while rows wait to be laid out.
    bool layoutDeferred() const { return m_layoutDeferred; }
    void doItemsLayout() override;
    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point);
    void itemClick(int position);
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, QPoint point);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point);
    void dblClick();
    void keyDown(int key, Qt::KeyboardModifiers shift);
    // A drag enters or moves over the list (when drops are accepted): *effect starts as the
    // effect the source proposes; a receiver sets it to Qt::IgnoreAction to refuse the drag.
    void oleDragOver(const QMimeData* data, Qt::DropActions possible, Qt::DropAction* effect);
    // Something was dropped; the data lives only while the signal is delivered.
    void oleDragDrop(const QMimeData* data);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void checkPosition(int position) const;
    // Asks the window whether it takes the drag or drop; true when it does.
    bool answerDrag(QDropEvent* event);
    // Lays out the rows now when their layout was put off.
    void layoutNow() const;

    RowsModel m_model;
    bool m_layoutOnlyWhenNeeded = false;
    mutable bool m_layoutDeferred = false;
    int m_mousePointer = 0;
    std::optional<QCursor> m_mouseIcon;
};

// The one-line text box: a change event after every change of its text, typed or set by the
// program, and a validation event when the focus is about to leave it. Its undo key is its own only
// while it has something to undo.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);

signals:
    void change();
    void validate();

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// A progress bar that takes a real value from 0 to 100 and shows a text of its own on the bar.
// While the value is above 0 the bar's accessible description is the text last set, updated when
// the bar shows it.
class ProgressBar : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(QString barText READ text WRITE setBarText)
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void setValueF(double value);
    double valueF() const { return m_value; }
    // The value in steps as last set; the bar itself takes it within a frame (see setValueF).
    int value() const { return steps(m_value); }
    void setBarText(const QString& text);
    QString text() const override { return m_text; }

signals:
    void valueSet(double value);
    void textSet(const QString& text);

private:
    static constexpr int Steps = 10000;
    static constexpr qint64 FrameMs = 16;
    static int steps(double value);
    // Shows the value and text now, or a frame later when they were shown less than a frame ago.
    void showSoon(bool now);
    void showNow();
    double m_value = 0;
    QString m_text;
    QElapsedTimer m_sinceShown;
    bool m_pending = false;
    bool m_textPending = false; // a text set since the bar last showed one
};

class PushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

class Frame : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
};
