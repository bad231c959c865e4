#include "sources/AddFolder.h"

#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"
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
