#include "Form1.h"

#include "Paths.h"
#include "common/AppTitle.h"
#include "common/CursorFile.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/FileRead.h"
#include "common/ProgramFolder.h"
#include "common/Random.h"
#include "common/Settings.h"
#include "deletion/Trash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTime>
#include <bit>
#include <cmath>

namespace {

// The hand pointer from a cursor file, with the hot spot its directory entry names.
std::unique_ptr<QCursor> loadCursorFile(const QString& path) {
    QImageReader reader(path, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    QFile file(path);
    const QPoint hotSpot = Main::cursorHotSpot(
        file.open(QIODevice::ReadOnly) ? file.read(14) : QByteArray(), image.size());
    return std::make_unique<QCursor>(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

bool cameFromChild(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    return widget != nullptr && widget->childAt(mouse->position().toPoint()) != nullptr;
}

// The width a button's caption may take: its contents (inside the frame) less the style's margin.
int captionRoom(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QStyle* style = button->style();
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width() -
           style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
}

// A frame's title: as much room as the frame leaves right of its title's indent.
int captionRoom(const QGroupBox* frame) {
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.textAlignment = frame->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, frame);
    return option.rect.width() - 2 * label.left();
}

// Lowers the control's point size in quarter points until its caption fits its room; the text and
// the geometry stay as designed.
template <class Control> void fitCaption(Control* control, const QString& caption) {
    constexpr double Step = 0.25;
    constexpr double Smallest = 4;
    QFont font = control->font();
    while (QFontMetricsF(font, control).size(Qt::TextShowMnemonic, caption).width() >
               captionRoom(control) &&
           font.pointSizeF() - Step >= Smallest) {
        font.setPointSizeF(font.pointSizeF() - Step);
        control->setFont(font);
    }
}

} // namespace

Form1::Form1(Dialogs& dialogs, Trash* trash, QWidget* parent)
    : QWidget(parent), Form1Ui(this), m_dialogs(dialogs),
      m_ownTrash(trash == nullptr ? std::make_unique<DesktopTrash>() : nullptr),
      m_trash(trash == nullptr ? m_ownTrash.get() : trash),
      m_sources(*ListView1, m_dialogs, m_appTitle, m_busy),
      m_deleteList(*ListView1, *Text1, *ListView3, *Text4, m_dialogs, m_appTitle, m_busy),
      m_deletion(*ListView3, *Text4, *ProgressBar1, *m_trash, m_dialogs, m_appTitle, m_busy),
      m_help(*ListView1, *Text1, m_dialogs, m_appTitle, m_busy) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    connect(&m_busy, &BusyState::pointerChanged, this, &Form1::showPointer);
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this), &QShortcut::activated, this,
            &Form1::openContextMenuFromKeyboard);
    styleControls();
    fitCaptions();
    connectHandlers();
    connectSubsystems();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The hidden delete list is first in the keyboard order and holds the focus at first.
    ListView3->setFocus();
}

Form1::~Form1() = default;

void Form1::styleControls() {
    // What the designer file cannot hold: the buttons' fractional point size, the white
    // background of the window and frames, and the pointer moves the hover rules listen to.
    QFont buttonFont = font();
    buttonFont.setPointSizeF(11.25);
    for (PushButton* button : findChildren<PushButton*>())
        button->setFont(buttonFont);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    Frame1->setPalette(white);
    Frame4->setPalette(white);

    // Hover rules: every plain control reports its pointer moves to the window.
    const QList<QWidget*> watched = {
        PushButton1,       PushButton2,          PushButton4,  PushButton6,  PushButton8,
        PushButton9,       PushButton11,         PushButton12, PushButton13, PushButton14,
        PushButton15,      PushButton16,         Frame1,       Frame4,       Text1,
        Text4->viewport(), ListView3->viewport()};
    for (QWidget* widget : watched) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
}

void Form1::fitCaptions() {
    // The window asks for Arial; a machine without it or its metric twin (Liberation Sans) may
    // resolve a wider font, and a caption wider than its control would lose letters.
    for (PushButton* button : findChildren<PushButton*>())
        fitCaption(button, button->text());
    for (Frame* frame : findChildren<Frame*>())
        fitCaption(frame, frame->title());
}

void Form1::connectHandlers() {
    using Main::untrapped;
    // Every handler runs through the busy state: one that would start in the middle of a rebuild
    // waits until the rebuild has finished.
    auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler](auto&&...) {
            m_busy.runOrHold(
                [this, handler] { untrapped([this, handler] { (this->*handler)(); }); });
        });
    };
    on(Text1, &TextBox::change, &Form1::Text1_Change);
    on(Text1, &TextBox::validate, &Form1::Text1_Validate);
    on(PushButton12, &QPushButton::clicked, &Form1::PushButton12_Click);
    on(PushButton9, &QPushButton::clicked, &Form1::PushButton9_Click);
    on(PushButton4, &QPushButton::clicked, &Form1::PushButton4_Click);
    on(PushButton8, &QPushButton::clicked, &Form1::PushButton8_Click);
    on(PushButton6, &QPushButton::clicked, &Form1::PushButton6_Click);
    on(PushButton2, &QPushButton::clicked, &Form1::PushButton2_Click);
    on(PushButton14, &QPushButton::clicked, &Form1::PushButton14_Click);
    on(PushButton15, &QPushButton::clicked, &Form1::PushButton15_Click);
    on(PushButton16, &QPushButton::clicked, &Form1::PushButton16_Click);
    on(PushButton1, &QPushButton::clicked, &Form1::PushButton1_Click);
    ListView1->setAcceptDrops(true);
    connect(ListView1, &ListView::oleDragOver, this, [this](auto data, auto possible, auto effect) {
        Main::untrapped([&] { ListView1_OLEDragOver(data, possible, *effect); });
    });
    connect(ListView1, &ListView::oleDragDrop, this,
            [this](auto data) { Main::untrapped([&] { ListView1_OLEDragDrop(data); }); });
    on(PushButton11, &QPushButton::clicked, &Form1::PushButton11_Click);
    on(PushButton13, &QPushButton::clicked, &Form1::PushButton13_Click);
    connect(ListView3, &ListView::keyDown, this, [this](int key, Qt::KeyboardModifiers shift) {
        m_busy.runOrHold([this, key, shift] { untrapped([&] { ListView3_KeyDown(key, shift); }); });
    });
    on(ListView1, &ListView::dblClick, &Form1::ListView1_DblClick);
    on(ListView1, &ListView::mouseDown, &Form1::ListView1_MouseDown);
    on(ListView1, &ListView::itemClick, &Form1::ListView1_ItemClick);
    on(ListView1, &ListView::mouseUp, &Form1::ListView1_MouseUp);
    connect(ListView1, &ListView::mouseMove, this,
            [this](Qt::MouseButtons, Qt::KeyboardModifiers, QPoint point) {
                m_busy.runOrHold([this, point] { untrapped([&] { ListView1_MouseMove(point); }); });
            });
}

QString Form1::programFolder() {
    return Main::programFolder();
}

void Form1::showPointer(int value) {
    switch (value) {
    case PointerBusy:
        setCursor(Qt::WaitCursor);
        break;
    case PointerHand:
        if (m_handCursor)
            setCursor(*m_handCursor);
        else
            unsetCursor();
        break;
    default:
        unsetCursor();
        break;
    }
}

void Form1::connectSubsystems() {
    // New sources draw the delete list afresh; the listings the subfolder walk read on its way
    // are kept for that rebuild.
    const auto rebuild = [this] { m_deleteList.CorrelateListviewsWrapper(); };
    connect(&m_sources, &SourcesController::sourcesChanged, this, rebuild);
    connect(&m_help, &HelpController::sourcesChanged, this, rebuild);
    m_sources.keepListingsWith(
        [this](Delete1::FolderListing&& listing) { m_deleteList.keepListing(std::move(listing)); });
}

// The handlers, each forwarded to the subsystem that owns it.
// clang-format off
// Source folder list.
void Form1::addSourceFolder(const QString& text) { m_sources.addSourceFolder(text); }
void Form1::addSourceFolders(const QStringList& texts) { m_sources.addSourceFolders(texts); }
void Form1::ListView1_DblClick() { m_sources.removeSelectedRow(); }
void Form1::PushButton4_Click() { m_sources.clear(); }
void Form1::ListView1_MouseDown() { m_sources.mouseDown(); }
void Form1::ListView1_ItemClick() { m_sources.itemClick(); }
void Form1::ListView1_MouseMove(QPoint point) { m_sources.mouseMove(point); }
void Form1::ListView1_MouseUp() { m_sources.mouseUp(); }
void Form1::PushButton8_Click() { m_sources.addFolder(); }
void Form1::PushButton6_Click() { m_sources.addSubfolders(); }
void Form1::PushButton1_Click() { m_sources.loadListFiles(); }
void Form1::ListView1_OLEDragOver(const QMimeData* data, Qt::DropActions possible, Qt::DropAction& effect) { m_sources.dragOver(data, possible, effect); }
void Form1::ListView1_OLEDragDrop(const QMimeData* data) { m_sources.drop(data); }
void Form1::addDroppedItems(const QStringList& paths, const QStringList& others) { m_sources.addDroppedItems(paths, others); }

// Help and sample files.
void Form1::PushButton14_Click() { m_help.showContact(Location::PushButton14_Click); }
void Form1::PushButton15_Click() { m_help.showContact(Location::PushButton15_Click); }
void Form1::PushButton16_Click() { m_help.loadSamples(); }

// Number box, delete list and name filters.
void Form1::Text1_Change() { m_deleteList.numberChanged(); }
void Form1::Text1_Validate() { m_deleteList.validateNumber(); }
void Form1::PushButton12_Click() { m_deleteList.generate(); }
void Form1::PushButton9_Click() { m_deleteList.clear(); }
void Form1::ListView3_KeyDown(int keyCode, Qt::KeyboardModifiers /*shift*/) { m_deleteList.keyDown(keyCode); }
void Form1::PushButton11_Click() { m_deleteList.removeContainingClick(); }
void Form1::PushButton13_Click() { m_deleteList.removeNotContainingClick(); }

// Deletion run and put-back.
void Form1::PushButton2_Click() { m_deletion.run(); }
void Form1::PutBackLastRun_Click() { m_deletion.putBackLastRun(); }
void Form1::PutBackRun_Click() { m_deletion.showRunsDialog(); }
void Form1::updatePutBackAction() { m_deletion.updatePutBackAction(); }
// clang-format on

void Form1::Form_Load() {
    Main::ErrorTrap trap(m_dialogs, Location::Form_Load);
    trap.run(100, [&] { ApplySkin(); });
    trap.run(102, [&] {
        setWindowTitle(QString::fromUtf8(Product::Title));
        setWindowIcon(QIcon(QStringLiteral(":/thinwick.png")));
        SetAppTitle();
    });
    const QString handFile = programFolder() + QStringLiteral("/HAND-M.CUR");
    if (trap.test(104, [&] { return Main::FileExists(handFile); })) {
        // An unreadable image leaves the default arrow; nothing is reported.
        trap.run(106, [&] { m_handCursor = loadCursorFile(handFile); });
    }
    trap.run(108, [&] { StartupRandomize(); });
    trap.run(128, [&] {
        Text1->setText(Main::getSetting(QString::fromUtf8(Product::SettingsApp),
                                        QString::fromUtf8(Product::SettingsSection),
                                        QStringLiteral("Text1"), QStringLiteral("100")));
    });
    trap.run(130, [&] { ListView1->addColumn(QStringLiteral("1. Source Folder(s)")); });
    trap.run(132, [&] { ListView1->setColumnWidthTwips(7000); });
    trap.run(134, [&] { ListView3->addColumn(QStringLiteral("Random Delete List")); });
    trap.run(136, [&] { ListView3->setColumnWidthTwips(7000); });
}

void Form1::ApplySkin() {
    const QString skinPath = programFolder() + QStringLiteral("/x/o.cjs");
    const QFileInfo skin(skinPath);
    if (!skin.isFile() || skin.isHidden())
        return;
    // The window and its frames take the button-face colour before the skin itself is read.
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QPalette skinned = palette();
    skinned.setColor(QPalette::Window, buttonFace);
    setPalette(skinned);
    for (Frame* frame : findChildren<Frame*>()) {
        QPalette framePalette = frame->palette();
        framePalette.setColor(QPalette::Window, buttonFace);
        frame->setPalette(framePalette);
    }
    setStyleSheet(QString::fromUtf8(Main::readWholeFile(skinPath)));
}

void Form1::SetAppTitle() {
    m_appTitle = Main::appTitleFrom(windowTitle());
}

void Form1::StartupRandomize() {
    // Seconds since midnight, with their fraction, as a single-precision value.
    const float seconds = static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0F;
    Main::Random::seed(Main::Random::startupSeed().value_or(std::bit_cast<std::uint32_t>(seconds)));
    const int n = static_cast<int>(std::floor(Main::Random::next() * 100.0)) + 1;
    if (n == 7)
        m_dialogs.openUrl(QUrl(QString::fromUtf8(Vendor::HomePage)));
}

void Form1::PushButton_MouseMove() {
    if (!isBusy())
        setMousePointer(PointerHand);
}

void Form1::Form_MouseMove() {
    if (!isBusy())
        setMousePointer(PointerDefault);
}

bool Form1::event(QEvent* event) {
    // Ctrl+Z that no control took for itself: "Put Back Last Run…" is looked at again before the
    // shortcut is matched, so the key acts on the runs as they are now.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo))
        m_deletion.updatePutBackAction();
    return QWidget::event(event);
}

void Form1::openContextMenuFromKeyboard() {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr || target->window() != this)
        target = this;
    if (!target->isEnabled())
        return;
    // Where the menu key opens it: at the text cursor, or the middle of a control without one.
    const QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QCoreApplication::sendEvent(target, &menuEvent);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // A move that a child did not take travels on to its parent; only the control actually under
    // the pointer applies its rule.
    if (event->type() == QEvent::MouseMove && !cameFromChild(watched, event)) {
        if (qobject_cast<PushButton*>(watched) != nullptr)
            Main::untrapped([this] { PushButton_MouseMove(); });
        else
            Main::untrapped([this] { Form_MouseMove(); });
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    if (!cameFromChild(this, event))
        Main::untrapped([this] { Form_MouseMove(); });
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload() {
    // Nothing is saved, and a run in progress stops before its next file.
    m_busy.setUnloaded();
    emit unloaded();
}
