// GUILESS: the Windows trash through the shell's Recycle Bin, on real files. Under Wine the
// Recycle Bin is the host's freedesktop trash, which the test support points at the test's own
// data folder, so each move is also checked there.
#include "TestSupport.h"
#include "deletion/RunSummary.h"
#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// Wine's Recycle Bin: the host's trash under XDG_DATA_HOME, which the test support points at the
// test's own data folder. Empty on Windows, whose Recycle Bin the test cannot look into.
QString wineTrashFiles() {
    if (!TestEnv::seesTrash())
        return {};
    return TestEnv::dataHome() + QStringLiteral("/Trash/files");
}

// A trash whose volume has no Recycle Bin, as a network share has none: what the real one
// answers there.
class NoRecycleBin : public Trash {
public:
    TrashResult moveToTrash(const QString& path) override {
        ++calls;
        TrashResult result;
        result.reason =
            QStringLiteral("the volume %1 has no Recycle Bin; it stays in place").arg(path.left(3));
        return result;
    }
    int calls = 0;
};

// A dialog box of this process, shown: the shell's question.
HWND shownDialog() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM into) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
                wcscmp(kind, L"#32770") != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(into) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

class TrashWinTest : public QObject {
    Q_OBJECT
private slots:
    // Files go to the Recycle Bin whatever their name or attributes, and the path may come in
    // either separator.
    void filesAreMoved_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("slashes");
        QTest::newRow("plain") << "plain.txt" << false << false;
        QTest::newRow("hidden") << "hidden.txt" << true << false;
        QTest::newRow("outside the ANSI code page")
            << QString::fromUtf8("Жёлтый 山 ∑.txt") << false << false;
        QTest::newRow("Qt's separators") << "slashes.txt" << false << true;
    }
    void filesAreMoved() {
        QFETCH(QString, name);
        QFETCH(bool, hidden);
        QFETCH(bool, slashes);
        QTemporaryDir dir;
        const QString path = dir.path() + QLatin1Char('/') + name;
        TestEnv::makeFile(path, "contents");
        if (hidden)
            TestEnv::makeHidden(path);
        DesktopTrash trash;
        const TrashResult result = trash.moveToTrash(slashes ? path : TestEnv::native(path));
        QVERIFY2(result.moved, qPrintable(result.reason));
        QVERIFY(!QFileInfo::exists(path));
        // The shell does not say where it went.
        QVERIFY(result.trashedPath.isEmpty());
        if (const QString files = wineTrashFiles(); !files.isEmpty()) {
            QFile inTrash(files + QLatin1Char('/') + name);
            QVERIFY2(inTrash.open(QIODevice::ReadOnly), qPrintable(inTrash.fileName()));
            QCOMPARE(inTrash.readAll(), QByteArray("contents"));
            inTrash.close();
            QVERIFY(inTrash.remove());
        }
    }

    // A folder is never moved, with or without its contents.
    void folderStays() {
        QTemporaryDir dir;
        TestEnv::makeFile(dir.path() + QStringLiteral("/folder/inside.txt"));
        DesktopTrash trash;
        const TrashResult result = trash.moveToTrash(TestEnv::native(dir.path() + "/folder"));
        QVERIFY(!result.moved);
        QVERIFY(result.isFolder);
        QCOMPARE(result.reason, QStringLiteral("it is a folder; folders are never deleted"));
        QVERIFY(QFileInfo::exists(dir.path() + QStringLiteral("/folder/inside.txt")));
    }

    void missingFileIsGone() {
        QTemporaryDir dir;
        DesktopTrash trash;
        const TrashResult result = trash.moveToTrash(TestEnv::native(dir.path() + "/missing.txt"));
        QVERIFY(!result.moved);
        QVERIFY(result.gone);
        QVERIFY(result.reason.isEmpty());
    }

    // When the Recycle Bin cannot take a file, Wine's shell asks whether to delete it instead; the
    // test answers as a user would. Yes: it is gone for good and said so, never "moved"; No: it
    // stays with its reason.
    void refusedByTheBinAndAnswered_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("destroyed");
        QTest::newRow("yes") << int(IDYES) << true;
        QTest::newRow("no") << int(IDNO) << false;
    }
    void refusedByTheBinAndAnswered() {
        QFETCH(int, answer);
        QFETCH(bool, destroyed);
        const QString files = wineTrashFiles();
        if (files.isEmpty())
            QSKIP("only under Wine, whose Recycle Bin is a folder the test can block");
        // The trash's files folder replaced by a file: nothing can be moved into it.
        QVERIFY(QDir(files).removeRecursively());
        TestEnv::makeFile(files, "not a folder");
        const auto restore = qScopeGuard([] { TestEnv::resetTrash(); });
        QTemporaryDir dir;
        const QString path = TestEnv::native(dir.path() + QStringLiteral("/kept.txt"));
        TestEnv::makeFile(path);
        std::atomic<bool> stop{false};
        std::atomic<int> answered{0};
        std::thread answerer([&] {
            for (int tries = 0; tries < 600 && !stop; ++tries) {
                if (HWND dialog = shownDialog()) {
                    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
                    ++answered;
                    return;
                }
                Sleep(50);
            }
        });
        DesktopTrash trash;
        const TrashResult result = trash.moveToTrash(path);
        stop = true;
        answerer.join();
        QCOMPARE(answered.load(), 1);
        QVERIFY(!result.moved);
        QCOMPARE(result.destroyed, destroyed);
        QCOMPARE(QFileInfo::exists(path), !destroyed);
        QCOMPARE(result.reason,
                 destroyed ? QStringLiteral("the shell deleted it for good instead of moving it "
                                            "to the Recycle Bin")
                           : QStringLiteral("moving it to the Recycle Bin was cancelled"));
    }

    // A file on a volume without a Recycle Bin stays, and the run's closing message says why.
    void noRecycleBinLeavesTheFile() {
        QTemporaryDir dir;
        const QString path = TestEnv::native(dir.path() + QStringLiteral("/share.txt"));
        TestEnv::makeFile(path);
        NoRecycleBin trash;
        const Delete1::ShellDeleteResult result = Delete1::ShellDelete(path, true, trash);
        QCOMPARE(trash.calls, 1);
        QVERIFY(!result.moved);
        QVERIFY(QFileInfo::exists(path));
        const QString why =
            path + " (the volume " + path.left(3) + " has no Recycle Bin; it stays in place)";
        QCOMPARE(Delete1::closingMessage({why}, 0),
                 "Done.\n\n1 file could not be moved to the trash and was left in place:\n" + why);
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    TrashWinTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_trash_win.moc"
