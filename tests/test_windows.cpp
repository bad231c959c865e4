// What only Windows has: the pool by attributes, and one separator in the paths that list files
// and the command line bring in, where "C:/x" and "C:\x" name the same folder.
#include "Controls.h"
#include "Paths.h"
#include "TestSupport.h"
#include "deletelist/Sampling.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    // Hidden and system files stay out of the pool by their attributes; a leading dot hides
    // nothing on Windows.
    void poolIsByAttributes() {
        QTemporaryDir root;
        const QString folder = TestEnv::native(root.path() + QStringLiteral("/pool\\"));
        for (const char* name : {"plain.txt", ".dotted", "hidden.txt", "system.txt", "sub\\in.txt"})
            TestEnv::makeFile(folder + QLatin1String(name));
        TestEnv::makeHidden(folder + QStringLiteral("hidden.txt"));
        TestEnv::makeHidden(folder + QStringLiteral("system.txt"), true);
        QStringList pool;
        Delete1::appendOrdinaryFiles(folder, pool);
        pool.sort();
        QCOMPARE(pool, QStringList({folder + QStringLiteral(".dotted"),
                                    folder + QStringLiteral("plain.txt")}));
    }

    // A list file's rows take the native separator, whichever the user wrote.
    void listFileRowsTakeTheNativeSeparator() {
        QTemporaryDir root;
        const QString path = root.path() + QStringLiteral("/list.txt");
        TestEnv::makeFile(path, "C:/Data/Photos\r\nC:\\Data\\Music\\\r\n//server/share/x\r\n"
                                "C:\\Mixed/Path/\r\n");
        ScriptedDialogs dialogs;
        ListView list;
        Main::LoadListFromFile(list, path, dialogs, QStringLiteral("Thinwick"));
        QCOMPARE(list.rows(), QStringList({"C:\\Data\\Photos", "C:\\Data\\Music\\",
                                           "\\\\server\\share\\x", "C:\\Mixed\\Path\\"}));
        QVERIFY(dialogs.calls().empty());
    }

    // A folder typed with "/" on the command line gives paths with "\" only.
    void commandLineShowsOneSeparator() {
        QTemporaryDir root;
        for (const char* name : {"a.txt", "b.txt"})
            TestEnv::makeFile(root.path() + QStringLiteral("/f/") + QLatin1String(name));
        QProcess process;
        process.start(QStringLiteral(THINWICK_PROGRAM),
                      {QStringLiteral("--count"), QStringLiteral("5"), root.path() + "/f"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QStringList out =
            QString::fromUtf8(process.readAllStandardOutput()).split(QStringLiteral("\r\n"));
        out.removeAll(QString());
        const QString folder = TestEnv::native(root.path() + QStringLiteral("/f/"));
        QCOMPARE(out,
                 QStringList({folder + QStringLiteral("a.txt"), folder + QStringLiteral("b.txt")}));
    }
};

THINWICK_TEST_MAIN(WindowsTest)
#include "test_windows.moc"
