// "1. Add All Subfolders In Folder": the chosen folder and every folder below it become rows.
#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"
#include "deletelist/ListingCache.h"
#include "sources/AddFolder.h"
#include "sources/FolderTree.h"
#include "sources/SourcesController.h"
#include "sources/SubDirectories.h"

void SourcesController::addSourceFolders(const QStringList& texts) {
    m_list.addRows(texts);
}

void SourcesController::addSubfolders() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton6_Click);
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
        // The walk starts from the path as chosen; the row holds its normalised form.
        const QChar separator = Main::nativeSeparator();
        QStringList folders;
        QString own;
        if (trap.test(108, [&] { return chosen.endsWith(separator); })) {
            trap.run(110, [&] { own = chosen; });
            trap.run(112, [&] { addSourceFolder(Main::NormalizeFolderPath(chosen)); });
        } else {
            trap.run(114, [&] {
                own = chosen + separator;
                addSourceFolder(Main::NormalizeFolderPath(chosen) + separator);
            });
        }
        folders.append(own);
        trap.run(116, [&] {
            AddFolder::DiskFolderTree tree;
            // The walk reads every folder's entries anyway: it hands their files to the rebuild,
            // folder by folder, so no long step of the click is spent on them.
            tree.keepListings([this](Delete1::FolderListing&& listing) {
                if (m_keepListing)
                    m_keepListing(std::move(listing));
            });
            // A window closed meanwhile ends the walk: the program is going away.
            AddFolder::GetSubDirectories2016(
                folders, true, m_dialogs, tree,
                AddFolder::messageLoopTurns([this] { return !m_busy.isUnloaded(); }));
        });
        if (m_busy.isUnloaded())
            return;
        // Everything the walk found goes in at once, after the chosen folder's own entry, whose
        // row is there already.
        trap.run(118, [&] {
            const qsizetype skip = !folders.isEmpty() && folders.first() == own ? 1 : 0;
            addSourceFolders(folders.mid(skip));
        });
        trap.run(126, [&] { m_busy.setPointer(BusyState::PointerDefault); });
    }
    trap.run(128, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(130, [&] { emit sourcesChanged(); });
    trap.run(132, [&] { m_busy.setPointer(BusyState::PointerDefault); });
}
