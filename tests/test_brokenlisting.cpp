// A folder whose listing breaks off part-way through the subfolder walk (GUILESS), as a failing
// disk or a network file system breaks one off: what was read of it is not handed on as its
// listing, so the pool after the walk lists it again, whole. The read error comes from a stand-in
// for the C library's directory read, linked into this test program only (Linux).
#include "TestSupport.h"
#include "deletelist/Listing.h"
#include "deletelist/ListingCache.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The folder whose listing breaks off: its first read gives a few entries, its second fails.
struct BrokenFolder {
    std::mutex mutex;
    QByteArray path; // as the system names an open folder; empty once broken off
    int reads = 0;
};

BrokenFolder& brokenFolder() {
    static BrokenFolder folder;
    return folder;
}

} // namespace

// The C library's directory read, standing in for it in this program alone: the walk and the pool
// read folders through it.
extern "C" ssize_t getdents64(int fd, void* buffer, size_t length) noexcept {
    BrokenFolder& broken = brokenFolder();
    {
        const std::lock_guard lock(broken.mutex);
        if (!broken.path.isEmpty()) {
            char name[4096];
            const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
            const ssize_t size = ::readlink(link.constData(), name, sizeof name);
            if (size > 0 && QByteArrayView(name, size) == broken.path) {
                if (++broken.reads > 1) {
                    broken.path.clear();
                    errno = EIO;
                    return -1;
                }
                // Room for the first few entries only.
                length = std::min<size_t>(length, 128);
            }
        }
    }
    return ::syscall(SYS_getdents64, fd, buffer, length);
}
#endif

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
        QStringList inBroken;
        for (int i = 1; i <= 8; ++i) {
            inBroken.append(broken + QStringLiteral("file%1.txt").arg(i));
            TestEnv::makeFile(inBroken.last());
        }
        TestEnv::makeFile(top + QStringLiteral("other/x.txt"));
        {
            const std::lock_guard lock(brokenFolder().mutex);
            brokenFolder().path = QFile::encodeName(broken.chopped(1));
        }
        Delete1::WalkListings walked;
        AddFolder::DiskFolderTree tree;
        tree.keepListings(walked.sink());
        ScriptedDialogs dialogs;
        QStringList folders{top};
        AddFolder::GetSubDirectories2016(folders, true, dialogs, tree, [] { return true; });
        // The listing did break off, and the folder stays a source row.
        QCOMPARE(brokenFolder().reads, 2);
        QVERIFY(folders.contains(broken));
        QStringList files;
        QVERIFY(!walked.take(broken, files));
        QVERIFY(walked.take(top + QStringLiteral("other/"), files));
        QCOMPARE(files, QStringList{top + QStringLiteral("other/x.txt")});
        // Listed again, it is whole.
        QStringList pool;
        Delete1::appendOrdinaryFiles(broken, pool);
        pool.sort();
        inBroken.sort();
        QCOMPARE(pool, inBroken);
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
