#include "Form1.h"
#include "QtDialogs.h"
#include "SelfCheck.h"
#include "common/Display.h"
#include "shell/RuntimeFolder.h"
#include "shell/Shell.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    const bool selfCheck = argc == 2 && std::strcmp(argv[1], "--self-check") == 0;
    // Any other argument makes a command-line run: no window, no display.
    if (argc > 1 && !selfCheck) {
        const QCoreApplication app(argc, argv);
        return Shell::run(QCoreApplication::arguments().mid(1));
    }
    if (selfCheck) {
        // The check shows nothing, so it needs no display: without one it runs offscreen.
        if (!Main::hasDisplay())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const Shell::PrivateRuntimeFolder runtime;
        const QApplication app(argc, argv);
        QTextStream out(stdout);
        return Help::selfCheck(out);
    }
    if (!Main::hasDisplay()) {
        std::fputs("Thinwick needs a graphical desktop session (no display found); "
                   "see thinwick --help for the command line\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QtDialogs dialogs;
    Form1 form(dialogs);
    dialogs.setOwner(&form);
    QObject::connect(&form, &Form1::unloaded, &app, &QCoreApplication::quit);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
