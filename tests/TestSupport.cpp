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

void ScriptedDialogs::record(Call call) {
    m_calls.push_back(std::move(call));
    if (whileOpen)
        whileOpen(m_calls.back());
}

template <class T>
T ScriptedDialogs::take(std::deque<T>& answers, const char* what, const QString& text) {
    if (answers.empty()) {
        unexpected(what, text);
        return T{};
    }
    // Copied, not moved: GCC 12 takes a moved-from optional for uninitialised here.
    const T answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedDialogs::allow(int& count, const char* what, const QString& text) {
    if (count == 0)
        unexpected(what, text);
    else
        --count;
}

void ScriptedDialogs::message(const QString& text, const QString& title, MessageIcon icon) {
    record({Kind::Message, text, title, icon});
    allow(m_messages, "message", text);
}

bool ScriptedDialogs::question(const QString& text, const QString& title) {
    record({Kind::Question, text, title});
    return take(m_questions, "question", text);
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString& title,
                                              const QString& /*initial*/) {
    record({Kind::Input, prompt, title});
    return take(m_inputs, "input", prompt);
}

QString ScriptedDialogs::pickFolder(const QString& title, const QString& initialFolder) {
    record({Kind::PickFolder, title, initialFolder});
    // The real dialogs answer with native separators.
    return TestEnv::native(take(m_folders, "folder picker", title));
}

QStringList ScriptedDialogs::pickFiles(const QString& title, const QString& filter) {
    record({Kind::PickFiles, title, filter});
    QStringList files = take(m_files, "file picker", title);
    for (QString& file : files)
        file = TestEnv::native(file);
    return files;
}

void ScriptedDialogs::openUrl(const QUrl& url) {
    record({Kind::OpenUrl, url.toString(), {}});
    allow(m_urls, "open address", url.toString());
}

namespace TestEnv {
namespace {

// The private root of one test process, removed with everything in it when the process ends.
class TemporaryRoot {
public:
    TemporaryRoot() : m_path(makeTemporaryRoot()) {}
    TemporaryRoot(const TemporaryRoot&) = delete;
    TemporaryRoot& operator=(const TemporaryRoot&) = delete;
    ~TemporaryRoot() {
        if (!m_path.isEmpty())
            removeTemporaryRoot(m_path);
    }
    QString path() const { return m_path; }

private:
    QString m_path;
};

TemporaryRoot& temporaryRoot() {
    static TemporaryRoot root;
    return root;
}

} // namespace

void prepare() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString base = temporaryRoot().path();
    for (const char* sub : {"/config", "/data", "/home", "/tmp", "/runtime"})
        QDir().mkpath(base + QLatin1String(sub));
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(base + QStringLiteral("/state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/runtime")));
    qputenv("HOME", QFile::encodeName(base + QStringLiteral("/home")));
    // Temporary folders of the tests live inside the root and go with it.
    qputenv("TMPDIR", QFile::encodeName(base + QStringLiteral("/tmp")));
    preparePlatform(base);
}

QString root() {
    return temporaryRoot().path();
}
QString configHome() {
    return root() + QStringLiteral("/config");
}
QString dataHome() {
    return root() + QStringLiteral("/data");
}
QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void resetTrash() {
    const QString trash = dataHome() + QStringLiteral("/Trash");
    const QFileInfo info(trash);
    if (info.isDir() && !info.isSymLink())
        QDir(trash).removeRecursively();
    else
        QFile::remove(trash);
    // Wine's Recycle Bin (the host's trash) looks for its folders once per process and does not
    // make them again, so they are made here.
    QDir().mkpath(trash + QStringLiteral("/files"));
    QDir().mkpath(trash + QStringLiteral("/info"));
}

void makeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(contents);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace TestEnv
