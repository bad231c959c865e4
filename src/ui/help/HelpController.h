#pragma once

#include <QObject>
#include <QString>

class BusyState;
class Dialogs;
class ListView;
class TextBox;

// The help buttons: the two contact buttons, and "Load Sample/Example Files", which adds the
// sample folder as a source row and sets the number box to 15.
class HelpController : public QObject {
    Q_OBJECT
public:
    HelpController(ListView& sources, TextBox& number, Dialogs& dialogs, const QString& appTitle,
                   BusyState& busy, QObject* parent = nullptr);

    // "Questions? Please contact ..." from either contact button; location names the button.
    void showContact(const char* location);
    void loadSamples();

signals:
    // The sample row was added: the delete list is to be drawn afresh.
    void sourcesChanged();

private:
    ListView& m_sources;
    TextBox& m_number;
    Dialogs& m_dialogs;
    const QString& m_appTitle;
    BusyState& m_busy;
};
