// The deletion run shared by the window and the command line (GUILESS): tally, record, stop
// request, progress, and the trash made durable before the record and the closing message.
#include "TestSupport.h"
#include "deletion/RunRecord.h"
#include "deletion/Trash.h"
#include "deletion/TrashRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>
#include <vector>

namespace {

// The real trash, with each call written down: "move NAME" and "flush (N records)", N being the
// number of finished run records at that moment (a run's journal grows as its files move; it
// becomes the record only after the flush).
class WatchedTrash : public Trash {
public:
    std::vector<QString> calls;
    TrashResult moveToTrash(const QString& path) override {
        calls.push_back(QStringLiteral("move ") + QFileInfo(path).fileName());
        return m_trash.moveToTrash(path);
    }
    void flush() override {
        qsizetype finished = 0;
        for (const QString& id : RunRecord::ids()) {
            const std::optional<RunRecord::Run> run = RunRecord::load(id);
            finished += run && run->finished ? 1 : 0;
        }
        calls.push_back(QStringLiteral("flush (%1 records)").arg(finished));
        m_trash.flush();
    }

private:
    DesktopTrash m_trash;
};

} // namespace

class TrashRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;

    QString file(const QString& name) {
        const QString path = m_root + QLatin1Char('/') + name;
        TestEnv::makeFile(path, name.toUtf8());
        return path;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        QDir(RunRecord::runsFolder()).removeRecursively();
    }
    void cleanup() { m_dir.reset(); }

    void tallyRecordAndClosingMessage() {
        const QString a = file(QStringLiteral("a.txt"));
        const QString b = file(QStringLiteral("b c.txt"));
        const QString folder = m_root + QStringLiteral("/folder");
        QVERIFY(QDir().mkpath(folder));
        const QString gone = m_root + QStringLiteral("/gone.txt");
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        run.run({a, gone, folder, b});
        run.finish();
        QCOMPARE(run.handled(), 4);
        QVERIFY(!QFileInfo::exists(a) && !QFileInfo::exists(b));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(run.tally().gone, 1);
        QCOMPARE(run.closingMessage(),
                 QStringLiteral("Done.\n\n1 listed file was no longer where it was listed and was "
                                "skipped.\n\n1 file could not be moved to the trash and was left "
                                "in place:\n") +
                     folder + QStringLiteral(" (it is a folder; folders are never deleted)"));
        QCOMPARE(run.recordError(), QString());
        const std::optional<RunRecord::Run> record = RunRecord::load(QString());
        QVERIFY(record.has_value());
        QCOMPARE(record->entries.size(), std::size_t{2});
        QCOMPARE(record->entries.at(0).original, a);
        QCOMPARE(record->entries.at(1).original, b);
        QCOMPARE(record->entries.at(1).trashed,
                 TestEnv::trashSaysWhere()
                     ? TestEnv::dataHome() + QStringLiteral("/Trash/files/b c.txt")
                     : QString());
    }

    // One flush for the whole run, after the last move and before the record is written; a
    // second finish, and the end of the run object, add none.
    void flushOnceBeforeTheRecord() {
        const QString a = file(QStringLiteral("a.txt"));
        const QString b = file(QStringLiteral("b.txt"));
        WatchedTrash trash;
        {
            Delete1::TrashRun run(trash);
            run.run({a, b});
            run.finish();
            QCOMPARE(RunRecord::ids().size(), 1);
            run.finish();
        }
        QCOMPARE(trash.calls,
                 (std::vector<QString>{QStringLiteral("move a.txt"), QStringLiteral("move b.txt"),
                                       QStringLiteral("flush (0 records)")}));
    }

    // A run that ends without finish (the window closed mid-run) is still flushed and recorded.
    void runCutShortIsStillFlushedAndRecorded() {
        const QString a = file(QStringLiteral("a.txt"));
        WatchedTrash trash;
        {
            Delete1::TrashRun run(trash);
            run.trashOne(a);
        }
        QCOMPARE(trash.calls, (std::vector<QString>{QStringLiteral("move a.txt"),
                                                    QStringLiteral("flush (0 records)")}));
        QCOMPARE(RunRecord::ids().size(), 1);
    }

    // Progress comes before each path; a stop asked for there keeps that path and the rest.
    void stopRequestKeepsTheRestInPlace() {
        const QStringList paths{file(QStringLiteral("1.txt")), file(QStringLiteral("2.txt")),
                                file(QStringLiteral("3.txt"))};
        DesktopTrash trash;
        Delete1::TrashRun run(trash);
        std::vector<std::tuple<qsizetype, qsizetype, QString>> seen;
        run.run(paths, [&](qsizetype position, qsizetype count, const QString& path) {
            seen.emplace_back(position, count, path);
            if (position == 2)
                run.requestStop();
        });
        run.finish();
        QCOMPARE(seen.size(), std::size_t{2});
        QCOMPARE(seen.at(0), std::make_tuple(qsizetype{1}, qsizetype{3}, paths.at(0)));
        QCOMPARE(seen.at(1), std::make_tuple(qsizetype{2}, qsizetype{3}, paths.at(1)));
        QVERIFY(run.stopRequested());
        QCOMPARE(run.handled(), 1);
        QVERIFY(!QFileInfo::exists(paths.at(0)));
        QVERIFY(QFileInfo::exists(paths.at(1)) && QFileInfo::exists(paths.at(2)));
        QCOMPARE(run.closingMessage(), QStringLiteral("Done."));
    }
};

int main(int argc, char* argv[]) {
    TestEnv::prepare();
    QCoreApplication app(argc, argv);
    TrashRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_trashrun.moc"
