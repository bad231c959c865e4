// Every caption of the window whole with the font the machine resolves. By default the test
// offers fontconfig DejaVu Sans alone (a minimal Debian without Arial's metric twin, where the
// wider font used to clip four captions); THINWICK_TEST_FONTS=system runs it on the system's fonts.
// On Windows it runs on the machine's own fonts through the platform's window system, where the
// window's Arial must resolve to Arial (or its metric twin Liberation Sans), never a fallback.
#include "Form1.h"
#include "FormControls.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QStyle>
#include <QTest>

namespace {

bool dejaVuOnly() {
#ifdef Q_OS_WIN
    return false;
#else
    return qEnvironmentVariable("THINWICK_TEST_FONTS") != QStringLiteral("system");
#endif
}

// The families the window's font may resolve to with the fonts under test.
QStringList familiesUnderTest() {
    if (dejaVuOnly())
        return {QStringLiteral("DejaVu Sans")};
#ifdef Q_OS_WIN
    return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
#else
    return {QStringLiteral("Liberation Sans")};
#endif
}

bool dejaVuOffered = false;

// A fontconfig setup with DejaVu Sans (regular and bold) as its only fonts, read before the
// application starts.
void offerOnlyDejaVuSans() {
    const QString folder = TestEnv::root() + QStringLiteral("/fonts");
    QDir().mkpath(folder + QStringLiteral("/files"));
    dejaVuOffered = true;
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
        dejaVuOffered &=
            QFile::link(QStringLiteral("/usr/share/fonts/truetype/dejavu/") + QLatin1String(name),
                        folder + QStringLiteral("/files/") + QLatin1String(name));
    QFile config(folder + QStringLiteral("/fonts.conf"));
    if (config.open(QIODevice::WriteOnly))
        config.write(QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig><dir>%1/files</dir>"
                                    "<cachedir>%1/cache</cachedir></fontconfig>\n")
                         .arg(folder)
                         .toUtf8());
    qputenv("FONTCONFIG_FILE", QFile::encodeName(config.fileName()));
}

struct Caption {
    QWidget* control;
    QString text;
    double designedSize;
};

QList<Caption> captions(Form1& form) {
    QList<Caption> all;
    for (PushButton* button : form.findChildren<PushButton*>())
        all.append({button, button->text(), 11.25});
    for (Frame* frame : form.findChildren<Frame*>())
        all.append({frame, frame->title(), 9});
    return all;
}

} // namespace

class CaptionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (dejaVuOnly() && !dejaVuOffered)
            QSKIP("DejaVu Sans is not installed (Debian: fonts-dejavu-core)");
    }

    // The font setup is the one meant: otherwise the checks below would prove nothing.
    void theWindowResolvesTheFontUnderTest() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        const QString family = QFontInfo(FormControls(form).PushButton1->font()).family();
        QVERIFY2(familiesUnderTest().contains(family), qPrintable(family));
    }

    // The whole caption lies inside the control's frame, in the font the control resolves.
    void everyCaptionFitsInsideItsControl() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        const QList<Caption> all = captions(form);
        QCOMPARE(all.size(), 14);
        for (const Caption& caption : all) {
            const int frame = caption.control->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                    nullptr, caption.control);
            const double width = QFontMetricsF(caption.control->font(), caption.control)
                                     .horizontalAdvance(caption.text);
            QVERIFY2(width <= caption.control->width() - 2 * frame,
                     qPrintable(QStringLiteral("%1: %2 px in %3 px")
                                    .arg(caption.text)
                                    .arg(width)
                                    .arg(caption.control->width())));
        }
    }

    // Only what would not fit is made smaller, and only its size changes: the family, the text
    // and the designed geometry stay. DejaVu Sans is wide enough to need it for the four longest.
    void onlyCaptionsThatWouldClipAreMadeSmaller() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        QStringList smaller;
        for (const Caption& caption : captions(form)) {
            const QFont font = caption.control->font();
            QVERIFY(font.pointSizeF() <= caption.designedSize);
            QVERIFY(font.pointSizeF() >= caption.designedSize - 2);
            QVERIFY(font.bold());
            if (font.pointSizeF() < caption.designedSize)
                smaller.append(caption.text);
        }
        smaller.sort();
        const QStringList longest = {QStringLiteral("1. Add All Subfolders In Folder"),
                                     QStringLiteral("1. Load List Of Folders From File"),
                                     QStringLiteral("Remove Filenames Containing X"),
                                     QStringLiteral("Remove Filenames Not Cont. X")};
        QCOMPARE(smaller, dejaVuOnly() ? longest : QStringList());
        QCOMPARE(FormControls(form).PushButton1->geometry(), QRect(8, 166, 256, 27));
        QCOMPARE(FormControls(form).PushButton1->text(),
                 QStringLiteral("1. Load List Of Folders From File"));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
#ifdef Q_OS_WIN
    // The fonts as the window meets them: through the window system, which resolves a missing
    // family its own way (the offscreen platform would only read a font folder).
    qputenv("QT_QPA_PLATFORM", "windows");
#endif
    if (dejaVuOnly())
        offerOnlyDejaVuSans();
    QApplication app(argc, argv);
    CaptionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_captions.moc"
