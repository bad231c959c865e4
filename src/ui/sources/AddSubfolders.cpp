// "1. Add All Subfolders In Folder": the chosen folder and every folder below it become rows.
#include "Form1.h"
#include "Paths.h"
#include "common/ErrorReport.h"
#include "common/Settings.h"
#include "deletelist/DeleteList.h"
#include "sources/AddFolder.h"
#include "sources/FolderTree.h"
#include "sources/SubDirectories.h"

void Form1::addSourceFolders(const QStringList& texts) {
    ListView1->addRows(texts);
}

void Form1::PushButton6_Click() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton6_Click);
    QString chosen;
    trap.run(100, [&] {
        const QString start =
            Main::getSetting(QStringLiteral("Brindlewood"), QStringLiteral("Thinwick"),
                             QStringLiteral("LastFolderDot"), QString());
        chosen =
            AddFolder::browseForFolder(m_dialogs, QStringLiteral("Please select folder:"), start);
    });
    if (!trap.test(102, [&] { return chosen.isEmpty(); })) {
        trap.run(104, [&] { setMousePointer(PointerBusy); });
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
                listingCache.prime(std::move(listing));
            });
            // A window closed meanwhile ends the walk: the program is going away.
            AddFolder::GetSubDirectories2016(
                folders, true, m_dialogs, tree,
                AddFolder::messageLoopTurns([this] { return !m_unloaded; }));
        });
        if (m_unloaded)
            return;
        // Everything the walk found goes in at once, after the chosen folder's own entry, whose
        // row is there already.
        trap.run(118, [&] {
            const qsizetype skip = !folders.isEmpty() && folders.first() == own ? 1 : 0;
            addSourceFolders(folders.mid(skip));
        });
        trap.run(126, [&] { setMousePointer(PointerDefault); });
    }
    trap.run(128, [&] { setMousePointer(PointerBusy); });
    trap.run(130, [&] { Delete1::CorrelateListviewsWrapper(*this); });
    trap.run(132, [&] { setMousePointer(PointerDefault); });
}
