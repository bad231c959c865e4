#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/ErrorReport.h"
#include "sources/SourcesController.h"

#include <QFileInfo>

SourcesController::SourcesController(ListView& list, Dialogs& dialogs, const QString& appTitle,
                                     BusyState& busy, QObject* parent)
    : QObject(parent), m_list(list), m_dialogs(dialogs), m_appTitle(appTitle), m_busy(busy) {}

void SourcesController::keepListingsWith(std::function<void(Delete1::FolderListing&&)> keep) {
    m_keepListing = std::move(keep);
}

int SourcesController::draggedRow() const {
    return ListView::positionOf(m_draggedRow);
}

void SourcesController::addSourceFolder(const QString& text) {
    m_list.addRow(text);
}

void SourcesController::removeSelectedRow() {
    if (!m_busy.isBusy())
        m_list.removeSelectedRow();
}

void SourcesController::clear() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton4_Click);
    if (trap.test(100, [&] { return m_busy.isBusy(); }))
        return;
    trap.run(102, [&] { m_list.clearRows(); });
    trap.run(104, [&] { emit sourcesChanged(); });
}

void SourcesController::mouseDown() {
    m_dragging = true;
}

void SourcesController::itemClick() {
    // The drag pointer is only a picture: without its file the drag works all the same.
    std::optional<QCursor> dragPointer;
    const QString iconFile = Main::programFolder() + QStringLiteral("/drag.ico");
    if (QFileInfo(iconFile).isFile()) {
        const QPixmap image(iconFile);
        if (!image.isNull())
            dragPointer = QCursor(image);
    }
    m_list.setMouseIcon(dragPointer);
    m_list.setMousePointer(ListView::PointerCustom);
    const int selected = m_list.selectedRow();
    m_draggedRow = selected > 0 ? m_list.rowHandle(selected) : QPersistentModelIndex();
}

void SourcesController::mouseMove(QPoint point) {
    if (!m_busy.isBusy())
        m_busy.setPointer(BusyState::PointerDefault);
    if (!m_dragging)
        return;
    const int under = m_list.hitTest(point);
    const int dragged = draggedRow();
    if (under == 0 || dragged == 0)
        return;
    const QString draggedText = m_list.rowText(dragged);
    const QString underText = m_list.rowText(under);
    if (draggedText == underText)
        return;
    m_list.setRowText(dragged, underText);
    m_list.setRowText(under, draggedText);
    m_list.selectRow(under);
    m_draggedRow = m_list.rowHandle(under);
    autoScrollDuringDrag(under, point);
}

void SourcesController::autoScrollDuringDrag(int rowUnderPointer, QPoint point) {
    // Near the list's visible top or bottom edge, bring the neighbouring row into view so the
    // drag can go on past what is shown.
    const int edge = m_list.rowHeightPixels();
    if (point.y() < edge && rowUnderPointer > 1)
        m_list.ensureRowVisible(rowUnderPointer - 1);
    else if (point.y() > m_list.viewport()->height() - edge && rowUnderPointer < m_list.count())
        m_list.ensureRowVisible(rowUnderPointer + 1);
}

void SourcesController::mouseUp() {
    m_dragging = false;
    m_list.setMousePointer(ListView::PointerArrow);
}
