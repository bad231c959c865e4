// Times full rebuilds of the delete list and its summary, and typing a count, over a big tree,
// through the real window on the offscreen platform:
//   bench_scale TREE N [REPS]        the Generate button for a count of N
//   bench_scale TREE typing [REPS]   typing "100000" into the number box, key by key
// Every subfolder of TREE becomes one source row. A rebuild here is what a click on the Generate
// button does (every folder listed afresh, the draw, both controls filled) plus the repaint that
// follows; typing reuses the listings of unchanged folders as every keystroke does. Each figure
// is the median of REPS runs (default 3) after one untimed run; the process's peak resident
// memory follows it.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "SilentDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

using Bench::fail;

template <class Prepare, class Work> double medianMs(int reps, Prepare&& prepare, Work&& work) {
    prepare();
    work(); // warm-up
    return Bench::medianMs(reps, prepare, work);
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void typeKey(QWidget* box, char key) {
    const auto code = static_cast<Qt::Key>(Qt::Key_0 + (key - '0'));
    const QString text(QLatin1Char{key});
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(box, &press);
    QCoreApplication::sendEvent(box, &release);
    // The window shows the new list before the next key.
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[]) {
    const char* const usage = "bench_scale TREE N|typing [REPS]";
    Bench::setProgram("bench_scale", usage);
    if (argc < 3)
        fail(QStringLiteral("usage: ") + QLatin1String(usage));
    const Bench::PrivateEnvironment environment;
    const QString root = QDir(QFile::decodeName(argv[1])).absolutePath();
    const bool typing = qstrcmp(argv[2], "typing") == 0;
    const int n = typing ? 0 : Bench::positiveArgument(argv[2], "N", 100'000'000);
    const int reps = argc > 3 ? Bench::positiveArgument(argv[3], "REPS", 100'000'000) : 3;

    QApplication app(argc, argv);
    SilentDialogs dialogs;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;
    {
        const QSignalBlocker blocker(FormControls(form).Text1);
        FormControls(form).Text1->setText(QString::number(typing ? 100000 : n));
    }
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        form.addSourceFolder(root + QLatin1Char('/') + name + QLatin1Char('/'));
    if (FormControls(form).ListView1->count() == 0)
        fail(QStringLiteral("no folders in ") + root);

    auto generate = [&] {
        form.PushButton12_Click();
        QCoreApplication::processEvents();
    };
    if (typing) {
        generate(); // the listings every keystroke then starts from
        const double ms = medianMs(
            reps,
            [&] {
                const QSignalBlocker blocker(FormControls(form).Text1);
                FormControls(form).Text1->clear();
                form.PushButton9_Click();
                QCoreApplication::processEvents();
            },
            [&] {
                for (const char key : {'1', '0', '0', '0', '0', '0'})
                    typeKey(FormControls(form).Text1, key);
            });
        if (FormControls(form).Text1->text() != QStringLiteral("100000"))
            fail(QStringLiteral("the box reads ") + FormControls(form).Text1->text());
        std::printf("thinwick typing 100000: %.2f ms\n", ms);
    } else {
        const double ms = medianMs(
            reps, [] {}, generate);
        std::printf("thinwick rebuild N=%d: %.2f ms\n", n, ms);
    }
    std::fprintf(stderr, "%d rows, %lld in the delete list, %lld summary lines\n",
                 FormControls(form).ListView1->count(),
                 static_cast<long long>(FormControls(form).ListView3->count()),
                 static_cast<long long>(FormControls(form).Text4->lineCount() - 1));
    std::printf("thinwick peak-rss: %ld KiB\n", peakKiB());
    if (!dialogs.asked.isEmpty()) {
        for (const QString& text : dialogs.asked)
            std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(text));
        return 1;
    }
    return 0;
}
