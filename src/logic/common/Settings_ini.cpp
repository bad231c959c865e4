// The settings store as an INI file, $XDG_CONFIG_HOME/<application name>.ini, one section per
// section name. The program writes one key; the rest of the file belongs to the user, so a write
// changes that key's line alone and keeps every other byte: comments, other sections, other keys,
// hand-written values, line ends.
#include "common/Settings.h"

#include "common/ErrorReport.h"
#include "common/FileRead.h"
#include "common/IniText.h"

#include "common/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <optional>

namespace Main {
namespace {

QString storePath(const QString& appName) {
    return UserFolders::configHome() + QLatin1Char('/') + appName + QStringLiteral(".ini");
}

// The file's bytes; nothing when there is no file. Throws Failure when it exists and cannot be
// read, so a file that is there is never taken for an empty one and overwritten.
std::optional<QByteArray> readStore(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return readWholeFile(path);
}

// A value's bytes as text, every character kept: a U+FEFF at its start is part of the value (only
// the file's own byte-order mark is skipped, when the file is read), where QString::fromUtf8 would
// drop it.
QString valueText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

} // namespace

QString getSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const std::optional<QByteArray> text = readStore(storePath(appName));
    if (!text)
        return defaultValue;
    const std::optional<QByteArray> value = findIniValue(*text, section.toUtf8(), key.toUtf8());
    return value ? valueText(*value) : defaultValue;
}

void saveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value) {
    const QString path = storePath(appName);
    const QByteArray text = readStore(path).value_or(QByteArray());
    const std::optional<QByteArray> changed =
        withIniValue(text, section.toUtf8(), key.toUtf8(), value.toUtf8());
    if (!changed)
        throw Failure(QStringLiteral("A settings value cannot hold a line break"));
    if (!QDir().mkpath(QFileInfo(path).path()))
        throw Failure(QStringLiteral("Cannot make the folder ") + QFileInfo(path).path());
    // The new text goes to a temporary file that replaces the store only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(file.errorString() + QStringLiteral(": ") + path);
    file.write(*changed);
    if (!file.commit())
        throw Failure(file.errorString() + QStringLiteral(": ") + path);
}

} // namespace Main
