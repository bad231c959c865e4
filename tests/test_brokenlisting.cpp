// A folder whose listing breaks off part-way (GUILESS), as a failing disk or a network file system
// breaks one off: what was read of it is never handed on as its listing, neither by the subfolder
// walk nor by the rebuild's kept listings, so it is listed again, whole. The read error comes from
// stand-ins for the C library's directory reads, linked into this test program only (Linux).
#include "TestSupport.h"
#include "common/ErrorReport.h"
#include "deletelist/Listing.h"
#include "deletelist/ListingCache.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_LINUX
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The folder whose listing breaks off: after `allowed` reads of it, the next one fails.
struct BrokenFolder {
    std::mutex mutex;
    QByteArray path; // as the system names an open folder; empty once broken off
    int allowed = 0;
    int reads = 0;
};

BrokenFolder& brokenFolder() {
    static BrokenFolder folder;
    return folder;
}

void breakListingOf(const QString& folder, int allowed) {
    BrokenFolder& broken = brokenFolder();
    const std::lock_guard lock(broken.mutex);
    broken.path = QFile::encodeName(QFileInfo(folder).canonicalFilePath());
    broken.allowed = allowed;
    broken.reads = 0;
}

int readsOfBrokenFolder() {
    const std::lock_guard lock(brokenFolder().mutex);
    return brokenFolder().reads;
}

// Counts a read of the open folder; true when it is the one that breaks off.
bool breaksOff(int fd, bool& isBroken) {
    BrokenFolder& broken = brokenFolder();
    const std::lock_guard lock(broken.mutex);
    isBroken = false;
    if (broken.path.isEmpty())
        return false;
    char name[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t size = ::readlink(link.constData(), name, sizeof name);
    if (size <= 0 || QByteArrayView(name, size) != broken.path)
        return false;
    isBroken = true;
    if (++broken.reads <= broken.allowed)
        return false;
    broken.path.clear();
    return true;
}

} // namespace

// The C library's directory reads, standing in for them in this program alone: the walk reads
// folders through the first, the rebuild through the second. Reads of the broken folder give a
// few entries each until it breaks off.
extern "C" ssize_t getdents64(int fd, void* buffer, size_t length) noexcept {
    bool isBroken = false;
    if (breaksOff(fd, isBroken)) {
        errno = EIO;
        return -1;
    }
    return ::syscall(SYS_getdents64, fd, buffer, isBroken ? std::min<size_t>(length, 128) : length);
}

extern "C" dirent* readdir(DIR* dir) {
    using Real = dirent* (*)(DIR*);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "readdir"));
    bool isBroken = false;
    if (breaksOff(::dirfd(dir), isBroken)) {
        errno = EIO;
        return nullptr;
    }
    return real(dir);
}
#endif

namespace {

// Eight files in a folder of their own.
QStringList makeFolderOfEight(const QString& folder) {
    QStringList files;
    for (int i = 1; i <= 8; ++i) {
        files.append(folder + QStringLiteral("file%1.txt").arg(i));
        TestEnv::makeFile(files.last());
    }
    files.sort();
    return files;
}

} // namespace

class BrokenListingTest : public QObject {
    Q_OBJECT

private slots:
    void brokenListingIsListedAgain() {
#ifndef Q_OS_LINUX
        QSKIP("the read error is made by standing in for Linux's directory read");
#else
        QTemporaryDir tmp;
        const QString top = QFileInfo(tmp.path()).canonicalFilePath() + QStringLiteral("/top/");
        const QString broken = top + QStringLiteral("broken/");
        const QStringList inBroken = makeFolderOfEight(broken);
        TestEnv::makeFile(top + QStringLiteral("other/x.txt"));
        breakListingOf(broken, 1);
        Delete1::WalkListings walked;
        AddFolder::DiskFolderTree tree;
        tree.keepListings(walked.sink());
        ScriptedDialogs dialogs;
        QStringList folders{top};
        AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, [] { return true; });
        // The listing did break off, and the folder stays a source row.
        QCOMPARE(readsOfBrokenFolder(), 2);
        QVERIFY(folders.contains(broken));
        QStringList files;
        QVERIFY(!walked.take(broken, files));
        QVERIFY(walked.take(top + QStringLiteral("other/"), files));
        QCOMPARE(files, QStringList{top + QStringLiteral("other/x.txt")});
        // Listed again, it is whole.
        QStringList pool;
        Delete1::appendOrdinaryFiles(broken, pool);
        pool.sort();
        QCOMPARE(pool, inBroken);
#endif
    }

    // The rebuild keeps no listing broken off by a read error: the error is reported, and the
    // next rebuild lists the folder again, whole, even when it has not changed since.
    void brokenListingIsNotKeptForTheNextRebuild() {
#ifndef Q_OS_LINUX
        QSKIP("the read error is made by standing in for Linux's directory read");
#else
        QTemporaryDir tmp;
        const QString folder = tmp.path() + QStringLiteral("/folder/");
        const QStringList files = makeFolderOfEight(folder);
        // A folder changed within the racy window is listed again by every rebuild anyway.
        QThread::msleep(Delete1::RacyWindowNsec / 1'000'000 + 100);
        breakListingOf(folder, 3);
        Delete1::ListingCache cache;
        cache.beginBuild({folder});
        QVERIFY_THROWS_EXCEPTION(Failure, cache.list(0, folder));
        cache.endBuild();
        QCOMPARE(readsOfBrokenFolder(), 4);
        cache.beginBuild({folder});
        cache.list(0, folder);
        cache.endBuild();
        QCOMPARE(cache.listedCount(), 1);
        QStringList listed = cache.files(0).paths();
        listed.sort();
        QCOMPARE(listed, files);
#endif
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    BrokenListingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_brokenlisting.moc"
