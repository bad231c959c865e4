// Finding the program's files (beside the executable or in ../share/thinwick) and refreshing the
// per-user sample copy, on real folders.
#include "TestSupport.h"
#include "common/ErrorReport.h"
#include "common/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void makeFile(const QString& path, const QByteArray& contents = "x") {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(contents);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ProgramFolderTest : public QObject {
    Q_OBJECT

private slots:
    void locate_data() {
        QTest::addColumn<QStringList>("files"); // made under the temporary root
        QTest::addColumn<QString>("folder");    // expected, relative to the root
        QTest::addColumn<bool>("shared");
        const QStringList installed = {"share/thinwick/HAND-M.CUR"};
        QTest::newRow("build tree") << QStringList{"bin/HAND-M.CUR"} << "bin" << false;
        QTest::newRow("beside wins over share")
            << (installed + QStringList{"bin/drag.ico"}) << "bin" << false;
        QTest::newRow("samples alone beside") << QStringList{"bin/Samples/a.txt"} << "bin" << false;
        QTest::newRow("skin alone beside") << QStringList{"bin/x/o.cjs"} << "bin" << false;
        QTest::newRow("installed") << installed << "share/thinwick" << true;
        QTest::newRow("installed, other programs beside")
            << (installed + QStringList{"bin/other"}) << "share/thinwick" << true;
        QTest::newRow("nothing anywhere") << QStringList{"bin/other"} << "bin" << false;
        QTest::newRow("share/thinwick is a file")
            << QStringList{"share/thinwick", "bin/other"} << "bin" << false;
    }
    void locate() {
        QFETCH(QStringList, files);
        QFETCH(QString, folder);
        QFETCH(bool, shared);
        QTemporaryDir root(QDir::tempPath() + QStringLiteral("/thinwick pf é-XXXXXX"));
        for (const QString& file : files)
            makeFile(root.filePath(file));
        const ProgramFolder::Found found = ProgramFolder::locate(root.filePath("bin"));
        QCOMPARE(found.folder, root.filePath(folder));
        QCOMPARE(found.shared, shared);
        QCOMPARE(ProgramFolder::sampleFolder(found),
                 TestEnv::native(shared ? ProgramFolder::userSampleFolder()
                                        : found.folder + "/Samples"));
    }

    void userSampleFolderFollowsDataHome() {
#ifdef Q_OS_WIN
        QSKIP("XDG_DATA_HOME is a freedesktop setting; Windows keeps the copy in its own "
              "per-user data folder");
#endif
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        QCOMPARE(ProgramFolder::userSampleFolder(), data.path() + "/Thinwick/Samples");
    }

    // Missing files come back; what is there, changed or the user's own, stays as it is.
    void refreshRestoresOnlyWhatIsMissing() {
        QTemporaryDir root;
        const QString installed = root.filePath("installed");
        const QString copy = root.filePath("data/Thinwick/Samples");
        for (const char* name : {"a.txt", "b c.png", "Straße.txt"})
            makeFile(installed + '/' + QString::fromUtf8(name), name);
        QFile::setPermissions(installed + "/a.txt", QFile::ReadOwner | QFile::ReadOther);
        QDir().mkpath(installed + "/sub");

        QCOMPARE(ProgramFolder::refreshSampleCopy(installed, copy), 3);
        QStringList made = QDir(copy).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        made.sort();
        QCOMPARE(made, (QStringList{"Straße.txt", "a.txt", "b c.png"}));
        QVERIFY(QFile::permissions(copy + "/a.txt") & QFile::WriteOwner);

        QFile::remove(copy + "/a.txt");
        makeFile(copy + "/b c.png", "edited");
        makeFile(copy + "/mine.txt", "mine");
        QFile::remove(copy + "/Straße.txt");
        // Without symbolic links (Windows, unprivileged) the sample's name stays free instead.
        const bool linked = TestEnv::canLink();
        if (linked)
            QVERIFY(QFile::link(root.filePath("nowhere"), copy + "/Straße.txt"));

        QCOMPARE(ProgramFolder::refreshSampleCopy(installed, copy), linked ? 1 : 2);
        QCOMPARE(contentsOf(copy + "/a.txt"), QByteArray("a.txt"));
        QCOMPARE(contentsOf(copy + "/b c.png"), QByteArray("edited"));
        QCOMPARE(contentsOf(copy + "/mine.txt"), QByteArray("mine"));
        if (!linked) {
            QCOMPARE(contentsOf(copy + "/Straße.txt"), QByteArray("Straße.txt"));
            return;
        }
        // A dangling link under a sample's name is the user's; it is not written through.
        QVERIFY(QFileInfo(copy + "/Straße.txt").isSymLink());
        QVERIFY(!QFileInfo::exists(root.filePath("nowhere")));
    }

    void refreshWithoutInstalledSamplesDoesNothing() {
        QTemporaryDir root;
        const QString copy = root.filePath("data/Thinwick/Samples");
        QCOMPARE(ProgramFolder::refreshSampleCopy(root.filePath("missing"), copy), 0);
        QVERIFY(!QFileInfo::exists(copy));
    }

    void refreshReportsACopyThatCannotBeMade() {
        QTemporaryDir root;
        const QString installed = root.filePath("installed");
        makeFile(installed + "/a.txt");
        makeFile(root.filePath("data/Thinwick"), "a file where the folder should be");
        QVERIFY_THROWS_EXCEPTION(Failure, ProgramFolder::refreshSampleCopy(
                                              installed, root.filePath("data/Thinwick/Samples")));
    }
};

QTEST_GUILESS_MAIN(ProgramFolderTest)
#include "test_programfolder.moc"
