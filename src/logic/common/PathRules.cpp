#include "common/PathRules.h"

#include <QFileInfo>

namespace Main {

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    return QFileInfo(path).lastModified().isValid();
}

QString FileNameOf(const QString& path, QChar separator) {
    return path.lastIndexOf(separator) < 0 ? path : fileNameView(path, separator).toString();
}

QStringView fileNameView(QStringView path, QChar separator) {
    return path.mid(path.lastIndexOf(separator) + 1);
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

QStringList splitListLines(const QString& text) {
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

} // namespace Main
