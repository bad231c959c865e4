// Times the random draw on a large tree of source folders, through the real window:
//   bench_draw [FOLDERS [FILES_PER_FOLDER [TREE]]]
// FOLDERS x FILES_PER_FOLDER (default 2000 x 100) empty files are made in a temporary folder that
// is removed at the end. With TREE, the tree is made there and kept when TREE is missing or empty;
// an existing TREE is reused as it is, each of its subfolders becoming one source row.
// Every figure is the median of several runs and goes to standard output, one line each.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "SilentDialogs.h"
#include "deletelist/DeleteList.h"
#include "deletelist/RandomFileList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalBlocker>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Repetitions = 5;
const std::vector<int> Counts = {1000, 100000, 199000};

using Bench::fail;

// Empty files, made with plain system calls: the tree is only the stage, not what is measured.
void makeTree(const QString& root, int folders, int files) {
    const int folderDigits = static_cast<int>(QString::number(folders - 1).size());
    const int fileDigits = static_cast<int>(QString::number(files - 1).size());
    for (int f = 0; f < folders; ++f) {
        const QString folder =
            root + QStringLiteral("/album%1").arg(f, folderDigits, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            fail(QStringLiteral("cannot make folder ") + folder);
        for (int p = 0; p < files; ++p) {
            const QByteArray path = QFile::encodeName(
                folder + QStringLiteral("/photo_%1.jpg").arg(p, fileDigits, 10, QLatin1Char('0')));
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                fail(QStringLiteral("cannot make file %1: %2")
                         .arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(errno))));
            ::close(fd);
        }
    }
}

// The median of several runs of the work; prepare runs untimed before each.
template <class Prepare, class Work> double medianMs(Prepare&& prepare, Work&& work) {
    return Bench::medianMs(Repetitions, prepare, work);
}

template <class Work> double medianMs(Work&& work) {
    return medianMs([] {}, work);
}

void report(const char* what, std::optional<int> n, double ms) {
    if (n)
        std::printf("thinwick %s N=%d: %.2f ms\n", what, *n, ms);
    else
        std::printf("thinwick %s: %.2f ms\n", what, ms);
    std::fflush(stdout);
}

// Sets the count without the change handler, which would otherwise rebuild the list by itself.
void setCount(Form1& form, int n) {
    const QSignalBlocker blocker(FormControls(form).Text1);
    FormControls(form).Text1->setText(QString::number(n));
}

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_draw", "bench_draw [FOLDERS [FILES_PER_FOLDER [TREE]]]");
    const Bench::PrivateEnvironment environment;

    const int folders = argc > 1 ? Bench::positiveArgument(argv[1], "FOLDERS") : 2000;
    const int files = argc > 2 ? Bench::positiveArgument(argv[2], "FILES_PER_FOLDER") : 100;

    QApplication app(argc, argv);

    std::optional<QTemporaryDir> ownTree;
    QString root;
    if (argc > 3) {
        root = QDir(QFile::decodeName(argv[3])).absolutePath();
        const QDir dir(root);
        if (!dir.exists() || dir.isEmpty()) {
            std::fprintf(stderr, "making %d x %d files in %s\n", folders, files, qPrintable(root));
            makeTree(root, folders, files);
        }
    } else {
        ownTree.emplace();
        if (!ownTree->isValid())
            fail(QStringLiteral("cannot make a temporary folder"));
        root = ownTree->path();
        std::fprintf(stderr, "making %d x %d files in %s\n", folders, files, qPrintable(root));
        makeTree(root, folders, files);
    }

    QStringList sourceFolders;
    for (const QString& name :
         QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
        sourceFolders << root + QLatin1Char('/') + name + QLatin1Char('/');
    if (sourceFolders.isEmpty())
        fail(QStringLiteral("no folders in ") + root);

    SilentDialogs dialogs;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;
    for (const QString& folder : sourceFolders)
        form.addSourceFolder(folder);

    // Listing alone; the first, untimed pass warms the directory cache.
    qsizetype poolSize = 0;
    auto listAll = [&] {
        QStringList pool;
        for (const QString& folder : sourceFolders)
            Delete1::appendOrdinaryFiles(folder, pool);
        poolSize = pool.size();
    };
    listAll();
    std::fprintf(stderr, "%lld source folders, %lld files\n",
                 static_cast<long long>(sourceFolders.size()), static_cast<long long>(poolSize));
    report("listing", std::nullopt, medianMs(listAll));

    QStringList pool;
    for (const QString& folder : sourceFolders)
        Delete1::appendOrdinaryFiles(folder, pool);

    // Both controls emptied, and the window given the chance to repaint, outside the timing.
    auto emptyControls = [&] {
        form.PushButton9_Click();
        QCoreApplication::processEvents();
    };

    for (const int n : Counts) {
        const qsizetype expected = std::min<qsizetype>(n, poolSize);

        // Full rebuild from empty controls, as a first click on "Start Generating List" does.
        setCount(form, n);
        report("rebuild", n,
               medianMs(emptyControls, [&] { form.deleteList().CorrelateListviewsWrapper(); }));
        if (FormControls(form).ListView3->count() != expected)
            fail(QStringLiteral("rebuild for N=%1 gave %2 rows")
                     .arg(n)
                     .arg(FormControls(form).ListView3->count()));
        emptyControls();

        // Listing and sampling: what the rebuild spends before it fills the controls. Every
        // folder is listed afresh, as for the Generate button ...
        Delete1::DrawnFiles files;
        report("draw", n,
               medianMs([&] { form.deleteList().listingCache().expire(); },
                        [&] { files = form.deleteList().randomFileList(); }));
        if (files.size() != expected)
            fail(QStringLiteral("draw for N=%1 gave %2 files").arg(n).arg(files.size()));
        // ... and from the listings kept for unchanged folders, as for a keystroke in the
        // number box (folders changed less than two seconds ago are listed anyway).
        report("draw-kept-listings", n,
               medianMs([&] { files = form.deleteList().randomFileList(); }));
        // Every drawn path made, as the deletion run and the filters read them.
        QStringList drawn;
        report("drawn-paths", n, medianMs([&] { drawn = files.paths(); }));

        // The parts of a rebuild, one by one, to show where its time goes.
        report("sample", n, medianMs([&] {
                   drawn.clear();
                   for (const qsizetype position : Delete1::choosePositions(pool.size(), n))
                       drawn.append(pool.at(position));
               }));
        QString summary;
        report("summary-text", n, medianMs([&] { summary = Delete1::summaryText(drawn); }));
        report("fill-list", n,
               medianMs(emptyControls, [&] { FormControls(form).ListView3->setRows(drawn); }));
        report("fill-summary", n,
               medianMs(emptyControls, [&] { FormControls(form).Text4->setText(summary); }));
        report("fill-summary-lines", n, medianMs(emptyControls, [&] {
                   FormControls(form).Text4->setLines(drawn, QStringLiteral(" will be deleted."));
               }));
        emptyControls();
    }

    if (!dialogs.asked.isEmpty()) {
        for (const QString& text : dialogs.asked)
            std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(text));
        return 1;
    }
    return 0;
}
