// Times the command line over big run records: --runs, --runs N and --put-back N.
//   bench_runs [FOLDERS [ENTRIES]]
// Two records are written by hand in a private runs folder: run 1 with one file from each of
// FOLDERS folders (default 100,000), run 2 with ENTRIES files (default 1,000,000) from 100
// folders. No file is in the trash (the trash is a private, empty one), so put-back names each as
// no longer there and keeps the record, which it rewrites whole: the cost is the reading, the look
// at each entry and the writing, all of which must grow linearly. Prints one line per command:
// "thinwick <command> <what>: <ms> ms".

#include "BenchSupport.h"
#include "deletion/RunRecord.h"
#include "deletion/RunRecordText.h"
#include "shell/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A record of `entries` files spread over `folders` folders, with that number.
void writeRecord(const QString& id, quint64 number, int entries, int folders) {
    RunRecord::Run run;
    run.number = number;
    run.origin = RunRecord::FromCommandLine;
    run.time = QDateTime::currentDateTimeUtc().addSecs(-3600 + static_cast<qint64>(number));
    QByteArray text = RunRecord::Text::headerLine(run);
    text.reserve(qsizetype{entries} * 200);
    const QByteArray trash =
        QFile::encodeName(qEnvironmentVariable("XDG_DATA_HOME")) + "/Trash/files/";
    RunRecord::Entry ids;
    for (int i = 0; i < entries; ++i) {
        const QByteArray name = "photo_" + QByteArray::number(i) + ".jpg";
        const QByteArray folder = "/home/user/Pictures/album_" + QByteArray::number(i % folders);
        ids.folder = {2049, 1000000ULL + static_cast<quint64>(i % folders)};
        ids.file = {2049, 9223372036854775808ULL + static_cast<quint64>(i)};
        RunRecord::Text::appendEntryLine(text, folder + '/' + name, trash + name, ids, {});
    }
    QFile file(RunRecord::runsFolder() + QLatin1Char('/') + id + QStringLiteral(".json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        Bench::fail(QStringLiteral("cannot write ") + file.fileName());
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

// Runs the command line with its output thrown away; the milliseconds it took.
qint64 timed(const QStringList& arguments) {
    std::fflush(nullptr);
    const int saved[] = {::dup(1), ::dup(2)};
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    QElapsedTimer timer;
    timer.start();
    Shell::run(arguments);
    const qint64 ms = timer.elapsed();
    std::fflush(nullptr);
    ::dup2(saved[0], 1);
    ::dup2(saved[1], 2);
    for (const int fd : {saved[0], saved[1], null})
        ::close(fd);
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_runs", "bench_runs [FOLDERS [ENTRIES]]");
    const int folders = argc > 1 ? Bench::positiveArgument(argv[1], "FOLDERS") : 100'000;
    const int entries = argc > 2 ? Bench::positiveArgument(argv[2], "ENTRIES") : 1'000'000;
    QTemporaryDir root;
    if (!root.isValid())
        Bench::fail(QStringLiteral("cannot make a temporary folder"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root.path() + QStringLiteral("/state")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.path() + QStringLiteral("/config")));
    const QCoreApplication app(argc, argv);
    if (!QDir().mkpath(RunRecord::runsFolder()) ||
        !QDir().mkpath(root.path() + QStringLiteral("/data/Trash/files")) ||
        !QDir().mkpath(root.path() + QStringLiteral("/data/Trash/info")))
        Bench::fail(QStringLiteral("cannot make the runs folder"));
    QFile::setPermissions(RunRecord::runsFolder(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(QFileInfo(RunRecord::runsFolder()).path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeRecord(QStringLiteral("20260101-000000000-00"), 1, folders, folders);
    writeRecord(QStringLiteral("20260101-000000000-01"), 2, entries, 100);
    const QString many = QStringLiteral("folders=%1").arg(folders);
    const QString big = QStringLiteral("entries=%1").arg(entries);
    std::printf("thinwick --runs (%s, %s): %lld ms\n", qPrintable(many), qPrintable(big),
                static_cast<long long>(timed({QStringLiteral("--runs")})));
    for (const auto& [number, what] :
         {std::pair{QStringLiteral("1"), many}, std::pair{QStringLiteral("2"), big}}) {
        std::printf("thinwick --runs %s (%s): %lld ms\n", qPrintable(number), qPrintable(what),
                    static_cast<long long>(timed({QStringLiteral("--runs"), number})));
        std::printf("thinwick --put-back %s (%s): %lld ms\n", qPrintable(number), qPrintable(what),
                    static_cast<long long>(timed({QStringLiteral("--put-back"), number})));
    }
    return 0;
}
