// The rename that never replaces (GUILESS), in each of its ways: with RENAME_NOREPLACE, by a
// hard link, and by a placeholder where hard links are missing too. The two fallbacks are reached
// through the module's test switch, as on file systems this machine cannot mount.
#include "deletion/RenameNoReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>

Q_DECLARE_METATYPE(NoReplace::Missing)

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
}

// Renames by path; the errno of a failure, 0 on success.
int renamed(const QString& from, const QString& to) {
    errno = 0;
    const int result = NoReplace::rename(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                                         QFile::encodeName(to).constData());
    return result == 0 ? 0 : errno;
}

} // namespace

class RenameTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    static void ways() {
        QTest::addColumn<NoReplace::Missing>("missing");
        QTest::newRow("RENAME_NOREPLACE") << NoReplace::Missing::Nothing;
        QTest::newRow("hard link") << NoReplace::Missing::NoReplaceFlag;
        QTest::newRow("placeholder") << NoReplace::Missing::NoReplaceFlagAndLinks;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        QFETCH(NoReplace::Missing, missing);
        NoReplace::pretendMissing(missing);
    }
    void cleanup() {
        NoReplace::pretendMissing(NoReplace::Missing::Nothing);
        m_dir.reset();
    }

    // A file, a link (as the link) and a folder go to a free name; the old name is gone.
    void movesToAFreeName_data() { ways(); }
    void movesToAFreeName() {
        writeFile(m_root + "/file", "file");
        QVERIFY(QFile::link(m_root + "/file", m_root + "/link"));
        QVERIFY(QDir().mkpath(m_root + "/folder/inner"));
        QCOMPARE(renamed(m_root + "/file", m_root + "/file2"), 0);
        QCOMPARE(renamed(m_root + "/link", m_root + "/link2"), 0);
        QCOMPARE(renamed(m_root + "/folder", m_root + "/folder2"), 0);
        QCOMPARE(readAll(m_root + "/file2"), QByteArray("file"));
        QVERIFY(QFileInfo(m_root + "/link2").isSymLink());
        QCOMPARE(QFileInfo(m_root + "/link2").symLinkTarget(), m_root + "/file");
        QVERIFY(QFileInfo(m_root + "/folder2/inner").isDir());
        const QStringList left = QDir(m_root).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
        QCOMPARE(left, (QStringList{"file2", "folder2", "link2"}));
    }

    // Whatever is at the target stays, and so does the entry: a file over a file, a folder over
    // an empty folder (which a plain rename replaces), a file over a dangling link.
    void refusesATakenName_data() { ways(); }
    void refusesATakenName() {
        writeFile(m_root + "/from", "from");
        writeFile(m_root + "/taken", "taken");
        QVERIFY(QDir().mkpath(m_root + "/folder/inner"));
        QVERIFY(QDir().mkpath(m_root + "/empty"));
        QVERIFY(QFile::link(m_root + "/nowhere", m_root + "/dangling"));
        QCOMPARE(renamed(m_root + "/from", m_root + "/taken"), EEXIST);
        QCOMPARE(renamed(m_root + "/folder", m_root + "/empty"), EEXIST);
        QCOMPARE(renamed(m_root + "/from", m_root + "/dangling"), EEXIST);
        QCOMPARE(readAll(m_root + "/from"), QByteArray("from"));
        QCOMPARE(readAll(m_root + "/taken"), QByteArray("taken"));
        QVERIFY(QFileInfo(m_root + "/folder/inner").isDir());
        QVERIFY(QDir(m_root + "/empty").isEmpty());
        QVERIFY(QFileInfo(m_root + "/dangling").isSymLink());
    }

    // A rename the kernel refuses (a folder into itself) leaves no placeholder or second name.
    void aRefusedRenameLeavesNothing_data() { ways(); }
    void aRefusedRenameLeavesNothing() {
        QVERIFY(QDir().mkpath(m_root + "/folder"));
        writeFile(m_root + "/file", "file");
        QVERIFY(renamed(m_root + "/folder", m_root + "/folder/inside") != 0);
        QVERIFY(renamed(m_root + "/missing", m_root + "/target") != 0);
        QVERIFY(renamed(m_root + "/file", m_root + "/no such folder/file") != 0);
        QVERIFY(QDir(m_root + "/folder").isEmpty());
        QVERIFY(!QFileInfo::exists(m_root + "/target"));
        QCOMPARE(readAll(m_root + "/file"), QByteArray("file"));
    }
};

QTEST_GUILESS_MAIN(RenameTest)
#include "test_rename.moc"
