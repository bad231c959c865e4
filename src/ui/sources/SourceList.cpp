#include "Form1.h"
#include "Paths.h"
#include "common/ErrorReport.h"
#include "deletelist/DeleteList.h"

#include <QFileInfo>

void Form1::addSourceFolder(const QString& text) {
    ListView1->addRow(text);
}

void Form1::ListView1_DblClick() {
    if (!isBusy())
        ListView1->removeSelectedRow();
}

void Form1::PushButton4_Click() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton4_Click);
    if (trap.test(100, [&] { return isBusy(); }))
        return;
    trap.run(102, [&] { ListView1->clearRows(); });
    trap.run(104, [&] { Delete1::CorrelateListviewsWrapper(*this); });
}

void Form1::ListView1_MouseDown() {
    m_dragging = true;
}

void Form1::ListView1_ItemClick() {
    // The drag pointer is only a picture: without its file the drag works all the same.
    std::optional<QCursor> dragPointer;
    const QString iconFile = programFolder() + QStringLiteral("/drag.ico");
    if (QFileInfo(iconFile).isFile()) {
        const QPixmap image(iconFile);
        if (!image.isNull())
            dragPointer = QCursor(image);
    }
    ListView1->setMouseIcon(dragPointer);
    ListView1->setMousePointer(ListView::PointerCustom);
    const int selected = ListView1->selectedRow();
    m_draggedRow = selected > 0 ? ListView1->rowHandle(selected) : QPersistentModelIndex();
}

void Form1::ListView1_MouseMove(QPoint point) {
    if (!isBusy())
        setMousePointer(PointerDefault);
    if (!m_dragging)
        return;
    const int under = ListView1->hitTest(point);
    const int dragged = draggedRow();
    if (under == 0 || dragged == 0)
        return;
    const QString draggedText = ListView1->rowText(dragged);
    const QString underText = ListView1->rowText(under);
    if (draggedText == underText)
        return;
    ListView1->setRowText(dragged, underText);
    ListView1->setRowText(under, draggedText);
    ListView1->selectRow(under);
    m_draggedRow = ListView1->rowHandle(under);
    autoScrollDuringDrag(under, point);
}

void Form1::autoScrollDuringDrag(int rowUnderPointer, QPoint point) {
    // Near the list's visible top or bottom edge, bring the neighbouring row into view so the
    // drag can go on past what is shown.
    const int edge = ListView1->rowHeightPixels();
    if (point.y() < edge && rowUnderPointer > 1)
        ListView1->ensureRowVisible(rowUnderPointer - 1);
    else if (point.y() > ListView1->viewport()->height() - edge &&
             rowUnderPointer < ListView1->count())
        ListView1->ensureRowVisible(rowUnderPointer + 1);
}

void Form1::ListView1_MouseUp() {
    m_dragging = false;
    ListView1->setMousePointer(ListView::PointerArrow);
}
