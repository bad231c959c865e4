#include "app/Dialogs.h"
#include "app/Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QtDialogs dialogs;
    Form1 form(dialogs);
    dialogs.setOwner(&form);
    QObject::connect(&form, &Form1::unloaded, &app, &QCoreApplication::quit);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
