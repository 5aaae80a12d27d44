#include "e2e/LoopbackHarness.h"

#include <gtest/gtest.h>

namespace sonaro::testing {

namespace {

// Silences the unit long enough for the watchdog (300 ms with the shrunk timings) to drop the
// link and waits until the program has logged in again and the unit streams once more.
bool silenceAndRelogin(LoopbackHarness& h, int silenceMs, const std::function<void()>& during)
{
    int accepted = 0;
    auto counter =
        QObject::connect(&h.dispatcher, &Dispatcher::loginAccepted, [&](int) { ++accepted; });
    h.unit->silence(silenceMs);
    during();
    const bool back = waitFor(
        [&] {
            return accepted > 0 && h.link.isIdle() && h.unit->streaming() && h.state.indicatorOn;
        },
        silenceMs + 4000);
    QObject::disconnect(counter);
    return back;
}

} // namespace

TEST(ReloginResend, VAndGLostInTheSilenceReachTheUnitBeforeTheStateReport)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    UnitRecord& r = h.table.record(1);
    ASSERT_TRUE(silenceAndRelogin(h, 800, [&] {
        r.inputGain[2] = 17;
        r.outputGain[1] = 5;
        r.feedback[4] = 1;
        r.routing[0] = 0x5A;
        h.link.send('V', 1);
        h.link.send('G', 1);
        ASSERT_TRUE(waitFor([&] { return h.link.isIdle(); }, 1000));
    }));
    EXPECT_EQ(h.unit->record().inputGain[2], 17);
    EXPECT_EQ(h.unit->record().outputGain[1], 5);
    EXPECT_EQ(h.unit->record().feedback[4], 1);
    EXPECT_EQ(h.unit->record().routing[0], 0x5A);
    // The state report that follows the login describes the same settings, so the record keeps
    // the operator's values instead of taking back the old ones.
    EXPECT_EQ(r.inputGain[2], 17);
    EXPECT_EQ(r.routing[0], 0x5A);
    QStringList order;
    for (const QByteArray& f : h.sent)
        if (QByteArray("RVGC").contains(f[1])) order << QString(QChar(f[1]));
    EXPECT_TRUE(order.join("").endsWith("RVGC")) << order.join("").toStdString();
}

TEST(ReloginResend, AcknowledgedCommandsThatGaveUpInTheSilenceGoAgainAfterTheLogin)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    UnitRecord& r = h.table.record(1);
    ASSERT_TRUE(silenceAndRelogin(h, 1000, [&] {
        // Sent once the watchdog has dropped the link: the waits give up, nothing is retried
        // while the unit is away.
        ASSERT_TRUE(waitFor([&] { return !r.connected; }, 1000));
        r.inputPhantom[6] = 1;
        r.limiterAttack[1] = 77;
        h.link.send('M', 1);
        h.link.send('B', 1, 1);
        ASSERT_TRUE(waitFor([&] { return h.link.isIdle(); }, 1000));
        EXPECT_EQ(h.sentCount('M'), 2);
        EXPECT_EQ(h.sentCount('B'), 2);
    }));
    EXPECT_EQ(h.unit->record().inputPhantom[6], 1);
    EXPECT_EQ(h.unit->record().limiterAttack[1], 77);
    EXPECT_EQ(r.inputPhantom[6], 1) << "the state report agrees with the record";
}

TEST(ReloginResend, AnAnswerWaitThatGivesUpWhileConnectedSendsTheCommandAgain)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    UnitRecord& r = h.table.record(1);
    // Every M is lost until the first wait has given up; the copy queued after it arrives.
    h.unit->setDropIncoming(1.0);
    const auto restore = QObject::connect(&h.link, &Link::answerGivenUp,
                                          [&](char) { h.unit->setDropIncoming(0.0); });
    r.panelLock = 1;
    h.link.send('M', 1);
    ASSERT_TRUE(waitFor([&] { return h.unit->record().panelLock == 1 && h.link.isIdle(); }, 2000));
    EXPECT_EQ(h.sentCount('M'), 3); // two in the wait that gave up, one more that was answered

    // A unit that never answers is not asked forever while it streams.
    h.unit->clearReceived();
    QObject::disconnect(restore);
    h.unit->setDropIncoming(1.0);
    const int before = h.sentCount('M');
    h.link.send('M', 1);
    spin(1500);
    h.unit->setDropIncoming(0.0);
    EXPECT_EQ(h.sentCount('M') - before, 8); // the first wait and three more, two datagrams each
}

} // namespace sonaro::testing
