// The connection's states end to end against virtual units: what each way out of a state ends,
// which frames the program believes, and the search for units.
#include "e2e/CtlProcess.h"
#include "e2e/LoopbackHarness.h"

#include "link/Discovery.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

namespace sonaro::testing {

namespace {

// Logs in, then keeps the unit silent until the watchdog has taken the link as lost.
bool loginThenSilence(LoopbackHarness& h, int silenceMs)
{
    if (!h.startBoth() || !h.login()) return false;
    h.unit->silence(silenceMs);
    return waitFor([&] { return h.session.connection() == Connection::Relogging; }, 2000);
}

} // namespace

TEST(Connection, ConnectToAnotherUnitAfterASilenceStartsAFreshLogin)
{
    LoopbackHarness h;
    ASSERT_TRUE(loginThenSilence(h, 5000));
    // Changes made for the first unit while it is away.
    h.table.record(1).inputGain[0] = 11;
    h.link.send('V', 1);
    h.table.record(1).inputPhantom[3] = 1;
    h.link.send('M', 1);
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));

    const auto other = startVirtualUnit(QStringLiteral("127.0.0.3"), h.port);
    ASSERT_TRUE(other);
    ASSERT_TRUE(h.session.beginConnect());
    spin(50); // what left before reaches the first unit
    const int firstUnitFrames = static_cast<int>(h.unit->received().size());
    h.state.deviceAddress = QStringLiteral("127.0.0.3");
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
    h.session.finishConnect(OpenMode::Open);
    ASSERT_TRUE(waitFor([&] { return h.state.indicatorOn && other->streaming(); }, 3000));
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    EXPECT_EQ(h.session.connection(), Connection::Connected);
    EXPECT_EQ(other->receivedCount('F'), 28);
    for (const char kind : {'V', 'G', 'M'})
        EXPECT_EQ(other->receivedCount(kind), 0) << "nothing of the first unit: " << kind;
    EXPECT_EQ(static_cast<int>(h.unit->received().size()), firstUnitFrames)
        << "the first unit hears no more logins";
}

// Offline or Cancel in the connect dialog, or a disconnect, while the unit is silent: the login
// repeats end for good. After a disconnect the stream-off was lost in the silence, so it goes again
// once the unit is heard, a few times at most, and the unit's frames are counted, not logged.
TEST(Connection, LeavingASilenceEndsTheLoginRepeats)
{
    for (const int way : {int(OpenMode::Offline), int(OpenMode::Cancel), -1}) {
        SCOPED_TRACE(way);
        LoopbackHarness h;
        // Shorter than two silence time-outs: it is noticed after one.
        ASSERT_TRUE(loginThenSilence(h, 500));
        int dropsTold = 0;
        QObject::connect(&h.dispatcher, &Dispatcher::frameDropped, [&] { ++dropsTold; });
        if (way < 0) {
            h.session.disconnect();
        } else {
            ASSERT_TRUE(h.session.beginConnect());
            h.session.finishConnect(OpenMode(way));
        }
        ASSERT_TRUE(waitFor([&] { return h.session.connection() == Connection::Offline; }, 1000));
        const int logins = h.sentCount('R'); // some may still be on their way to the unit
        const int dropped = h.dispatcher.droppedCount();
        if (way < 0) {
            ASSERT_TRUE(waitFor([&] { return !h.unit->streaming(); }, 3000))
                << "the unit heard the stream-off after the silence";
            EXPECT_LE(h.sentCount('L'), 2 + 5);
            EXPECT_EQ(dropsTold, 0) << "frames after the disconnect are not logged one by one";
            EXPECT_GT(h.dispatcher.droppedCount(), 0);
        } else { // the unit speaks again, for longer than several login intervals
            ASSERT_TRUE(waitFor([&] { return h.dispatcher.droppedCount() > dropped + 50; }, 3000));
        }
        EXPECT_EQ(h.sentCount('R'), logins);
        EXPECT_EQ(h.unit->receivedCount('R'), logins);
        EXPECT_FALSE(h.table.record(1).connected);
        EXPECT_FALSE(h.state.indicatorOn);
    }
}

TEST(Connection, DisconnectAndANewLoginEndTheRetriesOfTheOldState)
{
    LoopbackHarness h;
    h.state.deviceAddress = QStringLiteral("127.0.0.3"); // nobody there
    ASSERT_TRUE(h.session.start());
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
    h.session.sendLogin();
    EXPECT_EQ(h.session.connection(), Connection::LoggingIn);
    h.session.disconnect();
    spin(800); // more than two retry intervals
    EXPECT_EQ(h.sentCount('R'), 1);
    EXPECT_TRUE(h.ui.messages.empty()) << "no \"Connect fail.\" for a login given up";

    // A new login counts its tries from the start.
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return h.sentCount('R') == 1 + 2; }, 2000));
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    spin(700); // nothing follows the third try
    EXPECT_EQ(h.sentCount('R'), 1 + 2 + 3);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, "127.0.0.3Connect fail.");
    EXPECT_EQ(h.session.connection(), Connection::Offline);
    EXPECT_FALSE(h.table.record(1).connected);
}

// Frames from another host, or from the unit's address on another port, are dropped and counted:
// no login answer, state, account or block answer, count, levels, switches or link table of
// theirs counts.
TEST(Connection, FramesFromAnyoneButTheUnitAreDroppedAndCounted)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startLoggedIn());
    const UnitRecord before = h.table.record(1);
    QUdpSocket rogue, sameHost;
    ASSERT_TRUE(rogue.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    ASSERT_TRUE(sameHost.bind(QHostAddress(kUnitAddress), 0));
    UnitRecord loud = h.unit->record();
    loud.inputGain[0] = 3;
    const std::string forged[] = {buildReplyR(true, 9),     buildReplyR(false, 0),
                                  buildReplyS(loud, 1, {}), buildReplyY(1, "admin", "x"),
                                  buildReplyK(1, 0),        buildReplyO(loud, 1),
                                  buildReplyD(loud, 1),     buildReplyN(1, {}),
                                  buildReplyQ(1, 1),        buildReplyH(1, 0)};
    int linkTables = 0;
    QObject::connect(&h.dispatcher, &Dispatcher::linkTableReported, [&] { ++linkTables; });
    const int droppedBefore = h.dispatcher.droppedCount();
    for (QUdpSocket* from : {&rogue, &sameHost})
        for (const std::string& frame : forged)
            from->writeDatagram(frame.data(), static_cast<qint64>(frame.size()),
                                QHostAddress(kProgramAddress), h.port);
    ASSERT_TRUE(waitFor([&] { return h.dispatcher.droppedCount() - droppedBefore == 20; }, 3000));
    const UnitRecord& after = h.table.record(1);
    EXPECT_EQ(after.inputGain[0], before.inputGain[0]);
    EXPECT_EQ(after.unitCount, before.unitCount);
    EXPECT_EQ(accountField(after.loginPassword), "888888&");
    EXPECT_EQ(linkTables, 0);
    EXPECT_EQ(h.session.connection(), Connection::Connected);
    EXPECT_TRUE(h.delivery.isIdle()) << "nothing queued for a forged frame";
    EXPECT_TRUE(h.ui.messages.empty());
}

// One sweep of the loopback /24: a prompt unit, one that answers after its host's window (probed
// twice, listed once), one a second late (still listed), and a host outside the swept network
// that offers a unit inside it (dropped).
TEST(Discovery, FindsEveryLoopbackUnitOnceAndNoStranger)
{
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.0.5", "127.0.0.9", "127.0.1.7"});
    ASSERT_NE(port, 0);
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(kProgramAddress);
    state.port = port;
    RecordingOperator ui;
    auto prompt = startVirtualUnit(kUnitAddress, port);
    auto late = startVirtualUnit(QStringLiteral("127.0.0.5"), port, 1,
                                 state.timings.probeAnswerWindow + 60);
    auto later = startVirtualUnit(QStringLiteral("127.0.0.9"), port, 1, 900);
    ASSERT_TRUE(prompt && late && later);
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(QStringLiteral("127.0.1.7")), port));

    Discovery discovery(state, ui);
    const quint32 lo = QHostAddress(kProgramAddress).toIPv4Address();
    const quint32 eth = QHostAddress(QStringLiteral("10.99.0.5")).toIPv4Address();
    discovery.setInterfaces(
        {{"lo", lo, 0xFF000000u, true, true}, {"eth0", eth, ~0u << 8, true, false}});
    ASSERT_EQ(discovery.sweepNetworks().size(), 1u) << "bound to loopback: loopback only";
    ASSERT_TRUE(discovery.start());
    const std::string offer = buildReplyP(1, "127.0.0.50", port, "x", "y");
    stranger.writeDatagram(offer.data(), static_cast<qint64>(offer.size()),
                           QHostAddress(kProgramAddress), port);
    ASSERT_TRUE(waitFor([&] { return !discovery.isRunning(); }, 5000));

    QStringList addresses;
    for (const DiscoveredUnit& u : discovery.results())
        addresses << u.address;
    addresses.sort();
    EXPECT_EQ(addresses, (QStringList{"127.0.0.2", "127.0.0.5", "127.0.0.9"}));
    EXPECT_EQ(discovery.results()[0].port, QString::asprintf("%05d", port));
    EXPECT_EQ(discovery.results()[0].firstName, "admin");
    EXPECT_EQ(discovery.results()[0].secondName, "user");
    EXPECT_EQ(late->receivedCount('I'), 2) << "no answer within the window: a second attempt";
    EXPECT_EQ(prompt->receivedCount('I'), 1) << "an answered host is not probed again";
    EXPECT_EQ(discovery.droppedCount(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Search finished.");
    // Late answers still arrive after the sweep: nothing is left bound to the port.
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(state.bindAddress, port));
}

// The port taken by another program: the search, the login check and the session each say where
// and why.
TEST(Discovery, APortInUseIsToldWithAddressPortAndCause)
{
    LoopbackHarness h;
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(kProgramAddress), h.port));
    const QString where = QStringLiteral("Port %1 on 127.0.0.1").arg(h.port);
    Discovery discovery(h.state, h.ui);
    EXPECT_FALSE(discovery.start());
    EXPECT_TRUE(discovery.errorText().startsWith("Winsock error!"));
    EXPECT_TRUE(discovery.errorText().contains(where)) << discovery.errorText().toStdString();
    LoginCheck check(h.state);
    check.checkLogin("admin", "888888");
    ASSERT_TRUE(waitFor([&] { return !check.errorText().isEmpty(); }, 1000));
    EXPECT_TRUE(check.errorText().contains(where));
    EXPECT_FALSE(h.session.start());
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_TRUE(h.ui.messages[0].text.startsWith("Winsock error!\n"));
    EXPECT_TRUE(h.ui.messages[0].text.contains(where)) << h.ui.messages[0].text.toStdString();
}

} // namespace sonaro::testing
