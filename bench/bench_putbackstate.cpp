// Times what the window does before it offers a put-back: "Put Back Last Run…" looking at the last
// run (at every context menu and every Ctrl+Z) and "Put Back a Run…" listing the runs, over one
// recorded run of FILES files that all lie in the trash.
//   bench_putbackstate [FILES]
// FILES (default 100000) small files are made in the trash of a temporary data folder, and the
// run's record in a temporary state folder; both are removed at the end. Prints
// "last run N=<FILES>: <ms> ms" (what greys or offers the entry) and "run list N=<FILES>: <ms> ms"
// (the list, which counts every file), medians of five.

#include "BenchSupport.h"
#include "deletion/RunChoice.h"
#include "deletion/RunRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_putbackstate", "bench_putbackstate [FILES]");
    const int files = argc > 1 ? Bench::positiveArgument(argv[1], "FILES") : 100'000;
    QTemporaryDir root;
    if (!root.isValid())
        Bench::fail(QStringLiteral("no temporary folder"));
    // The user's own trash and runs are never touched.
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root.path() + QStringLiteral("/state")));
    QCoreApplication app(argc, argv);

    const QString trash = root.path() + QStringLiteral("/data/Trash/files/");
    if (!QDir().mkpath(trash))
        Bench::fail(QStringLiteral("cannot make ") + trash);
    RunRecord::Run run;
    run.entries.reserve(static_cast<std::size_t>(files));
    for (int i = 0; i < files; ++i) {
        const QString name = QStringLiteral("file %1.txt").arg(i);
        QFile file(trash + name);
        if (!file.open(QIODevice::WriteOnly))
            Bench::fail(QStringLiteral("cannot make ") + file.fileName());
        run.entries.emplace_back(root.path() + QStringLiteral("/pool/") + name, trash + name);
    }
    if (const QString error = RunRecord::save(run); !error.isEmpty())
        Bench::fail(error);

    QString why;
    qsizetype seen = 0;
    const double lastMs = Bench::medianMs(
        5, [] {},
        [&] {
            const std::optional<RunChoice> last =
                RunChoices::last(why, RunChoices::Look::UntilOneCanGo);
            seen = last && last->canPutBack() ? 1 : 0;
        });
    if (seen != 1)
        Bench::fail(QStringLiteral("the last run cannot be put back: ") + why);
    const double listMs = Bench::medianMs(
        5, [] {}, [&] { seen = RunChoices::all().front().inTrash; });
    if (seen != files)
        Bench::fail(QStringLiteral("the run list shows %1 files in the trash").arg(seen));
    std::printf("last run N=%d: %.1f ms\nrun list N=%d: %.1f ms\n", files, lastMs, files, listMs);
    return 0;
}
