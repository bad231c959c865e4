#include "sources/SubDirectories.h"

#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "sources/FolderTree.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <utility>
#include <vector>

namespace AddFolder {

namespace {

constexpr qint64 YieldIntervalMs = 16;

bool isTakenName(const QString& name) {
    return name.size() < PathLimit && !hasUnsupportedCharacter(name) &&
           !name.contains(QLatin1Char('?')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

// The folders of one depth, in walk order. A folder that cannot be searched takes the first
// entry with its text out of the level, which with repeated texts need not be its own.
class Level {
public:
    QStringList paths;

    bool isRemoved(qsizetype i) const { return !m_removed.empty() && m_removed[i] != 0; }

    // The paths less the removed ones, in order.
    QStringList livePaths() const {
        if (m_removed.empty())
            return paths;
        QStringList live;
        for (qsizetype i = 0; i < paths.size(); ++i)
            if (!isRemoved(i))
                live.append(paths.at(i));
        return live;
    }

    void removeFirstEqual(const QString& text) {
        if (m_removed.empty()) {
            // Built at the first removal only: most levels never need it.
            m_removed.assign(static_cast<std::size_t>(paths.size()), 0);
            m_positions.reserve(paths.size());
            for (qsizetype i = 0; i < paths.size(); ++i)
                m_positions[paths.at(i)].push_back(i);
        }
        // Entries with one text leave in list order, so the live ones follow the removed ones.
        const auto found = m_positions.constFind(text);
        if (found == m_positions.constEnd())
            return;
        qsizetype& gone = m_gone[text];
        if (gone < static_cast<qsizetype>(found->size()))
            m_removed[static_cast<std::size_t>(found->at(static_cast<std::size_t>(gone++)))] = 1;
    }

private:
    std::vector<char> m_removed;
    QHash<QString, std::vector<qsizetype>> m_positions;
    QHash<QString, qsizetype> m_gone;
};

class Walk {
public:
    Walk(Dialogs& dialogs, FolderTree& tree, const WalkYield& yield)
        : m_trap(dialogs, Location::GetSubDirectories2016), m_tree(tree), m_yield(yield),
          m_separator(Main::nativeSeparator()) {}

    // Searches each folder of the level and gathers the subfolders it takes into next.
    void searchLevel(Level& level, Level& next) {
        QStringList names;
        m_tree.searchAhead(level.paths);
        for (qsizetype i = 0; i < level.paths.size() && !m_stopped; ++i)
            searchFolder(level, level.paths.at(i), next, names);
    }

    // The given entries less the removed ones, then each deeper level's folders that still exist
    // and are not skipped by their attribute value.
    QStringList result(const std::vector<Level>& levels) {
        QStringList folders;
        const Level& given = levels.front();
        for (qsizetype i = 0; i < given.paths.size(); ++i)
            if (!given.isRemoved(i))
                folders.append(given.paths.at(i));
        for (std::size_t k = 1; k < levels.size() && !m_stopped; ++k) {
            const Level& level = levels[k];
            m_tree.lookAhead(level.livePaths());
            for (qsizetype i = 0; i < level.paths.size(); ++i) {
                if (level.isRemoved(i))
                    continue;
                const QString& path = level.paths.at(i);
                // A failing test counts as passed: the folder is appended after the report.
                const bool keep = m_trap.test(158, [&] {
                    const std::optional<int> attributes = m_tree.attributes(path);
                    if (!attributes || !turn())
                        return false;
                    return !isSkippedValue(*attributes) || m_tree.isRoot(path);
                });
                if (m_stopped)
                    break;
                if (keep)
                    folders.append(path);
            }
        }
        return folders;
    }

    bool stopped() const { return m_stopped; }

private:
    bool turn() {
        if (!m_stopped && m_yield && !m_yield())
            m_stopped = true;
        return !m_stopped;
    }

    void searchFolder(Level& level, const QString& folder, Level& next, QStringList& names) {
        names.clear();
        try {
            m_tree.searchFolder(
                folder, [&] { return folder.size() < PathLimit && turn(); }, names);
            take(folder, names, next);
        } catch (const FolderFailure& failure) {
            take(folder, names, next);
            if (failure.kind() != FolderFailure::Kind::Other)
                level.removeFirstEqual(folder);
        } catch (const std::exception&) { // NOLINT(bugprone-empty-catch)
            // Any other failure ends this folder's listing; the folder stays.
            take(folder, names, next);
        }
    }

    void take(const QString& folder, QStringList& names, Level& next) {
        for (const QString& name : std::as_const(names)) {
            if (!turn())
                return;
            if (isTakenName(name))
                next.paths.append(folder + name + m_separator);
        }
        names.clear();
    }

    Main::ErrorTrap m_trap;
    FolderTree& m_tree;
    const WalkYield& m_yield;
    QChar m_separator;
    bool m_stopped = false;
};

} // namespace

bool FolderTree::searchFolder(const QString& folder, const std::function<bool()>& goOn,
                              QStringList& names) {
    const std::optional<int> value = attributes(folder);
    if (!value)
        return false;
    if (goOn() && (!isSkippedValue(*value) || isRoot(folder)))
        subFolders(folder, names);
    return true;
}

WalkYield messageLoopTurns(std::function<bool()> goOn) {
    return [goOn = std::move(goOn), clock = QElapsedTimer()]() mutable {
        if (!clock.isValid() || clock.hasExpired(YieldIntervalMs)) {
            QCoreApplication::processEvents();
            // The walk gets a whole interval of work after each pass, however long the pass took.
            clock.start();
        }
        return !goOn || goOn();
    };
}

void GetSubDirectories2016(QStringList& folderList, bool recursive, Dialogs& dialogs,
                           FolderTree& tree, const WalkYield& yield) {
    // Level by level, each folder searched once and tested once more at the end. This gives what
    // searching a level and then calling itself on the level below gives, where the result of the
    // deeper call is filtered again at every level on the way back, without that repetition.
    Walk walk(dialogs, tree, yield);
    std::vector<Level> levels(1);
    levels.front().paths = folderList;
    for (std::size_t k = 0; k == 0 || recursive; ++k) {
        Level next;
        walk.searchLevel(levels[k], next);
        if (walk.stopped())
            return;
        if (next.paths.isEmpty())
            break;
        levels.push_back(std::move(next));
    }
    QStringList folders = walk.result(levels);
    if (!walk.stopped())
        folderList = std::move(folders);
}

void GetSubDirectories2016(QStringList& folderList, bool recursive, Dialogs& dialogs) {
    DiskFolderTree tree;
    GetSubDirectories2016(folderList, recursive, dialogs, tree, messageLoopTurns());
}

} // namespace AddFolder
