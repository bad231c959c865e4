#include "Paths.h"

#include "PathRules.h"

#include "Controls.h"
#include "Dialogs.h"
#include "ErrorReport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace Main {

void LoadListFromFile(ListView& list, const QString& path, Dialogs& dialogs,
                      const QString& appTitle) {
    if (!FileExists(path)) {
        dialogs.message(QStringLiteral("File not found"), appTitle, MessageIcon::None);
        return;
    }
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw Failure(QStringLiteral("Is a directory: ") + path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
#ifdef Q_OS_WIN
    QStringDecoder decoder(QStringDecoder::System);
#else
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
#endif
    const QString text = decoder(bytes);
    // An empty line would become an empty source row, which stands for no folder at all; it is
    // left out rather than shown as a blank row that never contributes a file.
    for (const QString& row : SplitListLines(text))
        if (!row.isEmpty())
            list.addRow(row);
}

} // namespace Main
