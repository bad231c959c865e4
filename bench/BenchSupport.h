#pragma once

#include <vector>

#include <algorithm>

#include <QElapsedTimer>

// What every benchmark program shares: its name and usage line in messages, the checks of its
// number arguments, a private environment, and the shown window with a fixed start-up seed.

#include <QString>
#include <QTemporaryDir>

#include <memory>

class Dialogs;
class Form1;

namespace Bench {

// Names the program and its usage line for the messages below; call first thing in main.
void setProgram(const char* name, const char* usage);

// Prints "<program>: <text>" to standard error and ends the program with status 1.
[[noreturn]] void fail(const QString& text);

// The number in text, a whole number from 1 to maximum; otherwise a message naming what, the
// usage line and status 1.
int positiveArgument(const char* text, const char* what, long maximum = 10'000'000);

// Whether argv[first] is the flag; when it is, first moves past it.
bool takeFlag(int argc, char* argv[], int& first, const char* flag);

// The window's settings go to a throwaway folder, never to the user's own file, and the window
// opens offscreen unless QT_QPA_PLATFORM says otherwise. Lives until the end of main; made before
// the QApplication, which reads the environment once.
class PrivateEnvironment {
public:
    PrivateEnvironment();

private:
    QTemporaryDir m_configHome;
};

// The offscreen platform unless QT_QPA_PLATFORM names one; before the QApplication.
void useOffscreenUnlessSet();

// The main window as a user sees it after start-up: loaded, shown and painted. The fixed start-up
// seed keeps start-up from ever opening the vendor's page.
std::unique_ptr<Form1> startWindow(Dialogs& dialogs);

// The median in milliseconds of repetitions runs of the work; prepare runs untimed before each.
template <class Prepare, class Work>
double medianMs(int repetitions, Prepare&& prepare, Work&& work) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace Bench
