// Times loading a folder list file into the source list of the real window:
//   bench_listfile [LINES]        (default 100000)
// Two list files of LINES folder paths are written to a temporary folder that is removed at the
// end: one in UTF-8 with CR LF line ends, one in Windows-1252 with accented names. Each is loaded
// into an emptied source list of the shown window, and the list is painted once; for comparison
// the same rows are also added one by one, as a loader without a batch step would add them. Every
// figure is the median of several runs and goes to standard output, one line each.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "Paths.h"
#include "SilentDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Repetitions = 5;

using Bench::fail;

template <class Prepare, class Work> double medianMs(Prepare&& prepare, Work&& work) {
    std::vector<double> times;
    for (int i = 0; i < Repetitions; ++i) {
        prepare();
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QByteArray listContents(int lines, bool ansi) {
    QByteArray contents;
    for (int i = 0; i < lines; ++i) {
        contents += "/srv/archive/";
        contents += ansi ? "Fotos S\xE9gol\xE8ne M\xFCller" : "photos";
        contents += "/album " + QByteArray::number(i) + "/\r\n";
    }
    return contents;
}

void write(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        fail(QStringLiteral("cannot write ") + path);
}

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_listfile", "bench_listfile [LINES]");
    const Bench::PrivateEnvironment environment;
    const int lines = argc > 1 ? Bench::positiveArgument(argv[1], "LINES") : 100000;
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        fail(QStringLiteral("no temporary folder"));
    SilentDialogs dialogs;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;
    ListView& list = *FormControls(form).ListView1;
    const auto empty = [&] {
        list.clearRows();
        QCoreApplication::processEvents();
    };

    for (const bool ansi : {false, true}) {
        const QString path = tmp.path() + (ansi ? "/list-1252.txt" : "/list-utf8.txt");
        write(path, listContents(lines, ansi));
        const double ms = medianMs(empty, [&] {
            Main::LoadListFromFile(list, path, dialogs, form.appTitle());
            list.repaint();
        });
        if (list.count() != lines || !dialogs.asked.isEmpty())
            fail(QStringLiteral("the list file did not load as expected"));
        std::printf("thinwick load %s list, %d lines: %.2f ms\n", ansi ? "Windows-1252" : "UTF-8",
                    lines, ms);
    }

    const QStringList rows = list.rows();
    const QByteArray bytes = listContents(lines, false);
    const double textOnly =
        medianMs([] {},
                 [&] {
                     const QStringList split =
                         Main::splitListLines(Main::decodeListFile(bytes).value_or(QString()));
                     if (split.size() != lines)
                         fail(QStringLiteral("the text did not split as expected"));
                 });
    std::printf("decoding and splitting alone, %d lines: %.2f ms\n", lines, textOnly);
    const double batch = medianMs(empty, [&] {
        list.addRows(rows);
        list.repaint();
    });
    std::printf("rows added in one step, %d rows: %.2f ms\n", lines, batch);
    const double oneByOne = medianMs(empty, [&] {
        for (const QString& row : rows)
            list.addRow(row);
        list.repaint();
    });
    std::printf("rows added one by one, %d rows: %.2f ms\n", lines, oneByOne);
    return 0;
}
