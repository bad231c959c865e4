// The settings store in the registry, under the branch that the platform's own get/save-setting
// functions use.
#include "common/Settings.h"
#include "common/SettingsBranch.h"

#include "common/ErrorReport.h"

#include <QSettings>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Main {
namespace {

const QString CurrentUser = QStringLiteral("HKEY_CURRENT_USER\\");

// Where the tests moved the store; empty for the platform's own branch.
QString& movedBranch() {
    static QString branch;
    return branch;
}

// The branch the platform's own get/save-setting functions use, so stored values carry over.
QString branchOf(const QString& appName) {
    QString branch = movedBranch();
    if (branch.isEmpty())
        branch = CurrentUser + QStringLiteral("Software\\VB and VBA Program Settings");
    return branch + QLatin1Char('\\') + appName;
}

// The section's key below HKEY_CURRENT_USER; nothing when the branch is not the user's.
std::optional<std::wstring> userKeyOf(const QString& appName, const QString& section) {
    const QString branch = branchOf(appName);
    if (!branch.startsWith(CurrentUser, Qt::CaseInsensitive))
        return std::nullopt;
    return (branch.mid(CurrentUser.size()) + QLatin1Char('\\') + section).toStdWString();
}

// The string value as the registry holds it. Qt reads strings through QString::fromUtf16, which
// takes a leading U+FEFF for a byte-order mark and drops it; nothing when it is no string of the
// user's branch.
std::optional<QString> rawString(const QString& appName, const QString& section,
                                 const QString& key) {
    const std::optional<std::wstring> folder = userKeyOf(appName, section);
    if (!folder)
        return std::nullopt;
    const std::wstring name = key.toStdWString();
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, folder->c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, folder->c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    // Not fromStdWString: it goes through fromUtf16 as well.
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

// Writes the string value straight into the user's branch, as the platform's own save-setting
// function does (Qt's own write would store "@x" as "@@x"); nothing when the branch is not the
// user's, else an error text, empty on success.
std::optional<QString> writeRawString(const QString& appName, const QString& section,
                                      const QString& key, const QString& value) {
    const std::optional<std::wstring> folder = userKeyOf(appName, section);
    if (!folder)
        return std::nullopt;
    const std::wstring name = key.toStdWString();
    const std::wstring text = value.toStdWString();
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, folder->c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    if (status == ERROR_SUCCESS)
        return QString();
    return QStringLiteral("Cannot write the setting %1 under %2 (error %3)")
        .arg(key, branchOf(appName) + QLatin1Char('\\') + section)
        .arg(status);
}

std::unique_ptr<QSettings> openStore(const QString& appName, const QString& section) {
    auto store = std::make_unique<QSettings>(branchOf(appName), QSettings::NativeFormat);
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

void useSettingsBranch(const QString& branch) {
    movedBranch() = branch;
}

QString getSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue) {
    auto store = openStore(appName, section);
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
    const QVariant value = store->value(key);
    if (!value.isValid())
        return defaultValue;
    if (std::optional<QString> raw = rawString(appName, section, key))
        return *raw;
    // A hand-written value such as 1,2 reads as a list; hand it back as its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void saveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value) {
    if (const std::optional<QString> error = writeRawString(appName, section, key, value)) {
        if (!error->isEmpty())
            throw Failure(*error);
        return;
    }
    auto store = openStore(appName, section);
    store->setValue(key, value);
    store->sync();
    if (store->status() != QSettings::NoError)
        throw Failure(statusText(*store));
}

} // namespace Main
