#include "deletion/RunRecord.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace RunRecord {

namespace {

const QString Format = QStringLiteral("thinwick-run 1");
const QString Suffix = QStringLiteral(".json");

QString encoded(const QString& path) {
    return QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

QString decoded(const QJsonValue& value) {
    return QFile::decodeName(QByteArray::fromPercentEncoding(value.toString().toLatin1()));
}

bool isRunName(const QString& name) {
    static const QRegularExpression shape(QStringLiteral("^\\d{8}-\\d{9}-\\d{2}\\.json$"));
    return shape.match(name).hasMatch();
}

QString pathOf(const QString& id) {
    return runsFolder() + QLatin1Char('/') + id + Suffix;
}

QString write(const QString& path, const Run& run) {
    QJsonArray files;
    for (const Entry& entry : run.entries)
        files.append(QJsonObject{{QStringLiteral("from"), encoded(entry.original)},
                                 {QStringLiteral("to"), encoded(entry.trashed)}});
    const QJsonObject root{{QStringLiteral("format"), Format},
                           {QStringLiteral("time"), run.time.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("files"), files}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        return file.errorString();
    return {};
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
    return base + QStringLiteral("/Thinwick/runs");
}

QStringList ids() {
    QStringList names = QDir(runsFolder()).entryList(QDir::Files, QDir::Name | QDir::Reversed);
    QStringList result;
    for (const QString& name : names)
        if (isRunName(name))
            result.append(name.chopped(Suffix.size()));
    return result;
}

QString save(Run& run) {
    const QString folder = runsFolder();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder %1").arg(folder);
    run.time = QDateTime::currentDateTimeUtc();
    const QString stamp = run.time.toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    for (int number = 0; number < 100; ++number) {
        run.id = stamp + QStringLiteral("-%1").arg(number, 2, 10, QLatin1Char('0'));
        if (!QFile::exists(pathOf(run.id)))
            break;
    }
    if (QString error = write(pathOf(run.id), run); !error.isEmpty())
        return error;
    const QStringList all = ids();
    for (qsizetype i = Kept; i < all.size(); ++i)
        QFile::remove(pathOf(all.at(i)));
    return {};
}

QString update(const Run& run) {
    if (run.entries.empty())
        return QFile::remove(pathOf(run.id))
                   ? QString()
                   : QStringLiteral("cannot remove %1").arg(pathOf(run.id));
    return write(pathOf(run.id), run);
}

std::optional<Run> load(const QString& id, QString* reason) {
    auto fail = [reason](const QString& text) -> std::optional<Run> {
        if (reason != nullptr)
            *reason = text;
        return std::nullopt;
    };
    QString wanted = id;
    if (wanted.endsWith(Suffix))
        wanted.chop(Suffix.size());
    if (wanted.isEmpty()) {
        const QStringList all = ids();
        if (all.isEmpty())
            return fail(QStringLiteral("no run is recorded in %1").arg(runsFolder()));
        wanted = all.first();
    } else if (!isRunName(wanted + Suffix)) {
        return fail(QStringLiteral("\"%1\" is not the name of a run").arg(id));
    }
    QFile file(pathOf(wanted));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no run %1 is recorded in %2").arg(wanted, runsFolder()));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || root.value(QStringLiteral("format")) != Format)
        return fail(QStringLiteral("the record %1 cannot be read").arg(file.fileName()));
    Run run;
    run.id = wanted;
    run.time = QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate);
    const QJsonArray files = root.value(QStringLiteral("files")).toArray();
    run.entries.reserve(static_cast<std::size_t>(files.size()));
    for (const auto& value : files) {
        const QJsonObject entry = value.toObject();
        run.entries.push_back({decoded(entry.value(QStringLiteral("from"))),
                               decoded(entry.value(QStringLiteral("to")))});
    }
    return run;
}

Recorder::~Recorder() {
    save();
}

void Recorder::add(const QString& original, const QString& trashed) {
    if (trashed.isEmpty())
        return; // a trash that does not say where the file went: nothing to put back from
    m_run.entries.push_back({QDir::isAbsolutePath(original)
                                 ? original
                                 : QDir::currentPath() + QLatin1Char('/') + original,
                             trashed});
}

QString Recorder::save() {
    if (m_saved || m_run.entries.empty())
        return {};
    m_saved = true;
    return RunRecord::save(m_run);
}

} // namespace RunRecord
