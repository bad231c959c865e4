// "1. Load List Of Folders From File": every line of the chosen folder list files becomes a source
// row, then the delete list is drawn afresh.
#include "BusyState.h"
#include "Controls.h"
#include "Paths.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "sources/ListFile.h"
#include "sources/SourcesController.h"

void SourcesController::loadListFiles() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton1_Click);
    trap.run(100, [&] {
        m_dialogs.message(QStringLiteral("Load a list of destination folders from a text file."),
                          m_appTitle, MessageIcon::None);
    });
    // The picker is opened fresh each time with its title and its one filter, several files
    // allowed and no initial folder; it answers the chosen paths, none when cancelled.
    QStringList picked;
    trap.run(110, [&] {
        picked =
            m_dialogs.pickFiles(QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"),
                                QStringLiteral("All Files (*.*)"));
    });
    const qsizetype highest = picked.size() - 1;
    if (trap.test(114, [&] { return highest == 0; })) {
        // One file: its path is used exactly as the picker returned it.
        QString path;
        trap.run(116, [&] { path = picked.front(); });
        if (trap.test(118, [&] { return !AddFolder::IsBadFileName(path); })) {
            trap.run(120, [&] { Main::LoadListFromFile(m_list, path, m_dialogs, m_appTitle); });
        } else {
            trap.run(122, [&] {
                m_dialogs.message(Main::notAddedMessage(path), m_appTitle, MessageIcon::None);
            });
        }
    } else if (trap.test(124, [&] { return highest >= 1; })) {
        QList<Main::ChosenFile> parts;
        trap.run(126, [&] { parts = Main::splitChosenFiles(picked); });
        for (const Main::ChosenFile& part : parts) {
            QString path;
            trap.run(132, [&] { path = part.folder + Main::nativeSeparator() + part.name; });
            // A root folder already ends in the separator; the doubled one is collapsed here.
            trap.run(134, [&] { path = Main::NormalizeFolderPath(path); });
            if (trap.test(136, [&] { return !AddFolder::IsBadFileName(path); })) {
                trap.run(138, [&] { Main::LoadListFromFile(m_list, path, m_dialogs, m_appTitle); });
            } else {
                trap.run(140, [&] {
                    m_dialogs.message(Main::notAddedMessage(path), m_appTitle, MessageIcon::None);
                });
            }
        }
    }
    // Every way through ends here, a cancel and rejected files too.
    trap.run(144, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(146, [&] { emit sourcesChanged(); });
    trap.run(148, [&] { m_busy.setPointer(BusyState::PointerDefault); });
}
