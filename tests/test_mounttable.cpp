// The mount table read from mountinfo text (GUILESS, no root needed): which mount holds a path.
#include "deletion/MountTable.h"

#include <QTest>

namespace {

// A table as /proc/self/mountinfo writes it: a root, a home volume, a bind mount of a folder of
// it, an overlay, a mount point with a blank in its name, a mount over an earlier one at the same
// point, and a line that is not a mount.
const QByteArray Table = QByteArrayLiteral(
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 22 8:2 / /home rw,relatime shared:2 - ext4 /dev/sda2 rw\n"
    "41 30 8:2 /alice/photos /mnt/photos rw,relatime shared:2 - ext4 /dev/sda2 rw\n"
    "52 22 0:50 / /var/lib/box/merged rw - overlay overlay "
    "rw,lowerdir=/l,upperdir=/u,workdir=/w\n"
    "63 22 8:17 / /media/alice/USB\\040Stick rw,nosuid - vfat /dev/sdb1 rw\n"
    "64 22 0:60 / /srv rw - tmpfs tmpfs rw\n"
    "65 64 0:61 / /srv rw - tmpfs tmpfs rw\n"
    "garbage\n"
    "\n");

} // namespace

class MountTableTest : public QObject {
    Q_OBJECT

private slots:
    void parsesEveryMountAndDecodesEscapes() {
        const std::vector<MountTable::Mount> mounts = MountTable::parse(Table);
        QCOMPARE(mounts.size(), std::size_t{7});
        QCOMPARE(mounts.at(0).id, std::uint64_t{22});
        QCOMPARE(mounts.at(0).point, QByteArray("/"));
        QCOMPARE(mounts.at(2).point, QByteArray("/mnt/photos"));
        QCOMPARE(mounts.at(4).id, std::uint64_t{63});
        QCOMPARE(mounts.at(4).point, QByteArray("/media/alice/USB Stick"));
    }

    void decodesOctalEscapes_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("blank") << QByteArray("/a\\040b") << QByteArray("/a b");
        QTest::newRow("tab and newline") << QByteArray("/a\\011\\012") << QByteArray("/a\t\n");
        QTest::newRow("backslash") << QByteArray("/a\\134b") << QByteArray("/a\\b");
        QTest::newRow("not octal stays") << QByteArray("/a\\08") << QByteArray("/a\\08");
        QTest::newRow("cut short stays") << QByteArray("/a\\04") << QByteArray("/a\\04");
    }
    void decodesOctalEscapes() {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, decoded);
        QCOMPARE(MountTable::decodeField(field), decoded);
    }

    // The longest mount point that is a whole-folder prefix of the path holds it.
    void findsTheMountHoldingAPath_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("id");
        QTest::newRow("root") << QByteArray("/etc/passwd") << 22;
        QTest::newRow("home") << QByteArray("/home/alice/a.txt") << 30;
        QTest::newRow("the mount point itself") << QByteArray("/home") << 30;
        QTest::newRow("bind mount at its bind point") << QByteArray("/mnt/photos/x.jpg") << 41;
        QTest::newRow("a longer name is not a prefix") << QByteArray("/mnt/photos2/x") << 22;
        QTest::newRow("overlay") << QByteArray("/var/lib/box/merged/usr/bin/a") << 52;
        QTest::newRow("below the overlay's mount") << QByteArray("/var/lib/box/b") << 22;
        QTest::newRow("escaped blank") << QByteArray("/media/alice/USB Stick/DCIM/1.jpg") << 63;
        QTest::newRow("undecoded name is no prefix")
            << QByteArray("/media/alice/USB\\040Stick/1.jpg") << 22;
        QTest::newRow("the later of two at one point") << QByteArray("/srv/www/index") << 65;
    }
    void findsTheMountHoldingAPath() {
        QFETCH(QByteArray, path);
        QFETCH(int, id);
        const std::vector<MountTable::Mount> mounts = MountTable::parse(Table);
        const MountTable::Mount* mount = MountTable::holding(mounts, path);
        QVERIFY(mount != nullptr);
        QCOMPARE(mount->id, static_cast<std::uint64_t>(id));
    }

    void noMountHoldsAPathWithoutARoot() {
        const std::vector<MountTable::Mount> mounts =
            MountTable::parse("30 22 8:2 / /home rw - ext4 /dev/sda2 rw\n");
        QVERIFY(MountTable::holding(mounts, "/etc/passwd") == nullptr);
        QVERIFY(MountTable::holding(mounts, "/home/x") != nullptr);
    }

    void findsAMountById() {
        const std::vector<MountTable::Mount> mounts = MountTable::parse(Table);
        const MountTable::Mount* bind = MountTable::byId(mounts, 41);
        QVERIFY(bind != nullptr);
        QCOMPARE(bind->point, QByteArray("/mnt/photos"));
        QVERIFY(MountTable::byId(mounts, 99) == nullptr);
    }

    void readsThisProcessTable() {
        std::vector<MountTable::Mount> mounts;
        if (!MountTable::read(mounts))
            QSKIP("this system has no /proc/self/mountinfo");
        QVERIFY(MountTable::holding(mounts, "/") != nullptr);
    }
};

QTEST_GUILESS_MAIN(MountTableTest)
#include "test_mounttable.moc"
