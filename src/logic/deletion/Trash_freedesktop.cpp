// The trash on Linux and other freedesktop systems: the freedesktop.org trash, in POSIX calls.
//
// Which trash takes a file follows from the mount that holds its folder, read from the mount table
// (/proc/self/mountinfo): the home trash ($XDG_DATA_HOME/Trash) when that mount is the home trash's
// own, else the trash at that mount's top: $topdir/.Trash/$uid when .Trash is a real folder with
// the sticky bit, else $topdir/.Trash-$uid. So a bind mount's trash is at its bind point and an
// overlay's at the overlay's mount point, whatever device the file itself reports. Nothing is
// ever copied.
//
// The order keeps every file findable: the info file is created (O_EXCL, which also reserves the
// name) and written completely first; only then is the entry renamed into files/. When any step
// fails the info file is removed again, the entry stays where it was, and trash folders this call
// made are removed; an info file that cannot be removed is named in the reason. After the rename,
// the moved entry is looked at once more: a folder that took the file's place is put back.
//
// The code is in parts: the mount table (MountTable), where a file goes (TrashDestination), the
// trash folders (TrashFolders), the information file (TrashEntry) and, here, the move itself.
//
// A trash once opened stays open: its folders' descriptors are kept and re-checked with fstat when
// a run first uses it, so a run of many files costs little more than the info file and the
// rename. flush() makes the records durable with one syncfs per volume trashed on.
#include "deletion/RenameNoReplace.h"
#include "deletion/SourceFolders.h"
#include "deletion/Trash.h"
#include "deletion/TrashDestination.h"
#include "deletion/TrashEntry.h"
#include "deletion/TrashFolders.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using TrashDestination::Destination;
using TrashDestination::Entry;
using TrashDestination::Look;
using TrashDestination::lookAt;
using TrashFolders::errorText;
using TrashFolders::MadeFolders;
using TrashFolders::OpenTrash;
using TrashFolders::shown;

constexpr int NameAttempts = 64;
// How often during a run the kept trash folders are looked for at their paths.
constexpr qint64 RecheckIntervalMs = 200;

// An info file that could not be removed again stays in the trash and is said.
QString removeInfo(const OpenTrash& trash, const QByteArray& infoName) {
    if (::unlinkat(trash.info.get(), infoName.constData(), 0) == 0)
        return {};
    return QStringLiteral("; its trash information file %1 could not be removed and stays in the "
                          "trash: %2")
        .arg(shown(trash.path + "/info/" + infoName), errorText(errno));
}

QString renameFailure(int error, const OpenTrash& trash) {
    return error == EXDEV ? QStringLiteral("it is on another file system than the trash %1; files "
                                           "are never copied between file systems")
                                .arg(shown(trash.path))
                          : QStringLiteral("cannot move it into the trash %1: %2")
                                .arg(shown(trash.path), errorText(error));
}

// What a DesktopTrash keeps between calls: where files go, the trashes it opened and the next
// number per name.
struct Trashes {
    TrashDestination::Destinations destinations;
    // Per original name, the next number to try when the name is taken: one attempt per file
    // however many files of that name go in one run.
    std::unordered_map<QByteArray, unsigned, BytesHash> nextNumber;
    // Every trash opened so far, by Destination::key(), and the one the last file went to.
    QHash<QByteArray, std::shared_ptr<OpenTrash>> trashes;
    std::shared_ptr<OpenTrash> lastTrash;
    // Buffers kept from file to file: the info file's text and the entry's names in the trash.
    QByteArray infoBuffer;
    QByteArray trashedPath;
    QByteArray infoName;
    // Those that took a file since the last flush.
    std::vector<std::shared_ptr<OpenTrash>> touched;
    // Kept trash folders found renamed or replaced, not yet taken by the caller, and the time
    // since the kept folders were last looked for at their paths.
    std::vector<std::pair<QString, QString>> moved;
    QElapsedTimer sinceCheck;
    // The folders files came from since the last flush.
    SourceFolders folders;

    // A kept trash whose folders are no longer at its path (renamed away, a link put in its place)
    // is said with where it is now and no longer used: the next file finds the trash at its path
    // again, and is refused when that is not the user's own.
    void checkKept() {
        sinceCheck.start();
        for (const auto& trash : touched) {
            if (TrashFolders::atItsPath(*trash))
                continue;
            const QString said = shown(trash->path);
            if (std::none_of(moved.begin(), moved.end(),
                             [&said](const auto& pair) { return pair.first == said; }))
                moved.emplace_back(said, shown(TrashFolders::currentPath(*trash)));
            for (auto it = trashes.begin(); it != trashes.end();)
                it = it.value() == trash ? trashes.erase(it) : std::next(it);
            lastTrash.reset();
        }
    }

    // The kept trash, or the trash opened (and made where missing) at its path; `again` opens it
    // anew after its kept folders were found gone.
    std::shared_ptr<OpenTrash> openTrash(const Destination& to, bool again, MadeFolders& made,
                                         TrashResult& result) {
        // Files mostly go where the one before went.
        if (!again && lastTrash && lastTrash->checkedByPath &&
            (to.home ? lastTrash->top.isEmpty() && lastTrash->path == to.homeTrash
                     : !lastTrash->top.isEmpty() && lastTrash->top == to.top))
            return lastTrash;
        lastTrash.reset();
        std::shared_ptr<OpenTrash>& slot = trashes[to.key()];
        if (slot && (again || !stillUsable(*slot)))
            slot.reset();
        if (!slot)
            slot = to.home ? openHomeTrash(to.homeTrash, made, result.reason)
                           : openTopTrash(to.top, made, result.reason);
        std::shared_ptr<OpenTrash> opened = slot;
        if (!opened) {
            trashes.remove(to.key());
            result.reason = to.refusal + result.reason;
        }
        lastTrash = opened;
        return opened;
    }

    // Trash folders made by a call stay only once the entry is in; then the trash is kept.
    void forget(const Destination& to, const MadeFolders& made) {
        if (made.any()) {
            trashes.remove(to.key());
            lastTrash.reset();
        }
    }

    // The tag of a name for an attempt: none first, then the next number for the name, then
    // random ones.
    QByteArray tagFor(int attempt, const QByteArray& name) {
        if (attempt == 0)
            return {};
        if (attempt == 1) {
            unsigned& number = nextNumber[name];
            number = std::max(number, 2U);
            return '.' + QByteArray::number(number++);
        }
        return '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    }
};

// One call's move of one entry into one trash: the info file first, then the rename.
class Move {
public:
    // The hooks: the witness told before each rename, and the tests' hooks around it.
    struct Hooks {
        MoveWitness* witness = nullptr;
        const std::function<void(const QString&)>& beforeMove;
        const std::function<void(const QString&)>& afterMove;
    };

    Move(Trashes& state, const Entry& entry, const Destination& to, MadeFolders& made,
         TrashResult& result, const Hooks& hooks)
        : m_state(state), m_entry(entry), m_to(to), m_made(made), m_result(result), m_hooks(hooks),
          m_trashedPath(state.trashedPath), m_infoName(state.infoName) {}

    // True when the entry is in the trash; otherwise the result says why not and nothing moved.
    bool run() {
        m_trash = m_state.openTrash(m_to, false, m_made, m_result);
        if (!m_trash)
            return false;
        QByteArray& info = m_state.infoBuffer;
        TrashEntry::infoText(m_to.recordedPath, info);
        // A name already found taken in this run goes straight to its next number.
        const bool taken =
            !m_state.nextNumber.empty() && m_state.nextNumber.count(m_entry.name) != 0;
        for (int attempt = taken ? 1 : 0;; ++attempt) {
            if (attempt == NameAttempts) {
                m_result.reason =
                    QStringLiteral("no free name for it in the trash %1").arg(shown(m_trash->path));
                return fail();
            }
            switch (tryName(m_state.tagFor(attempt, m_entry.name), info)) {
            case Step::Moved:
                return true;
            case Step::NameTaken:
                break;
            case Step::TrashGone:
                --attempt; // the same name again, in the trash found anew
                break;
            case Step::Failed:
                return false;
            }
        }
    }

    [[nodiscard]] const std::shared_ptr<OpenTrash>& trash() const { return m_trash; }
    [[nodiscard]] const QByteArray& trashed() const { return m_trashed; }
    // The entry's full path in the trash.
    [[nodiscard]] const QByteArray& trashedPath() const { return m_trashedPath; }
    [[nodiscard]] const QByteArray& infoName() const { return m_infoName; }

private:
    enum class Step { Moved, NameTaken, TrashGone, Failed };

    bool fail() {
        m_state.forget(m_to, m_made);
        return false;
    }

    // The trash's kept folders went since it was opened: it is found again at its path, once.
    Step findTrashAgain() {
        m_foundAgain = true;
        m_trash = m_state.openTrash(m_to, true, m_made, m_result);
        return m_trash ? Step::TrashGone : Step::Failed;
    }

    Step tryName(const QByteArray& tag, const QByteArray& info) {
        m_trashed = TrashEntry::trashName(m_entry.name, tag, m_trash->nameMax);
        m_infoName.resize(0);
        m_infoName.append(m_trashed).append(TrashEntry::InfoSuffix);
        const int fd = ::openat(m_trash->info.get(), m_infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            return Step::NameTaken;
        if (fd < 0 && errno == ENOENT && !m_foundAgain)
            return findTrashAgain(); // info/ went
        if (fd < 0) {
            m_result.reason = QStringLiteral("cannot create the trash information file %1: %2")
                                  .arg(shown(infoPathOf()), errorText(errno));
            fail();
            return Step::Failed;
        }
        int error = TrashEntry::writeAll(fd, info) ? 0 : errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            m_result.reason = QStringLiteral("cannot write the trash information file %1: %2")
                                  .arg(shown(infoPathOf()), errorText(error)) +
                              removeInfo(*m_trash, m_infoName);
            fail();
            return Step::Failed;
        }
        return rename();
    }

    [[nodiscard]] QByteArray infoPathOf() const { return m_trash->path + "/info/" + m_infoName; }

    // The info file is complete; the witness is told, then the entry is renamed into files/.
    Step rename() {
        m_trashedPath.resize(0);
        m_trashedPath.append(m_trash->path).append("/files/").append(m_trashed);
        if (m_hooks.witness != nullptr) {
            const bool dots = m_entry.dots;
            const QByteArray original =
                dots ? TrashDestination::withoutDots(m_entry.full) : m_entry.full;
            m_hooks.witness->aboutToMove(
                {original, m_trashedPath, static_cast<quint64>(m_entry.before.device),
                 static_cast<quint64>(m_entry.before.inode),
                 m_state.folders.look(dots ? TrashDestination::parentOf(original)
                                           : m_entry.parent)});
        }
        if (m_hooks.beforeMove)
            m_hooks.beforeMove(m_entry.path);
        if (NoReplace::rename(m_entry.folder, m_entry.at(), m_trash->files.get(),
                              m_trashed.constData()) == 0) {
            if (m_hooks.afterMove)
                m_hooks.afterMove(m_entry.path);
            return Step::Moved;
        }
        const int error = errno;
        if (m_hooks.witness != nullptr)
            m_hooks.witness->notMoved();
        const QString leftover = removeInfo(*m_trash, m_infoName);
        if (error == EEXIST && leftover.isEmpty())
            return Step::NameTaken; // an entry without an info file holds the name in files/
        if (error == ENOENT && leftover.isEmpty()) {
            Look now;
            if (!lookAt(m_entry.folder, m_entry.at(), false, now)) {
                m_result.gone = true;
                fail();
                return Step::Failed;
            }
            if (!m_foundAgain)
                return findTrashAgain(); // the entry is there, so files/ went
        }
        m_result.reason = renameFailure(error, *m_trash) + leftover;
        fail();
        return Step::Failed;
    }

    Trashes& m_state;
    const Entry& m_entry;
    const Destination& m_to;
    MadeFolders& m_made;
    TrashResult& m_result;
    const Hooks& m_hooks;
    std::shared_ptr<OpenTrash> m_trash;
    QByteArray m_trashed;
    QByteArray& m_trashedPath; // the state's buffers, their room kept from file to file
    QByteArray& m_infoName;
    bool m_foundAgain = false;
};

// After the rename: a folder that took the file's place between the look and the rename goes
// back, so no folder stays in the trash; the witness hears that the file did not move.
void checkMoved(const Entry& entry, const Move& move, TrashResult& result, MoveWitness* witness) {
    const OpenTrash& trash = *move.trash();
    struct stat moved {};
    if (::fstatat(trash.files.get(), move.trashed().constData(), &moved, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        !S_ISDIR(moved.st_mode)) {
        result.moved = true;
        return;
    }
    result.isFolder = true;
    if (witness != nullptr)
        witness->notMoved();
    if (NoReplace::rename(trash.files.get(), move.trashed().constData(), entry.folder,
                          entry.at()) == 0) {
        result.trashedPath.clear();
        result.reason = QStringLiteral("it is a folder; folders are never deleted") +
                        removeInfo(trash, move.infoName());
    } else {
        // Its place was taken again: it stays in the trash, complete with its info file.
        result.reason = QStringLiteral("a folder took its place just before the move and could "
                                       "not be put back; it is in the trash as %1: %2")
                            .arg(result.trashedPath, errorText(errno));
    }
}

} // namespace

struct DesktopTrash::State : Trashes {};

DesktopTrash::DesktopTrash() : m_state(std::make_unique<State>()) {}

DesktopTrash::~DesktopTrash() {
    // A trashing outside a run (or a run cut short) is made durable here.
    DesktopTrash::flush();
}

void DesktopTrash::flush() {
    m_state->checkKept();
    // One syncfs per volume: trashes on one device share it.
    std::vector<dev_t> synced;
    for (const auto& trash : m_state->touched) {
        struct stat st {};
        if (::fstat(trash->info.get(), &st) != 0)
            continue;
        if (std::find(synced.begin(), synced.end(), st.st_dev) != synced.end())
            continue;
        ::syncfs(trash->info.get());
        synced.push_back(st.st_dev);
    }
    m_state->touched.clear();
    m_state->folders.clear();
    for (const auto& trash : std::as_const(m_state->trashes))
        trash->checkedByPath = false;
    m_state->destinations.reset();
}

TrashResult DesktopTrash::moveToTrash(const QString& path) {
    TrashResult result;
    Entry entry;
    if (!TrashDestination::nameEntry(path, entry, result, m_state->folders.last()))
        return result;
    if (!entry.dots)
        entry.folder = m_state->folders.fd(entry.parent);
    if (!TrashDestination::lookBefore(entry, result))
        return result;
    Destination to;
    if (!m_state->destinations.find(entry, to, result))
        return result;
    MadeFolders made;
    const Move::Hooks hooks{witness(), beforeMove, afterMove};
    Move move(*m_state, entry, to, made, result, hooks);
    if (!move.run())
        return result;
    made.keep();
    auto& touched = m_state->touched;
    if (std::find(touched.begin(), touched.end(), move.trash()) == touched.end())
        touched.push_back(move.trash());
    result.trashedPath = shown(move.trashedPath());
    checkMoved(entry, move, result, witness());
    if (!m_state->sinceCheck.isValid() || m_state->sinceCheck.hasExpired(RecheckIntervalMs))
        m_state->checkKept();
    return result;
}

std::vector<std::pair<QString, QString>> DesktopTrash::takeMovedFolders() {
    return std::exchange(m_state->moved, {});
}
