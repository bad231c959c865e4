#include "deletion/RunRecord.h"

#include "deletion/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>

namespace RunRecord {

namespace {

const QString Format = QStringLiteral("thinwick-run 2");
const QString FormatOne = QStringLiteral("thinwick-run 1");
const QString JournalFormat = QStringLiteral("thinwick-journal 2");
const QString Suffix = QStringLiteral(".json");
const QString JournalSuffix = QStringLiteral(".journal");
const QString PartSuffix = QStringLiteral(".part");
const QString LockName = QStringLiteral(".lock");
constexpr int NumbersPerMillisecond = 100;
// The start of a record, where its time stands (format 2 writes it before the files).
constexpr qint64 HeaderBytes = 512;

std::function<QDateTime()>& clock() {
    static std::function<QDateTime()> instance;
    return instance;
}

QDateTime now() {
    return clock() ? clock()() : QDateTime::currentDateTimeUtc();
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path).toPercentEncoding("/");
}

QString decoded(const QJsonValue& value) {
    return QFile::decodeName(QByteArray::fromPercentEncoding(value.toString().toLatin1()));
}

bool isRunId(const QString& id) {
    static const QRegularExpression shape(QStringLiteral("^\\d{8}-\\d{9}-\\d{2}$"));
    return shape.match(id).hasMatch();
}

QString pathOf(const QString& id, const QString& suffix = Suffix) {
    return runsFolder() + QLatin1Char('/') + id + suffix;
}

QByteArray quoted(const QByteArray& text) {
    return '"' + text + '"';
}

QByteArray idText(const FileId& id) {
    return '[' + QByteArray::number(id.device) + ',' + QByteArray::number(id.inode) + ']';
}

// One entry as a line of JSON.
QByteArray entryText(const Entry& entry) {
    QByteArray text = "{\"from\":" + quoted(encoded(entry.original)) +
                      ",\"to\":" + quoted(encoded(entry.trashed));
    if (entry.folder.known())
        text += ",\"folder\":" + idText(entry.folder);
    if (entry.file.known())
        text += ",\"file\":" + idText(entry.file);
    if (!entry.realFolder.isEmpty())
        text += ",\"real\":" + quoted(encoded(entry.realFolder));
    return text + '}';
}

FileId idOf(const QJsonValue& value) {
    const QJsonArray pair = value.toArray();
    if (pair.size() != 2)
        return {};
    // Device and inode numbers are written as integers; JSON reads them as doubles, exact to 2^53.
    return {static_cast<quint64>(pair.at(0).toDouble()),
            static_cast<quint64>(pair.at(1).toDouble())};
}

Entry entryOf(const QJsonObject& object) {
    Entry entry;
    entry.original = decoded(object.value(QStringLiteral("from")));
    entry.trashed = decoded(object.value(QStringLiteral("to")));
    entry.folder = idOf(object.value(QStringLiteral("folder")));
    entry.file = idOf(object.value(QStringLiteral("file")));
    if (object.contains(QStringLiteral("real")))
        entry.realFolder = decoded(object.value(QStringLiteral("real")));
    return entry;
}

// Entries said to be in the trash folder `said` are at `now`.
void relocateEntries(std::vector<Entry>& entries, const QString& said, const QString& now) {
    const QString prefix = said + QLatin1Char('/');
    for (Entry& entry : entries)
        if (entry.trashed.startsWith(prefix))
            entry.trashed = now + QLatin1Char('/') + entry.trashed.mid(prefix.size());
}

QByteArray headerText(const QString& format, const QDateTime& time) {
    return "{\"format\":" + quoted(format.toLatin1()) +
           ",\"time\":" + quoted(time.toString(Qt::ISODateWithMs).toLatin1());
}

QByteArray recordText(const Run& run) {
    QByteArray text = headerText(Format, run.time) + ",\"files\":[";
    for (std::size_t i = 0; i < run.entries.size(); ++i)
        text += (i == 0 ? "\n" : ",\n") + entryText(run.entries[i]);
    return text + "\n]}\n";
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

// A file written whole under a name nothing else has, then given its own name, never replacing
// what is there.
QString writeNew(const QString& path, const QByteArray& text) {
    const QString part = path + PartSuffix;
    QFile::remove(part); // one left by a run killed while writing this very record
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return file.errorString();
    if (file.write(text) != text.size() || !file.flush()) {
        const QString error = file.errorString();
        file.remove();
        return error;
    }
    file.close();
    if (!QFile::rename(part, path)) {
        const QString error = QFile::exists(path)
                                  ? QStringLiteral("%1 exists").arg(QDir::toNativeSeparators(path))
                                  : file.errorString();
        QFile::remove(part);
        return error;
    }
    return {};
}

// The time a record gives itself: format 2 at its start, format 1 in its name (which its time
// made).
QDateTime timeOf(const QString& id) {
    for (const QString& suffix : {Suffix, JournalSuffix}) {
        QFile file(pathOf(id, suffix));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        static const QRegularExpression time(QStringLiteral("\"time\":\"([^\"]+)\""));
        const QRegularExpressionMatch match =
            time.match(QString::fromLatin1(file.read(HeaderBytes)));
        if (match.hasMatch())
            return QDateTime::fromString(match.captured(1), Qt::ISODateWithMs);
        break;
    }
    return QDateTime::fromString(id.left(18), QStringLiteral("yyyyMMdd-HHmmsszzz")).toUTC();
}

struct Dated {
    QString id;
    QDateTime time;
};

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
        runs.push_back({id, timeOf(id)});
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

void prune(const QString& keep) {
    // A put-back in progress keeps every record; the next run prunes.
    QLockFile lock(runsFolder() + QLatin1Char('/') + LockName);
    lock.setStaleLockTime(0);
    if (!lock.tryLock())
        return;
    const std::vector<Dated> runs = datedRuns();
    int others = 0;
    for (const Dated& run : runs) {
        if (run.id == keep || others++ < Kept - 1)
            continue;
        QFile::remove(pathOf(run.id));
        QFile::remove(pathOf(run.id, JournalSuffix));
    }
}

} // namespace

QString runsFolder() {
#ifdef Q_OS_WIN
    QString base = qEnvironmentVariable("LOCALAPPDATA");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/AppData/Local");
#else
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!base.startsWith(QLatin1Char('/')))
        base = QDir::homePath() + QStringLiteral("/.local/state");
#endif
    return QDir::cleanPath(base + QStringLiteral("/Thinwick/runs"));
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

QString save(Run& run) {
    Recorder recorder;
    for (const Entry& entry : run.entries)
        recorder.add(entry.original, entry.trashed);
    QString error = recorder.save();
    run.id = recorder.id();
    run.time = recorder.time();
    return error;
}

QString update(const Run& run) {
    if (const QString fault = prepareFolder(false); !fault.isEmpty())
        return fault;
    if (run.entries.empty()) {
        QFile::remove(pathOf(run.id, JournalSuffix));
        if (QFile::exists(pathOf(run.id)) && !QFile::remove(pathOf(run.id)))
            return QStringLiteral("cannot remove %1").arg(pathOf(run.id));
        return {};
    }
    // The new text replaces this run's own record whole or not at all.
    QSaveFile file(pathOf(run.id));
    const QByteArray text = recordText(run);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return file.errorString();
    QFile::setPermissions(pathOf(run.id), QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(pathOf(run.id, JournalSuffix));
    return {};
}

std::optional<Run> load(const QString& id, QString* reason, Access access) {
    auto fail = [reason](const QString& text) -> std::optional<Run> {
        if (reason != nullptr)
            *reason = text;
        return std::nullopt;
    };
    if (const QString fault = prepareFolder(false); !fault.isEmpty())
        return fail(QStringLiteral("the runs folder cannot be trusted: ") + fault);
    std::shared_ptr<QLockFile> lock;
    if (access == Access::PutBack) {
        if (!QFileInfo::exists(runsFolder()))
            return fail(QStringLiteral("no run is recorded in %1").arg(runsFolder()));
        lock = std::make_shared<QLockFile>(runsFolder() + QLatin1Char('/') + LockName);
        lock->setStaleLockTime(0);
        if (!lock->lock())
            return fail(
                QStringLiteral("cannot take the lock of the runs folder %1").arg(runsFolder()));
    }
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
    Run run;
    run.id = wanted;
    run.lock = lock;
    QFile file(pathOf(wanted));
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error{};
        const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
        const QString format = root.value(QStringLiteral("format")).toString();
        if (error.error != QJsonParseError::NoError || (format != Format && format != FormatOne))
            return fail(QStringLiteral("the record %1 cannot be read").arg(file.fileName()));
        run.time =
            QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate);
        const QJsonArray files = root.value(QStringLiteral("files")).toArray();
        run.entries.reserve(static_cast<std::size_t>(files.size()));
        for (const auto& value : files)
            run.entries.push_back(entryOf(value.toObject()));
        return run;
    }
    // A run cut short: its journal, line by line; a last line cut off in the middle is skipped.
    QFile journal(pathOf(wanted, JournalSuffix));
    if (!journal.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no run %1 is recorded in %2").arg(wanted, runsFolder()));
    run.finished = false;
    const QList<QByteArray> lines = journal.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(lines.at(i), &error).object();
        if (error.error != QJsonParseError::NoError)
            continue;
        if (i == 0) {
            if (object.value(QStringLiteral("format")).toString() != JournalFormat)
                return fail(QStringLiteral("the record %1 cannot be read").arg(journal.fileName()));
            run.time =
                QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate);
        } else if (object.contains(QStringLiteral("moved"))) {
            relocateEntries(run.entries, decoded(object.value(QStringLiteral("moved"))),
                            decoded(object.value(QStringLiteral("now"))));
        } else {
            run.entries.push_back(entryOf(object));
        }
    }
    return run;
}

// The run's journal: open from the first moved file to the end of the run.
struct Recorder::Journal {
    QFile file;
    QString error;
    // The folders files left, by path: their identity and resolved path, looked up once each.
    QHash<QString, std::pair<FileId, QString>> folders;
};

Recorder::Recorder() : m_journal(std::make_unique<Journal>()) {}

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
    if (trashed.isEmpty())
        return; // a trash that does not say where the file went: nothing to put back from
    Entry entry;
    entry.original = QDir::cleanPath(QDir::isAbsolutePath(original)
                                         ? original
                                         : QDir::currentPath() + QLatin1Char('/') + original);
    entry.trashed = trashed;
    const QString folder = QFileInfo(entry.original).path();
    auto known = m_journal->folders.find(folder);
    if (known == m_journal->folders.end()) {
        QString real = QFileInfo(folder).canonicalFilePath();
        known = m_journal->folders.insert(
            folder, {identityOf(folder, true), real == folder ? QString() : real});
    }
    entry.folder = known->first;
    entry.realFolder = known->second;
    entry.file = identityOf(trashed, false);
    if (m_run.entries.empty()) {
        // The first moved file opens the journal under a fresh id: no record of another run is
        // ever written over, even by a run started in the same millisecond.
        m_journal->error = prepareFolder(true);
        m_run.time = now();
        const QString stamp = m_run.time.toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
        for (int number = 0; m_journal->error.isEmpty() && number < NumbersPerMillisecond;
             ++number) {
            m_run.id = stamp + QStringLiteral("-%1").arg(number, 2, 10, QLatin1Char('0'));
            m_journal->file.setFileName(pathOf(m_run.id, JournalSuffix));
            if (!m_journal->file.open(QIODevice::WriteOnly | QIODevice::NewOnly |
                                          QIODevice::Unbuffered,
                                      QFile::ReadOwner | QFile::WriteOwner))
                continue;
            // The finished record is made before its journal goes, so a free journal name with a
            // record beside it is still taken.
            if (QFile::exists(pathOf(m_run.id))) {
                m_journal->file.close();
                continue;
            }
            break;
        }
        if (m_journal->error.isEmpty() && !m_journal->file.isOpen())
            m_journal->error = QStringLiteral("no free name for the record in %1: %2")
                                   .arg(runsFolder(), m_journal->file.errorString());
        if (m_journal->file.isOpen())
            m_journal->file.write(headerText(JournalFormat, m_run.time) + "}\n");
    }
    if (m_journal->file.isOpen() && m_journal->error.isEmpty() &&
        m_journal->file.write(entryText(entry) + '\n') < 0)
        m_journal->error = m_journal->file.errorString();
    m_run.entries.push_back(std::move(entry));
}

void Recorder::relocate(const QString& said, const QString& now) {
    if (now.isEmpty() || said == now)
        return;
    relocateEntries(m_run.entries, said, now);
    if (m_journal->file.isOpen() && m_journal->error.isEmpty() &&
        m_journal->file.write("{\"moved\":" + quoted(encoded(said)) +
                              ",\"now\":" + quoted(encoded(now)) + "}\n") < 0)
        m_journal->error = m_journal->file.errorString();
}

QString Recorder::save() {
    if (m_saved || m_run.entries.empty())
        return {};
    m_saved = true;
    if (!m_journal->error.isEmpty())
        return m_journal->error;
    QString error = writeNew(pathOf(m_run.id), recordText(m_run));
    m_journal->file.close();
    if (!error.isEmpty())
        return error; // the journal stays: the run can still be put back from it
    m_journal->file.remove();
    prune(m_run.id);
    return {};
}

} // namespace RunRecord
