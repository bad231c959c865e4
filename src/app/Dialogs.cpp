#include "Dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

void QtDialogs::message(const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText); // paths and failure texts are shown as they are
    box.exec();
}

bool QtDialogs::question(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, m_owner);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(const QString& prompt, const QString& title,
                                        const QString& initial) {
    bool ok = false;
    QString text = QInputDialog::getText(m_owner, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtDialogs::pickFolder(const QString& title, const QString& initialFolder) {
    // An empty or missing start folder leaves the picker on its own default.
    QString start;
    if (!initialFolder.isEmpty() && QFileInfo(initialFolder).isDir())
        start = initialFolder;
    QString chosen =
        QFileDialog::getExistingDirectory(m_owner, title, start, QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

QStringList QtDialogs::pickFiles(const QString& title, const QString& filter) {
    // "*.*" means every file on Windows; Qt matches it literally, which hides names without a dot.
    QString shown = filter;
    if (shown.endsWith(QLatin1String("(*.*)")))
        shown.replace(shown.size() - 5, 5, QLatin1String("(*)"));
    QStringList files = QFileDialog::getOpenFileNames(m_owner, title, QString(), shown);
    for (QString& file : files)
        file = QDir::toNativeSeparators(file);
    return files;
}

void QtDialogs::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}
