#include "help/HelpController.h"

#include "BusyState.h"
#include "Controls.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/PathRules.h"
#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QUrl>

HelpController::HelpController(ListView& sources, TextBox& number, Dialogs& dialogs,
                               const QString& appTitle, BusyState& busy, QObject* parent)
    : QObject(parent), m_sources(sources), m_number(number), m_dialogs(dialogs),
      m_appTitle(appTitle), m_busy(busy) {}

void HelpController::showContact(const char* location) {
    Main::ErrorTrap trap(m_dialogs, location);
    trap.run(100, [&] {
        m_dialogs.message(QStringLiteral("Questions? Please contact Team Brindlewood at ") +
                              QString::fromUtf8(Vendor::ContactPage),
                          m_appTitle, MessageIcon::None);
    });
}

void HelpController::loadSamples() {
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
    trap.run(100, [&] { m_sources.addRow(Main::terminatedFolderPath(samples)); });
    // A change of the box: its handler saves the setting and rebuilds the delete list.
    trap.run(102, [&] { m_number.setText(QStringLiteral("15")); });
    trap.run(104, [&] { m_busy.setPointer(BusyState::PointerBusy); });
    trap.run(106, [&] { emit sourcesChanged(); });
    trap.run(108, [&] { m_busy.setPointer(BusyState::PointerDefault); });
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
