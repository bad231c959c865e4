#include "sources/AddFolder.h"

#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"
#include "sources/Drop.h"
#include "sources/SourcesController.h"

#include <QDir>

namespace AddFolder {

QString browseForFolder(Dialogs& dialogs, const QString& title, const QString& initialFolder) {
    return dialogs.pickFolder(title, initialFolder);
}

QString pickedFolderRow(const QString& chosen) {
    if (QDir(chosen).isRoot()) {
        QString root = chosen;
        if (!root.endsWith(Main::nativeSeparator()))
            root += Main::nativeSeparator();
        return root;
    }
    return Main::terminatedFolderPath(chosen);
}

} // namespace AddFolder

void SourcesController::addFolder() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton8_Click);
    QString chosen;
    trap.run(100, [&] {
        const QString start = Main::getSetting(QString::fromUtf8(Product::SettingsApp),
                                               QString::fromUtf8(Product::SettingsSection),
                                               QStringLiteral("LastFolderDot"), QString());
        chosen =
            AddFolder::browseForFolder(m_dialogs, QStringLiteral("Please select folder:"), start);
    });
    if (!trap.test(102, [&] { return chosen.isEmpty(); })) {
        trap.run(104, [&] { m_busy.setPointer(BusyState::PointerBusy); });
        trap.run(106, [&] { addSourceFolder(AddFolder::pickedFolderRow(chosen)); });
        trap.run(112, [&] { m_busy.setPointer(BusyState::PointerDefault); });
    }
    trap.run(114, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(116, [&] { emit sourcesChanged(); });
    trap.run(118, [&] { m_busy.setPointer(BusyState::PointerDefault); });
}

void SourcesController::addStartFolders(const QStringList& paths) {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton8_Click);
    QStringList notFolders;
    trap.run(104, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    for (const QString& path : paths) {
        // The picker hands over whole paths; one typed in a shell may be relative.
        const QString folder =
            QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
        if (Main::IsFolder(folder))
            trap.run(106, [&] { addSourceFolder(AddFolder::pickedFolderRow(folder)); });
        else
            notFolders.append(path);
    }
    trap.run(112, [&] { m_busy.setPointer(BusyState::PointerDefault); });
    if (!notFolders.isEmpty())
        m_dialogs.message(AddFolder::notFoldersMessage(notFolders), m_appTitle, MessageIcon::None);
    trap.run(114, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(116, [&] { emit sourcesChanged(); });
    trap.run(118, [&] { m_busy.setPointer(BusyState::PointerDefault); });
}
