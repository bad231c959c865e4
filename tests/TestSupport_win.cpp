// The test environment on Windows: attributes hide files, and the settings go to a registry
// branch of the test's own, removed at the end.
#include "TestSupport.h"

#include "common/SettingsBranch.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

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
    return testBranch + QLatin1Char('\\') + branchName() + QStringLiteral("\\Brindlewood");
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

namespace {

// The reparse data of a junction (a mount point): the substitute name "\??\C:\target" and the
// print name "C:\target", each followed by a NUL.
struct JunctionData {
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    WORD dataLength = 0;
    WORD reserved = 0;
    WORD substituteOffset = 0;
    WORD substituteLength = 0;
    WORD printOffset = 0;
    WORD printLength = 0;
    WCHAR names[2 * MAX_PATH + 8] = {};
};

bool makeJunction(const QString& target, const QString& link) {
    const std::wstring substitute = (QStringLiteral("\\??\\") + target).toStdWString();
    const std::wstring print = target.toStdWString();
    JunctionData data;
    if (substitute.size() + print.size() + 2 > std::size(data.names))
        return false;
    data.substituteLength = static_cast<WORD>(substitute.size() * sizeof(WCHAR));
    data.printOffset = static_cast<WORD>(data.substituteLength + sizeof(WCHAR));
    data.printLength = static_cast<WORD>(print.size() * sizeof(WCHAR));
    std::copy(substitute.begin(), substitute.end(), data.names);
    std::copy(print.begin(), print.end(), data.names + substitute.size() + 1);
    data.dataLength =
        static_cast<WORD>(4 * sizeof(WORD) + data.printOffset + data.printLength + sizeof(WCHAR));
    const std::wstring at = link.toStdWString();
    if (!CreateDirectoryW(at.c_str(), nullptr))
        return false;
    const HANDLE folder =
        CreateFileW(at.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made =
        folder != INVALID_HANDLE_VALUE &&
        DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &data,
                        static_cast<DWORD>(8 + data.dataLength), nullptr, 0, &returned, nullptr);
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    if (!made)
        RemoveDirectoryW(at.c_str());
    return made;
}

using UnixName = char*(CDECL*)(LPCWSTR);

// The host's path of a Windows path under Wine; empty elsewhere.
QString hostPath(const QString& path) {
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    QString host;
    if (unixName == nullptr)
        return host;
    if (char* name = unixName(reinterpret_cast<LPCWSTR>(path.utf16()))) {
        host = QString::fromUtf8(name);
        HeapFree(GetProcessHeap(), 0, name);
    }
    return host;
}

// Runs a host program under Wine (Wine starts a host executable as it would a Windows one).
bool runHost(const wchar_t* program, const QString& commandLine) {
    std::wstring command = commandLine.toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Wine's file system makes no junction (Wine 8 answers "not supported"), but it shows a host
// symbolic link to a folder as a folder with a reparse point: the host's ln makes one, started
// the way Wine starts a host program.
bool makeHostLink(const QString& target, const QString& link) {
    const QFileInfo linkInfo(link);
    const QString hostTarget = hostPath(target);
    const QString hostFolder = hostPath(QDir::toNativeSeparators(linkInfo.absolutePath()));
    if (hostTarget.isEmpty() || hostFolder.isEmpty() ||
        !runHost(L"Z:\\bin\\ln", QStringLiteral("ln -s -- \"%1\" \"%2/%3\"")
                                     .arg(hostTarget, hostFolder, linkInfo.fileName())))
        return false;
    // Wine may signal a host program's end before it has run: the link is waited for.
    constexpr DWORD FolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    for (int waited = 0; waited < 1000; ++waited) {
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(link.utf16()));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FolderLink) == FolderLink)
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

bool linkFolder(const QString& target, const QString& link) {
    const QString at = QDir::toNativeSeparators(QFileInfo(link).absoluteFilePath());
    const QString to = QDir::toNativeSeparators(
        QDir::cleanPath(QFileInfo(link).absoluteDir().absoluteFilePath(target)));
    return makeJunction(to, at) || makeHostLink(to, at);
}

void removeFolderLink(const QString& link) {
    const QString at = QDir::toNativeSeparators(QFileInfo(link).absoluteFilePath());
    if (RemoveDirectoryW(reinterpret_cast<LPCWSTR>(at.utf16())))
        return;
    const QString host = hostPath(at);
    if (host.isEmpty() || !runHost(L"Z:\\bin\\rm", QStringLiteral("rm -f -- \"%1\"").arg(host)))
        return;
    for (int waited = 0; waited < 1000; ++waited) {
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(at.utf16()));
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            return;
        Sleep(10);
    }
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

// The settings store keeps its values in a registry branch of this process's own, so a test never
// touches the user's settings.
void preparePlatform(const QString& root) {
    branchName() = QUuid::createUuid().toString(QUuid::WithoutBraces);
    Main::useSettingsBranch(testBranch + QLatin1Char('\\') + branchName());
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
