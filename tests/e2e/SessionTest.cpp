#include "LoopbackHarness.h"
#include "support/LoopbackCore.h"

#include "link/AddressFile.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

QStringList kindsOf(const std::vector<QByteArray>& frames)
{
    QStringList kinds;
    for (const QByteArray& f : frames)
        kinds << QString::fromLatin1(f.left(2));
    return kinds;
}

} // namespace

TEST(Session, AcceptedLoginRequestsEverythingInOrderAndStreams)
{
    LoopbackHarness h;
    ASSERT_NE(h.port, 0);
    // Give the unit a state that differs from the factory values, to see it arrive.
    UnitRecord& unitState = h.unit->record();
    unitState.inputGain[2] = 30;
    unitState.inputEqAt(1, kEqGain, 3) = -4.5;
    unitState.inputEqAt(1, kEqQ, 3) = 2.5;
    unitState.inputEqType[1][3] = 2;
    unitState.outputEqAt(1, kEqFrequency, 7) = 640;
    unitState.limiterRatio[1] = 4;
    unitState.limiterThreshold[1] = -12.5;
    int reported = -1;
    QObject::connect(&h.dispatcher, &Dispatcher::unitsReported, [&](int n) { reported = n; });
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());

    EXPECT_EQ(reported, 1);
    const UnitRecord& r = h.table.record(1);
    EXPECT_TRUE(r.connected);
    EXPECT_FALSE(r.loginPending);
    EXPECT_EQ(r.accountLevel, 1);
    EXPECT_TRUE(h.ui.messages.empty());

    // R, then F twice per slot 0..13, T for both outputs, C for the unit, then L on.
    QStringList expected{"%R"};
    for (int slot = 0; slot < 14; ++slot)
        expected << "%F"
                 << "%F";
    expected << "%T"
             << "%T"
             << "%C"
             << "%L";
    const std::vector<QByteArray>& got = h.unit->received();
    ASSERT_GE(got.size(), 33u);
    EXPECT_EQ(kindsOf({got.begin(), got.begin() + 33}), expected);
    EXPECT_EQ(got[1].toStdString(), buildF(1, 0));
    EXPECT_EQ(got[2].toStdString(), buildF(1, 0));
    EXPECT_EQ(got[28].toStdString(), buildF(1, 13));
    EXPECT_EQ(got[32].toStdString(), buildL(true));

    ASSERT_TRUE(waitFor([&] { return r.inputGain[2] == 30; }, 1000));
    EXPECT_DOUBLE_EQ(r.inputEqAt(1, kEqGain, 3), -4.5);
    EXPECT_DOUBLE_EQ(r.inputEqAt(1, kEqQ, 3), 2.5);
    EXPECT_EQ(r.inputEqType[1][3], 2);
    EXPECT_DOUBLE_EQ(r.outputEqAt(1, kEqFrequency, 7), 640);
    EXPECT_DOUBLE_EQ(r.limiterRatio[1], 4);
    EXPECT_DOUBLE_EQ(r.limiterThreshold[1], -12.5);
}

TEST(Session, RefusedLoginShowsOneErrorAndConnectsNothing)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("wrong"));
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    spin(500); // longer than a login retry interval
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, "User Password Error!");
    EXPECT_EQ(h.ui.messages[0].title, "ERROR");
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        EXPECT_FALSE(h.table.record(unit).connected);
    EXPECT_FALSE(h.table.record(1).loginPending);
    EXPECT_EQ(h.unit->receivedCount('R'), 1);
    EXPECT_EQ(h.unit->receivedCount('F'), 0);
}

TEST(Session, UnansweredLoginIsSentThreeTimesThenFailsOnce)
{
    LoopbackHarness h;
    h.state.deviceAddress = QStringLiteral("127.0.0.3"); // nobody there
    ASSERT_TRUE(h.session.start());
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 3000));
    spin(700);
    EXPECT_EQ(h.sentCount('R'), 3);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, "127.0.0.3Connect fail.");
    EXPECT_EQ(h.ui.messages[0].title, "ERROR");
    EXPECT_FALSE(h.table.record(1).loginPending);
}

TEST(Session, SilentUnitIsLoggedInAgainAndReadAgainAfterItsState)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    const int loginsBefore = h.unit->receivedCount('R');
    h.unit->silence(1050); // the watchdog fires after 300 ms, then every 300 ms
    ASSERT_TRUE(waitFor([&] { return !h.state.indicatorOn; }, 1000));
    EXPECT_FALSE(h.table.record(1).connected);
    ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('R') == loginsBefore + 3; }, 2000));
    ASSERT_TRUE(waitFor([&] { return h.table.record(1).connected && h.state.indicatorOn; }, 3000));
    EXPECT_TRUE(waitFor([&] { return h.unit->receivedCount('C') == 2; }, 1000))
        << "the state is requested again after the settling pause";
    // A unit restarted or changed by another controller in the silence shows its own EQ and
    // dynamics: each block is read once more, after the state report.
    EXPECT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 2000));
    EXPECT_EQ(h.unit->receivedCount('F'), 28 + 14);
    EXPECT_EQ(h.unit->receivedCount('T'), 2 + 2);
    EXPECT_TRUE(h.ui.messages.empty());
}

TEST(Session, AcknowledgedCommandsResendAndGiveUpAsTheirPolicySays)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    h.link.setFrameBuilder('E', [](const UnitRecord&, int unit, int slot) {
        return buildFrame('E',
                          {hex2(static_cast<unsigned>(unit)), hex2(static_cast<unsigned>(slot))});
    });
    h.link.setFrameBuilder('B', [](const UnitRecord&, int unit, int output) {
        return buildFrame('B',
                          {hex2(static_cast<unsigned>(unit)), hex2(static_cast<unsigned>(output))});
    });
    std::vector<char> gaveUp;
    QObject::connect(&h.link, &Link::answerGivenUp, [&](char kind) { gaveUp.push_back(kind); });

    // Answered: one datagram each.
    h.link.send('M', 1);
    h.link.send('E', 1, 4);
    h.link.send('B', 1, 1);
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 2000));
    EXPECT_EQ(h.unit->receivedCount('M'), 1);
    EXPECT_EQ(h.unit->receivedCount('E'), 1);
    EXPECT_EQ(h.unit->receivedCount('B'), 1);
    EXPECT_TRUE(gaveUp.empty());

    // Every answer lost: M twice, E five times, B twice, and nothing overtakes a wait.
    h.unit->clearReceived();
    // Offline, so that a wait that gives up is kept for the next login instead of queued again;
    // the link's own policy is under test, not the session's rule on when frames may be built.
    h.table.record(1).connected = 0;
    h.link.setBuildCheck({});
    h.unit->setDropOutgoing(1.0); // the status stream is lost too: the watchdog may send R
    h.link.send('M', 1);
    h.link.send('E', 1, 4);
    h.link.send('B', 1, 0);
    h.link.send('V', 1);
    ASSERT_TRUE(
        waitFor([&] { return h.delivery.isIdle() && h.unit->receivedCount('V') == 1; }, 3000));
    EXPECT_EQ(h.unit->receivedCount('M'), 2);
    EXPECT_EQ(h.unit->receivedCount('E'), 5);
    EXPECT_EQ(h.unit->receivedCount('B'), 2);
    EXPECT_EQ((std::vector<char>{'M', 'E', 'B'}), gaveUp);
    QStringList order;
    for (const QByteArray& f : h.unit->received())
        if (QByteArray("MEBV").contains(f[1])) order << QString(QChar(f[1]));
    EXPECT_EQ(order.join(""), "MMEEEEEBBV");
    EXPECT_FALSE(h.link.answerPending('E')) << "E clears its flag when it gives up";
}

TEST(Session, AcknowledgedCommandsSurviveARandomDropRate)
{
    LoopbackHarness h;
    h.unit = std::make_unique<VirtualUnit>([&] {
        VirtualUnitOptions o;
        o.address = QHostAddress(QStringLiteral("127.0.0.2"));
        o.port = h.port;
        o.dropIncoming = 0.3;
        o.seed = 7;
        return o;
    }());
    h.unit->setDropIncoming(0.0);
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    h.unit->setDropIncoming(0.3);
    for (int i = 0; i < 20; ++i) {
        h.table.record(1).inputPhantom[i % 8] ^= 1;
        h.link.send('M', 1);
        ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 2000));
    }
    // Every M gets through unless both copies were lost; the unit applied the last state.
    const int sentM = h.sentCount('M');
    EXPECT_GT(sentM, 20);
    EXPECT_LE(sentM, 40);
    EXPECT_EQ(h.unit->receivedCount('M'), sentM);
}

// Answered from the old address, and from the new one (a unit that moves before it answers).
TEST(Session, AddressChangeConfirmedMovesTheLinkAndWritesTheAddressFile)
{
    for (const int answerDelay : {0, 60}) {
        SCOPED_TRACE(answerDelay);
        LoopbackHarness h;
        QTemporaryDir dir;
        h.state.addressFilePath = dir.filePath(QStringLiteral("ip.ini"));
        ASSERT_TRUE(h.startBoth());
        ASSERT_TRUE(h.login());
        h.unit->setAnswerDelay(answerDelay);
        ASSERT_TRUE(h.session.changeAddress(QHostAddress(QStringLiteral("127.0.0.6"))));
        ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
        EXPECT_EQ(h.ui.messages[0].text, "Changing IP address successful, restart software.");
        EXPECT_EQ(h.ui.messages[0].title, "INFO");
        EXPECT_EQ(h.state.deviceAddress, "127.0.0.6");
        EXPECT_FALSE(h.table.record(1).connected);
        // The unit moved to its new address; the status stream is switched off there twice.
        EXPECT_TRUE(waitFor([&] { return h.unit->address().toString() == "127.0.0.6"; }, 1000));
        ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('L') == 3; }, 1000));
        EXPECT_EQ(h.unit->received().back().toStdString(), buildL(false));
        const AddressFileEntry file = readAddressFile(h.state.addressFilePath);
        EXPECT_EQ(file.ip, "127.0.0.6");
        EXPECT_EQ(file.port, h.port);
        // The request carried the address with three digits per part.
        bool found = false;
        for (const QByteArray& f : h.unit->received())
            if (f.startsWith("%I,01,127.000.000.006:")) found = true;
        EXPECT_TRUE(found);

        EXPECT_EQ(h.session.connection(), Connection::Offline);
    }
}

TEST(Session, AddressChangeWithoutAnswerTimesOut)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    h.unit->setDropIncoming(1.0);
    ASSERT_TRUE(h.session.changeAddress(QHostAddress(QStringLiteral("127.0.0.6"))));
    EXPECT_FALSE(h.session.changeAddress(QHostAddress(QStringLiteral("127.0.0.7"))));
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, "Already setting device ip.");
    h.ui.messages.clear();
    spin(700);
    EXPECT_TRUE(h.ui.messages.empty()) << "not before the time-out";
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    EXPECT_EQ(h.ui.messages[0].text, "Change ip error");
    EXPECT_EQ(h.state.deviceAddress, "127.0.0.2");
    EXPECT_EQ(h.session.connection(), Connection::Connected);
}

TEST(Session, AccountChangeConfirmedStoresTheNewLoginAndDropsTheLink)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(h.session.changeAccount("admin", "888888", "abc123", "abc123"));
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    EXPECT_EQ(h.ui.messages[0].text, "Password changed successfully, please reconnect the device");
    EXPECT_EQ(accountField(h.table.record(1).loginPassword), "abc123&");
    EXPECT_EQ(h.unit->password("admin"), "abc123");
    EXPECT_FALSE(h.table.record(1).connected);
    EXPECT_FALSE(h.table.record(1).accountChangePending);

    // The new password logs in.
    h.ui.messages.clear();
    h.unit->clearReceived();
    ASSERT_TRUE(h.login("abc123"));
    EXPECT_TRUE(h.ui.messages.empty());
}

TEST(Session, AccountChangeChecksComeBeforeAnySend)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    struct Case
    {
        const char *account, *oldPassword, *newPassword, *confirmation, *message;
    };
    const Case cases[] = {
        {"admin", "", "a", "a", "Please set password first."},
        {"admin", "a&", "1234567", "1234567", "Must be <=6 bits."}, // lengths before characters
        {"admin", "88&888", "a", "a", "Must be not &."},
        {"admin", "888888", "a,b", "a,b", "Must be not , # % or &."},
        {"ad#min", "888888", "ab", "ab", "Must be not , # % or &."},
        {"admin", "888888", "ab", "%b", "Must be not , # % or &."},
        {"admin", "888888", "p\u00e4ss", "p\u00e4ss", "Must be English."},
        {"admin", "888888", "abc12", "abc12 ", "New psw error."},
        {"admin", "888888", "abc123", "abc124", "New psw error."},
    };
    for (const Case& c : cases) {
        h.ui.messages.clear();
        EXPECT_FALSE(h.session.changeAccount(
            QString::fromUtf8(c.account), QString::fromUtf8(c.oldPassword),
            QString::fromUtf8(c.newPassword), QString::fromUtf8(c.confirmation)));
        ASSERT_EQ(h.ui.messages.size(), 1u);
        EXPECT_EQ(h.ui.messages[0].text, c.message);
        EXPECT_EQ(h.ui.messages[0].title, "ERROR");
    }
    spin(50);
    EXPECT_EQ(h.unit->receivedCount('X'), 0);
}

TEST(Session, AccountChangeRefusedByTheUnitTimesOut)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    // A wrong old password: the unit does not answer.
    ASSERT_TRUE(h.session.changeAccount("admin", "111111", "abc123", "abc123"));
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 3000));
    EXPECT_EQ(h.ui.messages[0].text, "Change user error");
    EXPECT_EQ(h.unit->receivedCount('X'), 1);
    EXPECT_EQ(h.unit->password("admin"), "888888");
    EXPECT_FALSE(h.table.record(1).accountChangePending);
}

TEST(Session, ConnectStopsTheLinkForTheLoginCheckAndLogsInAfterwards)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.session.beginConnect());
    EXPECT_FALSE(h.link.isRunning()) << "the port is free for the search and the check";

    LoginCheck check(h.state);
    std::vector<bool> results;
    QObject::connect(&check, &LoginCheck::finished, [&](bool ok) { results.push_back(ok); });
    check.checkLogin("admin", "nope");
    ASSERT_TRUE(waitFor([&] { return results.size() == 1; }, 2000));
    EXPECT_FALSE(results[0]);
    check.checkLogin("admin", "888888");
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }, 2000));
    EXPECT_TRUE(results[1]);

    h.session.storeLogin("admin", "888888");
    h.session.finishConnect(OpenMode::Open);
    ASSERT_TRUE(waitFor([&] { return h.state.indicatorOn; }, 3000));
    EXPECT_TRUE(h.table.record(1).connected);
    EXPECT_FALSE(h.session.beginConnect());
    EXPECT_EQ(h.ui.messages.back().text, "Already connect");

    h.session.disconnect();
    EXPECT_FALSE(h.table.record(1).connected);
    ASSERT_TRUE(waitFor([&] { return !h.unit->streaming(); }, 1000));
    spin(400);
    EXPECT_EQ(h.unit->receivedCount('L'), 3) << "on once, off twice, and no re-login";
    EXPECT_EQ(h.unit->receivedCount('R'), 3);
}

TEST(Session, LoginCheckWithoutAnswerGivesUp)
{
    LoopbackHarness h;
    h.state.deviceAddress = QStringLiteral("127.0.0.3");
    LoginCheck check(h.state);
    int results = 0;
    bool accepted = true;
    QObject::connect(&check, &LoginCheck::finished, [&](bool ok) {
        ++results;
        accepted = ok;
    });
    check.checkLogin("admin", "888888");
    ASSERT_TRUE(waitFor([&] { return results == 1; }, 3000));
    EXPECT_FALSE(accepted);
}

TEST(Session, EqualiserAndDynamicsBlocksReachTheUnit)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    UnitRecord& r = h.table.record(1);
    r.inputEqAt(2, kEqGain, 6) = -7.5;
    r.inputEqAt(2, kEqFrequency, 6) = 1250;
    r.outputEqAt(1, kEqQ, 14) = 3.2;
    r.limiterThreshold[0] = -30;
    r.limiterRatio[0] = 6;
    h.link.send('E', 1, 6);
    h.link.send('E', 1, 13);
    h.link.send('B', 1, 0);
    ASSERT_TRUE(
        waitFor([&] { return h.delivery.isIdle() && h.unit->receivedCount('B') == 1; }, 2000));
    EXPECT_EQ(h.unit->receivedCount('E'), 2) << "answered at once, never resent";
    const UnitRecord& u = h.unit->record();
    EXPECT_DOUBLE_EQ(u.inputEqAt(2, kEqGain, 6), -7.5);
    EXPECT_DOUBLE_EQ(u.inputEqAt(2, kEqFrequency, 6), 1250);
    EXPECT_DOUBLE_EQ(u.outputEqAt(1, kEqQ, 14), 3.2);
    EXPECT_DOUBLE_EQ(u.limiterThreshold[0], -30);
    EXPECT_DOUBLE_EQ(u.limiterRatio[0], 6);
}

TEST(Session, TheAccountLevelFollowsTheNamesTheUnitLists)
{
    sonaro::testing::LoopbackCore b;
    ASSERT_TRUE(b.start());
    Session& session = b.core->session();
    UnitRecord& r = b.record();
    const std::pair<QString, int> usual[] = {{"admin", 1}, {"user", 2}};
    for (const auto& [name, level] : usual) {
        session.storeLogin(name, QStringLiteral("1"));
        EXPECT_EQ(r.accountLevel, level) << name.toStdString();
    }
    // A unit whose accounts have other names: its administrator is an administrator here too.
    b.core->useListedUnit(QStringLiteral("127.0.0.2"), QStringLiteral("boss"),
                          QStringLiteral("guest"));
    const std::pair<QString, int> listed[] = {{"boss", 1}, {"admin", 2}, {"guest", 2}};
    for (const auto& [name, level] : listed) {
        session.storeLogin(name, QStringLiteral("1"));
        EXPECT_EQ(r.accountLevel, level) << name.toStdString();
    }
}
