#pragma once
// For the tests that lay files beside the program (pointer images, the skin, the samples, an
// installed layout next to it): the test runs from a copy of its program in a temporary folder of
// its own, <temp>/bin/<program>, so those files go there and never into the build folder, which
// the user running the tests may not be able to write. The first start makes the copy, runs it
// with the same arguments and output, and answers with its exit status; the copy runs the tests.

#include "TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace RunApart {

inline constexpr char Marker[] = "THINWICK_TEST_APART";

// Runs the copy; the exit status of the test, 1 when it could not be run.
inline int runCopy(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QTemporaryDir apart;
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString bin = apart.path() + QStringLiteral("/bin");
    const QString copy = bin + QLatin1Char('/') + program.fileName();
    if (!apart.isValid() || !QDir().mkpath(bin) || !QFile::copy(program.filePath(), copy)) {
        std::fprintf(stderr, "cannot copy the test program into a temporary folder\n");
        return 1;
    }
    // Qt Test reads the functions expected to fail on this platform from BLACKLIST beside the
    // program.
    const QString blacklist = program.path() + QStringLiteral("/BLACKLIST");
    if (QFile::exists(blacklist))
        QFile::copy(blacklist, bin + QStringLiteral("/BLACKLIST"));
    QProcess test;
    test.setProgram(copy);
    test.setArguments(QCoreApplication::arguments().mid(1));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(Marker), QStringLiteral("1"));
#ifdef Q_OS_WIN
    // The libraries the program was built with stay where they are.
    environment.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(program.path()) + ';' +
                                                   environment.value(QStringLiteral("PATH")));
#endif
    test.setProcessEnvironment(environment);
    test.setProcessChannelMode(QProcess::ForwardedChannels);
    test.setInputChannelMode(QProcess::ForwardedInputChannel);
    test.start();
    if (!test.waitForFinished(-1) || test.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "the test program's copy did not finish: %s\n",
                     qPrintable(test.errorString()));
        return 1;
    }
    return test.exitCode();
}

} // namespace RunApart

// THINWICK_TEST_MAIN, run from a copy of the program in a temporary folder of its own.
#define THINWICK_TEST_MAIN_APART(TestObject)                                                       \
    int main(int argc, char* argv[]) {                                                             \
        if (qEnvironmentVariableIsEmpty(RunApart::Marker))                                         \
            return RunApart::runCopy(argc, argv);                                                  \
        TestEnv::prepare();                                                                        \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
