// The test environment on Windows: attributes hide files, and the settings go to a registry
// branch of the test's own, removed at the end.
#include "TestSupport.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <filesystem>
#include <system_error>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace TestEnv {
namespace {

const QString testBranch = QStringLiteral("HKEY_CURRENT_USER\\Software\\Thinwick tests");

QString& branchName() {
    static QString name;
    return name;
}

} // namespace

// The settings live in the registry: the "file" is the test's branch, written from and shown as INI
// text (sections and key=value lines), so a test can set up and look at stored values.
QString settingsFile() {
    return qEnvironmentVariable("THINWICK_REGISTRY_BRANCH") + QStringLiteral("\\Brindlewood");
}
void removeSettings() {
    QSettings store(settingsFile(), QSettings::NativeFormat);
    store.clear();
}

namespace {

// The sections and keys of INI text, as the registry holds them: no comments, no layout.
using Sections = QMap<QString, QMap<QString, QString>>;

Sections sectionsOf(const QByteArray& contents) {
    Sections sections;
    QString section;
    for (QString line :
         QString::fromUtf8(contents).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            section = line.mid(1, line.size() - 2);
        else if (const qsizetype equals = line.indexOf(QLatin1Char('='));
                 equals > 0 && !section.isEmpty() && !line.startsWith(QLatin1Char(';')))
            sections[section][line.left(equals).trimmed()] = line.mid(equals + 1);
    }
    return sections;
}

QByteArray textOf(const Sections& sections) {
    QByteArray text;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        text += "[" + section.key().toUtf8() + "]\n";
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            text += key.key().toUtf8() + "=" + key.value().toUtf8() + "\n";
    }
    return text;
}

} // namespace

void writeSettingsFile(const QByteArray& contents) {
    removeSettings();
    QSettings store(settingsFile(), QSettings::NativeFormat);
    const Sections sections = sectionsOf(contents);
    for (auto section = sections.cbegin(); section != sections.cend(); ++section)
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            store.setValue(section.key() + QLatin1Char('/') + key.key(), key.value());
    store.sync();
}

QByteArray readSettingsFile() {
    QSettings store(settingsFile(), QSettings::NativeFormat);
    Sections sections;
    for (const QString& section : store.childGroups()) {
        store.beginGroup(section);
        for (const QString& key : store.childKeys())
            sections[section][key] = store.value(key).toString();
        store.endGroup();
    }
    return textOf(sections);
}

QByteArray storedForm(const QByteArray& contents) {
    return textOf(sectionsOf(contents));
}

QString pathFromTrashInfo(const QString& written) {
    using DosName = WCHAR*(CDECL*)(const char*);
    const auto dosName = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (dosName == nullptr)
        return written;
    WCHAR* name = dosName(written.toUtf8().constData());
    if (name == nullptr)
        return written;
    QString path = QString::fromWCharArray(name);
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

bool trashSaysWhere() {
    return false;
}

bool seesTrash() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool canLink() {
    return false;
}

void makeHidden(const QString& path, bool system) {
    const QString native = QDir::toNativeSeparators(path);
    const auto name = reinterpret_cast<LPCWSTR>(native.utf16());
    const DWORD attributes = GetFileAttributesW(name);
    QVERIFY2(attributes != INVALID_FILE_ATTRIBUTES, qPrintable(path));
    const DWORD added = FILE_ATTRIBUTE_HIDDEN | (system ? FILE_ATTRIBUTE_SYSTEM : 0);
    QVERIFY2(SetFileAttributesW(name, attributes | added),
             qPrintable(path + QStringLiteral(": error %1").arg(GetLastError())));
}

bool canHoldName(const QString& name) {
    if (name.isEmpty() || name.endsWith(QLatin1Char(' ')) || name.endsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c))
            return false;
    return true;
}

QString makeTemporaryRoot() {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/thinwick-test-XXXXXX"));
    if (!dir.isValid())
        return {};
    dir.setAutoRemove(false);
    return dir.path();
}

void removeTemporaryRoot(const QString& path) {
    std::error_code ignored;
    // Hidden, system and read-only entries go too.
    for (auto it = std::filesystem::recursive_directory_iterator(path.toStdWString(), ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path.toStdWString(), ignored);
    if (!branchName().isEmpty()) {
        const std::wstring key =
            (QStringLiteral("Software\\Thinwick tests\\") + branchName()).toStdWString();
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Thinwick tests"); // only when it is empty
    }
}

// The settings store reads its registry branch from THINWICK_REGISTRY_BRANCH: a branch of this
// process's own, so a test never touches the user's settings.
void preparePlatform(const QString& root) {
    branchName() = QUuid::createUuid().toString(QUuid::WithoutBraces);
    qputenv("THINWICK_REGISTRY_BRANCH", (testBranch + QLatin1Char('\\') + branchName()).toUtf8());
    // Under Wine the Recycle Bin is the host's freedesktop trash under XDG_DATA_HOME, which Wine
    // reads as a host path: the test's own data folder, as the host names it.
    using UnixName = char*(CDECL*)(LPCWSTR);
    if (const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")))) {
        const QString data = QDir::toNativeSeparators(root + QStringLiteral("/data"));
        if (char* name = unixName(reinterpret_cast<LPCWSTR>(data.utf16()))) {
            qputenv("XDG_DATA_HOME", name);
            HeapFree(GetProcessHeap(), 0, name);
        }
    }
    // The run records and the sample copy go to the local application data: the test's own data
    // folder, never the user's.
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(root + QStringLiteral("/data")).toUtf8());
    // Windows finds its temp folder through TMP and TEMP.
    const QByteArray tmp = QDir::toNativeSeparators(root + QStringLiteral("/tmp")).toUtf8();
    qputenv("TMP", tmp);
    qputenv("TEMP", tmp);
    // The offscreen platform reads its fonts from one folder, by default one beside Qt that holds
    // none: the system's fonts instead (Wine passes no QT_ variable through from the host).
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        wchar_t windows[MAX_PATH] = {};
        const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            qputenv("QT_QPA_FONTDIR",
                    (QString::fromWCharArray(windows, static_cast<qsizetype>(length)) +
                     QStringLiteral("\\Fonts"))
                        .toUtf8());
    }
}

} // namespace TestEnv
