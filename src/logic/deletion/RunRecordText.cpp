#include "deletion/RunRecordText.h"

#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace RunRecord::Text {

namespace {

const QString Format = QStringLiteral("thinwick-run 3");
const QString FormatTwo = QStringLiteral("thinwick-run 2");
const QString FormatOne = QStringLiteral("thinwick-run 1");
// The largest whole number a JSON number (a double) holds exactly.
constexpr double ExactInDouble = 9007199254740992.0; // 2^53

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

// A whole number from 0 to `most`: a decimal string (format 3), or a JSON number (format 2) that
// a double holds exactly. No value for anything else (negative, a fraction, too big, not digits).
std::optional<quint64> wholeOf(const QJsonValue& value, quint64 most) {
    quint64 number = 0;
    if (value.isString()) {
        const QByteArray digits = value.toString().toLatin1();
        const char* end = digits.constData() + digits.size();
        if (digits.isEmpty() || digits.size() > 20 || digits.at(0) < '0' || digits.at(0) > '9')
            return std::nullopt;
        const auto [at, error] = std::from_chars(digits.constData(), end, number);
        if (error != std::errc() || at != end)
            return std::nullopt;
    } else if (value.isDouble()) {
        const double real = value.toDouble();
        // Written the other way round, a NaN would pass.
        if (!(real >= 0 && real < ExactInDouble) || real != std::floor(real))
            return std::nullopt;
        number = static_cast<quint64>(real);
    } else {
        return std::nullopt;
    }
    if (number > most)
        return std::nullopt;
    return number;
}

// A pair of whole numbers; an absent key reads as zeros, anything else not a pair of whole
// numbers marks the entry damaged.
std::optional<std::pair<quint64, quint64>> pairOf(const QJsonValue& value, quint64 firstMost,
                                                  quint64 secondMost) {
    if (value.isUndefined())
        return std::pair<quint64, quint64>{0, 0};
    const QJsonArray pair = value.toArray();
    if (pair.size() != 2)
        return std::nullopt;
    const std::optional<quint64> first = wholeOf(pair.at(0), firstMost);
    const std::optional<quint64> second = wholeOf(pair.at(1), secondMost);
    if (!first || !second)
        return std::nullopt;
    return std::pair{*first, *second};
}

Entry entryOf(const QJsonObject& object) {
    Entry entry;
    entry.original = decoded(object.value(QStringLiteral("from")));
    entry.trashed = decoded(object.value(QStringLiteral("to")));
    constexpr quint64 Any = std::numeric_limits<quint64>::max();
    const auto folder = pairOf(object.value(QStringLiteral("folder")), Any, Any);
    const auto file = pairOf(object.value(QStringLiteral("file")), Any, Any);
    const auto born = pairOf(object.value(QStringLiteral("born")),
                             std::numeric_limits<qint64>::max(), 999'999'999);
    if (!folder || !file || !born || entry.original.isEmpty()) {
        entry.damaged = true;
        return entry;
    }
    entry.folder = {folder->first, folder->second};
    entry.file = {file->first, file->second};
    entry.folderBorn = {static_cast<qint64>(born->first), static_cast<quint32>(born->second)};
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
    // Device and inode as decimal strings: a JSON number is read as a double, exact only to 2^53,
    // and inode numbers on some file systems start at 2^63.
    const auto id = [&writer](std::string_view key, const FileId& fileId) {
        if (!fileId.known())
            return;
        writer.put(key);
        writer.put('"');
        writer.number(fileId.device);
        writer.put("\",\"");
        writer.number(fileId.inode);
        writer.put("\"]");
    };
    id(",\"folder\":[", ids.folder);
    id(",\"file\":[", ids.file);
    if (!realFolder.isEmpty()) {
        writer.put(",\"real\":\"");
        writer.encoded(realFolder);
        writer.put('"');
    }
    if (ids.folderBorn.known()) {
        writer.put(",\"born\":[\"");
        writer.number(ids.folderBorn.seconds);
        writer.put("\",");
        writer.number(ids.folderBorn.nanoseconds);
        writer.put(']');
    }
    writer.put("}\n");
    out.resize(writer.at() - out.constData());
}

QByteArray entryText(const Entry& entry) {
    QByteArray text;
    appendEntryLine(
        text, QFile::encodeName(entry.original), QFile::encodeName(entry.trashed), entry,
        entry.realFolder.isEmpty() ? QByteArray() : QFile::encodeName(entry.realFolder));
    return text;
}

QByteArray headerLine(const Run& run) {
    QByteArray line = "{\"format\":" + quoted(Format.toLatin1()) +
                      ",\"time\":" + quoted(run.time.toString(Qt::ISODateWithMs).toLatin1());
    if (run.number != 0)
        line += ",\"number\":" + QByteArray::number(run.number);
    if (!run.origin.isEmpty())
        line += ",\"origin\":" + quoted(run.origin.toUtf8());
    return line + "}\n";
}

bool readHeader(const QByteArray& line, Run& run) {
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    const QString format = object.value(QStringLiteral("format")).toString();
    if (error.error != QJsonParseError::NoError || (format != Format && format != FormatTwo))
        return false;
    run.time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate);
    // Numbers are given one by one from 1: a double holds them exactly.
    run.number =
        wholeOf(object.value(QStringLiteral("number")), static_cast<quint64>(ExactInDouble))
            .value_or(0);
    run.origin = object.value(QStringLiteral("origin")).toString();
    return true;
}

QByteArray recordText(const Run& run) {
    QByteArray text = headerLine(run);
    for (const Entry& entry : run.entries)
        text += entry.damaged ? entry.line : entryText(entry);
    return text;
}

// A record of format 2 or 3, read line by line: its first line names the format and the time,
// each further line a moved file or a trash folder found moved. A record cut off by a killed run
// ends in a part of a line, or in zero bytes where its journal was not filled yet; both are left
// out. A whole line that cannot be read is kept as a damaged entry.
Read readLines(QIODevice& device, Run& run, QString& fault,
               const std::function<bool(const Entry&)>& enough) {
    // One buffer for every line: a line longer than it is none that a run writes, and is not read
    // further.
    std::vector<char> buffer(static_cast<std::size_t>(LongestLine) + 2);
    const auto room = static_cast<qint64>(buffer.size());
    bool headed = false;
    for (qint64 number = 1;; ++number) {
        const qint64 length = device.readLine(buffer.data(), room);
        if (length <= 0)
            break;
        if (buffer[static_cast<std::size_t>(length) - 1] != '\n') {
            if (length < room - 1)
                break; // the last line, cut short
            if (number == 1)
                return Read::NotLines; // perhaps a record of format 1, one document
            fault = QStringLiteral("line %1 is longer than any line a run writes").arg(number);
            return Read::Damaged;
        }
        const QByteArray line = QByteArray::fromRawData(buffer.data(), length - 1);
        if (line.contains('\0'))
            break; // the journal's room not filled yet
        if (number == 1) {
            if (!readHeader(line, run))
                return Read::NotLines;
            headed = true;
            continue;
        }
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        if (error.error == QJsonParseError::NoError && object.contains(QStringLiteral("moved"))) {
            relocateEntries(run.entries, decoded(object.value(QStringLiteral("moved"))),
                            decoded(object.value(QStringLiteral("now"))));
            continue;
        }
        Entry entry;
        if (error.error == QJsonParseError::NoError)
            entry = entryOf(object);
        else
            entry.damaged = true;
        if (entry.damaged)
            entry.line = QByteArray(line.constData(), line.size()) + '\n';
        run.entries.push_back(std::move(entry));
        if (enough && enough(run.entries.back()))
            break;
    }
    return headed ? Read::Record : Read::NotLines;
}

// A record of format 1: one JSON document.
bool readDocument(const QByteArray& text, Run& run) {
    run.origin.clear();
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
