// The desktop trash on real file systems: the home trash under a temporary XDG_DATA_HOME and, in a
// private mount namespace of this process, other volumes and a full one. Every path handed to the
// trash lies inside the test's own temporary folder.
#include "deletion/RenameNoReplace.h"
#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;
constexpr long TmpfsMagic = 0x01021994;

// A folder of its own for each case, on a tmpfs where one is at hand (/dev/shm): thousands of
// files and one syncfs per run cost nothing there, while on a disk the cleanup alone takes seconds.
std::unique_ptr<QTemporaryDir> caseFolder() {
    struct statfs fs {};
    if (::statfs("/dev/shm", &fs) == 0 && fs.f_type == TmpfsMagic &&
        ::access("/dev/shm", W_OK) == 0) {
        auto onTmpfs =
            std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/test_trash-XXXXXX"));
        if (onTmpfs->isValid())
            return onTmpfs;
    }
    return std::make_unique<QTemporaryDir>();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(contents), contents.size());
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// What files/ and info/ of a trash hold, one list; empty when the trash holds nothing or is absent.
QStringList trashContents(const QString& trash) {
    QStringList all;
    for (const QString& name : entries(trash + QStringLiteral("/files")))
        all.append(QStringLiteral("files/") + name);
    for (const QString& name : entries(trash + QStringLiteral("/info")))
        all.append(QStringLiteral("info/") + name);
    return all;
}

// The info file that belongs to an entry in files/.
QString infoFileOf(const QString& trashed) {
    const QFileInfo entry(trashed);
    return entry.dir().path() + QStringLiteral("/../info/") + entry.fileName() +
           QStringLiteral(".trashinfo");
}

QString decodedPathField(const QString& trashed) {
    for (const QByteArray& line : readAll(infoFileOf(trashed)).split('\n'))
        if (line.startsWith("Path="))
            return QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
    return {};
}

// The info file expected for an entry trashed between the two moments.
bool infoMatches(const QByteArray& actual, const QByteArray& pathField, const QDateTime& before,
                 const QDateTime& after) {
    for (const QDateTime& at : {before, after})
        if (actual == "[Trash Info]\nPath=" + pathField + "\nDeletionDate=" +
                          at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n')
            return true;
    return false;
}

int modeOf(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

void chownTree(const QString& path, uid_t uid) {
    QVERIFY(::lchown(QFile::encodeName(path).constData(), uid, uid) == 0);
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        for (const QString& name : entries(path))
            chownTree(path + QLatin1Char('/') + name, uid);
}

} // namespace

// Skips the case for the reason, and keeps it for the one line at the end that names every case
// skipped and why.
#define SKIP_CASE(reason)                                                                          \
    do {                                                                                           \
        const QString why = (reason);                                                              \
        m_skipped[why].append(                                                                     \
            QStringLiteral("%1(%2)").arg(QString::fromLatin1(QTest::currentTestFunction()),        \
                                         QString::fromLatin1(QTest::currentDataTag())));           \
        QSKIP(qPrintable(why));                                                                    \
    } while (false)

class TrashTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QStringList m_mounts;
    QString m_noNamespace; // why this process could not get a private mount namespace
    QMap<QString, QStringList> m_skipped; // the cases skipped, by reason

    QString dataHome() const { return m_root + QStringLiteral("/data"); }
    QString homeTrash() const { return dataHome() + QStringLiteral("/Trash"); }

    // Refuses, and ends the test program, for any path outside this test's folder.
    TrashResult move(DesktopTrash& trash, const QString& path) const {
        if (m_root.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')))
            qFatal("refusing to trash %s: outside the test folder", qPrintable(path));
        return trash.moveToTrash(path);
    }

    // A small tmpfs at the path, in this process's private mount namespace.
    bool mountTmpfs(const QString& path, const char* options) {
        QDir().mkpath(path);
        if (!m_noNamespace.isEmpty())
            return false;
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, options) != 0) {
            m_noNamespace = QStringLiteral("cannot mount a tmpfs: ") +
                            QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_mounts.prepend(path);
        return true;
    }

    // Any mount at the path, in this process's private mount namespace; false when the test
    // must skip, with the reason in m_noNamespace.
    bool mountAt(const QString& source, const QString& path, const char* type, unsigned long flags,
                 const QString& options = QString()) {
        if (!m_noNamespace.isEmpty())
            return false;
        const QByteArray data = QFile::encodeName(options);
        if (::mount(QFile::encodeName(source).constData(), QFile::encodeName(path).constData(),
                    type, flags, options.isEmpty() ? nullptr : data.constData()) != 0) {
            m_noNamespace = QStringLiteral("cannot mount %1 at %2: %3")
                                .arg(QString::fromLatin1(type ? type : "a bind mount"), path,
                                     QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_mounts.prepend(path);
        return true;
    }
    bool bindMount(const QString& source, const QString& path) {
        return mountAt(source, path, nullptr, MS_BIND);
    }

    // Moves the path to the trash in a child process running as the unprivileged user nobody (as
    // the test's own user when that is not root).
    // The child's answer comes back as "1" or "0" (moved) and the reason; "!" and a text when it
    // could not become nobody.
    // The child trashes through ShellDelete, as a deletion run does; after the moved flag comes
    // "L" when the run would list the file as left in place, else "-".
    QByteArray moveAsNobody(const QString& path,
                            const std::function<void(DesktopTrash&)>& prepare = {}) {
        if (m_root.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')))
            qFatal("refusing to trash %s: outside the test folder", qPrintable(path));
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return "!pipe";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            QByteArray answer;
            // An unprivileged test process is such a user already.
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0 ||
                 ::setresuid(Nobody, Nobody, Nobody) != 0)) {
                answer = QByteArray("!") + std::strerror(errno);
            } else {
                DesktopTrash trash;
                if (prepare)
                    prepare(trash);
                const Delete1::ShellDeleteResult result = Delete1::ShellDelete(path, true, trash);
                answer = QByteArray(result.moved ? "1" : "0") +
                         (Delete1::leftInPlace(result) ? "L" : "-") + result.reason.toUtf8();
            }
            const ssize_t written = ::write(pipeFds[1], answer.constData(), answer.size());
            ::_exit(written == answer.size() ? 0 : 1);
        }
        ::close(pipeFds[1]);
        QByteArray answer;
        char buffer[512];
        ssize_t got = 0;
        while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
            answer.append(buffer, got);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return answer.isEmpty() ? QByteArray("!no answer") : answer;
    }

private slots:
    void initTestCase() {
        // Mounts made here vanish with the process and are seen by no other.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            m_noNamespace = QStringLiteral("no private mount namespace: ") +
                            QString::fromLocal8Bit(std::strerror(errno));
    }

    void init() {
        m_dir = caseFolder();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        qputenv("HOME", QFile::encodeName(m_root + QStringLiteral("/home")));
    }

    void cleanupTestCase() {
        if (m_skipped.isEmpty())
            return;
        qsizetype count = 0;
        QStringList why;
        for (auto reason = m_skipped.cbegin(); reason != m_skipped.cend(); ++reason) {
            count += reason.value().size();
            why.append(reason.key() + QStringLiteral(" (") +
                       reason.value().join(QStringLiteral(", ")) + QLatin1Char(')'));
        }
        qInfo("%s", qPrintable(QStringLiteral("%1 cases skipped; they need root, for mounts in a "
                                              "private namespace or to run as another user: %2")
                                   .arg(count)
                                   .arg(why.join(QStringLiteral("; ")))));
    }

    void cleanup() {
        NoReplace::pretendMissing(NoReplace::Missing::Nothing);
        for (const QString& path : std::as_const(m_mounts))
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
        m_mounts.clear();
        m_dir.reset();
        m_root.clear();
    }

    // The info file byte for byte, the trash and its folders made 0700, the file itself moved.
    void homeTrashRecordsThePathExactly_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("blank") << QStringLiteral("a b.txt") << QByteArray("a%20b.txt");
        QTest::newRow("percent") << QStringLiteral("100%.txt") << QByteArray("100%25.txt");
        QTest::newRow("newline") << QStringLiteral("line\nbreak") << QByteArray("line%0Abreak");
        QTest::newRow("non-ASCII")
            << QStringLiteral("ü日.txt") << QByteArray("%C3%BC%E6%97%A5.txt");
        QTest::newRow("reserved") << QStringLiteral("a+b=c&d#e?f;g")
                                  << QByteArray("a%2Bb%3Dc%26d%23e%3Ff%3Bg");
    }
    void homeTrashRecordsThePathExactly() {
        QFETCH(QString, name);
        QFETCH(QByteArray, encoded);
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9/._-]+$")).match(m_root).hasMatch(),
                 qPrintable(m_root));
        const QString path = m_root + QStringLiteral("/sub dir/") + name;
        writeFile(path, name.toUtf8());
        DesktopTrash trash;
        const QDateTime before = QDateTime::currentDateTime();
        const TrashResult result = move(trash, path);
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY2(result.moved, qPrintable(result.reason));
        QCOMPARE(result.trashedPath, homeTrash() + QStringLiteral("/files/") + name);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(readAll(result.trashedPath), name.toUtf8());
        const QByteArray info = readAll(infoFileOf(result.trashedPath));
        QVERIFY2(
            infoMatches(info, QFile::encodeName(m_root) + "/sub%20dir/" + encoded, before, after),
            info.constData());
        for (const QString& folder : {homeTrash(), homeTrash() + QStringLiteral("/files"),
                                      homeTrash() + QStringLiteral("/info")})
            QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(infoFileOf(result.trashedPath)), 0600);
    }

    // 2,000 files of one name each get a name of their own, the extension last; a later run (a
    // new trash object) still finds free names.
    void sameNameFilesAllStayDistinct() {
        DesktopTrash trash;
        QSet<QString> trashed;
        const int count = 2000;
        for (int run = 0; run < 2; ++run) {
            DesktopTrash later;
            DesktopTrash& current = run == 0 ? trash : later;
            const int files = run == 0 ? count : 50;
            for (int i = 0; i < files; ++i) {
                const QString path =
                    m_root + QStringLiteral("/album%1-%2/cover.jpg").arg(run).arg(i);
                writeFile(path, path.toUtf8());
                const TrashResult result = move(current, path);
                QVERIFY2(result.moved, qPrintable(result.reason));
                QVERIFY2(result.trashedPath.endsWith(QStringLiteral(".jpg")),
                         qPrintable(result.trashedPath));
                QVERIFY2(!trashed.contains(result.trashedPath), qPrintable(result.trashedPath));
                trashed.insert(result.trashedPath);
                QCOMPARE(readAll(result.trashedPath), path.toUtf8());
                QCOMPARE(decodedPathField(result.trashedPath), path);
            }
        }
        QCOMPARE(entries(homeTrash() + QStringLiteral("/files")).size(), count + 50);
        QCOMPARE(entries(homeTrash() + QStringLiteral("/info")).size(), count + 50);
    }

    // Names too long to carry ".trashinfo" are shortened in the trash, not refused; Path= keeps
    // the name. Each name is trashed twice, so the second needs a number as well.
    void longNamesAreShortenedNotRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("keptWhole");
        const auto ascii = [](int bytes) {
            return QString(bytes - 4, QLatin1Char('n')) + QStringLiteral(".txt");
        };
        QTest::newRow("240 bytes") << ascii(240) << true;
        QTest::newRow("245 bytes") << ascii(245) << true;
        QTest::newRow("246 bytes") << ascii(246) << false;
        QTest::newRow("255 bytes") << ascii(255) << false;
        QTest::newRow("255 bytes, two-byte letters")
            << QString(125, QChar(0xE4)) + QStringLiteral("x.txt") << false;
    }
    void longNamesAreShortenedNotRefused() {
        QFETCH(QString, name);
        QFETCH(bool, keptWhole);
        DesktopTrash trash;
        for (const QString& folder : {QStringLiteral("/one/"), QStringLiteral("/two/")}) {
            const QString path = m_root + folder + name;
            writeFile(path, folder.toUtf8());
            const TrashResult result = move(trash, path);
            QVERIFY2(result.moved, qPrintable(result.reason));
            const QByteArray trashedName =
                QFile::encodeName(QFileInfo(result.trashedPath).fileName());
            QVERIFY2(trashedName.size() + 10 <= 255, trashedName.constData());
            QVERIFY(trashedName.endsWith(".txt"));
            QVERIFY(validUtf8(trashedName));
            if (folder == QLatin1String("/one/"))
                QCOMPARE(trashedName == QFile::encodeName(name), keptWhole);
            QCOMPARE(readAll(result.trashedPath), folder.toUtf8());
            QCOMPARE(decodedPathField(result.trashedPath), path);
        }
    }

    // Each fault leaves the file where it was and the trash without a trace of it.
    void faultsLeaveTheFileInPlace_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("Trash is a regular file") << QStringLiteral("file");
        QTest::newRow("files is a symlink") << QStringLiteral("files link");
        QTest::newRow("info not writable") << QStringLiteral("info");
        QTest::newRow("full file system") << QStringLiteral("full");
    }
    void faultsLeaveTheFileInPlace() {
        QFETCH(QString, fault);
        QString base = m_root;
        if (fault == QLatin1String("full")) {
            base = m_root + QStringLiteral("/vol");
            if (!mountTmpfs(base, "size=256k,mode=0755"))
                SKIP_CASE(m_noNamespace);
            qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
        }
        const QString trashFolder = base + QStringLiteral("/data/Trash");
        const QString path = base + QStringLiteral("/files/kept.txt");
        writeFile(path, "kept");
        const QString elsewhere = base + QStringLiteral("/elsewhere");
        QDir().mkpath(elsewhere);
        if (fault == QLatin1String("file")) {
            writeFile(trashFolder, "not a folder");
        } else {
            QDir().mkpath(trashFolder + QStringLiteral("/info"));
            if (fault == QLatin1String("files link"))
                QVERIFY(QFile::link(elsewhere, trashFolder + QStringLiteral("/files")));
            else
                QDir().mkpath(trashFolder + QStringLiteral("/files"));
        }
        QString reason;
        if (fault == QLatin1String("info")) {
            QVERIFY(QFile::setPermissions(trashFolder + QStringLiteral("/info"),
                                          QFile::ReadOwner | QFile::ExeOwner));
            if (::geteuid() == 0) {
                // Root writes anywhere: the move runs as nobody, who owns everything here.
                QVERIFY(::chmod(QFile::encodeName(m_root).constData(), 0755) == 0);
                chownTree(base + QStringLiteral("/data"), Nobody);
                chownTree(base + QStringLiteral("/files"), Nobody);
                const QByteArray answer = moveAsNobody(path);
                if (answer.startsWith('!'))
                    SKIP_CASE(QStringLiteral("cannot run as nobody: ") +
                              QString::fromUtf8(answer.mid(1)));
                QCOMPARE(answer.left(2), QByteArray("0L"));
                reason = QString::fromUtf8(answer.mid(2));
            }
        }
        if (fault == QLatin1String("full")) {
            QFile filler(base + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        if (reason.isEmpty()) {
            DesktopTrash trash;
            const TrashResult result = move(trash, path);
            QVERIFY(!result.moved && !result.gone);
            reason = result.reason;
        }
        QVERIFY(!reason.isEmpty());
        QCOMPARE(readAll(path), QByteArray("kept"));
        QCOMPARE(trashContents(trashFolder), QStringList());
        QCOMPARE(entries(elsewhere), QStringList());
        qDebug("%s: %s", qPrintable(fault), qPrintable(reason));
    }

    // What takes the file's place between the last look and the move (through the trash's test
    // hook): a folder is put back; a link goes as the link; nothing at all counts as gone.
    void swapBeforeTheMove_data() {
        QTest::addColumn<QString>("swap");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("link to a folder") << QStringLiteral("link");
        QTest::newRow("removed") << QStringLiteral("removed");
    }
    void swapBeforeTheMove() {
        QFETCH(QString, swap);
        const QString path = m_root + QStringLiteral("/listed.txt");
        const QString folder = m_root + QStringLiteral("/folder");
        writeFile(path, "file");
        writeFile(folder + QStringLiteral("/inner.txt"), "inner");
        DesktopTrash trash;
        int calls = 0;
        trash.beforeMove = [&](const QString& at) {
            ++calls;
            QFile::remove(at);
            if (swap == QLatin1String("folder"))
                QDir(m_root).rename(QStringLiteral("folder"), QStringLiteral("listed.txt"));
            else if (swap == QLatin1String("link"))
                QFile::link(folder, at);
        };
        const TrashResult result = move(trash, path);
        QCOMPARE(calls, 1);
        if (swap == QLatin1String("link")) {
            QVERIFY2(result.moved, qPrintable(result.reason));
            QVERIFY(QFileInfo(result.trashedPath).isSymLink());
            QCOMPARE(readAll(folder + QStringLiteral("/inner.txt")), QByteArray("inner"));
            return;
        }
        QVERIFY(!result.moved);
        QCOMPARE(result.isFolder, swap == QLatin1String("folder"));
        QCOMPARE(result.gone, swap == QLatin1String("removed"));
        QCOMPARE(result.trashedPath, QString());
        if (result.isFolder) {
            QVERIFY(!result.reason.isEmpty());
            QCOMPARE(readAll(path + QStringLiteral("/inner.txt")), QByteArray("inner"));
        }
        QCOMPARE(trashContents(homeTrash()), QStringList());
    }

    // An entry in files/ without an info file keeps its name: the move never replaces it, in
    // each way the rename can go (the fallbacks as on file systems without RENAME_NOREPLACE, and
    // without hard links too).
    void entryWithoutInfoFileIsNeverReplaced_data() {
        QTest::addColumn<int>("missing");
        QTest::newRow("RENAME_NOREPLACE") << int(NoReplace::Missing::Nothing);
        QTest::newRow("hard link") << int(NoReplace::Missing::NoReplaceFlag);
        QTest::newRow("placeholder") << int(NoReplace::Missing::NoReplaceFlagAndLinks);
    }
    void entryWithoutInfoFileIsNeverReplaced() {
        QFETCH(int, missing);
        NoReplace::pretendMissing(static_cast<NoReplace::Missing>(missing));
        writeFile(homeTrash() + QStringLiteral("/files/a.txt"), "holder");
        QVERIFY(QDir().mkpath(homeTrash() + QStringLiteral("/info")));
        const QString path = m_root + QStringLiteral("/src/a.txt");
        writeFile(path, "content");
        DesktopTrash trash;
        const TrashResult result = move(trash, path);
        QVERIFY2(result.moved, qPrintable(result.reason));
        QCOMPARE(result.trashedPath, homeTrash() + QStringLiteral("/files/a.2.txt"));
        QCOMPARE(readAll(homeTrash() + QStringLiteral("/files/a.txt")), QByteArray("holder"));
        QCOMPARE(readAll(result.trashedPath), QByteArray("content"));
        QCOMPARE(trashContents(homeTrash()),
                 (QStringList{QStringLiteral("files/a.2.txt"), QStringLiteral("files/a.txt"),
                              QStringLiteral("info/a.2.txt.trashinfo")}));
        QVERIFY(!QFileInfo::exists(path));
    }

    // A call that moves nothing leaves none of the trash folders it made: the home trash with
    // the folders above it, or a volume's own top trash.
    void refusedCallLeavesNoTrashFolders_data() {
        QTest::addColumn<bool>("otherVolume");
        QTest::newRow("home trash") << false;
        QTest::newRow("top trash of another volume") << true;
    }
    void refusedCallLeavesNoTrashFolders() {
        QFETCH(bool, otherVolume);
        QString base = m_root;
        if (otherVolume) {
            base = m_root + QStringLiteral("/vol");
            if (!mountTmpfs(base, "size=1m,mode=0755"))
                SKIP_CASE(m_noNamespace);
        }
        const QString path = base + QStringLiteral("/dir/a.txt");
        writeFile(path, "a");
        const QStringList before = entries(base);
        DesktopTrash trash;
        // The file goes just before the move: the call is refused after the folders were made.
        trash.beforeMove = [](const QString& at) { QFile::remove(at); };
        const TrashResult result = move(trash, path);
        QVERIFY(!result.moved);
        QVERIFY(result.gone);
        QVERIFY2(!QFileInfo::exists(dataHome()), qPrintable(entries(dataHome()).join(',')));
        QCOMPARE(entries(base), before);
    }

    // A folder at the path is refused at the look before the move: it is never moved, not even
    // into the trash and back, and no trash folder is made for it; through ShellDelete as well.
    void folderIsRefusedBeforeTheMove_data() {
        QTest::addColumn<bool>("throughShellDelete");
        QTest::newRow("trash") << false;
        QTest::newRow("ShellDelete") << true;
    }
    void folderIsRefusedBeforeTheMove() {
        QFETCH(bool, throughShellDelete);
        const QString folder = m_root + QStringLiteral("/folder");
        writeFile(folder + QStringLiteral("/inner.txt"), "inner");
        DesktopTrash trash;
        int moves = 0;
        trash.beforeMove = [&](const QString& /*at*/) { ++moves; };
        bool moved = true;
        bool isFolder = false;
        if (throughShellDelete) {
            const Delete1::ShellDeleteResult result = Delete1::ShellDelete(folder, true, trash);
            moved = result.moved;
            isFolder = result.isFolder;
            QVERIFY(!result.found);
            QVERIFY(Delete1::leftInPlace(result));
        } else {
            const TrashResult result = move(trash, folder);
            moved = result.moved;
            isFolder = result.isFolder;
        }
        QVERIFY(!moved);
        QVERIFY(isFolder);
        QCOMPARE(moves, 0);
        QCOMPARE(readAll(folder + QStringLiteral("/inner.txt")), QByteArray("inner"));
        QVERIFY(!QFileInfo::exists(homeTrash()));
    }

    // Which trash takes a file follows from the mount that holds its folder, read from the mount
    // table. `trash` is the trash folder expected, relative to the test folder (empty when the file
    // must stay where it is and nothing may be made); `recorded` is its Path=, an absolute one
    // written relative to the test folder with a leading "/".
    void mountLayoutsUseTheirMountsTrash_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("trash");
        QTest::addColumn<QString>("recorded");
        const QString own = QStringLiteral("/.Trash-%1").arg(::geteuid());
        const auto row = [](const char* name, const char* layout, const char* file,
                            const QString& trash, const char* recorded) {
            QTest::newRow(name) << QString::fromUtf8(layout) << QString::fromUtf8(file) << trash
                                << QString::fromUtf8(recorded);
        };
        row("bind mount of a tmpfs subtree", "bind", "bound/dir/a.txt", "bound" + own, "dir/a.txt");
        row("bind mount at a path with a blank", "bind", "bound dir/dir/a.txt", "bound dir" + own,
            "dir/a.txt");
        row("bind mount inside the home volume", "home bind", "home/bound/dir/a.txt",
            "home/bound" + own, "dir/a.txt");
        row("the home volume beside that bind mount", "home bind", "home/src/dir/a.txt",
            QStringLiteral("home/data/Trash"), "/home/src/dir/a.txt");
        row("overlay, file of the lower layer", "overlay", "merged/dir/low.txt", "merged" + own,
            "dir/low.txt");
        row("overlay, file of the upper layer", "overlay", "merged/dir/up.txt", "merged" + own,
            "dir/up.txt");
        row("bind-mounted single file", "file bind", "vol/dir/a.txt", QString(), "");
        row("mount table unreadable", "no table", "vol/dir/a.txt", "vol" + own, "dir/a.txt");
        row("mount table unreadable, top trash unusable", "no table, own file", "vol/dir/a.txt",
            QString(), "");
    }
    void mountLayoutsUseTheirMountsTrash() {
        QFETCH(QString, layout);
        QFETCH(QString, file);
        QFETCH(QString, trash);
        QFETCH(QString, recorded);
        const QString root = QFileInfo(m_root).canonicalFilePath();
        const QString path = m_root + QLatin1Char('/') + file;
        const QString vol = m_root + QStringLiteral("/vol");
        const char* const options = "size=1m,mode=0755";
        bool mounted = true;
        if (layout == QLatin1String("bind")) {
            mounted = mountTmpfs(vol, options);
            QDir().mkpath(vol + QStringLiteral("/sub"));
            const QString bound = m_root + QLatin1Char('/') + file.section(QLatin1Char('/'), 0, 0);
            QDir().mkpath(bound);
            mounted = mounted && bindMount(vol + QStringLiteral("/sub"), bound);
        } else if (layout == QLatin1String("home bind")) {
            mounted = mountTmpfs(m_root + QStringLiteral("/home"), options);
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_root + QStringLiteral("/home/data")));
            QDir().mkpath(m_root + QStringLiteral("/home/src"));
            QDir().mkpath(m_root + QStringLiteral("/home/bound"));
            mounted = mounted && bindMount(m_root + QStringLiteral("/home/src"),
                                           m_root + QStringLiteral("/home/bound"));
        } else if (layout == QLatin1String("overlay")) {
            // The lower layer and the upper layer on file systems of their own.
            const QString lower = m_root + QStringLiteral("/lower");
            const QString upper = m_root + QStringLiteral("/upperfs");
            mounted = mountTmpfs(lower, options) && mountTmpfs(upper, options);
            QDir().mkpath(upper + QStringLiteral("/upper"));
            QDir().mkpath(upper + QStringLiteral("/work"));
            QDir().mkpath(m_root + QStringLiteral("/merged"));
            writeFile(lower + QStringLiteral("/dir/low.txt"), "content");
            mounted =
                mounted && mountAt(QStringLiteral("overlay"), m_root + "/merged", "overlay", 0,
                                   QStringLiteral("lowerdir=%1,upperdir=%2/upper,workdir=%2/"
                                                  "work")
                                       .arg(lower, upper));
        } else if (layout == QLatin1String("file bind")) {
            mounted = mountTmpfs(vol, options);
            writeFile(vol + QStringLiteral("/dir/a.txt"), "under");
            writeFile(m_root + QStringLiteral("/other.txt"), "content");
            mounted = mounted && bindMount(m_root + QStringLiteral("/other.txt"), path);
        } else {
            // /proc hidden under an empty tmpfs: the volume's top is found by walking up.
            mounted = mountTmpfs(vol, options) && mountTmpfs(QStringLiteral("/proc"), "size=4k");
            if (layout.endsWith(QLatin1String("own file")))
                writeFile(vol + QStringLiteral("/.Trash-%1").arg(::geteuid()), "file");
        }
        if (!mounted)
            SKIP_CASE(m_noNamespace);
        if (!QFileInfo::exists(path))
            writeFile(path, "content");
        const QStringList volumeBefore = entries(vol);

        DesktopTrash desktopTrash;
        const TrashResult result = move(desktopTrash, path);
        if (trash.isEmpty()) {
            QVERIFY(!result.moved);
            QVERIFY(!result.reason.isEmpty());
            QCOMPARE(readAll(path), QByteArray("content"));
            QCOMPARE(entries(vol), volumeBefore);
            QCOMPARE(entries(vol + QStringLiteral("/dir")), QStringList{QStringLiteral("a.txt")});
            QVERIFY(!QFileInfo::exists(homeTrash()));
            if (layout.startsWith(QLatin1String("no table")))
                QVERIFY2(result.reason.contains(QLatin1String("mount table")),
                         qPrintable(result.reason));
            return;
        }
        QVERIFY2(result.moved, qPrintable(result.reason));
        const QString name = QFileInfo(path).fileName();
        QCOMPARE(result.trashedPath,
                 root + QLatin1Char('/') + trash + QStringLiteral("/files/") + name);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(readAll(result.trashedPath), QByteArray("content"));
        QCOMPARE(decodedPathField(result.trashedPath),
                 recorded.startsWith(QLatin1Char('/')) ? m_root + recorded : recorded);
        if (!trash.endsWith(QLatin1String("Trash")))
            QCOMPARE(trashContents(homeTrash()), QStringList());
        // Nothing at the top of the volume the bind mount shows a part of.
        if (layout == QLatin1String("bind"))
            QCOMPARE(entries(vol), QStringList{QStringLiteral("sub")});
        if (layout == QLatin1String("overlay")) {
            // The desktop's own listing finds it where it went.
            const QString lister = QStandardPaths::findExecutable(QStringLiteral("trash-list"));
            if (lister.isEmpty())
                return;
            QProcess list;
            list.start(lister, {});
            QVERIFY(list.waitForFinished(60000));
            const QString listed = QString::fromUtf8(list.readAllStandardOutput());
            QVERIFY2(listed.contains(QLatin1Char(' ') + m_root + QStringLiteral("/merged/dir/") +
                                     name + QLatin1Char('\n')),
                     qPrintable(listed));
        }
    }

    // One trash taking files of the home volume and of another volume in turn sends each file to
    // its own volume's trash, whichever trash took the file before.
    void filesInTurnGoToTheirOwnTrash() {
        const QString vol = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(vol, "size=1m,mode=0755"))
            SKIP_CASE(m_noNamespace);
        const QString top = QFileInfo(vol).canonicalFilePath() +
                            QStringLiteral("/.Trash-%1/files/").arg(::geteuid());
        const QString home = homeTrash() + QStringLiteral("/files/");
        const QList<std::pair<QString, QString>> files = {
            {m_root + QStringLiteral("/docs/a.txt"), home + QStringLiteral("a.txt")},
            {vol + QStringLiteral("/b.txt"), top + QStringLiteral("b.txt")},
            {vol + QStringLiteral("/sub/c.txt"), top + QStringLiteral("c.txt")},
            {m_root + QStringLiteral("/docs/d.txt"), home + QStringLiteral("d.txt")},
        };
        for (const auto& [path, trashed] : files)
            writeFile(path, QFileInfo(path).fileName().toUtf8());
        DesktopTrash desktopTrash;
        for (const auto& [path, trashed] : files) {
            const TrashResult result = move(desktopTrash, path);
            QVERIFY2(result.moved, qPrintable(path + QStringLiteral(": ") + result.reason));
            QCOMPARE(result.trashedPath, trashed);
            QCOMPARE(readAll(trashed), QFileInfo(path).fileName().toUtf8());
        }
    }

    // Files of one folder on another volume, one after another, each record their own path
    // relative to the volume's top.
    void filesOfOneFolderRecordTheirOwnPaths() {
        const QString vol = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(vol, "size=1m,mode=0755"))
            SKIP_CASE(m_noNamespace);
        // Each file under the volume, and its Path= as the information file writes it.
        const QList<std::pair<QString, QByteArray>> files = {
            {QStringLiteral("sub dir/a.txt"), QByteArray("sub%20dir/a.txt")},
            {QStringLiteral("sub dir/b%.txt"), QByteArray("sub%20dir/b%25.txt")},
            {QStringLiteral("sub dir/c d.txt"), QByteArray("sub%20dir/c%20d.txt")},
            {QStringLiteral("e.txt"), QByteArray("e.txt")},
        };
        for (const auto& [file, recorded] : files)
            writeFile(vol + QLatin1Char('/') + file, "x");
        DesktopTrash desktopTrash;
        for (const auto& [file, recorded] : files) {
            const TrashResult result = move(desktopTrash, vol + QLatin1Char('/') + file);
            QVERIFY2(result.moved, qPrintable(file + QStringLiteral(": ") + result.reason));
            const QByteArray info = readAll(infoFileOf(result.trashedPath));
            QVERIFY2(info.contains("\nPath=" + recorded + '\n'), info.constData());
        }
    }

    // A file's own mount decides, also after another file of its folder went: a file mounted over
    // at its path is refused, not sent where its neighbour went.
    void mountedFileBesideAMovedOneIsRefused() {
        const QString vol = m_root + QStringLiteral("/vol");
        const QString path = vol + QStringLiteral("/dir/a.txt");
        const QString neighbour = vol + QStringLiteral("/dir/b.txt");
        bool mounted = mountTmpfs(vol, "size=1m,mode=0755");
        writeFile(path, "under");
        writeFile(neighbour, "b");
        writeFile(m_root + QStringLiteral("/other.txt"), "content");
        mounted = mounted && bindMount(m_root + QStringLiteral("/other.txt"), path);
        if (!mounted)
            SKIP_CASE(m_noNamespace);
        DesktopTrash desktopTrash;
        QVERIFY(move(desktopTrash, neighbour).moved);
        const TrashResult result = move(desktopTrash, path);
        QVERIFY(!result.moved);
        QVERIFY2(result.reason.contains(QStringLiteral("mount point of its own")),
                 qPrintable(result.reason));
        QCOMPARE(readAll(path), QByteArray("content"));
    }

    // When the move fails and the info file cannot be removed either, the reason names the
    // leftover and the run lists the file as left in place. Run unprivileged: root writes anywhere.
    void leftoverInfoFileIsSaid() {
        const QString path = m_root + QStringLiteral("/files/kept.txt");
        writeFile(path, "kept");
        QVERIFY(QDir().mkpath(homeTrash() + QStringLiteral("/files")));
        QVERIFY(QDir().mkpath(homeTrash() + QStringLiteral("/info")));
        if (::geteuid() == 0) {
            QVERIFY(::chmod(QFile::encodeName(m_root).constData(), 0755) == 0);
            chownTree(dataHome(), Nobody);
            chownTree(m_root + QStringLiteral("/files"), Nobody);
        }
        const QByteArray answer = moveAsNobody(path, [](DesktopTrash& trash) {
            // Once the info file is written, info/ and the file's folder go read-only.
            trash.beforeMove = [](const QString& at) {
                const QString trashFolder =
                    QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/Trash");
                ::chmod(QFile::encodeName(trashFolder + QStringLiteral("/info")).constData(), 0500);
                ::chmod(QFile::encodeName(QFileInfo(at).path()).constData(), 0500);
            };
        });
        if (answer.startsWith('!'))
            SKIP_CASE(QStringLiteral("cannot run as nobody: ") + QString::fromUtf8(answer.mid(1)));
        for (const QString& folder :
             {homeTrash() + QStringLiteral("/info"), QFileInfo(path).path()})
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
        const QString reason = QString::fromUtf8(answer.mid(2));
        QCOMPARE(answer.left(2), QByteArray("0L"));
        const QString leftover = homeTrash() + QStringLiteral("/info/kept.txt.trashinfo");
        QVERIFY2(reason.contains(leftover), qPrintable(reason));
        QCOMPARE(readAll(path), QByteArray("kept"));
        QCOMPARE(trashContents(homeTrash()),
                 QStringList{QStringLiteral("info/kept.txt.trashinfo")});
    }

    // An open trash taken away (removed; renamed and then the run ended; renamed after the run
    // ended) is not written to: the next file makes or finds the trash at its path again.
    void trashTakenAwayIsFoundAgain_data() {
        QTest::addColumn<QString>("taken");
        QTest::newRow("removed") << QStringLiteral("removed");
        QTest::newRow("renamed, then the run ended") << QStringLiteral("renamed in the run");
        QTest::newRow("renamed after the run ended") << QStringLiteral("renamed after the run");
    }
    void trashTakenAwayIsFoundAgain() {
        QFETCH(QString, taken);
        DesktopTrash trash;
        for (const QString& name : {QStringLiteral("one.txt"), QStringLiteral("two.txt")}) {
            const QString path = m_root + QStringLiteral("/files/") + name;
            writeFile(path, name.toUtf8());
            const TrashResult result = move(trash, path);
            QVERIFY2(result.moved, qPrintable(result.reason));
            QCOMPARE(result.trashedPath, homeTrash() + QStringLiteral("/files/") + name);
            QCOMPARE(readAll(result.trashedPath), name.toUtf8());
            QCOMPARE(decodedPathField(result.trashedPath), path);
            if (name == QLatin1String("two.txt"))
                break;
            const QString old = m_root + QStringLiteral("/old trash");
            if (taken == QLatin1String("removed")) {
                QVERIFY(QDir(homeTrash()).removeRecursively());
            } else if (taken == QLatin1String("renamed in the run")) {
                QVERIFY(QDir().rename(homeTrash(), old));
                trash.flush();
            } else {
                trash.flush();
                QVERIFY(QDir().rename(homeTrash(), old));
            }
        }
    }

    // A trash renamed away while a run goes on is noticed during the run, not only at its end:
    // once the run has looked again, the files go to the trash at its path, and the run hears
    // where the renamed one went.
    void trashRenamedDuringARunIsNoticedBeforeItEnds() {
        const QString old = m_root + QStringLiteral("/old trash");
        DesktopTrash trash;
        const auto trashFile = [&](const QString& name) {
            const QString path = m_root + QStringLiteral("/files/") + name;
            writeFile(path, name.toUtf8());
            return move(trash, path).moved;
        };
        QVERIFY(trashFile(QStringLiteral("one.txt")));
        QVERIFY(QDir().rename(homeTrash(), old));
        // Well past the time a run lets pass between looks at its trash folders.
        QThread::msleep(500);
        QVERIFY(trashFile(QStringLiteral("two.txt")));
        QVERIFY(trashFile(QStringLiteral("three.txt")));
        QCOMPARE(trash.takeMovedFolders(),
                 (std::vector<std::pair<QString, QString>>{{homeTrash(), old}}));
        QCOMPARE(readAll(homeTrash() + QStringLiteral("/files/three.txt")),
                 QByteArray("three.txt"));
        QCOMPARE(decodedPathField(homeTrash() + QStringLiteral("/files/three.txt")),
                 m_root + QStringLiteral("/files/three.txt"));
        QCOMPARE(trashContents(old),
                 (QStringList{QStringLiteral("files/one.txt"), QStringLiteral("files/two.txt"),
                              QStringLiteral("info/one.txt.trashinfo"),
                              QStringLiteral("info/two.txt.trashinfo")}));
    }

    // A file on another volume goes to the trash at the top of that volume, never to the home
    // trash; a top trash that could be someone else's is not used. `expected` is the trash
    // folder relative to the volume, empty when the file must stay.
    void otherVolumeUsesItsTopTrash_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        const QString own = QStringLiteral(".Trash-%1").arg(::geteuid());
        const QString shared = QStringLiteral(".Trash/%1").arg(::geteuid());
        QTest::newRow("nothing there") << QString() << own;
        QTest::newRow("sticky .Trash") << QStringLiteral("sticky") << shared;
        QTest::newRow(".Trash without sticky bit") << QStringLiteral("not sticky") << own;
        QTest::newRow(".Trash is a link") << QStringLiteral("shared link") << own;
        QTest::newRow("own trash is a link") << QStringLiteral("own link") << QString();
        QTest::newRow("own trash is a file") << QStringLiteral("own file") << QString();
        QTest::newRow("own trash of another user") << QStringLiteral("own other") << QString();
        QTest::newRow("own trash writable by all") << QStringLiteral("own open") << QString();
        QTest::newRow("files/ of another user in it") << QStringLiteral("files other") << QString();
        QTest::newRow("info/ writable by all in it") << QStringLiteral("info open") << QString();
    }
    void otherVolumeUsesItsTopTrash() {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        const QString vol = m_root + QStringLiteral("/vol");
        if (!mountTmpfs(vol, "size=1m,mode=0755"))
            SKIP_CASE(m_noNamespace);
        const QString top = QFileInfo(vol).canonicalFilePath();
        const QString own = vol + QStringLiteral("/.Trash-%1").arg(::geteuid());
        const QString decoy = vol + QStringLiteral("/decoy");
        QDir().mkpath(decoy);
        QVERIFY(::chmod(QFile::encodeName(decoy).constData(), 01777) == 0);
        const QString path = vol + QStringLiteral("/sub dir/a.txt");
        writeFile(path, "a");
        const QByteArray dot = QFile::encodeName(vol + QStringLiteral("/.Trash"));
        if (setup == QLatin1String("sticky") || setup == QLatin1String("not sticky")) {
            QVERIFY(::mkdir(dot.constData(), 0777) == 0);
            QVERIFY(::chmod(dot.constData(), setup == QLatin1String("sticky") ? 01777 : 0777) == 0);
        } else if (setup == QLatin1String("shared link")) {
            QVERIFY(QFile::link(decoy, vol + QStringLiteral("/.Trash")));
        } else if (setup == QLatin1String("own link")) {
            QVERIFY(QFile::link(decoy, own));
        } else if (setup == QLatin1String("own file")) {
            writeFile(own, "file");
        } else if (setup == QLatin1String("own other")) {
            QVERIFY(QDir().mkpath(own));
            QVERIFY(::chown(QFile::encodeName(own).constData(), ::geteuid() + 1, 0) == 0);
        } else if (setup == QLatin1String("own open")) {
            QVERIFY(QDir().mkpath(own));
            QVERIFY(::chmod(QFile::encodeName(own).constData(), 0777) == 0);
        } else if (setup == QLatin1String("files other")) {
            // Planted by another user in a trash the user left open to everyone for a while.
            QVERIFY(QDir().mkpath(own + QStringLiteral("/files")));
            QVERIFY(::chown(QFile::encodeName(own + QStringLiteral("/files")).constData(),
                            ::geteuid() + 1, 0) == 0);
        } else if (setup == QLatin1String("info open")) {
            QVERIFY(QDir().mkpath(own + QStringLiteral("/info")));
            QVERIFY(::chmod(QFile::encodeName(own + QStringLiteral("/info")).constData(), 0777) ==
                    0);
        }
        DesktopTrash trash;
        const QDateTime before = QDateTime::currentDateTime();
        const TrashResult result = move(trash, path);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(trashContents(homeTrash()), QStringList());
        QCOMPARE(entries(decoy), QStringList());
        if (expected.isEmpty()) {
            QVERIFY(!result.moved);
            QVERIFY(!result.reason.isEmpty());
            QCOMPARE(readAll(path), QByteArray("a"));
            if (QFileInfo(own).isDir() && !QFileInfo(own).isSymLink())
                QCOMPARE(trashContents(own), QStringList());
            return;
        }
        QVERIFY2(result.moved, qPrintable(result.reason));
        QCOMPARE(result.trashedPath,
                 top + QLatin1Char('/') + expected + QStringLiteral("/files/a.txt"));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(readAll(result.trashedPath), QByteArray("a"));
        const QByteArray info = readAll(infoFileOf(result.trashedPath));
        QVERIFY2(infoMatches(info, "sub%20dir/a.txt", before, after), info.constData());
        QCOMPARE(modeOf(vol + QLatin1Char('/') + expected), 0700);
        if (setup == QLatin1String("not sticky"))
            QCOMPARE(entries(vol + QStringLiteral("/.Trash")), QStringList());
    }
};

QTEST_GUILESS_MAIN(TrashTest)
#include "test_trash.moc"
