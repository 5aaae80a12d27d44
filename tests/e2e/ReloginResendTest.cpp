#include "e2e/LoopbackHarness.h"
#include "link/DeliveryTracker.h"

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

TEST(ReloginResend, TheStateIsReadFirstAndOnlyUnconfirmedChangesGoAgain)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    UnitRecord& r = h.table.record(1);
    DeliveryTracker& deliveries = h.session.deliveries();
    ASSERT_TRUE(silenceAndRelogin(h, 800, [&] {
        // Sent once the watchdog has dropped the link: lost in the silence.
        ASSERT_TRUE(waitFor([&] { return !r.connected; }, 1000));
        r.inputGain[2] = 17;
        r.routing[0] = 0x5A;
        r.inputPhantom[6] = 1;
        r.limiterAttack[1] = 77;
        for (char kind : {'V', 'G', 'M'})
            deliveries.noteChange(kind, 1);
        h.link.send('V', 1);
        h.link.send('G', 1);
        h.link.send('M', 1);
        h.link.send('B', 1, 1);
        // The front panel meanwhile, on fields the operator left alone.
        h.unit->record().outputGain[1] = 5;
        h.unit->record().feedback[4] = 1;
    }));
    ASSERT_TRUE(waitFor([&] { return deliveries.unconfirmedChanges().isEmpty(); }, 2000));
    EXPECT_EQ(h.unit->record().inputGain[2], 17);
    EXPECT_EQ(h.unit->record().routing[0], 0x5A);
    EXPECT_EQ(h.unit->record().inputPhantom[6], 1);
    EXPECT_EQ(h.unit->record().limiterAttack[1], 77) << "a B that gave up goes again";
    // What the unit changed itself stays on both sides.
    EXPECT_EQ(h.unit->record().outputGain[1], 5);
    EXPECT_EQ(h.unit->record().feedback[4], 1);
    EXPECT_EQ(r.outputGain[1], 5);
    EXPECT_EQ(r.feedback[4], 1);
    QString order;
    for (const QByteArray& f : h.sent)
        if (QByteArray("RVGMC").contains(f[1])) order += QChar(f[1]);
    const QString afterLogin = order.mid(order.lastIndexOf('R'));
    EXPECT_TRUE(afterLogin.startsWith("RC")) << afterLogin.toStdString();
    // V and G are never answered: both go again. The M may have been answered already by a
    // resend of its answer wait that outlived the silence.
    EXPECT_TRUE(afterLogin.contains('V') && afterLogin.contains('G')) << afterLogin.toStdString();
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
