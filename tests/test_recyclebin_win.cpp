// GUILESS: the Windows trash and its put-back against a stand-in for the shell, so that every
// answer the shell can give is tried: an item recycled, destroyed, refused, a drive without a
// Recycle Bin, a file operation that is not implemented, a name taken during the move back.
// The stand-in works on real files, only inside the test's own temp folder.
#include "TestSupport.h"
#include "deletion/RecycleBin_win.h"
#include "deletion/RunRecord.h"
#include "deletion/TrashRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <map>

namespace {

enum class Act {
    Recycle,            // into the bin, a new item given
    RecycleSuccessCode, // the same, with a success code other than S_OK
    Destroy,            // deleted for good, no new item
    NoNewItem,          // gone from its place, but no new item given
    NotRecyclable,      // offered without TSF_DELETE_RECYCLE_IF_POSSIBLE; deleted if let through
    Fail,               // left in place with an error
    TakeName,           // a move back finds its name taken just before it moves
};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString nativeOf(const std::wstring& text) {
    return QString::fromStdWString(text);
}

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

IShellItem* itemFor(const QString& path) {
    IShellItem* item = nullptr;
    SHCreateItemFromParsingName(wide(path).c_str(), nullptr, IID_IShellItem,
                                reinterpret_cast<void**>(&item));
    return item;
}

class FakeShell : public RecycleShell {
public:
    explicit FakeShell(const QString& root) : m_root(QDir::fromNativeSeparators(root)) {
        QDir().mkpath(bin());
    }
    QString bin() const { return m_root + QStringLiteral("/bin"); }

    // Refuses any path outside the test's folder.
    bool inside(const QString& path) const {
        const bool ok = QDir::fromNativeSeparators(path).startsWith(m_root + QLatin1Char('/'),
                                                                    Qt::CaseInsensitive);
        if (!ok)
            outsideTouched = true;
        return ok;
    }
    qint64 binCount() const {
        return QDir(bin()).entryList(QDir::Files | QDir::Hidden | QDir::System).size();
    }

    UINT driveType(const std::wstring& /*root*/) override { return drive; }
    HRESULT queryRecycleBin(const std::wstring& /*root*/, SHQUERYRBINFO* info) override {
        ++queries;
        if (noBin)
            return E_FAIL;
        info->i64NumItems = binCount();
        return S_OK;
    }
    HRESULT createFileOperation(IFileOperation** operation) override;
    int fileOperation(SHFILEOPSTRUCTW* operation) override {
        ++fallbackCalls;
        const QString path = nativeOf(operation->pFrom);
        if (!inside(path))
            return ERROR_ACCESS_DENIED;
        // The shell's answer for a file too big for its bin: asked when warned, else destroyed.
        if (tooBig && (operation->fFlags & FOF_WANTNUKEWARNING) != 0) {
            operation->fAnyOperationsAborted = TRUE;
            return 0;
        }
        if (tooBig || act == Act::Destroy)
            return QFile::remove(path) ? 0 : ERROR_ACCESS_DENIED;
        return recycle(path).isEmpty() ? ERROR_ACCESS_DENIED : 0;
    }
    HRESULT itemOrigin(IShellItem* item, std::wstring* folder, FILETIME* deleted) override {
        const auto found =
            origins.find(QDir::fromNativeSeparators(nativeOf(ShellSink::parsingName(item))));
        if (found == origins.end())
            return E_FAIL;
        *folder = wide(found->second.first);
        const quint64 ticks =
            (static_cast<quint64>(found->second.second.toSecsSinceEpoch()) + 11644473600ULL) *
            10000000ULL;
        deleted->dwLowDateTime = static_cast<DWORD>(ticks);
        deleted->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
        return S_OK;
    }

    // Moves the file into the bin under a fresh name, remembering where it came from.
    QString recycle(const QString& path) {
        const QString target = bin() + QStringLiteral("/$R%1.txt").arg(++m_serial);
        if (!inside(path) || !QFile::rename(path, target))
            return {};
        origins[target] = {QFileInfo(path).path(), QDateTime::currentDateTimeUtc()};
        return target;
    }

    Act act = Act::Recycle;
    UINT drive = DRIVE_FIXED;
    bool noBin = false;
    bool notImplemented = false;
    bool tooBig = false;
    int created = 0;
    int queries = 0;
    int fallbackCalls = 0;
    DWORD flags = 0;
    mutable bool outsideTouched = false;
    std::map<QString, std::pair<QString, QDateTime>> origins; // bin path → (folder, deleted)

private:
    QString m_root;
    int m_serial = 0;
};

// A file operation that does its one delete or move as the shell told it to.
class FakeOperation final : public IFileOperation {
public:
    explicit FakeOperation(FakeShell& shell) : m_shell(shell) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IFileOperation ? this : nullptr;
        return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) {
            release(m_item);
            release(m_folder);
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink* sink, DWORD* cookie) override {
        m_sink = sink;
        *cookie = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD /*cookie*/) override {
        m_sink = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD flags) override {
        m_shell.flags = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenameItem(IShellItem*, LPCWSTR,
                                         IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RenameItems(IUnknown*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveItem(IShellItem* item, IShellItem* folder, LPCWSTR name,
                                       IFileOperationProgressSink* /*sink*/) override {
        hold(m_item, item);
        hold(m_folder, folder);
        m_name = name != nullptr ? name : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyItem(IShellItem*, IShellItem*, LPCWSTR,
                                       IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem* item,
                                         IFileOperationProgressSink* /*sink*/) override {
        hold(m_item, item);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewItem(IShellItem*, DWORD, LPCWSTR, LPCWSTR,
                                      IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PerformOperations() override {
        return m_folder != nullptr ? performMove() : performDelete();
    }
    HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(WINBOOL* aborted) override {
        *aborted = FALSE;
        return S_OK;
    }

private:
    static void hold(IShellItem*& slot, IShellItem* item) {
        item->AddRef();
        slot = item;
    }
    static void release(IShellItem* item) {
        if (item != nullptr)
            item->Release();
    }

    HRESULT performDelete() {
        const QString path = nativeOf(ShellSink::parsingName(m_item));
        const DWORD flags =
            m_shell.act == Act::NotRecyclable ? TSF_NORMAL : TSF_DELETE_RECYCLE_IF_POSSIBLE;
        if (const HRESULT pre = m_sink->PreDeleteItem(flags, m_item); FAILED(pre)) {
            m_sink->PostDeleteItem(flags, m_item, pre, nullptr);
            return pre;
        }
        HRESULT outcome = S_OK;
        IShellItem* created = nullptr;
        switch (m_shell.act) {
        case Act::Recycle:
        case Act::RecycleSuccessCode:
            created = itemFor(m_shell.recycle(path));
            outcome = m_shell.act == Act::Recycle ? S_OK : COPYENGINE_S_DONT_PROCESS_CHILDREN;
            break;
        case Act::NoNewItem:
            m_shell.recycle(path);
            break;
        case Act::Destroy:
        case Act::NotRecyclable:
            if (!m_shell.inside(path) || !QFile::remove(path))
                outcome = E_ACCESSDENIED;
            break;
        case Act::Fail:
        case Act::TakeName:
            outcome = E_ACCESSDENIED;
            break;
        }
        m_sink->PostDeleteItem(flags, m_item, outcome, created);
        release(created);
        return S_OK;
    }

    HRESULT performMove() {
        const QString from = nativeOf(ShellSink::parsingName(m_item));
        const QString to =
            nativeOf(ShellSink::parsingName(m_folder)) + QLatin1Char('\\') + nativeOf(m_name);
        if (m_shell.act == Act::TakeName)
            TestEnv::makeFile(QDir::fromNativeSeparators(to), "taken meanwhile");
        if (const HRESULT pre = m_sink->PreMoveItem(0, m_item, m_folder, m_name.c_str());
            FAILED(pre)) {
            m_sink->PostMoveItem(0, m_item, m_folder, m_name.c_str(), pre, nullptr);
            return pre;
        }
        // The shell itself would replace nothing without being told to; this one neither.
        const bool moved = m_shell.inside(from) && m_shell.inside(to) && QFile::rename(from, to);
        IShellItem* created = moved ? itemFor(to) : nullptr;
        m_sink->PostMoveItem(0, m_item, m_folder, m_name.c_str(), moved ? S_OK : E_ACCESSDENIED,
                             created);
        release(created);
        return S_OK;
    }

    FakeShell& m_shell;
    ULONG m_refs = 1;
    IFileOperationProgressSink* m_sink = nullptr;
    IShellItem* m_item = nullptr;
    IShellItem* m_folder = nullptr;
    std::wstring m_name;
};

HRESULT FakeShell::createFileOperation(IFileOperation** operation) {
    ++created;
    if (notImplemented)
        return E_NOTIMPL;
    *operation = new FakeOperation(*this);
    return S_OK;
}

const QString Destroyed =
    QStringLiteral("the shell deleted it for good instead of moving it to the Recycle Bin");

} // namespace

Q_DECLARE_METATYPE(Act)

class RecycleBinTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_shell = std::make_unique<FakeShell>(m_dir->path());
        m_file = m_dir->path() + QStringLiteral("/photos/a file.txt");
        TestEnv::makeFile(m_file, "contents");
    }
    void cleanup() { QVERIFY(!m_shell->outsideTouched); }

    // What the shell did is what the trash reports: a file gone without a new Recycle Bin item
    // was destroyed, never moved; one the shell would not recycle stays.
    void outcomeFollowsTheShell_data() {
        QTest::addColumn<Act>("act");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("destroyed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("recycled") << Act::Recycle << true << false << QString();
        QTest::newRow("recycled, success code")
            << Act::RecycleSuccessCode << true << false << QString();
        QTest::newRow("destroyed") << Act::Destroy << false << true << Destroyed;
        QTest::newRow("gone without a new item") << Act::NoNewItem << false << true << Destroyed;
        QTest::newRow("not recyclable")
            << Act::NotRecyclable << false << false
            << QStringLiteral("the shell would have deleted it for good rather than move it to "
                              "the Recycle Bin; it stays in place");
    }
    void outcomeFollowsTheShell() {
        QFETCH(Act, act);
        QFETCH(bool, moved);
        QFETCH(bool, destroyed);
        QFETCH(QString, reason);
        m_shell->act = act;
        RecycleBinTrash trash(*m_shell);
        const TrashResult result = trash.moveToTrash(m_file);
        QCOMPARE(result.moved, moved);
        QCOMPARE(result.destroyed, destroyed);
        QCOMPARE(result.reason, reason);
        QCOMPARE(m_shell->created, 1);
        QCOMPARE(m_shell->fallbackCalls, 0);
        QCOMPARE(QFileInfo::exists(m_file), act == Act::NotRecyclable);
        if (moved)
            QCOMPARE(result.trashedPath, m_shell->bin() + QStringLiteral("/$R1.txt"));
        else
            QVERIFY(result.trashedPath.isEmpty());
        // Recycled, silent, and never a question the user is not there to answer.
        constexpr DWORD Wanted = FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_NOCONFIRMATION |
                                 FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
        QCOMPARE(m_shell->flags, Wanted);
    }

    // A volume without a Recycle Bin is refused before any file operation is made.
    void volumeWithoutABinIsRefusedFirst_data() {
        QTest::addColumn<UINT>("drive");
        QTest::addColumn<bool>("noBin");
        QTest::addColumn<QString>("said");
        QTest::newRow("removable")
            << UINT(DRIVE_REMOVABLE) << false << QStringLiteral("it is on a removable drive (");
        QTest::newRow("network") << UINT(DRIVE_REMOTE) << false
                                 << QStringLiteral("it is on a network drive (");
        QTest::newRow("unknown") << UINT(DRIVE_UNKNOWN) << false
                                 << QStringLiteral("it is on a drive of unknown kind (");
        QTest::newRow("fixed, but no bin")
            << UINT(DRIVE_FIXED) << true << QStringLiteral("the volume ");
    }
    void volumeWithoutABinIsRefusedFirst() {
        QFETCH(UINT, drive);
        QFETCH(bool, noBin);
        QFETCH(QString, said);
        m_shell->drive = drive;
        m_shell->noBin = noBin;
        m_shell->act = Act::Destroy;
        RecycleBinTrash trash(*m_shell);
        const TrashResult result = trash.moveToTrash(m_file);
        QVERIFY(!result.moved);
        QVERIFY(!result.destroyed);
        QVERIFY2(result.reason.startsWith(said), qPrintable(result.reason));
        QVERIFY(QFileInfo::exists(m_file));
        QCOMPARE(m_shell->created + m_shell->fallbackCalls, 0);
    }

    // Where no file operation is implemented, the older call is judged by the Recycle Bin's count.
    void fallbackCountsOnlyANewBinItemAsMoved_data() {
        QTest::addColumn<Act>("act");
        QTest::addColumn<bool>("tooBig");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QString>("reason");
        QTest::newRow("recycled") << Act::Recycle << false << true << QString();
        QTest::newRow("destroyed") << Act::Destroy << false << false << Destroyed;
        QTest::newRow("too big, warned and answered no")
            << Act::Recycle << true << false
            << QStringLiteral("moving it to the Recycle Bin was cancelled");
    }
    void fallbackCountsOnlyANewBinItemAsMoved() {
        QFETCH(Act, act);
        QFETCH(bool, tooBig);
        QFETCH(bool, moved);
        QFETCH(QString, reason);
        m_shell->notImplemented = true;
        m_shell->act = act;
        m_shell->tooBig = tooBig;
        RecycleBinTrash trash(*m_shell);
        const TrashResult result = trash.moveToTrash(m_file);
        QCOMPARE(m_shell->fallbackCalls, 1);
        QCOMPARE(result.moved, moved);
        QCOMPARE(result.destroyed, !moved && reason == Destroyed);
        QCOMPARE(result.reason, reason);
        QCOMPARE(QFileInfo::exists(m_file), !moved && reason != Destroyed);
        // The shell gives no item here: put-back is left to the Recycle Bin's Restore.
        QVERIFY(result.trashedPath.isEmpty());
    }

    // A destroyed file is named in the run's closing message and recorded as destroyed, not moved.
    void runNamesADestroyedFile() {
        m_shell->act = Act::Destroy;
        RecycleBinTrash trash(*m_shell);
        QString id;
        {
            Delete1::TrashRun run(trash);
            run.run({m_file});
            run.finish();
            QCOMPARE(run.moved(), 0);
            QCOMPARE(run.closingMessage(),
                     QStringLiteral("Done.\n\nFault: 1 file was deleted for good by the shell "
                                    "instead of being moved to the trash:\n") +
                         m_file);
            id = run.runId();
        }
        const std::optional<RunRecord::Run> record = RunRecord::load(id);
        QVERIFY(record);
        QCOMPARE(record->entries.size(), std::size_t(1));
        QVERIFY(record->entries.front().destroyed);
    }

    // A run whose files the Recycle Bin took without saying where is refused before anything is
    // tried, with one sentence; a run with its items recorded is not.
    void putBackNeedsRecordedItems() {
        RunRecord::Run run;
        run.entries = {{QStringLiteral("C:/a/one.txt"), QString()},
                       {QStringLiteral("C:/a/two.txt"), QString()}};
        QString why;
        QVERIFY(!Delete1::canPutBack(run, &why));
        QCOMPARE(why, QStringLiteral("The files of this run must be restored with the Recycle "
                                     "Bin's Restore, because the Recycle Bin did not say where it "
                                     "keeps them."));
        run.entries.front().trashed = QStringLiteral("C:/$Recycle.Bin/S-1-5-21/$RAB12CD.txt");
        QVERIFY(Delete1::canPutBack(run, &why));
    }

    // A recycled file goes back to its place; its folder is made again when it is missing.
    void putBackMovesTheItemBack_data() {
        QTest::addColumn<bool>("folderRemoved");
        QTest::newRow("folder there") << false;
        QTest::newRow("folder made again") << true;
    }
    void putBackMovesTheItemBack() {
        QFETCH(bool, folderRemoved);
        const RunRecord::Entry entry = recycled();
        if (folderRemoved)
            QVERIFY(QDir(QFileInfo(m_file).path()).removeRecursively());
        const Delete1::PutBackResult result =
            Delete1::putBackFromRecycleBin(entry, QDateTime::currentDateTimeUtc(), *m_shell);
        QVERIFY2(result.restored, qPrintable(result.reason));
        QCOMPARE(readFile(m_file), QByteArray("contents"));
        QVERIFY(!QFileInfo::exists(entry.trashed));
        // The shell is asked to confirm nothing away: no replacing.
        QCOMPARE(m_shell->flags, DWORD(FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR));
    }

    // Whatever holds the name, found before the move or at it, keeps the file in the bin; an item
    // that came from elsewhere, or was deleted before the run, is not taken.
    void putBackRefuses_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name taken") << "taken"
                                    << "its place is taken; it stays in the Recycle Bin";
        QTest::newRow("name taken during the move")
            << "taken at the move"
            << "its place is taken; it stays in the Recycle Bin";
        QTest::newRow("from another folder") << "other folder"
                                             << "refused: ";
        QTest::newRow("deleted before the run") << "older"
                                                << "refused: ";
    }
    void putBackRefuses() {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        const RunRecord::Entry entry = recycled();
        QDateTime ranAt = QDateTime::currentDateTimeUtc();
        QByteArray atPlace;
        if (change == QStringLiteral("taken")) {
            atPlace = "another file";
            TestEnv::makeFile(m_file, atPlace);
        } else if (change == QStringLiteral("taken at the move")) {
            atPlace = "taken meanwhile";
            m_shell->act = Act::TakeName;
        } else if (change == QStringLiteral("other folder")) {
            m_shell->origins[entry.trashed].first = m_dir->path() + QStringLiteral("/elsewhere");
        } else {
            ranAt = ranAt.addSecs(3600);
        }
        const Delete1::PutBackResult result =
            Delete1::putBackFromRecycleBin(entry, ranAt, *m_shell);
        QVERIFY(!result.restored);
        QVERIFY2(result.reason.startsWith(reason), qPrintable(result.reason));
        QCOMPARE(readFile(entry.trashed), QByteArray("contents"));
        QCOMPARE(QFileInfo::exists(m_file), !atPlace.isEmpty());
        if (!atPlace.isEmpty())
            QCOMPARE(readFile(m_file), atPlace);
    }

private:
    // The test's file recycled through the fake, as its run records it.
    RunRecord::Entry recycled() {
        RecycleBinTrash trash(*m_shell);
        const TrashResult result = trash.moveToTrash(m_file);
        if (!result.moved)
            qFatal("not recycled: %s", qPrintable(result.reason));
        return {m_file, result.trashedPath};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeShell> m_shell;
    QString m_file;
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    RecycleBinTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_recyclebin_win.moc"
