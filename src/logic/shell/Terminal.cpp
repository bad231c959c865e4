#include "shell/Terminal.h"

#include "shell/ShellText.h"

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
namespace {
// _isatty says yes to every character device, the NUL device too: only a console counts.
int isConsole(int descriptor) {
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? 1 : 0;
}
} // namespace
#define THINWICK_ISATTY isConsole
#define THINWICK_FILENO _fileno
// The console, where an answer can be read while standard input carries a list.
#define THINWICK_TERMINAL "CONIN$"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define THINWICK_ISATTY ::isatty
#define THINWICK_FILENO ::fileno
#define THINWICK_TERMINAL "/dev/tty"
#endif

namespace Shell {

namespace {

constexpr qint64 ProgressIntervalMs = 100;
constexpr int DefaultLines = 24;

volatile std::sig_atomic_t interruptedFlag = 0;

extern "C" void onInterrupt(int signal) {
    interruptedFlag = signal;
}

} // namespace

bool isTerminal(std::FILE* stream) {
    return THINWICK_ISATTY(THINWICK_FILENO(stream)) != 0;
}

int terminalLines() {
#ifdef TIOCGWINSZ
    winsize size{};
    if (::ioctl(THINWICK_FILENO(stderr), TIOCGWINSZ, &size) == 0 && size.ws_row > 0)
        return size.ws_row;
#endif
    return DefaultLines;
}

bool canAsk(bool stdinTaken) {
    if (!stdinTaken)
        return isTerminal(stdin);
    std::FILE* terminal = std::fopen(THINWICK_TERMINAL, "r");
    if (terminal == nullptr)
        return false;
    std::fclose(terminal);
    return true;
}

bool ask(const QString& question, bool stdinTaken) {
    writeErr(question);
    std::FILE* from = stdinTaken ? std::fopen(THINWICK_TERMINAL, "r") : stdin;
    if (from == nullptr)
        return false;
    char answer[64] = {};
    const bool read = std::fgets(answer, sizeof answer, from) != nullptr;
    if (stdinTaken)
        std::fclose(from);
    if (!read)
        writeErr(QStringLiteral("\n")); // end of input: the prompt's line still wants its end
    return read && (answer[0] == 'y' || answer[0] == 'Y');
}

Progress::Progress(const QString& verb, qsizetype total)
    : m_verb(verb), m_total(total), m_shown(isTerminal(stderr)) {}

void Progress::step(qsizetype done) {
    if (!m_shown || (m_timer.isValid() && m_timer.elapsed() < ProgressIntervalMs))
        return;
    m_timer.start();
    const QString line = QStringLiteral("\r%1: %2 of %3 (%4%)")
                             .arg(m_verb)
                             .arg(done)
                             .arg(m_total)
                             .arg(done * 100 / std::max<qsizetype>(m_total, 1));
    m_width = std::max(m_width, line.size());
    writeErr(line);
}

Progress::~Progress() {
    if (m_shown && m_timer.isValid())
        writeErr(QLatin1Char('\r') + QString(m_width, QLatin1Char(' ')) + QLatin1Char('\r'));
}

InterruptGuard::InterruptGuard()
    : m_int(std::signal(SIGINT, onInterrupt)), m_term(std::signal(SIGTERM, onInterrupt))
#ifdef SIGHUP
      ,
      m_hup(std::signal(SIGHUP, onInterrupt)), m_pipe(std::signal(SIGPIPE, SIG_IGN))
#endif
{
    interruptedFlag = 0;
}

InterruptGuard::~InterruptGuard() {
    std::signal(SIGINT, m_int);
    std::signal(SIGTERM, m_term);
#ifdef SIGHUP
    std::signal(SIGHUP, m_hup);
    std::signal(SIGPIPE, m_pipe);
#endif
}

bool InterruptGuard::interrupted() {
    return interruptedFlag != 0;
}

void InterruptGuard::dieOfSignal() {
    const int signal = interruptedFlag;
    if (signal == 0)
        return;
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    // A signal the caller blocked: the exit status a shell gives a process killed by it.
    std::_Exit(128 + signal);
}

} // namespace Shell
