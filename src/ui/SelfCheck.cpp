#include "SelfCheck.h"

#include "Controls.h"
#include "Form1.h"
#include "FormControls.h"
#include "common/Dialogs.h"
#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>

namespace {

// Nothing is shown: every dialog of the start-up is written out instead and answered with No.
class PrintedDialogs : public Dialogs {
public:
    explicit PrintedDialogs(QTextStream& out) : m_out(out) {}
    void message(const QString& text, const QString& /*title*/, MessageIcon /*icon*/) override {
        m_out << "message: " << text << '\n';
    }
    bool question(const QString& text, const QString& /*title*/) override {
        m_out << "question: " << text << '\n';
        return false;
    }
    std::optional<QString> input(const QString& prompt, const QString& /*title*/,
                                 const QString& /*initial*/) override {
        m_out << "input: " << prompt << '\n';
        return std::nullopt;
    }
    QString pickFolder(const QString& title, const QString& /*initialFolder*/) override {
        m_out << "folder picker: " << title << '\n';
        return {};
    }
    QStringList pickFiles(const QString& title, const QString& /*filter*/) override {
        m_out << "file picker: " << title << '\n';
        return {};
    }
    void openUrl(const QUrl& /*url*/) override {} // the occasional home page at start-up

private:
    QTextStream& m_out;
};

} // namespace

namespace Help {

int selfCheck(QTextStream& out) {
    PrintedDialogs dialogs(out);
    Form1 form(dialogs);
    // The number box's change would save the setting; a check leaves the user's files alone.
    FormControls(form).Text1->blockSignals(true);
    form.Form_Load();
    const ProgramFolder::Found where =
        ProgramFolder::locate(QCoreApplication::applicationDirPath());
    const bool hand = form.hasHandImage();
    const bool drag = !QPixmap(where.folder + QStringLiteral("/drag.ico")).isNull();
    const QString samples = where.folder + QStringLiteral("/Samples");
    const qsizetype sampleFiles = QDir(samples).entryList(QDir::Files).size();
    out << "program folder: " << QDir::toNativeSeparators(where.folder)
        << (where.shared ? " (installed layout)" : "") << '\n'
        << "hand pointer: " << (hand ? "loaded" : "missing") << '\n'
        << "drag pointer: " << (drag ? "loaded" : "missing") << '\n'
        << "samples: " << sampleFiles << " files in " << QDir::toNativeSeparators(samples) << '\n'
        << "sample runs use: " << QDir::toNativeSeparators(ProgramFolder::sampleFolder(where))
        << '\n';
    out.flush();
    return hand && drag && sampleFiles > 0 ? 0 : 1;
}

} // namespace Help
