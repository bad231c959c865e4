// The window, start-up, error report, and the settings as the window uses them.
#include "Form1.h"
#include "FormControls.h"
#include "RunApart.h"
#include "TestSupport.h"
#include "common/AppTitle.h"
#include "common/ErrorReport.h"
#include "common/Random.h"
#include "common/Settings.h"
#ifdef Q_OS_WIN
#include "common/SettingsBranch.h"
#endif

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

const QString App = QStringLiteral("Brindlewood");
const QString Section = QStringLiteral("Thinwick");

QRect twips(int left, int top, int width, int height) {
    auto px = [](int value) { return static_cast<int>(std::lround(value / 15.0)); };
    return {px(left), px(top), px(width), px(height)};
}

void moveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QString besideProgram(const QString& name) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        TestEnv::removeSettings();
        Main::Random::setStartupSeed(1);
    }

    void errorReportIsJoinedExactly() {
        QCOMPARE(Main::errorReportText(QStringLiteral("D"), Location::PushButton4_Click, 104),
                 QStringLiteral("D\r\nin Pruvel2021/08/31.Form1.PushButton4_Click at line 104\r\r"
                                "Please email screenshot of this message to "
                                "support@brindlewood.example"));
    }

    void locationTextsFollowOnePattern() {
        const QList<QPair<const char*, QString>> locations = {
            {Location::Form_Load, "Form1.Form_Load"},
            {Location::PushButton1_Click, "Form1.PushButton1_Click"},
            {Location::PushButton2_Click, "Form1.PushButton2_Click"},
            {Location::PushButton4_Click, "Form1.PushButton4_Click"},
            {Location::PushButton6_Click, "Form1.PushButton6_Click"},
            {Location::PushButton8_Click, "Form1.PushButton8_Click"},
            {Location::PushButton9_Click, "Form1.PushButton9_Click"},
            {Location::PushButton11_Click, "Form1.PushButton11_Click"},
            {Location::PushButton12_Click, "Form1.PushButton12_Click"},
            {Location::PushButton13_Click, "Form1.PushButton13_Click"},
            {Location::PushButton14_Click, "Form1.PushButton14_Click"},
            {Location::PushButton15_Click, "Form1.PushButton15_Click"},
            {Location::PushButton16_Click, "Form1.PushButton16_Click"},
            {Location::RemoveItemsWith, "Main.RemoveItemsWith"},
            {Location::RemoveItemsWithout, "Main.RemoveItemsWithout"},
            {Location::randomFileList, "Delete1.randomFileList"},
            {Location::CorrelateListviewsWrapper, "Delete1.CorrelateListviewsWrapper"},
        };
        for (const auto& [text, procedure] : locations)
            QCOMPARE(QString::fromUtf8(text),
                     QStringLiteral("in Pruvel2021/08/31.") + procedure + QLatin1Char(' '));
        QCOMPARE(QString::fromUtf8(Location::GetSubDirectories2016),
                 QStringLiteral("in Orlanby2021/08/31.AddFolder.GetSubDirectories2016 "));
    }

    void errorTrapReportsAndGoesOn() {
        ScriptedDialogs dialogs;
        dialogs.expectMessage(3);
        Main::ErrorTrap trap(dialogs, Location::PushButton9_Click);
        QStringList ran;
        trap.run(100, [&] { throw Failure(QStringLiteral("first")); });
        trap.run(102, [&] { ran << "102"; });
        // A called procedure without its own trap: its rest is abandoned, the caller's label is
        // reported and the caller goes on.
        auto untrappedCallee = [&] {
            ran << "callee start";
            throw Failure(QStringLiteral("inner"));
        };
        trap.run(104, [&] {
            untrappedCallee();
            ran << "callee end";
        });
        const bool taken = trap.test(106, [&]() -> bool { throw Failure(QStringLiteral("cond")); });
        QVERIFY(taken);
        QVERIFY(!trap.test(108, [] { return false; }));
        QCOMPARE(ran, QStringList({"102", "callee start"}));
        const QStringList texts = dialogs.messageTexts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].startsWith("first\r\nin Pruvel2021/08/31.Form1.PushButton9_Click at line "
                                    "100\r\r"));
        QVERIFY(texts[1].startsWith("inner\r\n") && texts[1].contains("at line 104\r\r"));
        QVERIFY(texts[2].startsWith("cond\r\n") && texts[2].contains("at line 106\r\r"));
        for (const auto& call : dialogs.calls()) {
            QCOMPARE(call.title, QStringLiteral("Application Error"));
            QCOMPARE(call.icon, MessageIcon::Warning);
        }
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("one word stays whole") << "Thinwick"
                                              << "Thinwick";
        QTest::newRow("three short words") << "Alpha Beta Gamma"
                                           << "Alpha Beta";
        QTest::newRow("cut until at most 40")
            << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Eeeeeeeeee Ffff"
            << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc";
        QTest::newRow("exactly 40 after one cut") << "Aaaaaaaa Bbbbbbbbb Cccccccccc Dddddddddd Eee"
                                                  << "Aaaaaaaa Bbbbbbbbb Cccccccccc Dddddddddd";
    }
    void applicationTitle() {
        QFETCH(QString, product);
        QFETCH(QString, title);
        QCOMPARE(Main::appTitleFrom(product), title);
    }

    void unwritableStoreNeitherCrashesNorReports() {
#ifdef Q_OS_WIN
        // A registry key whose name is longer than the registry allows (255) cannot be made.
        const QString branch = TestEnv::settingsFile().section(QLatin1Char('\\'), 0, -2);
        Main::useSettingsBranch(branch + QLatin1Char('\\') + QString(300, QLatin1Char('k')));
        auto restore = qScopeGuard([&] { Main::useSettingsBranch(branch); });
#else
        // A store under a path whose parent is a file cannot be written, even by root.
        const QString blocker = TestEnv::root() + QStringLiteral("/blocker");
        TestEnv::makeFile(blocker);
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + "/config"));
        auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
#endif
        QVERIFY_THROWS_EXCEPTION(Failure, Main::saveSetting(App, Section, "Text1", "5"));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        FormControls(form).Text1->setText(
            QStringLiteral("42")); // the change handler saves and must cope
        QCOMPARE(FormControls(form).Text1->text(), QStringLiteral("42"));
        QVERIFY(dialogs.calls().empty());
    }

    void startUpWithoutStoredCount() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(FormControls(form).Text1->text(), QStringLiteral("100"));
        QCOMPARE(Main::getSetting(App, Section, "Text1", "none"), QStringLiteral("100"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Thinwick"));
        QCOMPARE(form.appTitle(), QStringLiteral("Thinwick"));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(FormControls(form).ListView1->model()->headerData(0, Qt::Horizontal),
                 QVariant(QStringLiteral("1. Source Folder(s)")));
        QCOMPARE(FormControls(form).ListView3->model()->headerData(0, Qt::Horizontal),
                 QVariant(QStringLiteral("Random Delete List")));
        QCOMPARE(FormControls(form).ListView1->header()->sectionSize(0), 467);
        QCOMPARE(FormControls(form).ListView3->header()->sectionSize(0), 467);
        QVERIFY(!FormControls(form).ListView1->header()->isHidden());
        QCOMPARE(FormControls(form).ListView1->count(), 0);
        QCOMPARE(FormControls(form).ListView3->count(), 0);
        QVERIFY(FormControls(form).Text4->text().isEmpty());
        QVERIFY(dialogs.calls().empty());
    }

    void startUpRestoresStoredCount_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("writtenBack");
        QTest::newRow("no leading number") << QByteArray("abc") << "abc" << false;
        QTest::newRow("leading number") << QByteArray("12abc") << "12abc" << true;
        QTest::newRow("negative") << QByteArray("-5") << "-5" << false;
    }
    void startUpRestoresStoredCount() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        QFETCH(bool, writtenBack);
        const QByteArray file = "; kept by hand\n[Thinwick]\nText1=" + stored + "\n";
        TestEnv::writeSettingsFile(file);
#ifdef Q_OS_WIN
        // The registry keeps no file time to show a write that left the value as it was.
        Q_UNUSED(writtenBack)
        {
            ScriptedDialogs dialogs;
            Form1 form(dialogs);
            form.Form_Load();
            QCOMPARE(FormControls(form).Text1->text(), shown);
            QCOMPARE(TestEnv::readSettingsFile(), TestEnv::storedForm(file));
        }
        return;
#endif
        // A write replaces the file, so it shows in the file's time even when its bytes stay.
        const QDateTime old = QDateTime::currentDateTime().addDays(-1);
        {
            QFile settings(TestEnv::settingsFile());
            QVERIFY(settings.open(QIODevice::ReadWrite));
            QVERIFY(settings.setFileTime(old, QFileDevice::FileModificationTime));
        }
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(FormControls(form).Text1->text(), shown);
        QCOMPARE(TestEnv::readSettingsFile(), file);
        QCOMPARE(QFileInfo(TestEnv::settingsFile()).lastModified() != old, writtenBack);
    }

    void startUpWithAnUnreadableStore() {
#ifdef Q_OS_WIN
        QSKIP("the registry cannot be made unreadable to its own user here");
#endif
        QVERIFY(QDir().mkpath(TestEnv::settingsFile())); // a folder where the file should be
        auto cleanup = qScopeGuard([] { QDir(TestEnv::settingsFile()).removeRecursively(); });
        ScriptedDialogs dialogs;
        dialogs.expectMessage();
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(dialogs.messageTexts().size(), 1);
        QVERIFY(dialogs.messageTexts().first().contains(
            "\r\nin Pruvel2021/08/31.Form1.Form_Load at line 128\r\r"));
        QCOMPARE(FormControls(form).Text1->text(),
                 QStringLiteral("Text1")); // the designed text stays
        QCOMPARE(FormControls(form).ListView3->model()->headerData(0, Qt::Horizontal),
                 QVariant(QStringLiteral("Random Delete List")));
    }

    void startUpOpensHomePageAboutOnceInAHundred() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        int opened = 0;
        for (std::uint64_t seed = 0; seed < 3000; ++seed) {
            dialogs.clear();
            dialogs.expectOpenUrl();
            Main::Random::setStartupSeed(seed);
            form.StartupRandomize();
            if (!dialogs.calls().empty()) {
                QCOMPARE(dialogs.calls().front().text,
                         QStringLiteral("https://www.brindlewood.example/"));
                ++opened;
            }
        }
        dialogs.clear();
        QVERIFY2(opened > 10 && opened < 60, qPrintable(QString::number(opened)));
    }

    void controlsStandWhereDesigned() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(form.size(), QSize(1064, 326));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(form.font().family(), QStringLiteral("Arial"));
        QVERIFY(form.font().bold());
        QCOMPARE(form.font().pointSizeF(), 9.0);
        struct Expected {
            QWidget* widget;
            QWidget* container;
            QRect geometry;
            QString caption;
        };
        const QList<Expected> table = {
            {FormControls(form).Frame4, &form, twips(8040, 570, 7800, 2655),
             "Summary/Preview Before Deleting"},
            {FormControls(form).Text4, FormControls(form).Frame4, twips(240, 270, 7300, 2220), ""},
            {FormControls(form).ListView1, &form, twips(120, 120, 7800, 1785), ""},
            {FormControls(form).Frame1, &form, twips(120, 3450, 7800, 800),
             "Number Of Files To Delete From Source"},
            {FormControls(form).Text1, FormControls(form).Frame1, twips(240, 300, 7335, 330), ""},
            {FormControls(form).ListView3, &form, twips(6240, 7440, 7800, 2745), ""},
            {FormControls(form).PushButton8, &form, twips(120, 1980, 3840, 405),
             "1. Add Folder(s)"},
            {FormControls(form).PushButton6, &form, twips(4080, 1980, 3840, 405),
             "1. Add All Subfolders In Folder"},
            {FormControls(form).PushButton1, &form, twips(120, 2490, 3840, 405),
             "1. Load List Of Folders From File"},
            {FormControls(form).PushButton4, &form, twips(4080, 2490, 3840, 405), "Clear List"},
            {FormControls(form).PushButton12, &form, twips(8040, 120, 7800, 405),
             "2. Start Generating List"},
            {FormControls(form).PushButton9, &form, twips(8040, 3850, 3840, 405), "Clear List"},
            {FormControls(form).PushButton2, &form, twips(8040, 4360, 7800, 405),
             "3. Start Deleting Files"},
            {FormControls(form).ProgressBar1, &form, twips(120, 4360, 7800, 405), "Progress Bar"},
            {FormControls(form).PushButton11, &form, twips(8040, 3340, 3840, 405),
             "Remove Filenames Containing X"},
            {FormControls(form).PushButton13, &form, twips(12000, 3340, 3840, 405),
             "Remove Filenames Not Cont. X"},
            {FormControls(form).PushButton14, &form, twips(12000, 3850, 3840, 405), "Help"},
            {FormControls(form).PushButton15, &form, twips(120, 3000, 3840, 405), "Help"},
            {FormControls(form).PushButton16, &form, twips(4080, 3000, 3840, 405),
             "Load Sample/Example Files"},
        };
        for (const Expected& e : table) {
            QCOMPARE(e.widget->parentWidget(), e.container);
            QCOMPARE(e.widget->geometry(), e.geometry);
            if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
                QCOMPARE(button->text(), e.caption);
                QCOMPARE(button->font().pointSizeF(), 11.25);
                QVERIFY(button->font().bold());
            } else if (auto* frame = qobject_cast<QGroupBox*>(e.widget)) {
                QCOMPARE(frame->title(), e.caption);
            }
        }
        QCOMPARE(FormControls(form).ProgressBar1->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(FormControls(form).ProgressBar1->valueF(), 0.0);
        // The delete list lies wholly below the client area.
        QVERIFY(FormControls(form).ListView3->geometry().top() >= form.height());
        const QString tip = QStringLiteral("Double-click item to remove it. Move | line to right "
                                           "and out of window to reveal full names.");
        QCOMPARE(FormControls(form).ListView1->toolTip(), tip);
        QCOMPARE(FormControls(form).ListView3->toolTip(), tip);
    }

    void focusStartsOnHiddenDeleteListAndTabsInDesignedOrder() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), FormControls(form).ListView3);
        const QList<QWidget*> order = {
            FormControls(form).ListView1,    FormControls(form).PushButton8,
            FormControls(form).PushButton6,  FormControls(form).PushButton1,
            FormControls(form).PushButton4,  FormControls(form).PushButton12,
            FormControls(form).PushButton9,  FormControls(form).PushButton2,
            FormControls(form).Text1,        FormControls(form).PushButton11,
            FormControls(form).PushButton13, FormControls(form).PushButton14,
            FormControls(form).PushButton15, FormControls(form).PushButton16,
            FormControls(form).Text4};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    // A screen reader names each control by what it is, not by a caption two of them share; the
    // visible captions stay as designed.
    void controlsHaveDistinctAccessibleNames() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const FormControls c(form);
        const QList<QPair<QWidget*, QString>> named = {
            {c.ListView1, QStringLiteral("1. Source Folder(s)")},
            {c.ListView3, QStringLiteral("Random Delete List (not shown on screen)")},
            {c.Text4, QStringLiteral("Summary/Preview Before Deleting")},
            {c.Text1, QStringLiteral("Number Of Files To Delete From Source")},
            {c.ProgressBar1, QStringLiteral("Deletion progress")},
            {c.PushButton4, QStringLiteral("Clear List (source folders)")},
            {c.PushButton9, QStringLiteral("Clear List (random delete list and summary)")},
        };
        QHash<QString, QWidget*> byName;
        for (QWidget* control : form.findChildren<QWidget*>()) {
            if (control->parentWidget() != &form && control->parentWidget() != c.Frame1 &&
                control->parentWidget() != c.Frame4)
                continue; // parts of a control (scroll bars, viewports, headers)
            const QString name =
                QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
            if (control != c.PushButton15) // the second "Help" does what the first does
                byName.insert(name, control);
        }
        for (const auto& [control, name] : named) {
            QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name);
            QCOMPARE(byName.value(name), control);
        }
        QCOMPARE(c.PushButton4->text(), QStringLiteral("Clear List"));
        QCOMPARE(c.PushButton9->text(), QStringLiteral("Clear List"));
    }

    // The first thing a screen reader announces is the hidden delete list, which holds the first
    // focus: it says what it is and how to remove a row.
    void firstFocusIsTheNamedHiddenDeleteList() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QAccessibleInterface* focused =
            QAccessible::queryAccessibleInterface(QApplication::focusWidget());
        QCOMPARE(focused->object(), FormControls(form).ListView3);
        QCOMPARE(focused->text(QAccessible::Name),
                 QStringLiteral("Random Delete List (not shown on screen)"));
        const QString description = focused->text(QAccessible::Description);
        QVERIFY2(description.contains(QStringLiteral("summary box")) &&
                     description.endsWith(QStringLiteral("Delete removes the selected row.")),
                 qPrintable(description));
    }

    void hoverPointers() {
        QFile::remove(besideProgram("HAND-M.CUR"));
        QVERIFY(QFile::copy(THINWICK_ASSETS_DIR "/HAND-M.CUR", besideProgram("HAND-M.CUR")));
        auto cleanup = qScopeGuard([] { QFile::remove(besideProgram("HAND-M.CUR")); });
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.hasHandImage());
        const QList<QWidget*> buttons = {
            FormControls(form).PushButton1,  FormControls(form).PushButton2,
            FormControls(form).PushButton4,  FormControls(form).PushButton6,
            FormControls(form).PushButton8,  FormControls(form).PushButton9,
            FormControls(form).PushButton11, FormControls(form).PushButton12,
            FormControls(form).PushButton13, FormControls(form).PushButton14,
            FormControls(form).PushButton15, FormControls(form).PushButton16};
        const QList<QWidget*> plain = {&form,
                                       FormControls(form).Frame1,
                                       FormControls(form).Frame4,
                                       FormControls(form).Text1,
                                       FormControls(form).Text4->viewport(),
                                       FormControls(form).ListView3->viewport(),
                                       FormControls(form).ListView1->viewport()};
        for (QWidget* button : buttons) {
            moveOver(FormControls(form).Text4->viewport());
            QCOMPARE(form.mousePointer(), Form1::PointerDefault);
            moveOver(button);
            QCOMPARE(form.mousePointer(), Form1::PointerHand);
            QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        }
        for (QWidget* widget : plain) {
            moveOver(FormControls(form).PushButton8);
            moveOver(widget);
            QCOMPARE(form.mousePointer(), Form1::PointerDefault);
        }
        // Busy wins over every hover rule.
        form.setMousePointer(Form1::PointerBusy);
        for (QWidget* widget : buttons + plain) {
            moveOver(widget);
            QCOMPARE(form.mousePointer(), Form1::PointerBusy);
        }
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        form.setMousePointer(Form1::PointerDefault);
        moveOver(FormControls(form).PushButton2);
        QCOMPARE(form.mousePointer(), Form1::PointerHand);
    }

    void missingHandImageLeavesTheArrowSilently() {
        QFile::remove(besideProgram("HAND-M.CUR"));
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.hasHandImage());
        moveOver(FormControls(form).PushButton12);
        QCOMPARE(form.mousePointer(), Form1::PointerHand);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(dialogs.calls().empty());
    }

    void unreadableHandImageLeavesTheArrowSilently() {
        TestEnv::makeFile(besideProgram("HAND-M.CUR"), "not a cursor");
        auto cleanup = qScopeGuard([] { QFile::remove(besideProgram("HAND-M.CUR")); });
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        QVERIFY(!form.hasHandImage());
        QVERIFY(dialogs.calls().empty());
    }

    void skinFileChangesWindowAndFrameColours() {
        const QString skin = besideProgram("x/o.cjs");
        TestEnv::makeFile(skin, "QPushButton { color: #123456; }");
        auto cleanup = qScopeGuard([] { QDir(besideProgram("x")).removeRecursively(); });
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        const QColor buttonFace = QApplication::palette().color(QPalette::Button);
        QVERIFY(buttonFace != QColor(Qt::white));
        form.Form_Load();
        QCOMPARE(form.palette().color(QPalette::Window), buttonFace);
        QCOMPARE(FormControls(form).Frame1->palette().color(QPalette::Window), buttonFace);
        QCOMPARE(FormControls(form).Frame4->palette().color(QPalette::Window), buttonFace);
        QVERIFY(form.styleSheet().contains("#123456"));
        QVERIFY(dialogs.calls().empty());
    }

    void unreadableSkinIsReportedAtLine100() {
        // Reading this process's own memory file from its start fails with an I/O error, even
        // for root.
        QDir().mkpath(besideProgram("x"));
#ifdef Q_OS_WIN
        // Windows: a file held open by another without sharing cannot be opened.
        TestEnv::makeFile(besideProgram("x/o.cjs"), "QWidget {}");
        const std::wstring skin = TestEnv::native(besideProgram("x/o.cjs")).toStdWString();
        HANDLE held = CreateFileW(skin.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE);
        auto cleanup = qScopeGuard([held] {
            CloseHandle(held);
            QDir(besideProgram("x")).removeRecursively();
        });
#else
        QVERIFY(QFile::link("/proc/self/mem", besideProgram("x/o.cjs")));
        auto cleanup = qScopeGuard([] { QDir(besideProgram("x")).removeRecursively(); });
#endif
        ScriptedDialogs dialogs;
        dialogs.expectMessage();
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(dialogs.messageTexts().size(), 1);
        QVERIFY(dialogs.messageTexts().first().contains(
            "\r\nin Pruvel2021/08/31.Form1.Form_Load at line 100\r\r"));
        // The colours set before the skin was read stay, and start-up went on.
        QCOMPARE(FormControls(form).Frame4->palette().color(QPalette::Window),
                 QApplication::palette().color(QPalette::Button));
        QCOMPARE(form.windowTitle(), QStringLiteral("Thinwick"));
        QCOMPARE(FormControls(form).Text1->text(), QStringLiteral("100"));
    }

    void withoutSkinTheWindowStaysWhite() {
        QDir(besideProgram("x")).removeRecursively();
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        QCOMPARE(FormControls(form).Frame1->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(form.styleSheet().isEmpty());
    }

    void listControlOperations() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        ListView& list = *FormControls(form).ListView1;
        for (const char* text : {"one", "two", "three", "four", "five"})
            list.addRow(QString::fromLatin1(text));
        list.removeRow(2);
        QCOMPARE(list.rows(), QStringList({"one", "three", "four", "five"}));
        QCOMPARE(list.rowText(4), QStringLiteral("five"));
        QVERIFY_THROWS_EXCEPTION(Failure, list.rowText(5));
        QVERIFY_THROWS_EXCEPTION(Failure, list.rowText(0));
        QVERIFY_THROWS_EXCEPTION(Failure, list.removeRow(9));
        list.setRowText(2, "THREE");
        QCOMPARE(list.rowText(2), QStringLiteral("THREE"));
        QCOMPARE(list.selectedRow(), 0);
        list.selectRow(3);
        QCOMPARE(list.selectedRow(), 3);
        list.removeRow(1);
        QCOMPARE(list.selectedRow(), 2); // the selection follows its row
        list.clearRows();
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.selectedRow(), 0);

        FormControls(form).ProgressBar1->setValueF(33.333);
        QCOMPARE(FormControls(form).ProgressBar1->valueF(), 33.333);
        QCOMPARE(FormControls(form).ProgressBar1->value(), 3333);
        FormControls(form).ProgressBar1->setBarText("Processing: 100%p.txt");
        QCOMPARE(FormControls(form).ProgressBar1->text(), QStringLiteral("Processing: 100%p.txt"));
    }

    void textBoxEvents() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QSignalSpy changes(FormControls(form).Text1, &TextBox::change);
        QSignalSpy validations(FormControls(form).Text1, &TextBox::validate);
        FormControls(form).Text1->setText("7");
        QCOMPARE(changes.count(), 1);
        FormControls(form).Text1->setFocus();
        QTest::keyClicks(FormControls(form).Text1, "25");
        QCOMPARE(changes.count(), 3);
        QCOMPARE(validations.count(), 0);
        FormControls(form).PushButton8->setFocus();
        QCOMPARE(validations.count(), 1);
        QCOMPARE(Main::getSetting(App, Section, "Text1", "none"), QStringLiteral("725"));
    }

    void closingWritesNothing() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Closing while the focus is in an empty box: leaving the box by closing the window
        // must not put "1" into it and store it.
        QVERIFY(QTest::qWaitForWindowActive(&form));
        FormControls(form).Text1->setFocus();
        FormControls(form).Text1->clear();
        const QByteArray before = TestEnv::readSettingsFile();
        QVERIFY(before.contains("Text1=100"));
        QSignalSpy unloaded(&form, &Form1::unloaded);
        QVERIFY(form.close());
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(form.isUnloaded());
        QCOMPARE(TestEnv::readSettingsFile(), before);
        QVERIFY(dialogs.calls().empty());
    }
};

THINWICK_TEST_MAIN_APART(AppTest)
#include "test_app.moc"
