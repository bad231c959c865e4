// The settings store in the registry, under the branch that the platform's own get/save-setting
// functions use.
#include "common/Settings.h"

#include "common/ErrorReport.h"

#include <QSettings>
#include <QStringList>
#include <memory>

namespace Main {
namespace {

std::unique_ptr<QSettings> openStore(const QString& appName, const QString& section) {
    // The branch the platform's own get/save-setting functions use, so stored values carry over.
    // THINWICK_REGISTRY_BRANCH moves the whole store elsewhere, as XDG_CONFIG_HOME does on
    // Linux: the tests keep their settings in a branch of their own.
    QString branch = qEnvironmentVariable("THINWICK_REGISTRY_BRANCH");
    if (branch.isEmpty())
        branch = QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings");
    auto store =
        std::make_unique<QSettings>(branch + QLatin1Char('\\') + appName, QSettings::NativeFormat);
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

} // namespace

QString getSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue) {
    auto store = openStore(appName, section);
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
    const QVariant value = store->value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-written value such as 1,2 reads as a list; hand it back as its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void saveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value) {
    auto store = openStore(appName, section);
    store->setValue(key, value);
    store->sync();
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
}

} // namespace Main
