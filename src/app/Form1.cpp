#include "Form1.h"

#include "../deletion/Trash.h"
#include "AppTitle.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Paths.h"
#include "Random.h"
#include "Settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QScreen>
#include <QTime>
#include <QtEndian>
#include <bit>
#include <cmath>

namespace {

// Positions are designed in twips, 15 to a pixel.
QRect twips(int left, int top, int width, int height) {
    auto px = [](int value) { return static_cast<int>(std::lround(value / 15.0)); };
    return {px(left), px(top), px(width), px(height)};
}

const char* const ListTooltip = "Double-click item to remove it. Move | line to right and out of "
                                "window to reveal full names.";

// The hand pointer from a cursor file; its hot spot is read from the file's directory entry.
std::unique_ptr<QCursor> loadCursorFile(const QString& path) {
    QImageReader reader(path, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    int hotX = -1;
    int hotY = -1;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(14);
        if (head.size() == 14) {
            hotX = qFromLittleEndian<quint16>(head.constData() + 10);
            hotY = qFromLittleEndian<quint16>(head.constData() + 12);
        }
    }
    if (hotX >= image.width() || hotY >= image.height())
        hotX = hotY = -1;
    return std::make_unique<QCursor>(QPixmap::fromImage(image), hotX, hotY);
}

bool cameFromChild(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    return widget != nullptr && widget->childAt(mouse->position().toPoint()) != nullptr;
}

} // namespace

namespace Main {

QString AppTitleFrom(const QString& productTitle) {
    QString title = productTitle;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break; // a title of one word stays whole
        title.truncate(space);
    } while (title.size() > 40);
    return title;
}

} // namespace Main

Form1::Form1(Dialogs& dialogs, Trash* trash, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs) {
    if (trash == nullptr) {
        m_ownTrash = std::make_unique<DesktopTrash>();
        trash = m_ownTrash.get();
    }
    m_trash = trash;
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(1064, 326);
    buildControls();
    connectHandlers();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The hidden delete list is first in the keyboard order and holds the focus at first.
    ListView3->setFocus();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    setFont(font);
    QFont buttonFont = font;
    buttonFont.setPointSizeF(11.25);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setMouseTracking(true);

    auto frame = [&](const QString& caption, QRect geometry, const char* name) {
        auto* f = new Frame(caption, this);
        f->setObjectName(QLatin1String(name));
        f->setGeometry(geometry);
        f->setPalette(white);
        f->setAutoFillBackground(true);
        f->setFlat(false);
        return f;
    };
    auto list = [&](QRect geometry, const char* name) {
        auto* l = new ListView(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(geometry);
        l->setFont(font);
        l->setToolTip(QLatin1String(ListTooltip));
        return l;
    };
    auto button = [&](const QString& caption, QRect geometry, const char* name) {
        auto* b = new PushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(geometry);
        b->setFont(buttonFont);
        return b;
    };

    Frame4 = frame(QStringLiteral("Summary/Preview Before Deleting"), twips(8040, 570, 7800, 2655),
                   "Frame4");
    Text4 = new SummaryBox(Frame4);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setGeometry(twips(240, 270, 7300, 2220));
    ListView1 = list(twips(120, 120, 7800, 1785), "ListView1");
    Frame1 = frame(QStringLiteral("Number Of Files To Delete From Source"),
                   twips(120, 3450, 7800, 800), "Frame1");
    Text1 = new TextBox(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(240, 300, 7335, 330));
    Text1->setText(QStringLiteral("Text1"));
    ListView3 = list(twips(6240, 7440, 7800, 2745), "ListView3");
    PushButton8 =
        button(QStringLiteral("1. Add Folder(s)"), twips(120, 1980, 3840, 405), "PushButton8");
    PushButton6 = button(QStringLiteral("1. Add All Subfolders In Folder"),
                         twips(4080, 1980, 3840, 405), "PushButton6");
    PushButton1 = button(QStringLiteral("1. Load List Of Folders From File"),
                         twips(120, 2490, 3840, 405), "PushButton1");
    PushButton4 = button(QStringLiteral("Clear List"), twips(4080, 2490, 3840, 405), "PushButton4");
    PushButton12 = button(QStringLiteral("2. Start Generating List"), twips(8040, 120, 7800, 405),
                          "PushButton12");
    PushButton9 = button(QStringLiteral("Clear List"), twips(8040, 3850, 3840, 405), "PushButton9");
    PushButton2 = button(QStringLiteral("3. Start Deleting Files"), twips(8040, 4360, 7800, 405),
                         "PushButton2");
    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(twips(120, 4360, 7800, 405));
    ProgressBar1->setBarText(QStringLiteral("Progress Bar"));
    PushButton11 = button(QStringLiteral("Remove Filenames Containing X"),
                          twips(8040, 3340, 3840, 405), "PushButton11");
    PushButton13 = button(QStringLiteral("Remove Filenames Not Cont. X"),
                          twips(12000, 3340, 3840, 405), "PushButton13");
    PushButton14 = button(QStringLiteral("Help"), twips(12000, 3850, 3840, 405), "PushButton14");
    PushButton15 = button(QStringLiteral("Help"), twips(120, 3000, 3840, 405), "PushButton15");
    PushButton16 = button(QStringLiteral("Load Sample/Example Files"), twips(4080, 3000, 3840, 405),
                          "PushButton16");

    // Keyboard order as designed: the delete list first, then the source list and the buttons.
    const QList<QWidget*> order = {ListView3,    ListView1,    PushButton8,  PushButton6,
                                   PushButton1,  PushButton4,  PushButton12, PushButton9,
                                   PushButton2,  Text1,        PushButton11, PushButton13,
                                   PushButton14, PushButton15, PushButton16, Text4};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    Frame1->setFocusPolicy(Qt::NoFocus);
    Frame4->setFocusPolicy(Qt::NoFocus);

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

void Form1::connectHandlers() {
    using Main::Untrapped;
    auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this,
                [this, handler](auto&&...) { Untrapped([this, handler] { (this->*handler)(); }); });
    };
    connect(Text1, &TextBox::change, this, [this] { Untrapped([this] { Text1_Change(); }); });
    on(Text1, &TextBox::validate, &Form1::Text1_Validate);
    on(PushButton12, &QPushButton::clicked, &Form1::PushButton12_Click);
    on(PushButton9, &QPushButton::clicked, &Form1::PushButton9_Click);
    on(PushButton4, &QPushButton::clicked, &Form1::PushButton4_Click);
    on(PushButton8, &QPushButton::clicked, &Form1::PushButton8_Click);
    on(PushButton6, &QPushButton::clicked, &Form1::PushButton6_Click);
    on(PushButton2, &QPushButton::clicked, &Form1::PushButton2_Click);
    on(PushButton1, &QPushButton::clicked, &Form1::PushButton1_Click);
    ListView1->setAcceptDrops(true);
    connect(ListView1, &ListView::oleDragOver, this, [this](auto data, auto possible, auto effect) {
        Main::Untrapped([&] { ListView1_OLEDragOver(data, possible, *effect); });
    });
    connect(ListView1, &ListView::oleDragDrop, this,
            [this](auto data) { Main::Untrapped([&] { ListView1_OLEDragDrop(data); }); });
    connect(ListView3, &ListView::keyDown, this, [this](int key, Qt::KeyboardModifiers shift) {
        Untrapped([&] { ListView3_KeyDown(key, shift); });
    });
    on(ListView1, &ListView::dblClick, &Form1::ListView1_DblClick);
    on(ListView1, &ListView::mouseDown, &Form1::ListView1_MouseDown);
    on(ListView1, &ListView::itemClick, &Form1::ListView1_ItemClick);
    on(ListView1, &ListView::mouseUp, &Form1::ListView1_MouseUp);
    connect(ListView1, &ListView::mouseMove, this,
            [this](Qt::MouseButtons, Qt::KeyboardModifiers, QPoint point) {
                Untrapped([&] { ListView1_MouseMove(point); });
            });
}

QString Form1::programFolder() {
    return QCoreApplication::applicationDirPath();
}

void Form1::setMousePointer(int value) {
    m_mousePointer = value;
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

void Form1::Form_Load() {
    Main::ErrorTrap trap(m_dialogs, Location::Form_Load);
    trap.run(100, [&] { ApplySkin(); });
    trap.run(102, [&] {
        setWindowTitle(QStringLiteral("Thinwick"));
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
        Text1->setText(Main::GetSetting(QStringLiteral("Brindlewood"), QStringLiteral("Thinwick"),
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
    QFile file(skinPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(file.errorString());
    const QByteArray sheet = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    setStyleSheet(QString::fromUtf8(sheet));
}

void Form1::SetAppTitle() {
    m_appTitle = Main::AppTitleFrom(windowTitle());
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

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // A move that a child did not take travels on to its parent; only the control actually under
    // the pointer applies its rule.
    if (event->type() == QEvent::MouseMove && !cameFromChild(watched, event)) {
        if (qobject_cast<PushButton*>(watched) != nullptr)
            Main::Untrapped([this] { PushButton_MouseMove(); });
        else
            Main::Untrapped([this] { Form_MouseMove(); });
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    if (!cameFromChild(this, event))
        Main::Untrapped([this] { Form_MouseMove(); });
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload() {
    // Nothing is saved, and a run in progress stops before its next file.
    m_unloaded = true;
    emit unloaded();
}
