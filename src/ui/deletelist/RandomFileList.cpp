#include "deletelist/RandomFileList.h"

#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "deletelist/DeleteList.h"
#include "deletelist/ListingCache.h"
#include "deletelist/Sampling.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QUtf8StringView>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace Delete1 {

namespace {

constexpr qsizetype NamedEmptyFolders = 20;
constexpr qint64 TurnIntervalMs = 16;

// Gives the message loop a pass about every 16 ms, so a long listing neither freezes the window
// nor costs a pass per folder. Input waits until the rebuild is done: no handler of the window
// runs in the middle of it.
class MessageLoopTurns {
public:
    MessageLoopTurns() { m_clock.start(); }
    void operator()() {
        if (m_clock.hasExpired(TurnIntervalMs)) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            m_clock.start();
        }
    }

private:
    QElapsedTimer m_clock;
};

} // namespace

QString noFilesMessage(const QStringList& folders) {
    QString text;
    const qsizetype named = std::min(folders.size(), NamedEmptyFolders);
    for (qsizetype i = 0; i < named; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += QStringLiteral("There are no files in folder ") + folders.at(i);
    }
    if (folders.size() > named)
        text += QStringLiteral("\n... and %1 more.").arg(folders.size() - named);
    return text;
}

} // namespace Delete1

Delete1::DrawnFiles DeleteListController::randomFileList() {
    using namespace Delete1;
    Main::ErrorTrap trap(m_dialogs, Location::randomFileList);
    const QChar separator = Main::nativeSeparator();
    // Each row's files, listed now or kept from an earlier pass while its folder is unchanged.
    // The rows are read once; nothing else runs while the loop gives the window a pass.
    ListingCache& cache = m_cache;
    QStringList sources;
    const int rows = trap.value(102, 0, [&] {
        sources = m_sources.rows();
        cache.beginBuild(sources);
        return static_cast<int>(sources.size());
    });
    MessageLoopTurns turn;
    QStringList emptyFolders;
    for (int row = 1; row <= rows; ++row) {
        turn();
        if (m_busy.isUnloaded())
            return {};
        QString folder;
        trap.run(104, [&] { folder = sources.at(row - 1); });
        // An empty row names no folder; it would otherwise stand for the root of the drive.
        if (folder.isEmpty())
            continue;
        trap.run(108, [&] {
            if (!folder.endsWith(separator))
                folder += separator;
        });
        try {
            cache.list(row - 1, folder);
        } catch (const std::exception& failure) {
            // Reading the first name failed, or reading a later one.
            trap.report(failure, cache.files(row - 1).isEmpty() ? 110 : 126);
        }
        if (trap.test(112, [&] { return cache.files(row - 1).isEmpty(); }))
            emptyFolders.append(folder);
    }
    cache.endBuild();
    // One box for every folder without files, however many there are.
    if (!emptyFolders.isEmpty()) {
        trap.run(128, [&] {
            m_dialogs.message(noFilesMessage(emptyFolders), m_appTitle, MessageIcon::None);
        });
    }

    // Choosing by the logic's rule over positions in the rows' listings taken in order; the files
    // chosen share the listings, and a path is made only when it is read.
    DrawnFiles result;
    const qsizetype c = cache.fileCount();
    if (c == 0)
        return result;
    double count = 0;
    trap.run(132, [&] { count = Main::countValue(m_number.text()); });
    const bool whole = takesWholePool(c, count);
    std::vector<qsizetype> chosen;
    trap.run(whole ? 170 : 148, [&] { chosen = choosePositions(c, count); });
    trap.run(whole ? 176 : 162, [&] { result = cache.drawn(chosen); });
    return result;
}
