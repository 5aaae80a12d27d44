#include "support/LoopbackCore.h"

#include "link/Session.h"
#include "mixer/EventLogFile.h"
#include "mixer/EventLogSources.h"

#include <QDir>
#include <QFile>
#include <QUdpSocket>

#include <gmock/gmock.h>

namespace sonaro::testing {
namespace {

// The texts of the log's events of one kind.
QStringList textsOf(const EventLog& log, EventKind kind)
{
    QStringList list;
    for (const Event& e : log.events())
        if (e.kind == kind) list << e.text;
    return list;
}

bool has(const EventLog& log, EventKind kind, const QString& part)
{
    return textsOf(log, kind).filter(part).size() > 0;
}

// The log file lives in the data directory and outlives the core that wrote it; the login's
// password is in neither.
TEST(EventLogEndToEnd, ConnectionLoginSilenceReloginAndDisconnectReachTheLogAndItsFile)
{
    LoopbackCore c({.fullSilenceTimeout = false});
    c.coreOptions.logFile = QString::fromLatin1(kEventLogFileName);
    c.core = std::make_unique<SonaroCore>(c.op, c.coreOptions);
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.login());
    const EventLog& log = c.core->eventLog();
    EXPECT_TRUE(has(log, EventKind::Connection, "Logging in to 127.0.0.2 as admin"));
    EXPECT_TRUE(has(log, EventKind::Connection, "Connected to 127.0.0.2"));
    EXPECT_EQ(textsOf(log, EventKind::Login),
              QStringList{"Logged in to 127.0.0.2 as admin (unit count 1)"});

    c.unit->silence(1200);
    ASSERT_TRUE(waitFor([&] { return !textsOf(log, EventKind::Silence).isEmpty(); }, 3000));
    EXPECT_TRUE(has(log, EventKind::Silence, "No status from 127.0.0.2"));
    ASSERT_TRUE(waitFor([&] { return !textsOf(log, EventKind::Relogin).isEmpty(); }, 5000));
    // The re-login is not counted as a new login.
    EXPECT_EQ(textsOf(log, EventKind::Login).size(), 1);

    c.core->disconnectUnit();
    ASSERT_TRUE(
        waitFor([&] { return c.core->session().connection() == Connection::Offline; }, 3000));
    EXPECT_TRUE(
        has(log, EventKind::StateFile, "Settings written to " + c.dir.filePath("data.ini")));
    EXPECT_TRUE(has(log, EventKind::Connection, "Disconnecting from 127.0.0.2"));
    EXPECT_EQ(log.events().back().text, "Offline");

    ASSERT_TRUE(c.restartCore());
    EXPECT_TRUE(has(c.core->eventLog(), EventKind::StateFile,
                    "Settings read from " + c.dir.filePath("data.ini")));
    QFile file(c.dir.filePath(QString::fromLatin1(kEventLogFileName)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(lines.contains("\tstate-file\tSettings written to ")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("\tstate-file\tSettings read from ")) << lines.toStdString();
    EXPECT_FALSE(lines.contains("888888"));
}

TEST(EventLogEndToEnd, DroppedFramesAreLoggedMaskedAndAFloodIsCounted)
{
    LoopbackCore c;
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.login());
    auto* sources = c.core->findChild<EventLogSources*>();
    ASSERT_NE(sources, nullptr);
    sources->setDroppedWindow(400);
    const EventLog& log = c.core->eventLog();

    // Another sender on loopback plays a stranger; its frames carry a login.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    const int sent = EventLogSources::kDroppedPerWindow + 15;
    for (int i = 0; i < sent; ++i)
        stranger.writeDatagram("%R,admin&&,888888&,1234#", QHostAddress(kProgramAddress), c.port);
    ASSERT_TRUE(waitFor([&] { return c.core->droppedFrames() >= sent; }, 3000));
    const QStringList dropped = textsOf(log, EventKind::DroppedFrame);
    ASSERT_EQ(dropped.size(), EventLogSources::kDroppedPerWindow);
    EXPECT_EQ(dropped.first(), "Dropped (not from the unit): %R,*******,*******,****#");
    ASSERT_TRUE(
        waitFor([&] { return has(log, EventKind::DroppedFrame, "15 more frames dropped"); }, 2000));
}

TEST(EventLogEndToEnd, RefusalsMessagesAndStorageProblemsReachTheLog)
{
    LoopbackCore c({.withUnit = false});
    // A directory where the database should be: the store cannot open it.
    ASSERT_TRUE(QDir(c.dir.path()).mkdir("Halvex.db"));
    ASSERT_TRUE(c.start());
    const EventLog& log = c.core->eventLog();
    EXPECT_FALSE(textsOf(log, EventKind::Storage).isEmpty());

    c.core->session().storeLogin(QStringLiteral("user"), QStringLiteral("123456"));
    EXPECT_EQ(c.core->surface().setPanelLock(true), Outcome::Refused);
    EXPECT_EQ(textsOf(log, EventKind::Refused),
              QStringList{"Refused: only the administrator may change Panel lock (logged in as "
                          "user)"});
    EXPECT_TRUE(has(log, EventKind::Message, "ERROR: You do not have permission."));

    EXPECT_FALSE(c.core->files().savePreset([&] { return c.dir.filePath("gone/room.ini"); }));
    EXPECT_TRUE(has(log, EventKind::Preset, "ERROR: Save Fail"));
}

} // namespace
} // namespace sonaro::testing
