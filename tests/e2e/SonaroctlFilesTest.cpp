// sonaroctl with files and devices that are not what they should be: FIFOs and devices where a
// file is expected, a full standard output, a log or database that cannot be written, file names
// that are not valid text, a missing data directory; and signals that must always end it. A
// virtual unit on 127.0.0.2 answers; FIFOs live in the test's own temporary directory.
#include "CtlProcess.h"

#include <QDir>
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
        prepare({kUnitAddress});
        if (IsSkipped() || HasFatalFailure()) return;
        // With the preset's suffix: "preset save" would add it to a name without one.
        fifo = dir.filePath(QStringLiteral("fifo.ini"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    }

    QStringList link(const QString& dataDir = {}) const
    {
        return linkArguments(dataDir.isEmpty() ? dir.filePath("data") : dataDir, kUnitAddress,
                             port);
    }

    QString fifo;
};

TEST_F(SonaroctlFiles, AFifoWhereAFileIsExpectedIsRefusedAtOnceAndNothingIsSent)
{
    const struct
    {
        QStringList words;
        const char* message;
    } cases[] = {
        {{"preset", "load", "FIFO"}, "is not a regular file"},
        {{"preset", "save", "FIFO"}, "is not a regular file"},
        {{"--log", "/dev/null", "login"}, "/dev/null is not a regular file"},
    };
    for (const auto& c : cases) {
        QStringList words = c.words;
        words.replaceInStrings(QStringLiteral("FIFO"), fifo);
        const CtlResult r = runCtl(link() << words); // -1 when it waits for a writer
        EXPECT_EQ(r.status, 1) << words.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    }
    EXPECT_TRUE(unit->received().empty());
}

// A report, a log or a name that cannot be written fails the run, though the unit was reached.
TEST_F(SonaroctlFiles, AnOutputThatCannotBeWrittenFailsTheRun)
{
    // The log on a disk that is full once it is 64 KiB: the first line does not fit.
    const QString log = dir.filePath(QStringLiteral("ctl.log"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024 - 8, '#'));
    file.close();
    ASSERT_EQ(runCtl(link() + QStringList{"name", "3", "Lectern"}).status, 0);
    const struct
    {
        CtlRun run;
        QString message;
    } cases[] = {
        {{link() << "show", {}, {}, "/dev/full", 0}, "could not be written to standard output"},
        {{link() << "--log" << log << "login", {}, {}, {}, 64 * 1024},
         "The event log cannot be written to " + log},
        // No file may grow past 256 bytes: the database's journal cannot be written.
        {{link() + QStringList{"name", "3", "Podium"}, {}, {}, {}, 256},
         "name input 3: not stored: Input 3 name"},
    };
    for (const auto& c : cases) {
        const CtlResult r = runCtl(c.run);
        EXPECT_EQ(r.status, 1) << c.message.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
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
        unit->clearReceived();
        QProcess process;
        startCtl(process, {link() << c.words, {}, {}, {}, 0});
        // Once it waits: for the answer to its M, or in the stream.
        ASSERT_TRUE(
            waitFor([&] { return unit->receivedCount(c.words[0] == "set" ? 'M' : 'L'); }, 10000));
        process.terminate();
        const CtlResult r = finishCtl(process, 5000);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(waitFor([&] { return !unit->streaming(); }, 2000)) << "the stream is off";
    }
}

TEST_F(SonaroctlFiles, FileNamesAreTakenByteForByteOrRefused)
{
    // Bytes that are no text in the system's encoding would name another file: refused.
    QProcess shell;
    const QString script = "exec \"$SONAROCTL\" preset show \"$0/$(printf 'a\\377b')\"";
    startCtl(shell, {{"-c", script, dir.path()}, {}, {}, {}, 0}, QStringLiteral("sh"));
    const CtlResult r = finishCtl(shell);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("is not valid text in this system's encoding"))
        << r.err.toStdString();

    // A missing data directory is made one level deep, as the desktop makes it, and said; a
    // missing parent is refused; a name with blanks and non-ASCII letters is taken as it is.
    const QString fresh = dir.filePath(QStringLiteral("new/räum 1"));
    const CtlResult refused = runCtl(link(fresh) << "login");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("nor does its parent")) << refused.err.toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("new")));
    const CtlResult made = runCtl(link(fresh) << "login");
    EXPECT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.contains("created the data directory " + fresh)) << made.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(fresh + QStringLiteral("/Halvex.db")));
}

} // namespace
