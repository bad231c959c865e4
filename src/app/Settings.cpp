#include "Settings.h"

#include "ErrorReport.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <memory>

namespace Main {
namespace {

std::unique_ptr<QSettings> openStore(const QString& appName, const QString& section) {
#ifdef Q_OS_WIN
    // The branch the platform's own get/save-setting functions use, so stored values carry over.
    auto store = std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + appName,
        QSettings::NativeFormat);
#else
    // $XDG_CONFIG_HOME/<appName>.ini
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, appName);
#endif
    // Only the user's own values count, not a system-wide file of the same name.
    store->setFallbacksEnabled(false);
    store->beginGroup(section);
    return store;
}

QString statusText(const QSettings& store) {
    switch (store.status()) {
    case QSettings::AccessError:
        return QStringLiteral("Permission denied: ") + store.fileName();
    case QSettings::FormatError:
        return QStringLiteral("Invalid settings file: ") + store.fileName();
    case QSettings::NoError:
        break;
    }
    return {};
}

// The text after "key=" in the section of an INI file, as a person wrote it there.
QString handWrittenValue(const QString& fileName, const QString& section, const QString& key) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == header;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inSection && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

} // namespace

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue) {
    auto store = openStore(appName, section);
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
    const QVariant value = store->value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-written value such as 1,2 reads as a list; hand it back as its text.
    if (value.typeId() == QMetaType::QStringList) {
#ifdef Q_OS_WIN
        return value.toStringList().join(QLatin1Char(','));
#else
        return handWrittenValue(store->fileName(), section, key);
#endif
    }
    return value.toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value) {
    auto store = openStore(appName, section);
    store->setValue(key, value);
    store->sync();
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
}

} // namespace Main
