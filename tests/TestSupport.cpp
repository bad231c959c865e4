#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const Call& call : m_calls)
        if (call.kind == Kind::Message)
            texts.append(call.text);
    return texts;
}

int ScriptedDialogs::unusedAnswers() const {
    return m_messages + m_urls +
           static_cast<int>(m_questions.size() + m_inputs.size() + m_folders.size() +
                            m_files.size());
}

void ScriptedDialogs::clear() {
    m_calls.clear();
    m_messages = m_urls = 0;
    m_questions.clear();
    m_inputs.clear();
    m_folders.clear();
    m_files.clear();
}

void ScriptedDialogs::unexpected(const char* what, const QString& text) {
    const QByteArray note = QByteArray("unexpected dialog (") + what + "): " + text.toUtf8();
    QTest::qFail(note.constData(), __FILE__, __LINE__);
}

void ScriptedDialogs::message(const QString& text, const QString& title, MessageIcon icon) {
    m_calls.push_back({Kind::Message, text, title, icon});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_messages == 0)
        unexpected("message", text);
    else
        --m_messages;
}

bool ScriptedDialogs::question(const QString& text, const QString& title) {
    m_calls.push_back({Kind::Question, text, title});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_questions.empty()) {
        unexpected("question", text);
        return false;
    }
    const bool answer = m_questions.front();
    m_questions.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString& title,
                                              const QString& /*initial*/) {
    m_calls.push_back({Kind::Input, prompt, title});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_inputs.empty()) {
        unexpected("input", prompt);
        return std::nullopt;
    }
    auto answer = m_inputs.front();
    m_inputs.pop_front();
    return answer;
}

QString ScriptedDialogs::pickFolder(const QString& title, const QString& initialFolder) {
    m_calls.push_back({Kind::PickFolder, title, initialFolder});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_folders.empty()) {
        unexpected("folder picker", title);
        return {};
    }
    QString answer = m_folders.front();
    m_folders.pop_front();
    return answer;
}

QStringList ScriptedDialogs::pickFiles(const QString& title, const QString& /*filter*/) {
    m_calls.push_back({Kind::PickFiles, title, {}});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_files.empty()) {
        unexpected("file picker", title);
        return {};
    }
    QStringList answer = m_files.front();
    m_files.pop_front();
    return answer;
}

void ScriptedDialogs::openUrl(const QUrl& url) {
    m_calls.push_back({Kind::OpenUrl, url.toString(), {}});
    if (whileOpen)
        whileOpen(m_calls.back());
    if (m_urls == 0)
        unexpected("open address", url.toString());
    else
        --m_urls;
}

namespace TestEnv {
namespace {
QTemporaryDir* temporaryRoot = nullptr;
}

void prepare() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    temporaryRoot = new QTemporaryDir(); // lives until the process ends
    const QString base = temporaryRoot->path();
    QDir().mkpath(base + QStringLiteral("/config"));
    QDir().mkpath(base + QStringLiteral("/data"));
    QDir().mkpath(base + QStringLiteral("/home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
    qputenv("HOME", QFile::encodeName(base + QStringLiteral("/home")));
}

QString root() {
    return temporaryRoot->path();
}
QString configHome() {
    return root() + QStringLiteral("/config");
}
QString dataHome() {
    return root() + QStringLiteral("/data");
}
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

void makeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(contents);
}

} // namespace TestEnv
