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

QString allLines(const EventLog& log)
{
    QString all;
    for (const Event& e : log.events())
        all += e.line() + QLatin1Char('\n');
    return all;
}

TEST(EventLogEndToEnd, ConnectionLoginSilenceReloginAndDisconnectReachTheLog)
{
    LoopbackCore c({.fullSilenceTimeout = false});
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
}

TEST(EventLogEndToEnd, AccountAndAddressChangesAreLoggedWithoutAnyPassword)
{
    LoopbackCore c;
    ASSERT_TRUE(c.start());
    const EventLog& log = c.core->eventLog();
    EventLogFile file(c.core->eventLog(), c.dir.filePath(kEventLogFileName));
    ASSERT_TRUE(c.login(QStringLiteral("admin"), QStringLiteral("888888")));

    ASSERT_TRUE(c.core->session().changeAccount("admin", "888888", "pw4242", "pw4242"));
    ASSERT_TRUE(waitFor([&] { return has(log, EventKind::Account, "confirmed"); }, 3000));
    EXPECT_TRUE(has(log, EventKind::Account, "Account change sent: unit 01, account admin"));
    EXPECT_TRUE(has(log, EventKind::Message, "Password changed successfully"));

    // A login and an address change with the new password.
    c.unit->clearReceived();
    ASSERT_TRUE(c.login(QStringLiteral("admin"), QStringLiteral("pw4242")));
    ASSERT_TRUE(c.core->session().changeAddress(QHostAddress(QStringLiteral("127.0.0.6"))));
    ASSERT_TRUE(waitFor([&] { return has(log, EventKind::Address, "reported"); }, 3000));
    EXPECT_TRUE(has(log, EventKind::Address,
                    QStringLiteral("Address change sent: unit 01 to 127.000.000.006:%1")
                        .arg(c.port, 5, 10, QLatin1Char('0'))));
    EXPECT_TRUE(
        has(log, EventKind::Address,
            QStringLiteral("The unit reported its new address 127.0.0.6, port %1").arg(c.port)));

    // Neither password in memory nor in the file, though R, X and Y frames carried them.
    QFile written(file.path());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QString onDisk = QString::fromUtf8(written.readAll());
    EXPECT_EQ(onDisk, allLines(log));
    for (const char* secret : {"888888", "pw4242"}) {
        EXPECT_FALSE(allLines(log).contains(secret)) << secret;
        EXPECT_FALSE(onDisk.contains(secret)) << secret;
    }
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

TEST(EventLogEndToEnd, RefusalsMessagesPresetsAndStorageProblemsReachTheLog)
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

    const QString preset = c.dir.filePath("room.ini");
    EXPECT_TRUE(c.core->files().savePreset([&] { return preset; }));
    EXPECT_TRUE(has(log, EventKind::Preset, "INFO: Save successfully"));
    EXPECT_FALSE(c.core->files().savePreset([&] { return c.dir.filePath("gone/room.ini"); }));
    EXPECT_TRUE(has(log, EventKind::Preset, "ERROR: Save Fail"));
    EXPECT_FALSE(c.core->files().openPreset([&] { return preset; }));
    EXPECT_TRUE(has(log, EventKind::Preset, "ERROR: Cannot connect."));
    // Every message the operator saw is in the log, under one kind or another; storage problems
    // after the first of their kind reach only the log.
    QStringList logged = textsOf(log, EventKind::Message) + textsOf(log, EventKind::Preset) +
                         textsOf(log, EventKind::Storage);
    for (const QString& text : c.op.texts())
        EXPECT_FALSE(logged.filter(text.left(40)).isEmpty()) << text.toStdString();
    EXPECT_GT(textsOf(log, EventKind::Storage).size(), 0);
}

TEST(EventLogEndToEnd, TheCoreKeepsItsLogFileAndTheStateFileEventsInTheDataDirectory)
{
    QTemporaryDir dir;
    RecordingOperator op;
    CoreOptions options;
    options.dataDirectory = dir.path();
    options.bindAddress = kProgramAddress;
    options.deviceAddress = kUnitAddress;
    options.port = freeLoopbackPort();
    options.logFile = QString::fromLatin1(kEventLogFileName);
    {
        SonaroCore first(op, options);
        ASSERT_TRUE(first.start());
        first.disconnectUnit();
    }
    SonaroCore second(op, options);
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(has(second.eventLog(), EventKind::StateFile,
                    "Settings read from " + dir.filePath("data.ini")));
    QFile file(dir.filePath("sonaro.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(lines.contains("\tstate-file\tSettings written to ")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("\tstate-file\tSettings read from ")) << lines.toStdString();
}

} // namespace
} // namespace sonaro::testing
