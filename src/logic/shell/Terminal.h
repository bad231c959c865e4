#pragma once

#include <QElapsedTimer>
#include <QString>
#include <csignal>
#include <cstdio>

// What the command line does with a terminal: ask, size a screenful, show progress, and stop a
// run cleanly on Ctrl+C or a closed terminal.
namespace Shell {

bool isTerminal(std::FILE* stream);

// The lines of the terminal on stderr, or 24 when it does not say.
int terminalLines();

// Whether a question can be asked: standard input is a terminal, or (when standard input carries
// a list) the process has a controlling terminal to read the answer from.
bool canAsk(bool stdinTaken);

// Asks on stderr and reads the answer from the terminal; true for an answer starting with y.
bool ask(const QString& question, bool stdinTaken);

// The progress line on stderr, shown only on a terminal and at most ten times a second.
class Progress {
public:
    Progress(const QString& verb, qsizetype total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void step(qsizetype done);

private:
    QString m_verb;
    qsizetype m_total;
    bool m_shown;
    qsizetype m_width = 0;
    QElapsedTimer m_timer;
};

// While it lives, Ctrl+C, SIGTERM and a closed terminal (SIGHUP) set interrupted() instead of
// ending the process, so a run stops between two files, flushes and records what it moved; a
// reader that went away (SIGPIPE) shows as a failed write instead of ending the process.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    static bool interrupted();
    // After a clean stop on one of those signals: the signal's default action restored and the
    // signal raised again, so the caller sees the process die of it (a shell says 130 for
    // Ctrl+C). Returns only when no signal came.
    static void dieOfSignal();

private:
    using Handler = void (*)(int);
    Handler m_int;
    Handler m_term;
#ifdef SIGHUP
    Handler m_hup;
    Handler m_pipe;
#endif
};

} // namespace Shell
