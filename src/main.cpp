#include "Form1.h"
#include "QtDialogs.h"
#include "SelfCheck.h"
#include "common/Display.h"
#include "shell/RuntimeFolder.h"
#include "shell/Shell.h"

#include <QApplication>
#include <QMetaObject>
#include <QTextStream>
#include <cstdio>

int main(int argc, char* argv[]) {
    // What the arguments ask for decides which application is made; only their leading dashes
    // count for that, so the local decoding is good enough here.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLocal8Bit(argv[i]));
    const Shell::Mode mode =
        given.isEmpty() ? Shell::Mode::Window : Shell::parseArguments(given).options.mode;
    // Any option but --self-check makes a command-line run: no window, no display.
    if (mode != Shell::Mode::Window && mode != Shell::Mode::SelfCheck) {
        const QCoreApplication app(argc, argv);
        return Shell::run(QCoreApplication::arguments().mid(1));
    }
    if (mode == Shell::Mode::SelfCheck) {
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
    // Folders handed over by the desktop or a shell are added once the window shows, as
    // "1. Add Folder(s)" adds a chosen folder.
    if (const QStringList folders =
            Shell::parseArguments(QCoreApplication::arguments().mid(1)).options.folders;
        !folders.isEmpty())
        QMetaObject::invokeMethod(
            &form, [&form, folders] { form.sources().addStartFolders(folders); },
            Qt::QueuedConnection);
    return QApplication::exec();
}
