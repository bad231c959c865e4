// The settings store over a real file under a temporary XDG_CONFIG_HOME.
#include "TestSupport.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

#ifdef Q_OS_WIN
#include <QSettings>
#include <QUuid>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

const QString App = QStringLiteral("Brindlewood");
const QString Section = QStringLiteral("Thinwick");

// Written by hand: comments, other sections, values the INI conventions of other programs would
// read differently (a comma, a semicolon, a quote, a backslash), CR-only line ends.
const QByteArray HandWritten = "; Brindlewood programs\r"
                               "[Other]\r"
                               "Text1=9\r"
                               "\r"
                               "[Thinwick]\r"
                               "# the picker starts here\r"
                               "LastFolderDot=/home/u/a,b\r"
                               "Tail=/x;y\r"
                               "Quoted=\"q\" \\n\r"
                               "Text1=12abc\r"
                               "\r"
                               "[Last]\r"
                               "k=v";

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { TestEnv::removeSettings(); }

#ifdef Q_OS_WIN
    // The store stays in its branch whatever the user's environment says: a variable that once
    // moved it for the tests moves nothing.
    void noVariableMovesTheStore() {
        const QString moved = QStringLiteral("HKEY_CURRENT_USER\\Software\\Thinwick tests\\") +
                              QUuid::createUuid().toString(QUuid::WithoutBraces);
        qputenv("THINWICK_REGISTRY_BRANCH", moved.toUtf8());
        auto restore = qScopeGuard([&] {
            qunsetenv("THINWICK_REGISTRY_BRANCH");
            QSettings(moved, QSettings::NativeFormat).clear();
            const std::wstring key = moved.mid(moved.indexOf(QLatin1Char('\\')) + 1).toStdWString();
            RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
        });
        Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("31"));
        QCOMPARE(TestEnv::readSettingsFile(), QByteArray("[Thinwick]\nText1=31\n"));
        QCOMPARE(QSettings(moved, QSettings::NativeFormat).allKeys(), QStringList());
    }
#endif

    void savingChangesOnlyTheKeysLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("the key's line exists")
            << HandWritten << QByteArray(HandWritten).replace("Text1=12abc", "Text1=250");
        QTest::newRow("key added at the end of its section")
            << QByteArray(HandWritten).replace("Text1=12abc\r", "")
            << QByteArray(HandWritten).replace("Text1=12abc\r", "Text1=250\r");
        QTest::newRow("section added at the end")
            << QByteArray("; only a comment\r\n[Other]\r\nText1=9")
            << QByteArray("; only a comment\r\n[Other]\r\nText1=9\r\n[Thinwick]\r\nText1=250\r\n");
        QTest::newRow("byte-order mark and spacing kept")
            << QByteArray("\xEF\xBB\xBF[Thinwick]\nText1 = 7 \n")
            << QByteArray("\xEF\xBB\xBF[Thinwick]\nText1 =250\n");
    }
    void savingChangesOnlyTheKeysLine() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        TestEnv::writeSettingsFile(before);
        Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("250"));
        QCOMPARE(TestEnv::readSettingsFile(), TestEnv::storedForm(after));
    }

    void handWrittenValuesReadAsWritten_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << "LastFolderDot"
                               << "/home/u/a,b";
        QTest::newRow("semicolon") << "Tail"
                                   << "/x;y";
        QTest::newRow("quotes and backslash") << "Quoted"
                                              << "\"q\" \\n";
        QTest::newRow("this section's key, not the other's") << "Text1"
                                                             << "12abc";
        QTest::newRow("commented key") << "# the picker starts here"
                                       << "absent";
        QTest::newRow("key of another section") << "k"
                                                << "absent";
    }
    void handWrittenValuesReadAsWritten() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        TestEnv::writeSettingsFile(HandWritten);
        QCOMPARE(Main::getSetting(App, Section, key, QStringLiteral("absent")), value);
    }

    void lineEndsAndLayouts_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("value");
        QTest::newRow("CR LF") << QByteArray("[Thinwick]\r\nText1=5\r\n") << "5";
        QTest::newRow("LF, no final line end") << QByteArray("[Thinwick]\nText1=5") << "5";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Thinwick]\nText1=5\n") << "5";
        QTest::newRow("blanks around the key and header")
            << QByteArray(" [Thinwick]\t\n\tText1 =5\n") << "5";
        QTest::newRow("raw text after the first =")
            << QByteArray("[Thinwick]\nText1= a=b \n") << " a=b ";
        QTest::newRow("first of two sections of the name")
            << QByteArray("[Thinwick]\nA=1\n[Other]\nText1=2\n[Thinwick]\nText1=3\nText1=4\n")
            << "3";
        QTest::newRow("UTF-8") << QByteArray("[Thinwick]\nText1=\xC3\xBC\n")
                               << QString(QChar(0xFC));
        QTest::newRow("U+FEFF starting the value") << QByteArray("[Thinwick]\nText1=\xEF\xBB\xBF"
                                                                 "5\n")
                                                   << QString(QChar(0xFEFF)) + "5";
        QTest::newRow("byte-order mark and U+FEFF starting the value")
            << QByteArray("\xEF\xBB\xBF[Thinwick]\nText1=\xEF\xBB\xBF\xEF\xBB\xBF\n")
            << QString(2, QChar(0xFEFF));
        QTest::newRow("section without the key") << QByteArray("[Thinwick]\nText2=5\n") << "absent";
        QTest::newRow("key before any section") << QByteArray("Text1=5\n[Thinwick]\n") << "absent";
        QTest::newRow("empty file") << QByteArray() << "absent";
    }
    void lineEndsAndLayouts() {
#ifdef Q_OS_WIN
        QSKIP("how the lines of a settings file read; the registry store has no file");
#endif
        QFETCH(QByteArray, file);
        QFETCH(QString, value);
        TestEnv::writeSettingsFile(file);
        QCOMPARE(Main::getSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("absent")),
                 value);
    }

    void valuesComeBackExactly() {
        const QStringList values = {"12abc",
                                    "1,2",
                                    " 5 ",
                                    "a=b",
                                    "#x",
                                    QString::fromUtf8("ünï"),
                                    "",
                                    "semi;colon",
                                    "back\\slash",
                                    "\"quoted\"",
                                    QString(QChar(0xFEFF)) + "x",
                                    "@at",
                                    "[x]"};
        for (const QString& value : values) {
            Main::saveSetting(App, Section, QStringLiteral("Text1"), value);
            QCOMPARE(Main::getSetting(App, Section, QStringLiteral("Text1"), "default"), value);
        }
        QCOMPARE(TestEnv::readSettingsFile(), QByteArray("[Thinwick]\nText1=[x]\n"));
    }

    void absentStoreGivesTheDefaultAndStaysAbsent() {
        QCOMPARE(Main::getSetting(App, Section, QStringLiteral("Text1"), "100"),
                 QStringLiteral("100"));
        QCOMPARE(Main::getSetting("OtherApp", Section, QStringLiteral("Text1"), "d"),
                 QStringLiteral("d"));
        QVERIFY2(!QFile::exists(TestEnv::settingsFile()), "reading must not create the store");
    }

    void lineBreakInAValueIsRefused() {
        TestEnv::writeSettingsFile(HandWritten);
#ifdef Q_OS_WIN
        // The registry holds a line break in a value: nothing to refuse there.
        Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("4\n2"));
        QCOMPARE(Main::getSetting(App, Section, QStringLiteral("Text1"), QString()),
                 QStringLiteral("4\n2"));
        return;
#endif
        QVERIFY_THROWS_EXCEPTION(Failure, Main::saveSetting(App, Section, QStringLiteral("Text1"),
                                                            QStringLiteral("4\n2")));
        QCOMPARE(TestEnv::readSettingsFile(), HandWritten);
    }

    void linkedStoreStaysALink() {
#ifdef Q_OS_WIN
        QSKIP("a property of the settings file; the registry store has no file");
#endif
        // Settings kept elsewhere and linked into place, as dotfile managers do.
        const QString target = TestEnv::root() + QStringLiteral("/dotfiles/Brindlewood.ini");
        TestEnv::makeFile(target, "[Thinwick]\nText1=1\n");
        QVERIFY(QFile::link(target, TestEnv::settingsFile()));
        auto cleanup = qScopeGuard([&] { QFile::remove(target); });
        Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("2"));
        QVERIFY(QFileInfo(TestEnv::settingsFile()).isSymLink());
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[Thinwick]\nText1=2\n"));
    }

    void unreadableStoreFailsAndIsLeftAlone() {
#ifdef Q_OS_WIN
        QSKIP("a property of the settings file; the registry store has no file");
#endif
        QVERIFY(QDir().mkpath(TestEnv::settingsFile())); // a folder where the file should be
        auto cleanup = qScopeGuard([] { QDir(TestEnv::settingsFile()).removeRecursively(); });
        QVERIFY_THROWS_EXCEPTION(
            Failure, Main::getSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("1")));
        QVERIFY_THROWS_EXCEPTION(
            Failure, Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("5")));
        QVERIFY(QFileInfo(TestEnv::settingsFile()).isDir());
    }

    void unwritableStoreFails() {
#ifdef Q_OS_WIN
        QSKIP("a property of the settings file; the registry store has no file");
#endif
        // A store whose folder would sit under a file cannot be written, even by root.
        const QString blocker = TestEnv::root() + QStringLiteral("/blocker");
        TestEnv::makeFile(blocker);
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));
        auto restore = qScopeGuard([&] {
            qputenv("XDG_CONFIG_HOME", configHome);
            QFile::remove(blocker);
        });
        QVERIFY_THROWS_EXCEPTION(
            Failure, Main::saveSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("5")));
        QCOMPARE(Main::getSetting(App, Section, QStringLiteral("Text1"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settings.moc"
