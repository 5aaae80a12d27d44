// sonaroctl --log: the event log's lines of a run in the file named, as the desktop writes them.
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

class SonaroctlLog : public ::testing::Test
{
protected:
    void SetUp() override
    {
#ifndef SONAROCTL_PATH
        GTEST_SKIP() << "built without the sonaroctl program";
#else
        ASSERT_NE(port, 0);
        VirtualUnitOptions options;
        options.address = QHostAddress(kUnitAddress);
        options.port = port;
        options.statusInterval = 20;
        unit = std::make_unique<VirtualUnit>(options);
        ASSERT_TRUE(unit->start());
#endif
    }

    // Runs sonaroctl in the temporary directory while the unit answers; its exit status.
    int run(const QStringList& extra)
    {
        QProcess ctl;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SONARO_TIMING_SCALE"), QStringLiteral("10"));
        ctl.setProcessEnvironment(env);
        ctl.setWorkingDirectory(dir.path());
        const QStringList link = {"--data-dir",    dir.filePath("data"),  "--bind",
                                  kProgramAddress, "--address",           kUnitAddress,
                                  "--port",        QString::number(port), "--password",
                                  "888888"};
#ifdef SONAROCTL_PATH
        ctl.start(QStringLiteral(SONAROCTL_PATH), link + extra);
#endif
        ctl.closeWriteChannel();
        if (!ctl.waitForStarted(5000) ||
            !waitFor([&] { return ctl.state() == QProcess::NotRunning; }, 20000)) {
            ctl.kill();
            ctl.waitForFinished(2000);
            return -1;
        }
        return ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -2;
    }

    QTemporaryDir dir;
    quint16 port = freeLoopbackPort();
    std::unique_ptr<VirtualUnit> unit;
};

TEST_F(SonaroctlLog, WritesTheRunsEventsToTheFileNamedWithoutThePassword)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("data"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("logs"));
    // A relative name lies where sonaroctl runs, not in the data directory.
    ASSERT_EQ(run({"--log", "logs/ctl.log", "login"}), 0);
    QFile file(dir.filePath("logs/ctl.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(lines.contains("\tconnection\tLogging in to 127.0.0.2 as admin\n"))
        << lines.toStdString();
    EXPECT_TRUE(lines.contains("\tlogin\tLogged in to 127.0.0.2 as admin (unit count 1)\n"));
    EXPECT_FALSE(lines.contains("888888"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("data/sonaro.log")));

    EXPECT_EQ(run({"--log", "", "login"}), 2);
}

} // namespace
} // namespace sonaro::testing
