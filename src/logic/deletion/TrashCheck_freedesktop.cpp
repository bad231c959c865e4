// The freedesktop.org trash checked without making anything: the trash a move would use is found
// the same way (TrashDestination), and each folder the move would open or make is looked at.
#include "deletion/TrashCheck.h"

#include "deletion/TrashDestination.h"
#include "deletion/TrashFolders.h"

#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TrashFolders::errorText;
using TrashFolders::shown;

namespace {

// Whether the user may make entries in the folder.
bool writable(const QByteArray& folder) {
    return ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString cannotMake(const QByteArray& path, const QByteArray& in) {
    return QStringLiteral("cannot make %1: %2 is not writable").arg(shown(path), shown(in));
}

// A trash folder (the trash itself, or its files/ or info/) that exists must be a folder the user
// can write to, and for a top trash the user's alone; a missing one must be makeable in `in`.
bool folderUsable(const QByteArray& path, const QByteArray& in, bool privateToUser,
                  QString& reason) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        if (errno != ENOENT) {
            reason = QStringLiteral("cannot look at %1: %2").arg(shown(path), errorText(errno));
            return false;
        }
        if (!writable(in)) {
            reason = cannotMake(path, in);
            return false;
        }
        return true;
    }
    if (S_ISLNK(st.st_mode) && !privateToUser && ::stat(path.constData(), &st) != 0) {
        reason = QStringLiteral("cannot look at %1: %2").arg(shown(path), errorText(errno));
        return false;
    }
    if (privateToUser && !TrashFolders::checkPrivate(st, path, reason))
        return false;
    if (!S_ISDIR(st.st_mode)) {
        reason = QStringLiteral("the trash folder %1 is not a folder").arg(shown(path));
        return false;
    }
    if (!writable(path)) {
        reason = QStringLiteral("the trash folder %1 is not writable").arg(shown(path));
        return false;
    }
    return true;
}

// A trash whose folder is usable and whose files/ and info/ are, or can be made.
QString trashProblem(const QByteArray& trash, const QByteArray& in, bool privateToUser) {
    QString reason;
    if (!folderUsable(trash, in, privateToUser, reason))
        return reason;
    struct stat st {};
    if (::stat(trash.constData(), &st) != 0)
        return {}; // made by the move, with files/ and info/ inside
    for (const char* name : {"/files", "/info"})
        if (!folderUsable(trash + name, trash, privateToUser, reason))
            return reason;
    return {};
}

QString homeProblem(const QByteArray& trash) {
    // Missing folders on the way are made by the move: the nearest one that exists must let it.
    QByteArray existing = trash;
    struct stat st {};
    while (::stat(existing.constData(), &st) != 0 && errno == ENOENT && existing != "/")
        existing = TrashDestination::parentOf(existing);
    if (existing == trash)
        return trashProblem(trash, TrashDestination::parentOf(trash), false);
    return writable(existing) ? QString() : cannotMake(trash, existing);
}

QString topProblem(const QByteArray& top) {
    const QByteArray uid = QByteArray::number(::geteuid());
    // $top/.Trash/$uid when the administrator made .Trash for everyone (sticky), as the move does.
    const QByteArray shared = TrashFolders::withSlash(top) + ".Trash";
    struct stat st {};
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0 && trashProblem(shared + '/' + uid, shared, true).isEmpty())
        return {};
    return trashProblem(TrashFolders::withSlash(top) + ".Trash-" + uid, top, true);
}

} // namespace

struct TrashCheck::State {
    TrashDestination::Destinations destinations;
    QHash<QByteArray, QString> byTrash;  // the verdict for each trash, by its key
    QHash<QByteArray, QString> byFolder; // and for each folder files were asked for
};

TrashCheck::TrashCheck() : m_state(std::make_unique<State>()) {}
TrashCheck::~TrashCheck() = default;

QString TrashCheck::problemFor(const QString& path) {
    TrashDestination::Entry entry;
    TrashResult result;
    if (!TrashDestination::lookBefore(path, entry, result))
        return {}; // nothing to move: the move says what it found
    // The files of one folder share their trash (a file that is a mount point of its own is
    // refused by the move itself).
    if (const auto known = m_state->byFolder.constFind(entry.parent);
        known != m_state->byFolder.cend())
        return *known;
    TrashDestination::Destination to;
    QString problem;
    if (!m_state->destinations.find(entry, to, result)) {
        problem = result.reason;
    } else if (const auto known = m_state->byTrash.constFind(to.key());
               known != m_state->byTrash.cend()) {
        problem = *known;
    } else {
        problem = to.home ? homeProblem(to.homeTrash) : topProblem(to.top);
        if (!problem.isEmpty())
            problem.prepend(to.home ? QStringLiteral("the home trash cannot be used: ")
                                    : to.refusal);
        m_state->byTrash.insert(to.key(), problem);
    }
    m_state->byFolder.insert(entry.parent, problem);
    return problem;
}
