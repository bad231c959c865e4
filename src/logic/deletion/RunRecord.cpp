#include "deletion/RunRecord.h"

#include "common/UserFolders.h"
#include "deletion/FileIdentity.h"
#include "deletion/RunRecordText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <utility>

namespace RunRecord {

namespace {

const QString Suffix = QStringLiteral(".json");
const QString JournalSuffix = QStringLiteral(".journal");
// Held by a put-back of the run, and by the trash run while its journal is open.
const QString LockSuffix = QStringLiteral(".lock");
const QString RunningSuffix = QStringLiteral(".running");
// The last number given to a run, and (with LockSuffix) its lock.
const QString CounterName = QStringLiteral("last-number");
constexpr int NumbersPerMillisecond = 100;
// The largest record of format 1 (one JSON document, read whole) that is read.
constexpr qint64 LargestDocument = qint64{256} * 1024 * 1024;
// The start of a record, where its time stands (format 2 writes it before the files).
constexpr qint64 HeaderBytes = 512;

std::function<QDateTime()>& clock() {
    static std::function<QDateTime()> instance;
    return instance;
}

QDateTime now() {
    return clock() ? clock()() : QDateTime::currentDateTimeUtc();
}

// yyyyMMdd-HHmmsszzz-NN, in ASCII digits. Checked by hand: a pattern would be compiled on the
// first run of each process, which costs a short run more than its files.
bool isRunId(const QString& id) {
    static constexpr char Shape[] = "dddddddd-ddddddddd-dd";
    if (id.size() != static_cast<qsizetype>(sizeof Shape) - 1)
        return false;
    for (qsizetype i = 0; i < id.size(); ++i) {
        const char16_t c = id.at(i).unicode();
        if (Shape[i] == 'd' ? (c < u'0' || c > u'9') : c != u'-')
            return false;
    }
    return true;
}

QString pathOf(const QString& id, const QString& suffix = Suffix) {
    return runsFolder() + QLatin1Char('/') + id + suffix;
}

// Why a folder of the runs path is not the user's own, empty when it is.
QString folderFault(const QFileInfo& info, bool stickyAllowed) {
    const QString path = QDir::toNativeSeparators(info.filePath());
    if (info.isSymLink())
        return QStringLiteral("the folder %1 is a symbolic link, which is not followed").arg(path);
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(path);
    return ownershipFault(info.filePath(), stickyAllowed);
}

// The runs folder, made (0700, its missing parents too) when `make`; the reason when it is not
// the user's own. Folders of the last release, made 0755, are closed to others.
QString prepareFolder(bool make) {
    const QString folder = runsFolder();
    QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        if (!make)
            return {};
        const QString parent = info.absolutePath();
        if (!QDir().mkpath(parent))
            return QStringLiteral("cannot make the folder %1")
                .arg(QDir::toNativeSeparators(parent));
        if (!QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
            !QFileInfo(folder).isDir())
            return QStringLiteral("cannot make the folder %1")
                .arg(QDir::toNativeSeparators(folder));
        info = QFileInfo(folder);
    }
    // The folder above too: who may rename in it may swap the runs folder. One of the user's
    // own is closed to others (a umask of 002 makes it group-writable).
    closeToOthers(info.absolutePath());
    if (QString fault = folderFault(QFileInfo(info.absolutePath()), true); !fault.isEmpty())
        return fault;
    if (QString fault = folderFault(info, false); !fault.isEmpty())
        return fault;
    closeToOthers(folder);
    return {};
}

// What a record says of itself at its start: format 2 and 3 their time (and 3 the run's number)
// in the first line; format 1 its time in its name, which its time made.
struct Dated {
    QString id;
    QDateTime time;
    quint64 number = 0;
};

Dated datedRun(const QString& id) {
    Dated dated{id, {}, 0};
    for (const QString& suffix : {Suffix, JournalSuffix}) {
        QFile file(pathOf(id, suffix));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray start = file.read(HeaderBytes);
        Run run;
        if (Text::readHeader(start.left(start.indexOf('\n')), run)) {
            dated.time = run.time;
            dated.number = run.number;
            return dated;
        }
        break;
    }
    dated.time = QDateTime::fromString(id.left(18), QStringLiteral("yyyyMMdd-HHmmsszzz")).toUTC();
    return dated;
}

// Every recorded run, newest first; a run dated in the future counts as the oldest.
std::vector<Dated> datedRuns() {
    QStringList names = QDir(runsFolder()).entryList(QDir::Files);
    std::vector<Dated> runs;
    QSet<QString> seen;
    for (const QString& name : names) {
        QString id = name;
        if (id.endsWith(Suffix))
            id.chop(Suffix.size());
        else if (id.endsWith(JournalSuffix))
            id.chop(JournalSuffix.size());
        if (!isRunId(id) || seen.contains(id))
            continue;
        seen.insert(id);
        runs.push_back(datedRun(id));
    }
    const QDateTime limit = now().addSecs(60);
    std::sort(runs.begin(), runs.end(), [&limit](const Dated& a, const Dated& b) {
        const bool aFuture = a.time > limit;
        const bool bFuture = b.time > limit;
        if (aFuture != bFuture)
            return bFuture;
        if (a.time != b.time)
            return a.time > b.time;
        return a.id > b.id;
    });
    return runs;
}

// The next run's number, taken under the counter's lock: one more than both the last number given
// and the highest in any record, so a counter lost or reset never gives a number twice. Zero, and
// the reason, when the counter cannot be kept.
quint64 takeNumber(QString& error) {
    QLockFile lock(runsFolder() + QLatin1Char('/') + CounterName + LockSuffix);
    lock.setStaleLockTime(0);
    if (!lock.lock()) {
        error = QStringLiteral("cannot take the lock of the run counter in %1")
                    .arg(QDir::toNativeSeparators(runsFolder()));
        return 0;
    }
    const QString path = runsFolder() + QLatin1Char('/') + CounterName;
    quint64 last = 0;
    QFile counter(path);
    if (counter.open(QIODevice::ReadOnly))
        last = counter.read(32).trimmed().toULongLong();
    counter.close();
    for (const Dated& run : datedRuns())
        last = std::max(last, run.number);
    const quint64 next = last + 1;
    QSaveFile file(path);
    const QByteArray text = QByteArray::number(next) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("cannot write the run counter %1: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return 0;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return next;
}

// Whether another process holds the lock file (a lock left by a process that is gone is taken
// and removed).
bool heldElsewhere(const QString& path) {
    QLockFile lock(path);
    lock.setStaleLockTime(0);
    return !lock.tryLock(0) && lock.error() == QLockFile::LockFailedError;
}

// Reads the run's record (its journal for a run cut short) into run; false, and why, when there
// is none or it cannot be read. `enough` as Text::readLines has it.
bool readRecord(const QString& id, Run& run, QString& why,
                const std::function<bool(const Entry&)>& enough = {}) {
    QFile file(pathOf(id));
    if (!file.open(QIODevice::ReadOnly)) {
        file.setFileName(pathOf(id, JournalSuffix));
        if (!file.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("no run %1 is recorded in %2")
                      .arg(id, QDir::toNativeSeparators(runsFolder()));
            return false;
        }
        run.finished = false;
    }
    const QString name = QDir::toNativeSeparators(file.fileName());
    QString fault;
    switch (Text::readLines(file, run, fault, enough)) {
    case Text::Read::Record:
        return true;
    case Text::Read::Damaged:
        why = QStringLiteral("the record %1 is damaged: %2").arg(name, fault);
        return false;
    case Text::Read::NotLines:
        break;
    }
    // Format 1, one document, is read whole: no record of that format is larger.
    if (file.size() <= LargestDocument && file.seek(0) && Text::readDocument(file.readAll(), run))
        return true;
    why = QStringLiteral("the record %1 cannot be read").arg(name);
    return false;
}

// Whether a file of the run may still be in the trash: one whose entry is there, or whose place
// in the trash is not known (the Recycle Bin), or whose line cannot be read. A record that
// cannot be read counts as holding files.
bool holdsFilesInTrash(const QString& id) {
    Run run;
    QString why;
    const auto inTrash = [](const Entry& entry) {
        if (entry.damaged || entry.trashed.isEmpty())
            return true;
        const QFileInfo info(entry.trashed);
        return info.exists() || info.isSymLink();
    };
    if (!readRecord(id, run, why, inTrash))
        return true;
    return !run.entries.empty() && inTrash(run.entries.back());
}

void prune(const QString& keep) {
    // The newest Kept runs stay; older ones stay while a file of theirs is in the trash, up to
    // MostKept records. A run being put back, or still moving files, keeps its record; the next
    // run prunes.
    const std::vector<Dated> runs = datedRuns();
    int kept = 0;
    for (const Dated& run : runs) {
        if (run.id == keep || kept < Kept) {
            ++kept;
            continue;
        }
        if (kept < MostKept && holdsFilesInTrash(run.id)) {
            ++kept;
            continue;
        }
        QLockFile lock(pathOf(run.id, LockSuffix));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0) || heldElsewhere(pathOf(run.id, RunningSuffix)))
            continue;
        QFile::remove(pathOf(run.id));
        QFile::remove(pathOf(run.id, JournalSuffix));
    }
}

} // namespace

QString runsFolder() {
    return UserFolders::stateHome() + QStringLiteral("/Thinwick/runs");
}

QString runsFolderFault() {
    return prepareFolder(false);
}

void setClock(std::function<QDateTime()> clock) {
    RunRecord::clock() = std::move(clock);
}

QStringList ids() {
    if (!runsFolderFault().isEmpty())
        return {};
    QStringList result;
    for (const Dated& run : datedRuns())
        result.append(run.id);
    return result;
}

bool stillMoving(const QString& id) {
    return isRunId(id) && heldElsewhere(pathOf(id, RunningSuffix));
}

QString idNumbered(quint64 number) {
    if (number == 0 || !runsFolderFault().isEmpty())
        return {};
    for (const Dated& run : datedRuns())
        if (run.number == number)
            return run.id;
    return {};
}

QString save(Run& run) {
    Recorder recorder;
    if (!run.origin.isEmpty())
        recorder.setOrigin(run.origin);
    for (const Entry& entry : run.entries)
        recorder.add(entry.original, entry.trashed);
    QString error = recorder.save();
    run.id = recorder.id();
    run.time = recorder.time();
    run.number = recorder.number();
    return error;
}

QString update(const Run& run) {
    if (QString fault = prepareFolder(false); !fault.isEmpty())
        return fault;
    if (run.entries.empty()) {
        QFile::remove(pathOf(run.id, JournalSuffix));
        if (QFile::exists(pathOf(run.id)) && !QFile::remove(pathOf(run.id)))
            return QStringLiteral("cannot remove %1").arg(pathOf(run.id));
        return {};
    }
    // The new text replaces this run's own record whole or not at all.
    QSaveFile file(pathOf(run.id));
    const QByteArray text = Text::recordText(run);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return file.errorString();
    QFile::setPermissions(pathOf(run.id), QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(pathOf(run.id, JournalSuffix));
    return {};
}

std::optional<Run> load(const QString& id, QString* reason, Access access,
                        const std::function<void()>& waiting) {
    auto fail = [reason](const QString& text) -> std::optional<Run> {
        if (reason != nullptr)
            *reason = text;
        return std::nullopt;
    };
    if (const QString fault = prepareFolder(false); !fault.isEmpty())
        return fail(QStringLiteral("the runs folder cannot be trusted: ") + fault);
    QString wanted = id;
    if (wanted.endsWith(Suffix))
        wanted.chop(Suffix.size());
    if (wanted.isEmpty()) {
        const std::vector<Dated> all = datedRuns();
        if (all.empty())
            return fail(QStringLiteral("no run is recorded in %1").arg(runsFolder()));
        wanted = all.front().id;
    } else if (!isRunId(wanted)) {
        return fail(QStringLiteral("\"%1\" is not the name of a run").arg(id));
    }
    std::shared_ptr<QLockFile> lock;
    if (access == Access::PutBack) {
        // Another put-back of the run is waited for, and said to be; only then is the run looked
        // at, so two put-backs never take each other's look for a run still moving files.
        lock = std::make_shared<QLockFile>(pathOf(wanted, LockSuffix));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (waiting)
                waiting();
            if (!lock->lock())
                return fail(QStringLiteral("cannot take the lock of the run %1 in %2")
                                .arg(wanted, runsFolder()));
        }
        // A run still moving files is not put back under its feet.
        if (heldElsewhere(pathOf(wanted, RunningSuffix)))
            return fail(QStringLiteral("the run %1 is still moving files to the trash; put it "
                                       "back once it has ended")
                            .arg(wanted));
    }
    Run run;
    run.id = wanted;
    run.lock = lock;
    QString why;
    if (!readRecord(wanted, run, why))
        return fail(why);
    return run;
}

// The run's journal, open from the reservation (or the first moved file) to the end of the run.
// Each line is written to the file at once, so what is written is in the file even when the
// process is killed the next moment. The room for the lines is reserved from the file system
// ahead (zero bytes past the last line until the end of the run cuts them off): a full disk is
// found when the room is asked for, before the file whose line would not fit is moved.
struct Recorder::Journal {
    static constexpr qint64 FirstSize = qint64{256} * 1024;
    QFile file;
    qint64 size = 0; // the room reserved
    qint64 used = 0;
    QString error;
    bool lost = false;    // a line could not be written: the journal misses a moved file
    bool opened = false;  // open() was called
    bool created = false; // and made the journal file, which is this run's
    // Held while the journal is open: put-back leaves a run that is still going alone.
    std::unique_ptr<QLockFile> running;
    // The line being written, its room kept from file to file.
    QByteArray line;
    // The folders files left, by path: their identity and resolved path, looked up once each.
    QHash<QString, std::pair<FileId, QString>> folders;

    // Room for `bytes` more, reserved when it is not yet; false (and the reason) when the file
    // system cannot give it.
    bool roomFor(qint64 bytes) {
        if (!error.isEmpty() || !file.isOpen())
            return false;
        if (used + bytes <= size)
            return true;
        const qint64 newSize = std::max(size * 2, used + bytes);
        if (const QString fault = reserveRoom(file, newSize); !fault.isEmpty()) {
            error = QStringLiteral("no room for the record in %1: %2")
                        .arg(QDir::toNativeSeparators(runsFolder()), fault);
            return false;
        }
        size = newSize;
        return true;
    }
    bool writeAt(qint64 at, const char* data, qint64 length) {
        if (!file.seek(at) || file.write(data, length) != length) {
            error = file.errorString();
            return false;
        }
        return true;
    }
    void append(const QByteArray& text) {
        if (!roomFor(text.size()) || !writeAt(used, text.constData(), text.size())) {
            lost = true;
            return;
        }
        used += text.size();
    }
    // What was written from `at` on is taken back.
    void rewind(qint64 at) {
        if (!file.isOpen() || at > used)
            return;
        const QByteArray zeros(used - at, '\0');
        if (writeAt(at, zeros.constData(), zeros.size()))
            used = at;
    }
    // The journal cut to what was written, and closed.
    void close() {
        if (!file.isOpen())
            return;
        if (!file.resize(used) && error.isEmpty())
            error = file.errorString();
        file.close();
    }
};

Recorder::Recorder() : m_journal(std::make_unique<Journal>()) {
    m_run.origin = FromWindow;
}

Recorder::~Recorder() {
    save();
}

QString Recorder::id() const {
    return m_run.id;
}

QDateTime Recorder::time() const {
    return m_run.time;
}

void Recorder::add(const QString& original, const QString& trashed) {
    // A trash that does not say where the file went (the Recycle Bin) records it without that:
    // the run counts it, and putting it back says where to restore it from.
    Entry entry;
    entry.original = QDir::cleanPath(QDir::isAbsolutePath(original)
                                         ? original
                                         : QDir::currentPath() + QLatin1Char('/') + original);
    entry.trashed = trashed;
    const QString folder =
        entry.original.left(std::max<qsizetype>(entry.original.lastIndexOf(QLatin1Char('/')), 1));
    auto known = m_journal->folders.find(folder);
    if (known == m_journal->folders.end()) {
        QString real = QFileInfo(folder).canonicalFilePath();
        known = m_journal->folders.insert(
            folder, {identityOf(folder, true), real == folder ? QString() : real});
    }
    entry.folder = known->first;
    entry.realFolder = known->second;
    entry.file = identityOf(trashed, false);
    if (!m_journal->opened)
        open();
    ++m_count;
    m_journal->append(Text::entryText(entry));
}

void Recorder::addDestroyed(const QString& original) {
    if (!m_journal->opened)
        open();
    ++m_destroyed;
    Entry entry;
    entry.original = QDir::cleanPath(QDir::isAbsolutePath(original)
                                         ? original
                                         : QDir::currentPath() + QLatin1Char('/') + original);
    entry.destroyed = true;
    m_journal->append(Text::entryText(entry));
}

void Recorder::aboutToMove(const MoveNotice& notice) {
    Journal& journal = *m_journal;
    if (!journal.opened)
        open();
    Entry ids;
    ids.folder = {notice.folder.device, notice.folder.inode};
    ids.folderBorn = {notice.folder.bornSeconds, notice.folder.bornNanoseconds};
    ids.file = {notice.device, notice.inode};
    journal.line.resize(0);
    Text::appendEntryLine(journal.line, notice.original, notice.trashed, ids, notice.folder.real);
    m_toldAt = journal.used;
    journal.append(journal.line);
    m_told = true;
}

void Recorder::notMoved() {
    if (std::exchange(m_told, false))
        m_journal->rewind(m_toldAt);
}

bool Recorder::takeTold() {
    if (!std::exchange(m_told, false))
        return false;
    ++m_count;
    return true;
}

void Recorder::open() {
    // The first moved file opens the journal under a fresh id: no record of another run is ever
    // written over, even by a run started in the same millisecond.
    Journal& journal = *m_journal;
    journal.opened = true;
    journal.error = prepareFolder(true);
    if (journal.error.isEmpty())
        m_run.number = takeNumber(journal.error);
    m_run.time = now();
    const QString stamp = m_run.time.toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    for (int number = 0; journal.error.isEmpty() && number < NumbersPerMillisecond; ++number) {
        m_run.id = stamp + QStringLiteral("-%1").arg(number, 2, 10, QLatin1Char('0'));
        journal.file.setFileName(pathOf(m_run.id, JournalSuffix));
        if (!journal.file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered,
                               QFile::ReadOwner | QFile::WriteOwner))
            continue;
        // A journal becomes its record by a rename, so a free journal name with a record beside
        // it is still taken.
        if (!QFile::exists(pathOf(m_run.id)))
            break;
        journal.file.remove();
    }
    if (journal.error.isEmpty() && !journal.file.isOpen())
        journal.error = QStringLiteral("no free name for the record in %1: %2")
                            .arg(runsFolder(), journal.file.errorString());
    if (!journal.file.isOpen())
        return;
    journal.created = true;
    journal.running = std::make_unique<QLockFile>(pathOf(m_run.id, RunningSuffix));
    journal.running->setStaleLockTime(0);
    journal.running->tryLock(0);
    if (journal.roomFor(Journal::FirstSize))
        journal.append(Text::headerLine(m_run));
    if (!journal.error.isEmpty()) {
        // No record at all: the journal goes, and the error says why.
        journal.file.close();
        journal.file.remove();
        journal.created = false;
        journal.running.reset();
    }
}

QString Recorder::reserve() {
    if (!m_journal->opened)
        open();
    return m_journal->error;
}

bool Recorder::roomFor(const QString& path) {
    Journal& journal = *m_journal;
    if (!journal.opened)
        open();
    // A run whose record could not be begun goes on unrecorded (its error says why); one that
    // is being recorded moves a file only when its line has room.
    if (!journal.file.isOpen())
        return true;
    // Three paths of at most PATH_MAX bytes besides the file's own, percent-encoded.
    constexpr qint64 PathMax = 4096;
    const qint64 line = 3 * (3 * QFile::encodeName(path).size() + 2 * PathMax) + 256;
    return journal.roomFor(line);
}

QString Recorder::error() const {
    return m_journal->error;
}

void Recorder::relocate(const QString& said, const QString& now) {
    if (now.isEmpty() || said == now || m_count == 0)
        return;
    m_journal->append("{\"moved\":" + Text::quoted(Text::encoded(said)) +
                      ",\"now\":" + Text::quoted(Text::encoded(now)) + "}\n");
}

QString Recorder::save() {
    if (m_saved)
        return {};
    m_saved = true;
    Journal& journal = *m_journal;
    journal.close();
    if (m_count == 0 && m_destroyed == 0) {
        // Every move told was taken back: no record.
        if (journal.created)
            QFile::remove(pathOf(m_run.id, JournalSuffix));
        journal.running.reset();
        return {};
    }
    // A journal that missed a line is left as it is (what it holds can still be put back); one that
    // only ran out of room for more files names every file moved, and becomes the record.
    if (journal.lost)
        return journal.error;
    // The journal becomes the record, never replacing another; then the run is over.
    const bool named = QFile::rename(pathOf(m_run.id, JournalSuffix), pathOf(m_run.id));
    journal.running.reset();
    if (!named)
        return QStringLiteral("cannot name the record %1").arg(pathOf(m_run.id));
    prune(m_run.id);
    return {};
}

} // namespace RunRecord
