// --count and --files0-from: the pool, the draw, and printing it or moving it to the trash.
#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "common/Random.h"
#include "deletelist/FolderFiles.h"
#include "deletelist/ListingCache.h"
#include "deletelist/Sampling.h"
#include "deletion/Trash.h"
#include "deletion/TrashCheck.h"
#include "deletion/TrashRun.h"
#include "shell/FileList.h"
#include "shell/ShellParts.h"
#include "shell/ShellText.h"
#include "shell/Terminal.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

namespace Shell {

namespace {

// Listing is mostly the kernel's work in the file system; more threads than this gain nothing.
constexpr std::size_t MaxListingThreads = 4;
// Files named one by one in a message before the rest are counted.
constexpr qsizetype NamedAtMost = 20;
// Lines kept free below a draw shown in full: the question and the answer.
constexpr int QuestionLines = 2;

// The walk's messages go to stderr; it asks no questions of a shell.
class StderrDialogs : public Dialogs {
public:
    bool reported = false;
    void message(const QString& text, const QString& /*title*/, MessageIcon /*icon*/) override {
        reported = true;
        writeErr(QStringLiteral("thinwick: ") + escaped(text) + QLatin1Char('\n'));
    }
    bool question(const QString& /*text*/, const QString& /*title*/) override { return false; }
    std::optional<QString> input(const QString& /*prompt*/, const QString& /*title*/,
                                 const QString& /*initial*/) override {
        return std::nullopt;
    }
    QString pickFolder(const QString& /*title*/, const QString& /*initial*/) override { return {}; }
    QStringList pickFiles(const QString& /*title*/, const QString& /*filter*/) override {
        return {};
    }
    void openUrl(const QUrl& /*url*/) override {}
};

// The disk as the subfolder walk sees it, with each folder it cannot read named on stderr: the
// walk leaves such a folder out silently, as the window does; the shell says so and fails.
class ReportingTree : public AddFolder::FolderTree {
public:
    explicit ReportingTree(AddFolder::FolderTree& disk) : m_disk(disk) {}
    bool failed = false;

private:
    template <class Call> auto reported(const QString& folder, const Call& call) {
        try {
            return call();
        } catch (const AddFolder::FolderFailure& failure) {
            failed = true;
            writeErr(QStringLiteral("thinwick: cannot read the folder %1: %2\n")
                         .arg(escaped(folder), escaped(QString::fromUtf8(failure.what()))));
            throw;
        }
    }

public:
    std::optional<int> attributes(const QString& folder) override {
        return reported(folder, [&] { return m_disk.attributes(folder); });
    }
    bool isRoot(const QString& folder) override { return m_disk.isRoot(folder); }
    void subFolders(const QString& folder, QStringList& names) override {
        reported(folder, [&] {
            m_disk.subFolders(folder, names);
            return true;
        });
    }
    bool searchFolder(const QString& folder, const std::function<bool()>& goOn,
                      QStringList& names) override {
        return reported(folder, [&] { return m_disk.searchFolder(folder, goOn, names); });
    }
    void searchAhead(const QStringList& folders) override { m_disk.searchAhead(folders); }
    void lookAhead(const QStringList& folders) override { m_disk.lookAhead(folders); }

private:
    AddFolder::FolderTree& m_disk;
};

// The files to draw from: each folder's listing in the order of the folders, kept compactly, or
// the files of a list. A path is made only for a file drawn.
struct Pool {
    std::vector<Delete1::FolderFiles> listings;
    QStringList listed;
    bool failed = false; // a folder could not be read, or a listed path was refused
    QString source;      // where the files came from, for "no files to draw from in ..."

    Delete1::PooledListings pooled() const {
        std::vector<const Delete1::FolderFiles*> all;
        all.reserve(listings.size());
        for (const Delete1::FolderFiles& files : listings)
            all.push_back(&files);
        return Delete1::PooledListings(std::move(all));
    }
    qsizetype size() const { return listings.empty() ? listed.size() : pooled().size(); }
    // The paths at the drawn positions, in their order.
    QStringList paths(const std::vector<qsizetype>& positions) const {
        if (listings.empty()) {
            QStringList drawn;
            drawn.reserve(static_cast<qsizetype>(positions.size()));
            for (const qsizetype position : positions)
                drawn.append(listed.at(position));
            return drawn;
        }
        return pooled().paths(positions);
    }
};

// Names each folder without ordinary files, as the window's "There are no files in folder" box.
void nameEmptyFolders(const QStringList& folders) {
    QString text;
    for (qsizetype i = 0; i < folders.size() && i < NamedAtMost; ++i)
        text += QStringLiteral("thinwick: no files in folder %1\n").arg(escaped(folders.at(i)));
    if (folders.size() > NamedAtMost)
        text += QStringLiteral("thinwick: ... and %1 more folders without files.\n")
                    .arg(folders.size() - NamedAtMost);
    writeErr(text);
}

Pool poolFromFolders(const Options& options) {
    Pool pool;
    const QChar separator = Main::nativeSeparator();
    QStringList folders;
    QSet<QString> seen;
    QStringList given;
    // The walk reads every folder's entries anyway: its listings are the pool's, so no folder is
    // read twice.
    Delete1::WalkListings walked;
    for (const QString& folder : options.folders) {
        // "C:/x" as typed on Windows takes the native separator, as the window's rows do.
        QStringList tree{Main::terminatedFolderPath(QDir::toNativeSeparators(folder))};
        given.append(escaped(tree.first()));
        if (options.subfolders) {
            StderrDialogs dialogs;
            AddFolder::DiskFolderTree disk;
            disk.keepListings(walked.sink());
            ReportingTree reporting(disk);
            AddFolder::GetSubDirectories2016(tree, true, dialogs, reporting, [] { return true; });
            pool.failed = pool.failed || dialogs.reported || reporting.failed;
        }
        // A folder given twice, or inside another given with --subfolders, is pooled once, so
        // every file drawn is distinct.
        for (const QString& found : tree) {
            const QString key = found.endsWith(separator) ? found : found + separator;
            if (!seen.contains(key)) {
                seen.insert(key);
                folders.append(key);
            }
        }
    }
    pool.source = given.join(QStringLiteral(", "));
    // The folders are listed on every core, each into a list of its own; the pool is their
    // listings in the order of the folders, so a seed gives the same draw however they were read.
    pool.listings.reserve(static_cast<std::size_t>(folders.size()));
    for (const QString& folder : std::as_const(folders))
        pool.listings.emplace_back(folder);
    std::vector<QString> failures(pool.listings.size());
    std::atomic<std::size_t> nextFolder{0};
    auto listFolders = [&] {
        for (std::size_t i = nextFolder++; i < pool.listings.size(); i = nextFolder++) {
            try {
                Delete1::FolderFiles& files = pool.listings[i];
                if (!walked.take(files.folder(), files))
                    Delete1::listOrdinaryFiles(files);
            } catch (const std::exception& failure) {
                failures[i] = QString::fromUtf8(failure.what());
            }
        }
    };
    const std::size_t helpers =
        std::min<std::size_t>({std::max(std::thread::hardware_concurrency(), 1U), MaxListingThreads,
                               pool.listings.size()});
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < helpers; ++i)
        threads.emplace_back(listFolders);
    listFolders();
    for (std::thread& thread : threads)
        thread.join();
    QStringList empty;
    bool any = false;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const QString& folder = folders.at(static_cast<qsizetype>(i));
        if (!failures[i].isEmpty()) {
            pool.failed = true;
            writeErr(QStringLiteral("thinwick: cannot read the folder %1: %2\n")
                         .arg(escaped(folder), escaped(failures[i])));
        } else if (pool.listings[i].isEmpty()) {
            empty.append(folder);
        } else {
            any = true;
        }
    }
    // With no file at all, the one line that says so is enough.
    if (any)
        nameEmptyFolders(empty);
    return pool;
}

// The files of the list, each checked; every refusal is named.
Pool poolFromList(const Options& options, bool& unreadable) {
    Pool pool;
    const bool standardInput = options.filesFrom == QStringLiteral("-");
    pool.source = standardInput ? QStringLiteral("the list on standard input")
                                : QStringLiteral("the list %1").arg(escaped(options.filesFrom));
    QByteArray list;
    QString reason;
    if (!readList(options.filesFrom, list, reason)) {
        writeErr(QStringLiteral("thinwick: cannot read %1: %2\n").arg(pool.source, reason));
        unreadable = true;
        return pool;
    }
    ListedFiles listed = takeListedFiles(list);
    QString text;
    for (const QString& refusal : std::as_const(listed.refusals))
        text += QStringLiteral("thinwick: not taken: ") + refusal + QLatin1Char('\n');
    writeErr(text);
    pool.failed = !listed.refusals.isEmpty();
    pool.listed = std::move(listed.files);
    return pool;
}

// The window's choice rule over the pool's positions, in the order of the listings; without a
// count (a list taken whole) every position in list order.
std::vector<qsizetype> drawFrom(const Pool& pool, const Options& options) {
    const qsizetype size = pool.size();
    if (!options.countGiven) {
        std::vector<qsizetype> all(static_cast<std::size_t>(size));
        std::iota(all.begin(), all.end(), qsizetype{0});
        return all;
    }
    Main::Random::seed(options.seed.value_or(QRandomGenerator::system()->generate64()));
    return Delete1::choosePositions(size, Main::countValue(options.countText));
}

int printDraw(const Pool& pool, const std::vector<qsizetype>& drawn, bool print0, bool failed) {
    QByteArray out;
    const char end = print0 ? '\0' : '\n';
    auto add = [&](const QString& path) {
        out += QFile::encodeName(path);
        out += end;
    };
    if (pool.listings.empty()) {
        for (const qsizetype position : drawn)
            add(pool.listed.at(position));
    } else {
        pool.pooled().visit(
            drawn, [&](const Delete1::FolderFiles& files, qsizetype at) { add(files.at(at)); });
    }
    if (!writeOut(out)) {
        writeErr(QStringLiteral("thinwick: cannot write the list of files\n"));
        return ExitLeftInPlace;
    }
    return failed ? ExitLeftInPlace : ExitDone;
}

// Sorts out, before anything moves, the files on a volume without a usable trash, and names each
// with the reason; the rest can go.
QStringList withUsableTrash(const QStringList& drawn, qsizetype& staying) {
    TrashCheck check;
    QStringList going;
    QString text;
    staying = 0;
    for (const QString& path : drawn) {
        const QString problem = check.problemFor(path);
        if (problem.isEmpty()) {
            going.append(path);
            continue;
        }
        if (++staying <= NamedAtMost)
            text += QStringLiteral("thinwick: \"%1\" stays in place: %2\n")
                        .arg(escaped(path), escaped(problem));
    }
    if (staying > NamedAtMost)
        text += QStringLiteral("thinwick: ... and %1 more files stay in place.\n")
                    .arg(staying - NamedAtMost);
    writeErr(text);
    return going;
}

// Shows what would go, as --count prints it (past a screenful the first 20 unless verbose), and
// asks.
bool confirmed(const QStringList& going, const Options& options) {
    const bool whole =
        options.verbose || going.size() <= std::max(terminalLines() - QuestionLines, 1);
    writeErr(namedLines(going, whole ? going.size() : NamedAtMost));
    return ask(QStringLiteral("Move %1 to the trash? [y/N] ").arg(filesCount(going.size())),
               options.filesFrom == QStringLiteral("-"));
}

// How the files of a run come back. The Recycle Bin does not say where it put a file: its own
// Restore brings them back there.
QString putBackHint(quint64 number) {
#ifdef Q_OS_WIN
    Q_UNUSED(number)
    return QStringLiteral("the Recycle Bin's Restore puts them back.");
#else
    return QStringLiteral("thinwick --put-back %1 puts them back.").arg(number);
#endif
}

int trashDrawn(const QStringList& drawn, const Options& options, bool failed) {
    qsizetype staying = 0;
    const QStringList going = withUsableTrash(drawn, staying);
    if (going.isEmpty()) {
        writeErr(QStringLiteral("Nothing was moved.\n"));
        return ExitLeftInPlace;
    }
    // The run's record begun before the question: a run that could not be put back is not
    // offered.
    DesktopTrash trash;
    Delete1::TrashRun run(trash, RunRecord::FromCommandLine);
    if (const QString fault = run.prepare(); !fault.isEmpty()) {
        writeErr(QStringLiteral("thinwick: this run could not be recorded, so --put-back could not "
                                "undo it: %1\nNothing was moved.\n")
                     .arg(escaped(fault)));
        return ExitLeftInPlace;
    }
    if (!options.yes && !confirmed(going, options)) {
        writeErr(QStringLiteral("Nothing was moved.\n"));
        return ExitLeftInPlace;
    }
    const InterruptGuard guard;
    {
        Progress progress(QStringLiteral("Moving to the trash"), going.size());
        run.run(going, [&](qsizetype position, qsizetype /*count*/, const QString& /*path*/) {
            if (InterruptGuard::interrupted())
                run.requestStop();
            else
                progress.step(position - 1);
        });
    }
    // The moves and their record durable before anything is said: a closing message that cannot
    // be written changes nothing.
    run.finish();
    const QString& recordError = run.recordError();
    // The window's closing message without its "Done.": the files gone and left in place.
    QString summary = run.closingMessage().mid(QStringLiteral("Done.").size()).trimmed();
    auto add = [&summary](const QString& paragraph) {
        summary += (summary.isEmpty() ? QString() : QStringLiteral("\n\n")) + paragraph;
    };
    if (staying > 0)
        add(QStringLiteral("%1 stayed in place for want of a usable trash (named above).")
                .arg(filesCount(staying)));
    if (const qsizetype left = going.size() - run.handled(); run.stopRequested())
        add(left == 1 ? QStringLiteral("Interrupted: 1 drawn file was not handled.")
                      : QStringLiteral("Interrupted: %1 drawn files were not handled.").arg(left));
    if (run.moved() == 0)
        add(QStringLiteral("No file was moved to the trash."));
    else if (!recordError.isEmpty())
        add(QStringLiteral("Moved %1 to the trash; the record of this run could not be written "
                           "(%2), so --put-back cannot undo it.")
                .arg(filesCount(run.moved()), recordError));
    else
        add(QStringLiteral("Moved %1 to the trash (run %2); %3")
                .arg(filesCount(run.moved()), QString::number(run.runNumber()),
                     putBackHint(run.runNumber())));
    const bool told = writeErr(summary + QLatin1Char('\n'));
    // Stopped by a signal: having stopped cleanly, the program dies of it, so a shell loop or
    // xargs that started it stops too.
    InterruptGuard::dieOfSignal();
    return run.tally().leftInPlace.isEmpty() && staying == 0 && !failed && !run.stopRequested() &&
                   recordError.isEmpty() && told
               ? ExitDone
               : ExitLeftInPlace;
}

} // namespace

int drawFiles(const Options& options) {
    const bool trash = options.mode == Mode::Trash;
    if (trash && !options.yes && !canAsk(options.filesFrom == QStringLiteral("-")))
        return usage(QStringLiteral("--trash asks before it moves files, and there is no "
                                    "terminal to ask on; add --yes to go ahead"));
    if (options.countGiven && Main::countValue(options.countText) < 1) {
        writeErr(QStringLiteral("thinwick: nothing to draw: --count 0 draws no files\n"));
        return ExitDone;
    }
    bool unreadable = false;
    const Pool pool =
        options.filesFrom.isEmpty() ? poolFromFolders(options) : poolFromList(options, unreadable);
    const bool failed = pool.failed || unreadable;
    const std::vector<qsizetype> drawn = drawFrom(pool, options);
    if (drawn.empty()) {
        if (!unreadable)
            writeErr(QStringLiteral("thinwick: no files to draw from in %1\n").arg(pool.source));
        return failed ? ExitLeftInPlace : ExitDone;
    }
    return trash ? trashDrawn(pool.paths(drawn), options, failed)
                 : printDraw(pool, drawn, options.print0, failed);
}

} // namespace Shell
