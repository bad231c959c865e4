#include "Paths.h"

#include "Controls.h"
#include "Dialogs.h"
#include "ErrorReport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUtf8StringView>
#include <algorithm>

namespace Main {

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    return QFileInfo(path).lastModified().isValid();
}

QString FileNameOf(const QString& path, QChar separator) {
    const qsizetype k = path.lastIndexOf(separator);
    return k < 0 ? path : path.mid(k + 1);
}

bool IsFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

namespace {

QString collapseDoubled(QStringView text, QChar separator) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result.append(text[i]);
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i; // the pair becomes one separator; the pass goes on after the pair
    }
    return result;
}

} // namespace

QString NormalizeFolderPath(const QString& path, QChar separator) {
    // Only the backslash form has network paths ("\\server\share") whose leading pair must stay;
    // with "/" a leading run is collapsed like any other.
    if (separator != QLatin1Char('\\') || path.isEmpty() || path.front() != separator)
        return collapseDoubled(path, separator);
    qsizetype k = 1;
    while (k < path.size() && path[k] == separator)
        ++k;
    return QString(2, separator) + collapseDoubled(QStringView(path).mid(k), separator);
}

QString terminatedFolderPath(const QString& path, QChar separator) {
    QString terminated = NormalizeFolderPath(path, separator);
    if (!path.endsWith(separator))
        terminated += separator;
    return terminated;
}

QStringList SplitListLines(const QString& text) {
    QStringList rows;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            rows.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < size && text[i + 1] == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < size)
        rows.append(text.mid(start));
    return rows;
}

bool listFileHeadIsText(QByteArrayView head) {
    head = head.first(std::min(head.size(), ListFileHeadSize));
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return true;
    return !head.contains('\0');
}

QString fromWindows1252(QByteArrayView bytes) {
    // 0x80 to 0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned and keep their own value.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = (value >= 0x80 && value < 0xA0) ? QChar(high[value - 0x80]) : QChar(value);
    }
    return text;
}

namespace {

std::optional<QString> fromUtf16(QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
        const auto second = static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]));
        *out++ = QChar(bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first));
    }
    if (!text.isValidUtf16() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

QString fromAnsiCodePage(QByteArrayView bytes) {
#ifdef Q_OS_WIN
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    return decoder(bytes);
#else
    return fromWindows1252(bytes);
#endif
}

} // namespace

std::optional<QString> decodeListFile(const QByteArray& bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xFF\xFE"))
        return fromUtf16(view.sliced(2), false);
    if (view.startsWith("\xFE\xFF"))
        return fromUtf16(view.sliced(2), true);
    if (view.contains('\0'))
        return std::nullopt;
    const QByteArrayView body = view.startsWith("\xEF\xBB\xBF") ? view.sliced(3) : view;
    // Text from a Windows program in its ANSI code page is almost never valid UTF-8 once it holds a
    // letter beyond ASCII: "é" is one byte 0xE9 there, which UTF-8 only allows as the lead of a
    // three-byte sequence.
    if (QUtf8StringView(body).isValidUtf8())
        return QString::fromUtf8(body);
    return fromAnsiCodePage(body);
}

QString notAddedMessage(const QString& path) {
    return path +
           QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle) {
    if (!FileExists(path)) {
        dialogs.message(QStringLiteral("File not found"), appTitle, MessageIcon::None);
        return;
    }
    const QFileInfo info(path);
    if (info.isDir())
        throw Failure(QStringLiteral("Is a directory: ") + path);
    // A pipe or a device could block or never end; only plain files are read.
    if (!info.isFile())
        throw Failure(QStringLiteral("Not a regular file: ") + path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString());
    // The head decides whether the file is text before a large binary file is read whole.
    QByteArray bytes = file.read(ListFileHeadSize);
    std::optional<QString> text;
    if (file.error() == QFileDevice::NoError && listFileHeadIsText(bytes)) {
        bytes += file.readAll();
        if (file.error() == QFileDevice::NoError)
            text = decodeListFile(bytes);
    }
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    if (!text) {
        dialogs.message(notAddedMessage(path), appTitle, MessageIcon::None);
        return;
    }
    // An empty line would become an empty source row, which stands for no folder at all; it is
    // left out rather than shown as a blank row that never contributes a file.
    QStringList rows = SplitListLines(*text);
    rows.removeIf([](const QString& row) { return row.isEmpty(); });
    list.addRows(rows);
}

} // namespace Main
