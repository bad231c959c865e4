#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

enum class MessageIcon { None, Warning };

// Every modal interaction of the program goes through this interface, so tests can script the
// answers and see each question the program asked.
class Dialogs {
public:
    Dialogs() = default;
    Q_DISABLE_COPY_MOVE(Dialogs)
    virtual ~Dialogs() = default;

    // A message box with a single OK button.
    virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
    // A Yes/No question without icon; true means Yes.
    virtual bool question(const QString& text, const QString& title) = 0;
    // An input box; no value when the user cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& initial) = 0;
    // A folder picker for existing folders; the empty text when cancelled.
    virtual QString pickFolder(const QString& title, const QString& initialFolder) = 0;
    // An open-files picker; an empty list when cancelled.
    virtual QStringList pickFiles(const QString& title, const QString& filter) = 0;
    // Hands a folder or web address to the desktop shell without waiting for it.
    virtual void openUrl(const QUrl& url) = 0;
};
