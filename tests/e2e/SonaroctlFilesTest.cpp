// sonaroctl with files and devices that are not what they should be: FIFOs and devices where a
// file is expected, a full standard output, a log or database that cannot be written, file names
// that are not valid text, a missing data directory; and signals that must always end it. A
// virtual unit on 127.0.0.2 answers; FIFOs live in the test's own temporary directory.
#include "CtlProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

class SonaroctlFiles : public CtlTest
{
protected:
    void SetUp() override
    {
        if (!prepared({QStringLiteral("127.0.0.2")})) return;
        unit = startVirtualUnit(QStringLiteral("127.0.0.2"), port);
        ASSERT_TRUE(unit);
        // With the preset's suffix: "preset save" would add it to a name without one.
        fifo = dir.filePath(QStringLiteral("fifo.ini"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    }

    QStringList link() const
    {
        return linkArguments(dir.filePath("data"), QStringLiteral("127.0.0.2"), port);
    }

    std::unique_ptr<VirtualUnit> unit;
    QString fifo;
};

TEST_F(SonaroctlFiles, AFifoWhereAFileIsExpectedIsRefusedAtOnceAndNothingIsSent)
{
    const struct
    {
        QStringList words;
        const char* message;
    } cases[] = {
        {{"preset", "show", "FIFO"}, "is not a regular file"},
        {{"preset", "load", "FIFO"}, "is not a regular file"},
        {{"preset", "save", "FIFO"}, "is not a regular file"},
        {{"--log", "FIFO", "login"}, "--log: "},
        {{"--log", "/dev/null", "login"}, "/dev/null is not a regular file"},
    };
    for (const auto& c : cases) {
        QStringList words = c.words;
        words.replaceInStrings(QStringLiteral("FIFO"), fifo);
        QElapsedTimer clock;
        clock.start();
        const CtlResult r = runCtl(link() << words);
        EXPECT_EQ(r.status, 1) << words.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
        EXPECT_LT(clock.elapsed(), 5000) << "no wait for a writer";
    }
    EXPECT_TRUE(unit->received().empty());
}

TEST_F(SonaroctlFiles, AReportOrLogThatCannotBeWrittenFailsTheRun)
{
    // Standard output on a full device: the unit was read, the report lost.
    CtlRun full;
    full.arguments = link() << QStringLiteral("show");
    full.standardOutputFile = QStringLiteral("/dev/full");
    CtlResult r = runCtl(full);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("could not be written to standard output")) << r.err.toStdString();

    // The log on a disk that is full once it is 64 KiB: the first line does not fit.
    const QString log = dir.filePath(QStringLiteral("ctl.log"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024 - 8, '#'));
    file.close();
    CtlRun logged;
    logged.arguments = link() << QStringLiteral("--log") << log << QStringLiteral("login");
    logged.fileSizeLimit = 64 * 1024;
    r = runCtl(logged);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("The event log cannot be written to " + log)) << r.err.toStdString();
    EXPECT_FALSE(r.out.isEmpty()) << "the login itself was done and reported";
}

TEST_F(SonaroctlFiles, ANameTheDatabaseCannotStoreFailsAndTheOldNameStays)
{
    ASSERT_EQ(runCtl(link() + QStringList{"name", "3", "Lectern"}).status, 0);
    // From now on no file may grow past 256 bytes: the database's journal cannot be written.
    CtlRun name;
    name.arguments = link() + QStringList{"name", "3", "Podium"};
    name.fileSizeLimit = 256;
    const CtlResult r = runCtl(name);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("name input 3: not stored: Input 3 name")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("named")) << r.out.toStdString();
    const CtlResult shown = runCtl(link() + QStringList{"--json", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_EQ(jsonObjectOf(shown.out).value("settings").toObject().value("input.3.name").toString(),
              "Lectern");
}

TEST_F(SonaroctlFiles, SigtermEndsAWaitingRunAndSwitchesTheStreamOff)
{
    const struct
    {
        QStringList words;
        int status;
    } cases[] = {
        {{"set", "phantom", "2", "off"}, 1}, // its M is never answered
        {{"monitor"}, 0},                    // runs until interrupted
    };
    for (const auto& c : cases) {
        unit->dropNext('M', 1000);
        QProcess process;
        CtlRun run;
        run.arguments = link() << c.words;
        startCtl(process, run);
        ASSERT_TRUE(waitFor([&] { return unit->streaming(); }, 10000));
        spin(100);
        process.terminate();
        QElapsedTimer clock;
        clock.start();
        const CtlResult r = finishCtl(process, 10000);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_TRUE(waitFor([&] { return !unit->streaming(); }, 2000)) << "the stream is off";
    }
}

TEST_F(SonaroctlFiles, FileNamesAreTakenByteForByteOrRefused)
{
    // Bytes that are no text in the system's encoding would name another file: refused.
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CTL"), QStringLiteral(SONAROCTL_PATH));
    env.insert(QStringLiteral("DIR"), dir.path());
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("exec \"$CTL\" preset show \"$DIR/$(printf 'a\\377b')\"")});
    shell.closeWriteChannel();
    const CtlResult r = finishCtl(shell);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("is not valid text in this system's encoding"))
        << r.err.toStdString();

    // A missing data directory is made one level deep, as the desktop makes it, and said; a
    // missing parent is refused; a name with blanks and non-ASCII letters is taken as it is.
    const QString fresh = dir.filePath(QStringLiteral("new/räum 1"));
    const CtlResult refused =
        runCtl(linkArguments(fresh, QStringLiteral("127.0.0.2"), port) << "login");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("nor does its parent")) << refused.err.toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("new")));
    const CtlResult made =
        runCtl(linkArguments(fresh, QStringLiteral("127.0.0.2"), port) << "login");
    EXPECT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.contains("created the data directory " + fresh)) << made.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(fresh + QStringLiteral("/Halvex.db")));
}

} // namespace
