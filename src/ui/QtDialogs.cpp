#include "QtDialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Messages keep their line ends as written (CR LF, or lone CRs as in the error report); some
// widget styles draw a lone CR as a blank, so every line end becomes a line break on screen.
QString shownText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r')) {
            shown.append(QLatin1Char('\n'));
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            shown.append(text[i]);
        }
    }
    return shown;
}

} // namespace

void QtDialogs::message(const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title, shownText(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText); // paths and failure texts are shown as they are
    box.exec();
}

bool QtDialogs::question(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, shownText(text), QMessageBox::Yes | QMessageBox::No,
                    m_owner);
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
