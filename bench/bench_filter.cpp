// Times the name filters on a large delete list, through the real window (offscreen):
//   bench_filter [ROWS [LINES_FILE [TEXT]]]      (defaults 1000000, none, "urlaub")
// ROWS realistic file paths (about 80 characters, some with umlauts) are made from a fixed seed
// and, with LINES_FILE, written there one a line (UTF-8, LF) so other tools can work on the very
// same rows. For each direction it times
//   - the filter procedure up to the summary box: scan, removal from the delete list and the
//     summary text (what RemoveItemsWith / RemoveItemsWithout do before writing the box), and
//   - the whole click on the button, the summary box included,
// each the median of several runs on a freshly filled list. Every figure goes to standard output,
// one line each, with the number of rows kept so a caller can check them.

#include "BenchSupport.h"
#include "Form1.h"
#include "FormControls.h"
#include "SilentDialogs.h"
#include "common/ErrorReport.h"
#include "deletelist/DeleteList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Repetitions = 5;

using Bench::fail;

// Answers the filters' input box with the search text; any other dialog is kept as unexpected.
class AnsweringDialogs : public SilentDialogs {
public:
    QString answer;
    int inputs = 0;
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        ++inputs;
        return answer;
    }
};

// Paths as a photo and document collection of a German household might hold them.
QStringList makeRows(int count) {
    static const char* const users[] = {"anna", "jonas", "lea", "maximilian", "sophie", "lukas"};
    static const char* const tops[] = {"Bilder", "Pictures",  "Dokumente",
                                       "Videos", "Downloads", "Bilder/Handy Backup"};
    static const char* const events[] = {"Urlaub Spanien",   "Urlaub Ostsee",    "Geburtstag Oma",
                                         "Hochzeit Müller",  "Weihnachten",      "Grüße aus Köln",
                                         "Sommerfest Firma", "Ausflug Zoo",      "Kindergarten",
                                         "Wanderung Alpen",  "Städtereise Wien", "Scans Steuer",
                                         "Garten",           "Umzug Berlin",     "Konzert"};
    static const char* const sources[] = {"Canon EOS 600D", "Samsung Galaxy S9", "iPhone 8 Plus",
                                          "Scanner Büro",   "Nikon Coolpix",     "WhatsApp Images",
                                          "Fotos von Papa", "GoPro Hero"};
    QRandomGenerator generator(20261207);
    auto pick = [&](const auto& list) {
        return QString::fromUtf8(list[generator.bounded(int(std::size(list)))]);
    };
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int year = 2010 + generator.bounded(14);
        const int month = 1 + generator.bounded(12);
        const int day = 1 + generator.bounded(28);
        const int second = generator.bounded(86400);
        const QString date = QStringLiteral("%1%2%3")
                                 .arg(year)
                                 .arg(month, 2, 10, QLatin1Char('0'))
                                 .arg(day, 2, 10, QLatin1Char('0'));
        const QString time = QStringLiteral("%1%2%3")
                                 .arg(second / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(second % 60, 2, 10, QLatin1Char('0'));
        QString file;
        switch (generator.bounded(4)) {
        case 0:
            file = QStringLiteral("IMG_%1_%2.jpg").arg(date, time);
            break;
        case 1:
            file =
                QStringLiteral("DSC%1.JPG").arg(generator.bounded(100000), 5, 10, QLatin1Char('0'));
            break;
        case 2:
            file = QStringLiteral("VID_%1_%2.mp4").arg(date, time);
            break;
        default:
            file = QStringLiteral("Scan %1-%2-%3 (%4).pdf")
                       .arg(year)
                       .arg(month, 2, 10, QLatin1Char('0'))
                       .arg(day, 2, 10, QLatin1Char('0'))
                       .arg(1 + generator.bounded(9));
            break;
        }
        rows << QStringLiteral("/home/%1/%2/%3/%4/%5/%6")
                    .arg(pick(users), pick(tops))
                    .arg(year)
                    .arg(pick(events), pick(sources), file);
    }
    return rows;
}

void writeLines(const QString& path, const QStringList& rows) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    QByteArray chunk;
    for (const QString& row : rows) {
        chunk += row.toUtf8();
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    if (!file.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

// The median of several runs of the work; prepare runs untimed before each.
template <class Prepare, class Work> double medianMs(Prepare&& prepare, Work&& work) {
    return Bench::medianMs(Repetitions, prepare, work);
}

void report(const char* what, double ms, qsizetype kept) {
    std::printf("thinwick %s: %.2f ms, %lld rows kept\n", what, ms, static_cast<long long>(kept));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    Bench::setProgram("bench_filter", "bench_filter [ROWS [LINES_FILE [TEXT]]]");
    const Bench::PrivateEnvironment environment;

    const int count = argc > 1 ? Bench::positiveArgument(argv[1], "ROWS", 50'000'000) : 1'000'000;
    QApplication app(argc, argv);
    const QString text = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("urlaub");

    const QStringList rows = makeRows(count);
    qsizetype characters = 0;
    for (const QString& row : rows)
        characters += row.size();
    std::fprintf(stderr, "%d rows, %.1f characters a row on average, search text \"%s\"\n", count,
                 static_cast<double>(characters) / count, qPrintable(text));
    if (argc > 2)
        writeLines(QFile::decodeName(argv[2]), rows);

    AnsweringDialogs dialogs;
    dialogs.answer = text;
    const auto window = Bench::startWindow(dialogs);
    Form1& form = *window;

    // The delete list and the summary box as a draw leaves them, settled outside the timing.
    const QString drawnSummary = Delete1::summaryText(rows);
    auto fillList = [&] {
        FormControls(form).ListView3->setRows(rows);
        QCoreApplication::processEvents();
    };
    auto fillBoth = [&] {
        fillList();
        FormControls(form).Text4->setText(drawnSummary);
        QCoreApplication::processEvents();
    };

    struct Direction {
        const char* procedure;
        const char* click;
        Main::NameFilterKind kind;
        PushButton* button;
    };
    const Direction directions[] = {
        {"RemoveItemsWith", "click Remove Filenames Containing X",
         Main::NameFilterKind::RemoveContaining, FormControls(form).PushButton11},
        {"RemoveItemsWithout", "click Remove Filenames Not Cont. X",
         Main::NameFilterKind::RemoveNotContaining, FormControls(form).PushButton13}};
    for (const Direction& direction : directions) {
        QString summary;
        const double procedureMs = medianMs(fillList, [&] {
            Main::ErrorTrap trap(dialogs, direction.procedure);
            summary = form.deleteList()
                          .filterListRows(*FormControls(form).ListView3, text, direction.kind, trap)
                          .value_or(QString());
        });
        const qsizetype kept = FormControls(form).ListView3->count();
        if (summary.count(QStringLiteral("\r\n")) != kept)
            fail(QStringLiteral("%1 gave %2 rows but a summary of %3 lines")
                     .arg(direction.procedure)
                     .arg(kept)
                     .arg(summary.count(QStringLiteral("\r\n"))));
        report(direction.procedure, procedureMs, kept);

        const double clickMs = medianMs(fillBoth, [&] { direction.button->click(); });
        if (FormControls(form).ListView3->count() != kept ||
            FormControls(form).Text4->text().size() != summary.size())
            fail(QStringLiteral("the click and the procedure disagree"));
        report(direction.click, clickMs, kept);
    }

    if (dialogs.inputs != 2 * Repetitions || !dialogs.asked.isEmpty()) {
        for (const QString& asked : dialogs.asked)
            std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(asked));
        fail(
            QStringLiteral("%1 input boxes, expected %2").arg(dialogs.inputs).arg(2 * Repetitions));
    }
    return 0;
}
