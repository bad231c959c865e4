// The test environment on Unix: hidden means a leading dot, every byte but "/" and NUL is a name.
#include "TestSupport.h"

#include <QFile>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace TestEnv {

QString settingsFile() {
    return configHome() + QStringLiteral("/Brindlewood.ini");
}
void removeSettings() {
    QFile::remove(settingsFile());
}

void writeSettingsFile(const QByteArray& contents) {
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray readSettingsFile() {
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray storedForm(const QByteArray& contents) {
    return contents;
}

QString pathFromTrashInfo(const QString& written) {
    return written;
}

bool trashSaysWhere() {
    return true;
}

bool seesTrash() {
    return true;
}

bool linkFolder(const QString& target, const QString& link) {
    return QFile::link(target, link);
}

void removeFolderLink(const QString& link) {
    QFile::remove(link);
}

bool canLink() {
    return true;
}

void makeHidden(const QString& /*path*/, bool /*system*/) {}

bool canHoldName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString makeTemporaryRoot() {
    const QByteArray base =
        qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    std::string pattern = base.toStdString() + "/thinwick-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return QFile::decodeName(QByteArray::fromStdString(pattern));
}

// Removal goes through the byte-level API so names that are not valid UTF-8 go too.
void removeTemporaryRoot(const QString& path) {
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(path).toStdString(), ignored);
}

void preparePlatform(const QString& /*root*/) {}

} // namespace TestEnv
