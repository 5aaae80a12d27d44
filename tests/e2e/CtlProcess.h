#pragma once

// Running the sonaroctl program from a test against virtual units on loopback: the program in a
// child process, the units in this process, whose event loop keeps answering while the test waits
// for the child.

#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include <sys/resource.h>

namespace sonaro::testing {

// The link's timings are shrunk this many times, not more: shrunk tenfold, the silence time-out is
// short enough for a loaded machine to stall the test's virtual unit past it.
inline const QString kCtlTimingScale = QStringLiteral("5");

struct CtlResult
{
    int status = -1; // -1: did not end in time, -2: crashed or killed
    QString out;
    QString err;
};

// One run of sonaroctl: the link's timings shrunk, neither SONARO_PASSWORD nor SONARO_DATA_DIR
// inherited, standard input closed after input.
struct CtlRun
{
    QStringList arguments;
    QProcessEnvironment environment; // added to the inherited one
    QByteArray input;
    QString standardOutputFile; // instead of a pipe
    rlim_t fileSizeLimit = 0;   // the child's RLIMIT_FSIZE; 0: unlimited
};

// Runs sonaroctl, or program (a shell for a script) with SONAROCTL naming sonaroctl.
inline void startCtl(QProcess& process, const CtlRun& run, const QString& program = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONARO_TIMING_SCALE"), kCtlTimingScale);
    for (const char* key : {"SONARO_PASSWORD", "SONARO_NEW_PASSWORD", "SONARO_DATA_DIR"})
        env.remove(QString::fromLatin1(key));
    for (const QString& key : run.environment.keys())
        env.insert(key, run.environment.value(key));
#ifdef SONAROCTL_PATH
    env.insert(QStringLiteral("SONAROCTL"), QStringLiteral(SONAROCTL_PATH));
#endif
    process.setProcessEnvironment(env);
    if (!run.standardOutputFile.isEmpty()) process.setStandardOutputFile(run.standardOutputFile);
    if (run.fileSizeLimit > 0) {
        const rlim_t limit = run.fileSizeLimit;
        process.setChildProcessModifier([limit] {
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
        });
    }
#ifdef SONAROCTL_PATH
    process.start(program.isEmpty() ? QStringLiteral(SONAROCTL_PATH) : program, run.arguments);
#endif
    if (!run.input.isEmpty()) process.write(run.input);
    process.closeWriteChannel(); // no terminal: never a prompt
}

// Waits, with this process's event loop running, for a started process to end.
inline CtlResult finishCtl(QProcess& process, int timeoutMs = 20000)
{
    CtlResult result;
    if (!process.waitForStarted(5000)) return result;
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline CtlResult runCtl(const CtlRun& run)
{
    QProcess process;
    startCtl(process, run);
    return finishCtl(process);
}

inline CtlResult runCtl(const QStringList& arguments)
{
    return runCtl(CtlRun{arguments, {}, {}, {}, 0});
}

// The options that point sonaroctl at a unit on loopback, with the link bound to 127.0.0.1.
inline QStringList linkArguments(const QString& dataDir, const QString& unitAddress, quint16 port,
                                 const QString& password = QStringLiteral("888888"))
{
    return {
        QStringLiteral("--data-dir"), dataDir,     QStringLiteral("--bind"), kProgramAddress,
        QStringLiteral("--address"),  unitAddress, QStringLiteral("--port"), QString::number(port),
        QStringLiteral("--password"), password};
}

inline QJsonObject jsonObjectOf(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// A virtual unit on loopback, streaming every 20 ms; null when it cannot bind.
inline std::unique_ptr<VirtualUnit> startVirtualUnit(const QString& address, quint16 port,
                                                     int unitCount = 1, int answerDelay = 0)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(address);
    options.port = port;
    options.unitCount = unitCount;
    options.statusInterval = 20;
    options.answerDelay = answerDelay;
    auto unit = std::make_unique<VirtualUnit>(options);
    return unit->start() ? std::move(unit) : nullptr;
}

// What every sonaroctl test needs: the program, a data directory, a port free on the addresses
// the test's units use, and a virtual unit on the first of them.
class CtlTest : public ::testing::Test
{
protected:
    // Call first in SetUp: a gtest skip or failure here ends the test before its body.
    void prepare(const std::vector<QString>& unitAddresses, int unitCount = 1)
    {
#ifndef SONAROCTL_PATH
        GTEST_SKIP() << "built without the sonaroctl program";
#endif
        ASSERT_TRUE(dir.isValid());
        port = freeLoopbackPort(unitAddresses);
        ASSERT_NE(port, 0);
        unit = startVirtualUnit(unitAddresses.front(), port, unitCount);
        ASSERT_TRUE(unit);
    }
    QStringList link() const
    {
        return linkArguments(dir.path(), unit->address().toString(), port);
    }

    QTemporaryDir dir;
    quint16 port = 0;
    std::unique_ptr<VirtualUnit> unit;
};

} // namespace sonaro::testing
