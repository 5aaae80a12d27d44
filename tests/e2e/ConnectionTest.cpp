// The connection's states end to end against virtual units: what each way out of a state ends,
// and which frames the program believes.
#include "e2e/LoopbackHarness.h"

#include "model/ValueConventions.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace sonaro::testing {

namespace {

// Logs in, then keeps the unit silent until the watchdog has taken the link as lost.
bool loginThenSilence(LoopbackHarness& h, int silenceMs)
{
    if (!h.startBoth() || !h.login()) return false;
    h.unit->silence(silenceMs);
    return waitFor([&] { return h.session.connection() == Connection::Relogging; }, 2000);
}

// A valid frame of the given kind with every hex digit of its fields turned to "F".
std::string allOnes(const std::string& frame)
{
    std::string_view inner;
    if (!checkFrame(frame, &inner)) return {};
    std::string text(inner.substr(0, inner.size() - 4)); // without the checksum
    for (std::size_t i = 2; i < text.size(); ++i)
        if (std::isxdigit(static_cast<unsigned char>(text[i]))) text[i] = 'F';
    const std::string checked = "%" + text;
    return checked + hex4(frameCrc16(checked)) + "#";
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

    VirtualUnitOptions options;
    options.address = QHostAddress(QStringLiteral("127.0.0.3"));
    options.port = h.port;
    options.statusInterval = 10;
    VirtualUnit other(options);
    ASSERT_TRUE(other.start());

    ASSERT_TRUE(h.session.beginConnect());
    EXPECT_EQ(h.session.connection(), Connection::Searching);
    spin(50); // what left before reaches the first unit
    const int firstUnitFrames = static_cast<int>(h.unit->received().size());
    h.state.deviceAddress = QStringLiteral("127.0.0.3");
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
    h.session.finishConnect(OpenMode::Open);
    ASSERT_TRUE(waitFor([&] { return h.state.indicatorOn && other.streaming(); }, 3000));
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    EXPECT_EQ(h.session.connection(), Connection::Connected);
    EXPECT_EQ(other.receivedCount('F'), 28);
    EXPECT_EQ(other.receivedCount('T'), 2);
    for (const char kind : {'V', 'G', 'M'})
        EXPECT_EQ(other.receivedCount(kind), 0) << "nothing of the first unit: " << kind;
    EXPECT_EQ(static_cast<int>(h.unit->received().size()), firstUnitFrames)
        << "the first unit hears no more logins";
}

TEST(Connection, OfflineAndCancelAfterASilenceEndTheLoginRepeats)
{
    for (const OpenMode mode : {OpenMode::Offline, OpenMode::Cancel}) {
        LoopbackHarness h;
        ASSERT_TRUE(loginThenSilence(h, 700));
        ASSERT_TRUE(h.session.beginConnect());
        h.session.finishConnect(mode);
        EXPECT_EQ(h.session.connection(), Connection::Offline);
        const int logins = h.unit->receivedCount('R');
        spin(1300); // the unit speaks again, and several login intervals pass
        EXPECT_EQ(h.unit->receivedCount('R'), logins);
        EXPECT_FALSE(h.table.record(1).connected);
        EXPECT_FALSE(h.state.indicatorOn);
        EXPECT_EQ(h.session.connection(), Connection::Offline);
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
    spin(450);
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    EXPECT_EQ(h.sentCount('R'), 1 + 2 + 3);
    EXPECT_EQ(h.session.connection(), Connection::Offline);
}

// A disconnect while the unit is silent: the stream-off is lost, so it goes again once the unit
// is heard streaming, a few times at most, and its frames are counted rather than logged.
TEST(Connection, ADisconnectInASilenceSwitchesTheStreamOffWhenTheUnitIsHeard)
{
    LoopbackHarness h;
    ASSERT_TRUE(loginThenSilence(h, 600));
    int dropsTold = 0;
    QObject::connect(&h.dispatcher, &Dispatcher::frameDropped, [&] { ++dropsTold; });
    h.session.disconnect();
    ASSERT_TRUE(waitFor([&] { return h.session.connection() == Connection::Offline; }, 1000));
    ASSERT_TRUE(waitFor([&] { return !h.unit->streaming(); }, 3000))
        << "the unit heard the stream-off after the silence";
    EXPECT_LE(h.sentCount('L'), 2 + 5);
    EXPECT_EQ(dropsTold, 0) << "the unit's frames after the disconnect are not logged one by one";
    EXPECT_GT(h.dispatcher.droppedCount(), 0);
}

TEST(Connection, ARepeatedLoginAnswerWhileConnectedQueuesNothing)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    // Someone logs in again on the unit's behalf: the unit answers the program.
    h.link.sendText('R', buildR("admin&&", "888888&"));
    ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('R') == 2; }, 1000));
    spin(200);
    EXPECT_EQ(h.unit->receivedCount('F'), 28);
    EXPECT_EQ(h.unit->receivedCount('C'), 1);
    EXPECT_TRUE(h.delivery.isIdle());
    EXPECT_EQ(h.session.connection(), Connection::Connected);
}

TEST(Connection, FramesFromAnyoneButTheUnitAreDroppedAndCounted)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    const UnitRecord before = h.table.record(1);

    // Another host, and the unit's address from another port.
    QUdpSocket rogue;
    ASSERT_TRUE(rogue.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    QUdpSocket sameHost;
    ASSERT_TRUE(sameHost.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    UnitRecord loud = h.unit->record();
    loud.inputGain[0] = 3;
    const std::vector<std::string> forged = {buildReplyR(true, 9),
                                             buildReplyR(false, 0),
                                             buildReplyS(loud, 1, LinkTable{}),
                                             buildReplyY(1, "admin", "x"),
                                             buildFrame('K', {"01", "00"}),
                                             buildReplyO(loud, 1),
                                             buildReplyD(loud, 1),
                                             buildReplyN(1, LinkTable{})};
    int linkTables = 0;
    QObject::connect(&h.dispatcher, &Dispatcher::linkTableReported, [&] { ++linkTables; });
    const int droppedBefore = h.dispatcher.droppedCount();
    int sentForged = 0;
    for (int round = 0; round < 125; ++round) {
        for (const std::string& frame : forged) {
            QUdpSocket& from = round % 2 ? rogue : sameHost;
            from.writeDatagram(frame.data(), static_cast<qint64>(frame.size()),
                               QHostAddress(QStringLiteral("127.0.0.1")), h.port);
            ++sentForged;
        }
        spin(1);
    }
    ASSERT_TRUE(
        waitFor([&] { return h.dispatcher.droppedCount() - droppedBefore == sentForged; }, 3000));
    spin(100);
    const UnitRecord& after = h.table.record(1);
    EXPECT_EQ(after.inputGain[0], before.inputGain[0]);
    EXPECT_EQ(after.unitCount, before.unitCount);
    EXPECT_TRUE(after.connected);
    EXPECT_EQ(std::memcmp(after.loginPassword, before.loginPassword, sizeof before.loginPassword),
              0);
    EXPECT_EQ(linkTables, 0);
    EXPECT_EQ(h.session.connection(), Connection::Connected);
    EXPECT_TRUE(h.delivery.isIdle()) << "nothing queued for a forged frame";
    EXPECT_EQ(h.unit->receivedCount('F'), 28);
    EXPECT_TRUE(h.ui.messages.empty());
}

TEST(Connection, AnAccountAnswerNobodyAskedForIsIgnored)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    std::string y = buildReplyY(1, "admin", "new");
    h.unit->sendToClient(y);
    y[y.size() - 2] = y[y.size() - 2] == '0' ? '1' : '0';
    h.unit->sendToClient(y);
    spin(200);
    EXPECT_TRUE(h.ui.messages.empty());
    EXPECT_EQ(h.session.connection(), Connection::Connected);
    EXPECT_EQ(accountField(h.table.record(1).loginPassword), "888888&");
    EXPECT_EQ(h.dispatcher.droppedCount(), 2);
}

TEST(Connection, ValuesFromTheUnitAreHeldToTheirRanges)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    UnitRecord& r = h.table.record(1);
    const std::string s = allOnes(buildReplyS(h.unit->record(), 1, LinkTable{}));
    const std::string o = allOnes(buildReplyO(h.unit->record(), 1));
    ASSERT_FALSE(s.empty());
    ASSERT_FALSE(o.empty());
    // The unit number must stay the unit's.
    auto withUnitOne = [](std::string frame) {
        frame.replace(3, 2, "01");
        const std::size_t checked = frame.size() - 5;
        frame.replace(checked, 4, hex4(frameCrc16(frame.data(), checked)));
        return frame;
    };
    h.unit->sendToClient(withUnitOne(s));
    ASSERT_TRUE(waitFor([&] { return r.holdTime == kHoldTimeMax; }, 1000));
    for (int ch = 0; ch < kInputCount; ++ch) {
        EXPECT_EQ(r.inputGain[ch], kGainMax);
        EXPECT_LE(r.feedback[ch], 1);
        EXPECT_LE(r.highPassIndex[ch], 10);
        EXPECT_LE(r.lowPassIndex[ch], 10);
    }
    EXPECT_EQ(r.outputGain[0], kGainMax);
    EXPECT_EQ(r.threshold, kGainMax);
    EXPECT_EQ(r.maxOpenChannels, kMaxOpenChannelsMax);
    EXPECT_LE(r.limiterEnable[1], 1);

    r.threshold = 0;
    h.unit->sendToClient(withUnitOne(o));
    ASSERT_TRUE(waitFor([&] { return r.threshold == kGainMax; }, 1000));
    EXPECT_EQ(r.inputGain[7], kGainMax);

    // What goes back is in range: the next fader move sends 60, not 255.
    h.link.send('V', 1);
    ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('V') == 1; }, 1000));
    EXPECT_EQ(h.unit->record().inputGain[0], kGainMax);
}

TEST(Connection, ALimiterReleaseOfTenMillisecondsIsKept)
{
    LoopbackHarness h;
    h.unit->record().limiterRelease[0] = 10;
    h.unit->record().limiterRelease[1] = 20;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.table.record(1).limiterRelease[1] == 20; }, 1000));
    EXPECT_EQ(h.table.record(1).limiterRelease[0], 10);
}

} // namespace sonaro::testing
