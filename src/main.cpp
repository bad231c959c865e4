#include "Form1.h"
#include "QtDialogs.h"
#include "common/Display.h"
#include "help/SelfCheck.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (!Main::hasDisplay()) {
        std::fputs("Thinwick needs a graphical desktop session (no display found)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    if (QCoreApplication::arguments().contains(QStringLiteral("--self-check"))) {
        QTextStream out(stdout);
        return Help::selfCheck(out);
    }
    QtDialogs dialogs;
    Form1 form(dialogs);
    dialogs.setOwner(&form);
    QObject::connect(&form, &Form1::unloaded, &app, &QCoreApplication::quit);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
