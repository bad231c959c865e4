#include "deletion/RunRecordText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

namespace RunRecord::Text {

namespace {

const QString Format = QStringLiteral("thinwick-run 2");
const QString FormatOne = QStringLiteral("thinwick-run 1");

QString decoded(const QJsonValue& value) {
    return QFile::decodeName(QByteArray::fromPercentEncoding(value.toString().toLatin1()));
}

// Writes a line through a pointer into room the caller made: a run writes one per file, and
// each QByteArray::append checks its room and ends the text anew.
class Writer {
public:
    explicit Writer(char* at) : m_at(at) {}
    [[nodiscard]] char* at() const { return m_at; }
    void put(char c) { *m_at++ = c; }
    void put(std::string_view text) {
        std::memcpy(m_at, text.data(), text.size());
        m_at += text.size();
    }
    // A number in decimal; at most 20 characters.
    template <typename Number> void number(Number value) {
        m_at = std::to_chars(m_at, m_at + 24, value).ptr;
    }
    // The bytes percent-encoded ("/" kept); at most three characters per byte.
    void encoded(const QByteArray& bytes) {
        // The characters QByteArray::toPercentEncoding keeps, and "/"; everything else as %XX.
        static constexpr auto Kept = [] {
            std::array<bool, 256> kept{};
            for (int c = 0; c < 256; ++c)
                kept.at(static_cast<std::size_t>(c)) =
                    (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
            return kept;
        }();
        static constexpr char Hex[] = "0123456789ABCDEF";
        char* to = m_at; // a local pointer: one through `this` would be reloaded per byte
        const char* from = bytes.constData();
        const char* const end = from + bytes.size();
        while (from < end) {
            // A run of bytes kept as they are (mostly the whole path) is copied in one piece.
            const char* run = from;
            while (run < end && Kept[static_cast<unsigned char>(*run)])
                ++run;
            std::memcpy(to, from, static_cast<std::size_t>(run - from));
            to += run - from;
            if (run == end)
                break;
            const auto byte = static_cast<unsigned char>(*run);
            *to++ = '%';
            *to++ = Hex[byte >> 4U];
            *to++ = Hex[byte & 0xFU];
            from = run + 1;
        }
        m_at = to;
    }

private:
    char* m_at;
};

// The room a line needs besides its encoded paths: its keys and six numbers.
constexpr qsizetype LineRoom = 256;

Birth birthOf(const QJsonValue& value) {
    const QJsonArray pair = value.toArray();
    if (pair.size() != 2)
        return {};
    return {static_cast<qint64>(pair.at(0).toDouble()),
            static_cast<quint32>(pair.at(1).toDouble())};
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
    entry.destroyed = object.value(QStringLiteral("destroyed")).toBool();
    entry.folder = idOf(object.value(QStringLiteral("folder")));
    entry.file = idOf(object.value(QStringLiteral("file")));
    entry.folderBorn = birthOf(object.value(QStringLiteral("born")));
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

} // namespace

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path).toPercentEncoding("/");
}

QByteArray quoted(const QByteArray& text) {
    return '"' + text + '"';
}

void appendEncoded(QByteArray& out, const QByteArray& bytes) {
    const qsizetype start = out.size();
    out.resize(start + 3 * bytes.size());
    Writer writer(out.data() + start);
    writer.encoded(bytes);
    out.resize(writer.at() - out.constData());
}

// One entry as a line of JSON, appended to one buffer: a run writes one per file.
void appendEntryLine(QByteArray& out, const QByteArray& original, const QByteArray& trashed,
                     const Entry& ids, const QByteArray& realFolder) {
    const qsizetype start = out.size();
    out.resize(start + 3 * (original.size() + trashed.size() + realFolder.size()) + LineRoom);
    Writer writer(out.data() + start);
    writer.put("{\"from\":\"");
    writer.encoded(original);
    writer.put("\",\"to\":\"");
    writer.encoded(trashed);
    writer.put('"');
    const auto id = [&writer](std::string_view key, const FileId& fileId) {
        if (!fileId.known())
            return;
        writer.put(key);
        writer.number(fileId.device);
        writer.put(',');
        writer.number(fileId.inode);
        writer.put(']');
    };
    id(",\"folder\":[", ids.folder);
    id(",\"file\":[", ids.file);
    if (!realFolder.isEmpty()) {
        writer.put(",\"real\":\"");
        writer.encoded(realFolder);
        writer.put('"');
    }
    if (ids.folderBorn.known()) {
        writer.put(",\"born\":[");
        writer.number(ids.folderBorn.seconds);
        writer.put(',');
        writer.number(ids.folderBorn.nanoseconds);
        writer.put(']');
    }
    writer.put("}\n");
    out.resize(writer.at() - out.constData());
}

QByteArray entryText(const Entry& entry) {
    if (entry.destroyed)
        return "{\"from\":" + quoted(encoded(entry.original)) + ",\"destroyed\":true}\n";
    QByteArray text;
    appendEntryLine(
        text, QFile::encodeName(entry.original), QFile::encodeName(entry.trashed), entry,
        entry.realFolder.isEmpty() ? QByteArray() : QFile::encodeName(entry.realFolder));
    return text;
}

QByteArray headerLine(const QDateTime& time) {
    return "{\"format\":" + quoted(Format.toLatin1()) +
           ",\"time\":" + quoted(time.toString(Qt::ISODateWithMs).toLatin1()) + "}\n";
}

QByteArray recordText(const Run& run) {
    QByteArray text = headerLine(run.time);
    for (const Entry& entry : run.entries)
        text += entryText(entry);
    return text;
}

// A record of format 2: its first line names the format and the time, each further line a moved
// file or a trash folder found moved. A record cut off by a killed run ends in a part of a line,
// or in zero bytes where its journal was not filled yet; both are left out.
bool readLines(QByteArray text, Run& run) {
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(lines.at(i), &error).object();
        if (i == 0) {
            if (error.error != QJsonParseError::NoError ||
                object.value(QStringLiteral("format")).toString() != Format)
                return false;
            run.time =
                QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate);
        } else if (error.error != QJsonParseError::NoError) {
            continue;
        } else if (object.contains(QStringLiteral("moved"))) {
            relocateEntries(run.entries, decoded(object.value(QStringLiteral("moved"))),
                            decoded(object.value(QStringLiteral("now"))));
        } else {
            run.entries.push_back(entryOf(object));
        }
    }
    return true;
}

// A record of format 1: one JSON document.
bool readDocument(const QByteArray& text, Run& run) {
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(text, &error).object();
    if (error.error != QJsonParseError::NoError ||
        root.value(QStringLiteral("format")).toString() != FormatOne)
        return false;
    run.time = QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate);
    const QJsonArray files = root.value(QStringLiteral("files")).toArray();
    run.entries.reserve(static_cast<std::size_t>(files.size()));
    for (const auto& value : files)
        run.entries.push_back(entryOf(value.toObject()));
    return true;
}

} // namespace RunRecord::Text
