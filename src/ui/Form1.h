#pragma once

#include "BusyState.h"
#include "deletelist/DeleteList.h"
#include "deletion/DeletionController.h"
#include "help/HelpController.h"
#include "sources/SourcesController.h"
#include "ui_Form1.h"

#include <QWidget>
#include <memory>

class Dialogs;
class Trash;

namespace Detail {

// The controls from the designer file, set up as soon as the window's widget exists, so that the
// window's controllers can be built from them.
struct Form1Ui : Ui::Form1 {
    explicit Form1Ui(QWidget* form) { setupUi(form); }
};

} // namespace Detail

// The program's one window. Its controls come from the designer file Form1.ui under their
// designed names (ListView1, Text1, PushButton8, ...) and stay its own. It declares every event
// handler under its designed name and forwards each, in one line, to the controller of the
// subsystem that owns it: the sources, the delete list, the deletion run, help.
class Form1 : public QWidget, private Detail::Form1Ui {
    Q_OBJECT
public:
    // trash may be null: the desktop trash is used then.
    explicit Form1(Dialogs& dialogs, Trash* trash = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    static constexpr int PointerDefault = BusyState::PointerDefault;
    static constexpr int PointerBusy = BusyState::PointerBusy;
    static constexpr int PointerHand = BusyState::PointerHand;

    // The window's mouse pointer: 0 default, 11 busy (also the busy flag), 99 hand.
    int mousePointer() const { return m_busy.pointer(); }
    void setMousePointer(int value) { m_busy.setPointer(value); }
    bool isBusy() const { return m_busy.isBusy(); }
    bool hasHandImage() const { return m_handCursor != nullptr; }

    // The title of every message box that has none of its own.
    const QString& appTitle() const { return m_appTitle; }
    // The folder holding the program file, without a trailing separator.
    static QString programFolder();

    // What the window is busy with; a rebuild holds the other handlers until it is done.
    BusyState& busyState() { return m_busy; }
    // True once the window was closed: the program is ending and nothing more may run.
    bool isUnloaded() const { return m_busy.isUnloaded(); }

    // The subsystems, for whoever drives the window from outside (tests, benchmarks).
    SourcesController& sources() { return m_sources; }
    DeleteListController& deleteList() { return m_deleteList; }
    DeletionController& deletion() { return m_deletion; }

    // Start-up.
    void Form_Load();
    void ApplySkin();
    void SetAppTitle();
    void StartupRandomize();

    // Closing the window: the program ends at once and nothing is written.
    void Form_Unload();

    // Pointer hover rules.
    void PushButton_MouseMove();
    void Form_MouseMove();

    // Number box and delete list.
    void Text1_Change();
    void Text1_Validate();
    void PushButton12_Click();
    void PushButton9_Click();
    void ListView3_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    // Source folder list.
    void addSourceFolder(const QString& text);
    void ListView1_DblClick();
    void PushButton4_Click();
    void ListView1_MouseDown();
    void ListView1_ItemClick();
    void ListView1_MouseMove(QPoint point);
    void ListView1_MouseUp();
    void PushButton8_Click();
    void PushButton6_Click();
    // Adds each text as a row after the last, in one step.
    void addSourceFolders(const QStringList& texts);
    void PushButton1_Click();
    // Dropping onto the source list: only local files and folders are taken; each dropped folder
    // adds its own row and the folders below it that hold files.
    void ListView1_OLEDragOver(const QMimeData* data, Qt::DropActions possible,
                               Qt::DropAction& effect);
    void ListView1_OLEDragDrop(const QMimeData* data);
    void addDroppedItems(const QStringList& paths, const QStringList& others);
    // The row dragged last, 0 when none.
    int draggedRow() const { return m_sources.draggedRow(); }
    bool isDragging() const { return m_sources.isDragging(); }

    // Name filters.
    void PushButton11_Click();
    void PushButton13_Click();

    // Deletion run.
    void PushButton2_Click();
    bool isDeletionRunning() const { return m_busy.isRunning(); }

    // "Put Back Last Run…" (Ctrl+Z) and "Put Back a Run…", in the context menus of the summary
    // box and the delete list.
    void PutBackLastRun_Click();
    void PutBackRun_Click();
    void updatePutBackAction();
    QAction* putBackAction() const { return m_deletion.putBackAction(); }

    // Help and sample files.
    void PushButton14_Click();
    void PushButton15_Click();
    void PushButton16_Click();

signals:
    void unloaded();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void styleControls();
    // Makes every button's and frame's caption fit its control with the font the machine resolves.
    void fitCaptions();
    void connectHandlers();
    // The one place where one subsystem's news reaches another.
    void connectSubsystems();
    void showPointer(int value);
    // Shift+F10: the context menu of the control with the focus, as the menu key opens it.
    void openContextMenuFromKeyboard();

    Dialogs& m_dialogs;
    BusyState m_busy;
    std::unique_ptr<Trash> m_ownTrash;
    Trash* m_trash;
    QString m_appTitle;
    std::unique_ptr<QCursor> m_handCursor;
    SourcesController m_sources;
    DeleteListController m_deleteList;
    DeletionController m_deletion;
    HelpController m_help;
};
