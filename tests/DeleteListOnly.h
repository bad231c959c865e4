#pragma once

#include "BusyState.h"
#include "Controls.h"
#include "SummaryBox.h"
#include "common/AppTitle.h"
#include "common/ErrorReport.h"
#include "deletelist/DeleteList.h"

#include <QWidget>

// The delete list's controller over bare widgets, without the window: the controls it touches
// under their designed names, a busy state, and the connections the window makes for them. Its
// handler names are the window's, forwarded as the window forwards them.
class DeleteListOnly : public QWidget {
public:
    explicit DeleteListOnly(Dialogs& dialogs)
        : list(*ListView1, *Text1, *ListView3, *Text4, dialogs, title, busy) {
        using Main::untrapped;
        connect(Text1, &TextBox::change, this, [this] { untrapped([this] { Text1_Change(); }); });
        connect(Text1, &TextBox::validate, this,
                [this] { untrapped([this] { Text1_Validate(); }); });
        connect(PushButton12, &QPushButton::clicked, this,
                [this] { untrapped([this] { PushButton12_Click(); }); });
        connect(PushButton9, &QPushButton::clicked, this,
                [this] { untrapped([this] { PushButton9_Click(); }); });
        connect(PushButton11, &QPushButton::clicked, this,
                [this] { untrapped([this] { list.removeContainingClick(); }); });
        connect(PushButton13, &QPushButton::clicked, this,
                [this] { untrapped([this] { list.removeNotContainingClick(); }); });
        connect(ListView3, &ListView::keyDown, this,
                [this](int key, Qt::KeyboardModifiers) { untrapped([&] { list.keyDown(key); }); });
    }

    ListView* ListView1 = new ListView(this);
    TextBox* Text1 = new TextBox(this);
    ListView* ListView3 = new ListView(this);
    SummaryBox* Text4 = new SummaryBox(this);
    PushButton* PushButton9 = new PushButton(this);
    PushButton* PushButton11 = new PushButton(this);
    PushButton* PushButton12 = new PushButton(this);
    PushButton* PushButton13 = new PushButton(this);
    BusyState busy;
    QString title;
    DeleteListController list;
    Delete1::ListingCache& listingCache = list.listingCache();

    void SetAppTitle() { title = Main::appTitleFrom(windowTitle()); }
    const QString& appTitle() const { return title; }
    int mousePointer() const { return busy.pointer(); }
    void setMousePointer(int value) { busy.setPointer(value); }
    void addSourceFolder(const QString& text) { ListView1->addRow(text); }
    void Text1_Change() { list.numberChanged(); }
    void Text1_Validate() { list.validateNumber(); }
    void PushButton12_Click() { list.generate(); }
    void PushButton9_Click() { list.clear(); }
};
