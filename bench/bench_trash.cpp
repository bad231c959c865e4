// Times a real deletion run of the window: M files go to the trash through "Start Deleting Files".
//   bench_trash [--same-name] [--floor] [FILES [ROOT]]
// FILES (default 2000) small files are made in ROOT/files (with --same-name, one file cover.jpg in
// each of FILES folders ROOT/files/album_N, as in a music collection), and the home folder and the
// trash are ROOT/home and ROOT/home/.local/share, so the user's own trash is never touched and the
// files sit on the same file system as the trash, which is there and empty when the timing starts.
// ROOT must be an empty or missing folder and is kept; without it a temporary folder is used and
// removed at the end. Prints "thinwick trash M=<FILES>: <ms> ms"; exits non-zero when any file was
// left in place.
// With --floor no window runs: each file gets only what no trash can do without, an info file
// created and written in the already open info/ folder and one rename into the already open
// files/ folder, and it prints "floor trash M=<FILES>: <ms> ms". That is the bare floor the
// program's run is measured against.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "SilentDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& text) {
    Bench::fail(QString::fromStdString(text));
}

void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        fail("cannot make folder " + path + ": " + std::strerror(errno));
}

// The number of entries in a folder, "." and ".." left out; -1 when it cannot be read.
int entryCount(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists())
        return -1;
    return static_cast<int>(
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .size());
}

// The bare floor of trashing: per file the info file made and written in info/ and the file
// renamed into files/, both folders opened once beforehand; same-name files get a number. The
// milliseconds of the loop.
double floorMs(const QStringList& paths, const std::string& trash) {
    makeFolder(trash);
    makeFolder(trash + "/files");
    makeFolder(trash + "/info");
    const int files = ::open((trash + "/files").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int info = ::open((trash + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (files < 0 || info < 0)
        fail("cannot open the trash " + trash);
    std::vector<QByteArray> encoded;
    encoded.reserve(paths.size());
    for (const QString& path : paths)
        encoded.push_back(QFile::encodeName(path));
    QElapsedTimer timer;
    timer.start();
    int number = 0;
    for (const QByteArray& path : encoded) {
        const QByteArray name =
            path.mid(path.lastIndexOf('/') + 1) + '.' + QByteArray::number(++number);
        const QByteArray record = "[Trash Info]\nPath=" + path.toPercentEncoding("/") +
                                  "\nDeletionDate=2026-01-01T00:00:00\n";
        const int fd = ::openat(info, (name + ".trashinfo").constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, record.constData(), record.size()) != record.size() ||
            ::close(fd) != 0 ||
            ::renameat(AT_FDCWD, path.constData(), files, name.constData()) != 0)
            fail("cannot trash " + path.toStdString() + ": " + std::strerror(errno));
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    ::close(files);
    ::close(info);
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    // The environment first, before Qt reads it and keeps what it saw.
    Bench::setProgram("bench_trash", "bench_trash [--same-name] [--floor] [FILES [ROOT]]");
    int first = 1;
    const bool sameName = Bench::takeFlag(argc, argv, first, "--same-name");
    const bool floor = Bench::takeFlag(argc, argv, first, "--floor");
    const int count = argc > first ? Bench::positiveArgument(argv[first], "FILES") : 2000;
    std::string root;
    bool ownRoot = false;
    if (argc > first + 1) {
        root = argv[first + 1];
        makeFolder(root);
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bench_trash-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            fail(std::string("cannot make a temporary folder: ") + std::strerror(errno));
        root = pattern;
        ownRoot = true;
    }
    if (root.front() != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd) == nullptr)
            fail("cannot read the current folder");
        root = std::string(cwd) + "/" + root;
    }
    const std::string home = root + "/home";
    const std::string dataHome = home + "/.local/share";
    const std::string files = root + "/files";
    makeFolder(home);
    makeFolder(home + "/.local");
    makeFolder(dataHome);
    makeFolder(home + "/.config");
    makeFolder(home + "/.cache");
    makeFolder(home + "/runtime");
    makeFolder(files);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    Bench::useOffscreenUnlessSet();

    QApplication app(argc, argv);

    const QString filesFolder = QFile::decodeName(files.c_str());
    if (entryCount(filesFolder) != 0)
        fail("the folder " + files + " is not empty");
    const int digits = static_cast<int>(QString::number(count).size());
    QStringList paths;
    paths.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, digits, 10, QLatin1Char('0'));
        QString path = filesFolder + QStringLiteral("/file_") + number + QStringLiteral(".txt");
        if (sameName) {
            const QString album = filesFolder + QStringLiteral("/album_") + number;
            makeFolder(QFile::encodeName(album).toStdString());
            path = album + QStringLiteral("/cover.jpg");
        }
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "some text\n", 10) != 10)
            fail("cannot make file " + encoded.toStdString() + ": " + std::strerror(errno));
        ::close(fd);
        paths << path;
    }

    SilentDialogs dialogs;
    double ms = 0;
    if (floor) {
        ms = floorMs(paths, dataHome + "/Trash");
        dialogs.asked = QStringList{QStringLiteral("Done.")};
    } else {
        // The trash is there and empty, as the floor's is when its timing starts.
        makeFolder(dataHome + "/Trash");
        makeFolder(dataHome + "/Trash/files");
        makeFolder(dataHome + "/Trash/info");
        const auto window = Bench::startWindow(dialogs);
        Form1& form = *window;
        FormControls(form).ListView3->setRows(paths);
        QCoreApplication::processEvents();

        QElapsedTimer timer;
        timer.start();
        form.PushButton2_Click();
        ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }

    const QString trashFiles = QFile::decodeName((dataHome + "/Trash/files").c_str());
    const QString trashInfo = QFile::decodeName((dataHome + "/Trash/info").c_str());
    int left = 0;
    for (const QString& path : std::as_const(paths))
        left += QFileInfo::exists(path) ? 1 : 0;
    const int trashed = entryCount(trashFiles);
    const int infos = entryCount(trashInfo);
    const bool done = dialogs.asked == QStringList{QStringLiteral("Done.")};

    std::printf("%s trash M=%d%s: %.2f ms\n", floor ? "floor" : "thinwick", count,
                sameName ? " same-name" : "", ms);
    std::fflush(stdout);

    bool ok = true;
    if (!done) {
        ok = false;
        for (const QString& text : dialogs.asked)
            std::fprintf(stderr, "bench_trash: dialog: %s\n", qPrintable(text));
        if (dialogs.asked.isEmpty())
            std::fprintf(stderr, "bench_trash: the run showed no closing message\n");
    }
    if (left != 0) {
        ok = false;
        std::fprintf(stderr, "bench_trash: FAILED: %d of %d files are still in %s\n", left, count,
                     qPrintable(filesFolder));
    }
    if (trashed != count || infos != count) {
        ok = false;
        std::fprintf(stderr,
                     "bench_trash: FAILED: the trash holds %d files and %d info entries, "
                     "expected %d each\n",
                     trashed, infos, count);
    }
    if (ownRoot)
        QDir(QFile::decodeName(root.c_str())).removeRecursively();
    return ok ? 0 : 1;
}
