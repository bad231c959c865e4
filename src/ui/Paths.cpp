#include "Paths.h"

#include "common/PathRules.h"

#include "Controls.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"

#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace Main {

QString programFolder() {
    return ProgramFolder::locate(QCoreApplication::applicationDirPath()).folder;
}

void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle) {
    if (!FileExists(path)) {
        dialogs.message(QStringLiteral("File not found"), appTitle, MessageIcon::None);
        return;
    }
    const QFileInfo info(path);
    if (info.isDir())
        throw Failure(QStringLiteral("Is a directory: ") + path);
    // A pipe or a device could block or never end; only plain files are read.
    if (!info.isFile())
        throw Failure(QStringLiteral("Not a regular file: ") + path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString());
    // The head decides whether the file is text before a large binary file is read whole.
    QByteArray bytes = file.read(ListFileHeadSize);
    std::optional<QString> text;
    if (file.error() == QFileDevice::NoError && listFileHeadIsText(bytes)) {
        bytes += file.readAll();
        if (file.error() == QFileDevice::NoError)
            text = decodeListFile(bytes);
    }
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    if (!text) {
        dialogs.message(notTextMessage(path), appTitle, MessageIcon::None);
        return;
    }
    // An empty line would become an empty source row, which stands for no folder at all; it is
    // left out rather than shown as a blank row that never contributes a file.
    QStringList rows = splitListLines(*text);
    rows.removeIf([](const QString& row) { return row.isEmpty(); });
    list.addRows(rows);
}

} // namespace Main
