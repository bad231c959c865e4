#include "Form1.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "common/ProgramFolder.h"
#include "deletelist/DeleteList.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

void showContact(Dialogs& dialogs, const char* location, const QString& title) {
    Main::ErrorTrap trap(dialogs, location);
    trap.run(100, [&] {
        dialogs.message(QStringLiteral("Questions? Please contact Team Brindlewood at ") +
                            QString::fromUtf8(Vendor::ContactPage),
                        title, MessageIcon::None);
    });
}

} // namespace

void Form1::PushButton14_Click() {
    showContact(m_dialogs, Location::PushButton14_Click, m_appTitle);
}

void Form1::PushButton15_Click() {
    showContact(m_dialogs, Location::PushButton15_Click, m_appTitle);
}

void Form1::PushButton16_Click() {
    Main::ErrorTrap trap(m_dialogs, Location::PushButton16_Click);
    const ProgramFolder::Found where =
        ProgramFolder::locate(QCoreApplication::applicationDirPath());
    const QString samples = ProgramFolder::sampleFolder(where);
    // An installed program deletes from the user's own copy, brought back to the full set first
    // so the demo can be run again; a failure is reported and the row is added all the same.
    if (where.shared)
        trap.run(100, [&] {
            ProgramFolder::refreshSampleCopy(where.folder + QStringLiteral("/Samples"), samples);
        });
    trap.run(100, [&] { addSourceFolder(Main::terminatedFolderPath(samples)); });
    // A change of the box: its handler saves the setting and rebuilds the delete list.
    trap.run(102, [&] { Text1->setText(QStringLiteral("15")); });
    trap.run(104, [&] { setMousePointer(PointerBusy); });
    trap.run(106, [&] { Delete1::CorrelateListviewsWrapper(*this); });
    trap.run(108, [&] { setMousePointer(PointerDefault); });
    if (!trap.test(110, [&] {
            return m_dialogs.question(
                QStringLiteral("Would you like this software to open the folder where these "
                               "sample files are stored (so that you can view them before "
                               "working with them)?"),
                m_appTitle);
        }))
        return;
    trap.run(112, [&] { m_dialogs.openUrl(QUrl::fromLocalFile(samples + QLatin1Char('/'))); });
}
