// Times the subfolder walk and the whole "1. Add All Subfolders In Folder" click on a big tree:
//   bench_walk [FOLDERS [TREE]]
// The tree holds FOLDERS folders below its top (default 20000), each with one empty file, made
// level by level with 5 to 10 subfolders per folder and at most 6 levels, from a fixed seed. It is
// made in a temporary folder removed at the end, or in TREE when TREE is missing or empty; an
// existing TREE is used as it is. Every figure is the median of several runs after one untimed
// run, one line each on standard output.

#include "BenchSupport.h"
#include "Form1.h"
#include "SilentDialogs.h"
#include "deletelist/DeleteList.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

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
#include <deque>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Repetitions = 5;
constexpr int drawCount = 1000;

using Bench::fail;

// Level by level, so the upper levels are full and only the deepest one is cut short.
void makeTree(const QByteArray& root, int folders) {
    std::mt19937 random(20210831);
    std::uniform_int_distribution<int> branching(5, 10);
    struct Pending {
        QByteArray path;
        int depth;
    };
    std::deque<Pending> pending{{root, 0}};
    int made = 0;
    while (made < folders && !pending.empty()) {
        const Pending parent = pending.front();
        pending.pop_front();
        if (parent.depth == 6)
            continue;
        const int children = branching(random);
        for (int i = 0; i < children && made < folders; ++i, ++made) {
            const QByteArray path = parent.path + "/folder_" + QByteArray::number(i);
            if (::mkdir(path.constData(), 0755) != 0)
                fail(QStringLiteral("cannot make folder %1: %2")
                         .arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(errno))));
            const QByteArray file = path + "/photo.jpg";
            const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                fail(QStringLiteral("cannot make file ") + QFile::decodeName(file));
            ::close(fd);
            pending.push_back({path, parent.depth + 1});
        }
    }
    if (made < folders)
        fail(QStringLiteral("a tree of at most 6 levels holds only %1 folders").arg(made));
}

// The median of several runs of the work after one untimed run; prepare runs untimed before each.
template <class Prepare, class Work> double medianMs(Prepare&& prepare, Work&& work) {
    std::vector<double> times;
    for (int i = 0; i <= Repetitions; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        if (i > 0)
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double ms) {
    std::printf("thinwick %s: %.2f ms\n", what, ms);
    std::fflush(stdout);
}

// Answers the folder picker with the tree; counts every other dialog.
class PickingDialogs : public SilentDialogs {
public:
    QString folder;
    QString pickFolder(const QString&, const QString&) override { return folder; }
};

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_walk", "bench_walk [FOLDERS [TREE]]");
    const Bench::PrivateEnvironment environment;

    const int folders = argc > 1 ? Bench::positiveArgument(argv[1], "FOLDERS") : 20000;
    QApplication app(argc, argv);

    std::optional<QTemporaryDir> ownTree;
    QString root;
    if (argc > 2) {
        root = QDir(QFile::decodeName(argv[2])).absolutePath();
        const QDir dir(root);
        if (!dir.exists() || dir.isEmpty()) {
            if (!QDir().mkpath(root))
                fail(QStringLiteral("cannot make ") + root);
            std::fprintf(stderr, "making %d folders in %s\n", folders, qPrintable(root));
            makeTree(QFile::encodeName(root), folders);
        }
    } else {
        ownTree.emplace();
        if (!ownTree->isValid())
            fail(QStringLiteral("cannot make a temporary folder"));
        root = ownTree->path();
        std::fprintf(stderr, "making %d folders in %s\n", folders, qPrintable(root));
        makeTree(QFile::encodeName(root), folders);
    }
    const QString top = root + QLatin1Char('/');

    PickingDialogs dialogs;
    dialogs.folder = root;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;

    // The walk alone, yielding to the window's message loop as in the click.
    qsizetype found = 0;
    report("walk", medianMs([] {},
                            [&] {
                                QStringList list{top};
                                AddFolder::GetSubDirectories2016(list, true, dialogs);
                                found = list.size();
                            }));
    std::fprintf(stderr, "%lld folders found\n", static_cast<long long>(found));
    std::printf("folders found: %lld\n", static_cast<long long>(found));

    QStringList all{top};
    AddFolder::GetSubDirectories2016(all, true, dialogs);

    // The rows going into an empty list in one batch.
    auto emptyLists = [&] {
        form.ListView1->clearRows();
        form.PushButton9_Click();
        QCoreApplication::processEvents();
    };
    report("add rows", medianMs(emptyLists, [&] { form.addSourceFolders(all); }));

    // The rebuild over those rows.
    {
        const QSignalBlocker blocker(form.Text1);
        form.Text1->setText(QString::number(drawCount));
    }
    report("rebuild", medianMs([&] { form.PushButton9_Click(); },
                               [&] { Delete1::CorrelateListviewsWrapper(form); }));
    if (form.ListView3->count() != std::min<qsizetype>(drawCount, found - 1))
        fail(QStringLiteral("the rebuild drew %1 files").arg(form.ListView3->count()));

    // The whole click: picker, walk, rows, rebuild.
    report("click", medianMs(emptyLists, [&] { form.PushButton6_Click(); }));
    if (form.ListView1->count() != found)
        fail(QStringLiteral("the click added %1 rows, the walk found %2")
                 .arg(form.ListView1->count())
                 .arg(found));

    // The top folder holds no file: that is the one message expected.
    dialogs.asked.removeAll(QStringLiteral("There are no files in folder ") + top);
    if (!dialogs.asked.isEmpty()) {
        for (const QString& text : dialogs.asked)
            std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(text));
        return 1;
    }
    return 0;
}
