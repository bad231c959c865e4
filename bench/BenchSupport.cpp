#include "BenchSupport.h"

#include "Form1.h"
#include "common/Random.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Bench {

namespace {
const char* programName = "bench";
const char* usageLine = nullptr;
} // namespace

void setProgram(const char* name, const char* usage) {
    programName = name;
    usageLine = usage;
}

void fail(const QString& text) {
    std::fprintf(stderr, "%s: %s\n", programName, qPrintable(text));
    std::exit(1);
}

int positiveArgument(const char* text, const char* what, long maximum) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > maximum) {
        std::fprintf(stderr, "%s: %s must be a positive whole number, not %s\n", programName, what,
                     text);
        if (usageLine != nullptr)
            std::fprintf(stderr, "usage: %s\n", usageLine);
        std::exit(1);
    }
    return static_cast<int>(value);
}

bool takeFlag(int argc, char* argv[], int& first, const char* flag) {
    if (first >= argc || std::strcmp(argv[first], flag) != 0)
        return false;
    ++first;
    return true;
}

PrivateEnvironment::PrivateEnvironment() {
    if (!m_configHome.isValid())
        fail(QStringLiteral("cannot make a temporary folder"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_configHome.path()));
    useOffscreenUnlessSet();
}

void useOffscreenUnlessSet() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::unique_ptr<Form1> startWindow(Dialogs& dialogs) {
    Main::Random::setStartupSeed(1);
    auto form = std::make_unique<Form1>(dialogs);
    form->Form_Load();
    form->show();
    QCoreApplication::processEvents();
    return form;
}

} // namespace Bench
