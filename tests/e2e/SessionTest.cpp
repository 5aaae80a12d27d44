// The session against a virtual unit: the login's wire sequence and its failures, the resends and
// pauses of the link, leaving the unit, and the account and address changes.
#include "LoopbackHarness.h"

#include "link/AddressFile.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace sonaro;
using namespace sonaro::testing;

TEST(Session, AcceptedLoginRequestsEverythingInOrderAndStreams)
{
    LoopbackHarness h;
    // A unit state that differs from the factory values, to see it arrive.
    h.unit->record().inputGain[2] = 30;
    h.unit->record().inputEqAt(1, kEqGain, 3) = -4.5;
    h.unit->record().limiterThreshold[1] = -12.5;
    ASSERT_TRUE(h.startLoggedIn());
    const UnitRecord& r = h.table.record(1);
    EXPECT_TRUE(r.connected);
    EXPECT_FALSE(r.loginPending);
    EXPECT_EQ(r.accountLevel, 1);
    EXPECT_TRUE(h.ui.messages.empty());
    // R, then F twice per slot 0..13, T for both outputs, C for the unit, then L on.
    EXPECT_EQ(h.unitKinds().substr(0, 33), "R" + std::string(28, 'F') + "TTCL");
    const std::vector<QByteArray>& got = h.unit->received();
    ASSERT_GE(got.size(), 33u);
    EXPECT_EQ(got[2].toStdString(), buildF(1, 0));
    EXPECT_EQ(got[32].toStdString(), buildL(true));
    EXPECT_EQ(r.inputGain[2], 30);
    EXPECT_DOUBLE_EQ(r.inputEqAt(1, kEqGain, 3), -4.5);
    EXPECT_DOUBLE_EQ(r.limiterThreshold[1], -12.5);
}

// A refused login is told once and never repeated, and connects nothing. (A login nobody answers:
// ConnectionTest.)
TEST(Session, ARefusedLoginIsToldOnceAndConnectsNothing)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    h.session.storeLogin(QStringLiteral("admin"), QStringLiteral("wrong"));
    h.session.sendLogin();
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 3000));
    spin(700); // more than two retry intervals: nothing follows
    EXPECT_EQ(h.sentCount('R'), 1);
    EXPECT_EQ(h.sentCount('F'), 0);
    ASSERT_EQ(h.ui.messages.size(), 1u);
    EXPECT_EQ(h.ui.messages[0].text, "User Password Error!");
    EXPECT_FALSE(h.table.record(1).connected);
    EXPECT_FALSE(h.table.record(1).loginPending);
}

// Every answer lost: M goes twice, E five times, B twice, each wait is given up on its own, and
// nothing overtakes a wait.
TEST(Session, AcknowledgedCommandsResendAndGiveUpAsTheirPolicySays)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startLoggedIn());
    for (const char kind : {'E', 'B'})
        h.link.setFrameBuilder(kind, [kind](const UnitRecord&, int unit, int index) {
            return buildFrame(
                kind, {hex2(static_cast<unsigned>(unit)), hex2(static_cast<unsigned>(index))});
        });
    std::vector<char> gaveUp;
    QObject::connect(&h.link, &Link::answerGivenUp, [&](char kind) { gaveUp.push_back(kind); });
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
    std::string order = h.unitKinds();
    std::erase_if(order, [](char kind) { return !std::strchr("MEBV", kind); });
    EXPECT_EQ(order, "MMEEEEEBBV");
    EXPECT_EQ((std::vector<char>{'M', 'E', 'B'}), gaveUp);
    EXPECT_FALSE(h.link.answerPending('E')) << "E clears its flag when it gives up";
}

// Pauses as the unit sees them, from its own receive times: the pause after a command counts from
// its answer, and after a command given up from the last attempt's wait.
TEST(Session, ThePauseAfterACommandCountsFromItsAnswerOrItsLastWait)
{
    LoopbackHarness h(2); // an answer 20 ms late stays well inside the wait for it
    ASSERT_TRUE(h.startLoggedIn());
    constexpr int kAnswerDelay = 20;
    constexpr int kPause = 60;
    h.link.setFrameBuilder('B', [](const UnitRecord&, int, int) {
        return buildFrame('B', {"01", "00"});
    });
    for (const bool answered : {true, false}) {
        SCOPED_TRACE(answered ? "answered" : "given up");
        h.unit->setAnswerDelay(answered ? kAnswerDelay : 0);
        h.unit->setDropIncoming(answered ? 0.0 : 1.0);
        h.unit->clearReceived();
        LinkRequest request;
        request.kind = answered ? 'M' : 'B';
        request.unit = 1;
        request.pauseAfter = kPause;
        h.link.enqueue(std::move(request));
        h.link.send('G', 1);
        ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('G') == 1; }, 3000));
        const std::string kinds = h.unitKinds();
        const std::size_t g = kinds.find('G');
        ASSERT_GE(g, 1u);
        EXPECT_EQ(kinds[g - 1], request.kind) << kinds;
        EXPECT_EQ(h.unit->receivedCount(request.kind), answered ? 1 : 2);
        EXPECT_GE(h.unit->receivedAt()[g] - h.unit->receivedAt()[g - 1],
                  answered ? kAnswerDelay + kPause : kPause);
    }
}

// What is queued at exit goes before the stream goes off, within a bound: the core's leaving with
// the editors' last edits is SurfaceEndToEnd's.
TEST(Session, TheDrainAtExitIsBoundedWhenTheUnitStopsAnswering)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startLoggedIn());
    h.unit->setDropIncoming(1.0);
    for (int unit = 1; unit <= 40; ++unit)
        h.link.send('M', unit); // each waits for an answer that never comes
    h.session.shutdown();
    EXPECT_LT(h.sentCount('M'), 40) << "the drain gives up before the queue is through";
    EXPECT_EQ(h.sent.back().toStdString(), buildL(false));
    EXPECT_FALSE(h.link.isRunning());
    EXPECT_FALSE(h.table.record(1).connected);
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
    // The unit accepts; nobody is on 127.0.0.3. (A refusal: LoginDialog.)
    const std::pair<const char*, const char*> checks[] = {{"127.0.0.2", "888888"},
                                                          {"127.0.0.3", "888888"}};
    for (const auto& [address, password] : checks) {
        h.state.deviceAddress = QString::fromLatin1(address);
        const std::size_t before = results.size();
        check.checkLogin("admin", password);
        ASSERT_TRUE(waitFor([&] { return results.size() > before; }, 3000));
    }
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    h.state.deviceAddress = kUnitAddress;

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
    EXPECT_EQ(h.unit->receivedCount('R'), 2) << "the check and the login";
}

// Answered from the old address, from the new one (a unit that moves before it answers), or
// never: the link moves and the address file is written, or the change is given up.
TEST(Session, AddressChangeMovesTheLinkOnlyWhenConfirmed)
{
    for (const int answerDelay : {0, 60, -1}) {
        SCOPED_TRACE(answerDelay);
        LoopbackHarness h;
        QTemporaryDir dir;
        h.state.addressFilePath = dir.filePath(QStringLiteral("ip.ini"));
        ASSERT_TRUE(h.startLoggedIn());
        h.unit->setAnswerDelay(std::max(answerDelay, 0));
        h.unit->setDropIncoming(answerDelay < 0 ? 1.0 : 0.0);
        ASSERT_TRUE(h.session.changeAddress(QHostAddress(QStringLiteral("127.0.0.6"))));
        EXPECT_FALSE(h.session.changeAddress(QHostAddress(QStringLiteral("127.0.0.7"))));
        ASSERT_EQ(h.ui.messages.size(), 1u);
        EXPECT_EQ(h.ui.messages[0].text, "Already setting device ip.");
        h.ui.messages.clear();
        ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 3000));
        if (answerDelay < 0) {
            EXPECT_EQ(h.ui.messages[0].text, "Change ip error");
            EXPECT_EQ(h.state.deviceAddress, "127.0.0.2");
            EXPECT_EQ(h.session.connection(), Connection::Connected);
            EXPECT_FALSE(QFile::exists(h.state.addressFilePath));
            continue;
        }
        EXPECT_EQ(h.ui.messages[0].text, "Changing IP address successful, restart software.");
        EXPECT_EQ(h.state.deviceAddress, "127.0.0.6");
        EXPECT_FALSE(h.table.record(1).connected);
        EXPECT_EQ(h.session.connection(), Connection::Offline);
        // The unit moved to its new address; the status stream is switched off there twice.
        EXPECT_TRUE(waitFor([&] { return h.unit->address().toString() == "127.0.0.6"; }, 1000));
        ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('L') == 3; }, 1000));
        EXPECT_EQ(h.unit->received().back().toStdString(), buildL(false));
        const AddressFileEntry file = readAddressFile(h.state.addressFilePath);
        EXPECT_EQ(file.ip, "127.0.0.6");
        EXPECT_EQ(file.port, h.port);
    }
}

// A wrong old password is refused by the unit's silence; the right one changes the password,
// drops the link and the new one logs in. The unit's log never shows either.
TEST(Session, AccountChangeTimesOutOnAWrongPasswordAndStoresTheNewLoginOnConfirmation)
{
    QTemporaryDir dir;
    LoopbackHarness h;
    VirtualUnitOptions options;
    options.port = h.port;
    options.statusInterval = 10;
    options.logPath = dir.filePath(QStringLiteral("unit.log"));
    h.unit = std::make_unique<VirtualUnit>(options);
    ASSERT_TRUE(h.startLoggedIn());
    ASSERT_TRUE(h.session.changeAccount("admin", "111111", "abc123", "abc123"));
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 3000));
    EXPECT_EQ(h.ui.messages[0].text, "Change user error");
    EXPECT_EQ(h.unit->password("admin"), "888888");
    EXPECT_FALSE(h.table.record(1).accountChangePending);

    h.ui.messages.clear();
    ASSERT_TRUE(h.session.changeAccount("admin", "888888", "abc123", "abc123"));
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));
    EXPECT_EQ(h.ui.messages[0].text, "Password changed successfully, please reconnect the device");
    EXPECT_EQ(accountField(h.table.record(1).loginPassword), "abc123&");
    EXPECT_EQ(h.unit->password("admin"), "abc123");
    EXPECT_FALSE(h.table.record(1).accountChangePending);
    h.ui.messages.clear();
    ASSERT_TRUE(h.login("abc123"));
    EXPECT_TRUE(h.ui.messages.empty());

    QFile log(options.logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("%R,") && text.contains("%X,"));
    for (const char* secret : {"888888", "111111", "abc123", "admin"})
        EXPECT_FALSE(text.contains(secret)) << secret;
    EXPECT_EQ(log.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}
