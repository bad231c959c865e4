#pragma once

#include "common/Dialogs.h"

class QWidget;

// The real dialogs: Qt's message boxes, input dialog, file dialogs and desktop services.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    void message(const QString& text, const QString& title, MessageIcon icon) override;
    bool question(const QString& text, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& initial) override;
    QString pickFolder(const QString& title, const QString& initialFolder) override;
    QStringList pickFiles(const QString& title, const QString& filter) override;
    void openUrl(const QUrl& url) override;

private:
    QWidget* m_owner;
};
