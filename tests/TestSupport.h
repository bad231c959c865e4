#pragma once

#include "common/Dialogs.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Dialogs that answer from a script and record every call. A dialog the test did not script
// fails the test.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Question, Input, PickFolder, PickFiles, OpenUrl };
    struct Call {
        Kind kind;
        QString text;  // message text, prompt, or the address opened
        QString title; // title, the initial folder of a folder picker, the filter of a file picker
        MessageIcon icon = MessageIcon::None;
    };

    // Each expect...() allows one more dialog of that kind, with the answer it gives.
    void expectMessage(int count = 1) { m_messages += count; }
    void expectQuestion(bool yes) { m_questions.push_back(yes); }
    void expectInput(std::optional<QString> answer) { m_inputs.push_back(std::move(answer)); }
    void expectFolder(const QString& answer) { m_folders.push_back(answer); }
    void expectFiles(const QStringList& answer) { m_files.push_back(answer); }
    void expectOpenUrl(int count = 1) { m_urls += count; }

    // Runs while each dialog is open, to look at the window at that moment.
    std::function<void(const Call&)> whileOpen;

    const std::vector<Call>& calls() const { return m_calls; }
    QStringList messageTexts() const;
    // Scripted answers that were never asked for.
    int unusedAnswers() const;
    void clear();

    void message(const QString& text, const QString& title, MessageIcon icon) override;
    bool question(const QString& text, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& initial) override;
    QString pickFolder(const QString& title, const QString& initialFolder) override;
    QStringList pickFiles(const QString& title, const QString& filter) override;
    void openUrl(const QUrl& url) override;

private:
    void unexpected(const char* what, const QString& text);
    // Records the call and lets the test look at the window while the dialog is open.
    void record(Call call);
    // The next scripted answer, or a failed test and an empty answer.
    template <class T> T take(std::deque<T>& answers, const char* what, const QString& text);
    void allow(int& count, const char* what, const QString& text);

    std::vector<Call> m_calls;
    int m_messages = 0;
    int m_urls = 0;
    std::deque<bool> m_questions;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<QString> m_folders;
    std::deque<QStringList> m_files;
};

namespace TestEnv {

// Points the settings store, the trash and the home folder at a fresh temporary folder and selects
// the offscreen platform. Call at the start of main, before anything reads the environment.
void prepare();
// The temporary root made by prepare().
QString root();
QString configHome();
QString dataHome();
// The settings file and its removal.
QString settingsFile();
void removeSettings();
// Writes a settings file by hand, as a user or another program would.
void writeSettingsFile(const QByteArray& contents);
QByteArray readSettingsFile();
// The settings file's text as the store keeps it: the bytes themselves on Unix; on Windows, whose
// registry keeps no comments or layout, its sections and keys in the form readSettingsFile gives.
QByteArray storedForm(const QByteArray& contents);

// Leaves an empty trash folder (with its files and info folders) under dataHome(), whatever was at
// its place before.
void resetTrash();

// Makes a file (and its folders) with the given contents.
void makeFile(const QString& path, const QByteArray& contents = "x");

// A file's contents, or "<none>" when it cannot be read.
QByteArray readAll(const QString& path);

// What differs between the platforms the suite runs on; each is defined in the platform's file.
// Marks a file or folder hidden. On Unix a name starting with "." is what hides it, so tests name
// hidden entries that way on every platform and call this as well; on Windows it sets the hidden
// attribute (and the system attribute too when asked).
void makeHidden(const QString& path, bool system = false);
// Whether the tests can make symbolic links (on Windows that takes a privilege, and QFile::link
// makes shortcuts instead).
bool canLink();
// Makes `link` a link to the folder `target` (relative to the link's folder, or absolute): a
// symbolic link on Unix; on Windows a junction, which needs no privilege, or under Wine, whose
// file system makes none, a host symbolic link, which Windows programs there see as a folder
// with a reparse point. False when it could not be made.
bool linkFolder(const QString& target, const QString& link);
// Removes a link made by linkFolder, never what it leads to. Tests call it before their folder is
// removed: on Wine, Qt cannot tell the host link from a folder and would empty its target.
void removeFolderLink(const QString& link);
// The path as the program shows it: native separators.
QString native(const QString& path);
// The original path a freedesktop trash entry's info file names, as the platform writes paths:
// itself on Unix; under Wine, whose Recycle Bin is the host's trash, the host path as Windows
// names it (native separators).
QString pathFromTrashInfo(const QString& written);
// Whether the trash says where it put a file (the freedesktop trash does; the Recycle Bin does
// not, so a run's record holds no place and put-back leaves such files to the Recycle Bin).
bool trashSaysWhere();
// Whether the test can look into the trash as a freedesktop trash under dataHome(): always on
// Unix; on Windows only under Wine, whose Recycle Bin is the host's trash.
bool seesTrash();
// Whether a file name can exist on this platform's file systems (Windows refuses "\", ":",
// "*", "?", "\"", "<", ">", "|", control characters and a trailing blank or dot).
bool canHoldName(const QString& name);

// For the platform's file: makes the private root (empty on failure), removes it, and points the
// platform's own stores (the registry branch of the settings on Windows) into it.
QString makeTemporaryRoot();
void removeTemporaryRoot(const QString& path);
void preparePlatform(const QString& root);

} // namespace TestEnv

// Runs a QTest object with the prepared environment: use in place of QTEST_MAIN.
#define THINWICK_TEST_MAIN(TestObject)                                                             \
    int main(int argc, char* argv[]) {                                                             \
        TestEnv::prepare();                                                                        \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
