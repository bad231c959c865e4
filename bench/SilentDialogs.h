#pragma once

#include "common/Dialogs.h"

#include <QStringList>

// Answers every dialog with nothing and keeps the texts, so a run that asked anything can say so.
class SilentDialogs : public Dialogs {
public:
    QStringList asked;

    void message(const QString& text, const QString&, MessageIcon) override { asked << text; }
    bool question(const QString& text, const QString&) override {
        asked << text;
        return false;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&) override {
        asked << prompt;
        return std::nullopt;
    }
    QString pickFolder(const QString& title, const QString&) override {
        asked << title;
        return {};
    }
    QStringList pickFiles(const QString& title, const QString&) override {
        asked << title;
        return {};
    }
    void openUrl(const QUrl& url) override { asked << url.toString(); }
};
