// Times the subfolder walk and the whole "1. Add All Subfolders In Folder" click on a big tree:
//   bench_walk [FOLDERS [TREE]]
//   bench_walk --once plain|walk|click|none TREE
// The tree holds FOLDERS folders below its top (default 20000), each with one empty file, made
// level by level with 5 to 10 subfolders per folder and at most 6 levels, from a fixed seed. It is
// made in a temporary folder removed at the end, or in TREE when TREE is missing or empty, and then
// left alone for longer than the racy window of the kept listings; an existing TREE is used as it
// is. Every figure is the median of several runs after one untimed
// run, one line each on standard output:
//   plain readdir walk   the same tree walked level by level with opendir/readdir in one thread,
//                        the least a program can do to find every folder
//   thinwick walk        GetSubDirectories2016 alone, yielding to the message loop as in the click
//   thinwick click       the click as a user first makes it on the tree (nothing listed before):
//                        walk (which hands each folder's files to the rebuild), rows, the
//                        rebuild over every new row, and the repaint after it
//   plain readdir walk beside the click
//                        the plain walk again, once before each click: the click's ratio to it
//   longest stall        the longest time in the click without a pass of the message loop, as a
//                        0 ms timer sees it (the median over the runs of each run's longest)
//   click, listings kept the click again on a window that keeps the listings of its last rebuild
//                        (the tree unchanged), and its longest stall
// --once runs one plain walk, one Thinwick walk or one click and nothing else, for counting system
// calls under strace -c or a profile under perf.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "SilentDialogs.h"
#include "deletelist/DeleteList.h"
#include "deletelist/ListingCache.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
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

// The plain walk: every folder below top, level by level, with opendir and readdir's d_type, the
// paths as byte strings. Returns the number of folders, top included.
std::size_t plainWalk(const std::string& top) {
    std::vector<std::string> level{top};
    std::size_t found = 1;
    while (!level.empty()) {
        std::vector<std::string> next;
        for (const std::string& folder : level) {
            DIR* dir = opendir(folder.c_str());
            if (dir == nullptr)
                continue;
            while (const dirent* entry = readdir(dir)) {
                const char* name = entry->d_name;
                if (entry->d_type != DT_DIR ||
                    (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
                    continue;
                next.push_back(folder + name + '/');
            }
            closedir(dir);
        }
        found += next.size();
        level = std::move(next);
    }
    return found;
}

// A folder changed less than the racy window ago is read again by every rebuild, so the walk hands
// over no listing of it. A tree just made waits that long, so the click is timed as on an archive
// made earlier, as a user's is.
void letSettle() {
    std::fprintf(stderr, "letting the tree settle\n");
    QThread::msleep(static_cast<unsigned long>(Delete1::RacyWindowNsec / 1'000'000 + 500));
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
    return median(std::move(times));
}

void report(const char* what, double ms) {
    std::printf("%s: %.2f ms\n", what, ms);
    std::fflush(stdout);
}

// Answers the folder picker with the tree; counts every other dialog.
class PickingDialogs : public SilentDialogs {
public:
    QString folder;
    QString pickFolder(const QString&, const QString&) override { return folder; }
};

// The longest time between two passes of the message loop while it runs: a 0 ms timer fires at
// every pass, so the longest gap between its firings (and from the start and to the end) is the
// longest the window went without one.
class StallMeter {
public:
    StallMeter() {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { mark(); });
    }
    void start() {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stop() {
        mark();
        m_timer.stop();
        return static_cast<double>(m_longest) / 1e6;
    }

private:
    void mark() {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

int runOnce(int argc, char* argv[], const QString& what, const QString& tree) {
    const QString top = QDir(tree).absolutePath() + QLatin1Char('/');
    if (what == QLatin1String("click")) {
        const Bench::PrivateEnvironment environment;
        QApplication app(argc, argv);
        PickingDialogs dialogs;
        dialogs.folder = QDir(tree).absolutePath();
        const auto window = Bench::startWindow(dialogs);
        window->PushButton6_Click();
        QCoreApplication::processEvents();
        std::printf("rows: %d\n", FormControls(*window).ListView1->count());
    } else if (what == QLatin1String("plain")) {
        std::printf("folders found: %zu\n", plainWalk(QFile::encodeName(top).toStdString()));
    } else if (what == QLatin1String("walk")) {
        SilentDialogs dialogs;
        AddFolder::DiskFolderTree folders;
        QStringList list{top};
        AddFolder::GetSubDirectories2016(list, true, dialogs, folders, {});
        std::printf("folders found: %lld\n", static_cast<long long>(list.size()));
    } else if (what != QLatin1String("none")) {
        fail(QStringLiteral("--once takes plain, walk, click or none, not ") + what);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_walk",
                      "bench_walk [FOLDERS [TREE]] | bench_walk --once plain|walk|click|none TREE");
    int first = 1;
    if (Bench::takeFlag(argc, argv, first, "--once")) {
        if (argc - first != 2)
            fail(QStringLiteral("--once takes what to run and the tree"));
        return runOnce(argc, argv, QString::fromLocal8Bit(argv[first]),
                       QFile::decodeName(argv[first + 1]));
    }
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
            letSettle();
        }
    } else {
        ownTree.emplace();
        if (!ownTree->isValid())
            fail(QStringLiteral("cannot make a temporary folder"));
        root = ownTree->path();
        std::fprintf(stderr, "making %d folders in %s\n", folders, qPrintable(root));
        makeTree(QFile::encodeName(root), folders);
        letSettle();
    }
    const QString top = root + QLatin1Char('/');

    PickingDialogs dialogs;
    dialogs.folder = root;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;

    // The plain walk and Thinwick's walk (yielding to the window's message loop as in the click)
    // take turns, so a change in the machine's load falls on both alike.
    std::size_t plainFound = 0;
    qsizetype found = 0;
    std::vector<double> plainTimes;
    std::vector<double> walkTimes;
    for (int i = 0; i <= Repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        plainFound = plainWalk(QFile::encodeName(top).toStdString());
        const double plain = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timer.start();
        QStringList list{top};
        AddFolder::GetSubDirectories2016(list, true, dialogs);
        found = list.size();
        if (i > 0) {
            plainTimes.push_back(plain);
            walkTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
    }
    report("plain readdir walk", median(plainTimes));
    report("thinwick walk", median(walkTimes));
    std::printf("folders found: %lld\n", static_cast<long long>(found));
    if (plainFound != static_cast<std::size_t>(found))
        fail(QStringLiteral("the plain walk found %1 folders").arg(plainFound));

    // The whole click on a window whose lists are empty and that has listed nothing yet, as the
    // first click on a tree; the repaint that follows is part of it.
    {
        const QSignalBlocker blocker(FormControls(form).Text1);
        FormControls(form).Text1->setText(QString::number(drawCount));
    }
    StallMeter meter;
    // A plain walk before each click, untimed there, so that the click's ratio to the plain walk
    // is taken under the same load of a shared machine.
    std::vector<double> plainBeside;
    auto clickTimes = [&](bool listedBefore, std::vector<double>& stalls) {
        return medianMs(
            [&] {
                QElapsedTimer timer;
                timer.start();
                plainWalk(QFile::encodeName(top).toStdString());
                plainBeside.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
                FormControls(form).ListView1->clearRows();
                form.PushButton9_Click();
                if (!listedBefore)
                    form.deleteList().listingCache().clear();
                QCoreApplication::processEvents();
            },
            [&] {
                meter.start();
                form.PushButton6_Click();
                QCoreApplication::processEvents();
                stalls.push_back(meter.stop());
            });
    };
    std::vector<double> stalls;
    report("thinwick click", clickTimes(false, stalls));
    if (FormControls(form).ListView1->count() != found)
        fail(QStringLiteral("the click added %1 rows, the walk found %2")
                 .arg(FormControls(form).ListView1->count())
                 .arg(found));
    if (FormControls(form).ListView3->count() != std::min<qsizetype>(drawCount, found - 1))
        fail(
            QStringLiteral("the rebuild drew %1 files").arg(FormControls(form).ListView3->count()));
    report("plain readdir walk beside the click", median(plainBeside));
    report("longest stall in the click", median(stalls));
    // The same click again on a window that keeps the listings of the last rebuild: the rebuild
    // reuses them for the folders unchanged since.
    std::vector<double> keptStalls;
    report("thinwick click, listings kept", clickTimes(true, keptStalls));
    report("longest stall in that click", median(keptStalls));

    // The top folder holds no file: that is the one message expected, once per click.
    dialogs.asked.removeAll(QStringLiteral("There are no files in folder ") + top);
    if (!dialogs.asked.isEmpty()) {
        for (const QString& text : dialogs.asked)
            std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(text));
        return 1;
    }
    return 0;
}
