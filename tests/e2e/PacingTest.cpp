// Pauses as the unit sees them: measured from the unit's own receive times.
#include "e2e/LoopbackHarness.h"

#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

namespace sonaro::testing {

namespace {

// Receive time of the first frame of the kind at or after position from, or -1.
qint64 arrivalOf(const VirtualUnit& unit, char kind, std::size_t from, std::size_t* at = nullptr)
{
    for (std::size_t i = from; i < unit.received().size(); ++i) {
        if (unit.received()[i].size() > 1 && unit.received()[i][1] == kind) {
            if (at) *at = i;
            return unit.receivedAt()[i];
        }
    }
    return -1;
}

} // namespace

TEST(Pacing, ThePauseAfterAnAnsweredCommandCountsFromTheAnswer)
{
    // Timings halved only: an answer 20 ms late stays well inside the wait for it.
    LoopbackHarness h(2);
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    constexpr int kAnswerDelay = 20;
    constexpr int kPause = 60;
    h.unit->setAnswerDelay(kAnswerDelay);
    h.unit->clearReceived();
    // A bulk step: M with its pause, then V; and one that is never answered, then G.
    for (const char kind : {'M', 'V'}) {
        LinkRequest request;
        request.kind = kind;
        request.unit = 1;
        if (kind == 'M') request.pauseAfter = kPause;
        h.link.enqueue(std::move(request));
    }
    ASSERT_TRUE(
        waitFor([&] { return h.delivery.isIdle() && h.unit->receivedCount('V') == 1; }, 2000));
    std::size_t m = 0;
    const qint64 sentM = arrivalOf(*h.unit, 'M', 0, &m);
    const qint64 sentV = arrivalOf(*h.unit, 'V', m);
    ASSERT_GE(sentM, 0);
    ASSERT_GE(sentV, 0);
    EXPECT_GE(sentV - sentM, kAnswerDelay + kPause);
    EXPECT_EQ(h.unit->receivedCount('M'), 1);

    // Given up: the pause still follows the last attempt's wait.
    h.unit->setAnswerDelay(0);
    h.unit->setDropIncoming(1.0);
    h.unit->clearReceived();
    LinkRequest lost;
    lost.kind = 'B';
    lost.unit = 1;
    lost.pauseAfter = kPause;
    h.link.setFrameBuilder('B', [](const UnitRecord&, int, int) {
        return buildFrame('B', {"01", "00"});
    });
    h.link.enqueue(std::move(lost));
    h.link.send('G', 1);
    std::vector<char> gaveUp;
    QObject::connect(&h.link, &Link::answerGivenUp, [&](char kind) { gaveUp.push_back(kind); });
    ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('G') == 1; }, 3000));
    h.unit->setDropIncoming(0.0);
    ASSERT_FALSE(gaveUp.empty());
    std::size_t g = 0;
    const qint64 sentG = arrivalOf(*h.unit, 'G', 0, &g);
    ASSERT_GE(g, 1u);
    EXPECT_EQ(h.unit->received()[g - 1][1], 'B');
    EXPECT_GE(sentG - h.unit->receivedAt()[g - 1], kPause);
}

} // namespace sonaro::testing

namespace sonaro::testing {

namespace {

// The kinds the unit received, in order, as one text ("MVGLL").
std::string kindsReceived(const VirtualUnit& unit)
{
    std::string kinds;
    for (const QByteArray& frame : unit.received())
        kinds += frame.size() > 1 ? frame[1] : '?';
    return kinds;
}

} // namespace

TEST(Pacing, ExitAndDisconnectSendWhatIsQueuedBeforeTheStreamGoesOff)
{
    for (const bool exiting : {false, true}) {
        LoopbackHarness h(2);
        ASSERT_TRUE(h.startBoth());
        ASSERT_TRUE(h.login());
        ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
        h.unit->clearReceived();
        h.unit->setAnswerDelay(20);
        UnitRecord& r = h.table.record(1);
        r.inputGain[1] = 44;
        r.panelLock = 1;
        r.routing[1] = 0x33;
        h.link.send('M', 1);
        h.link.send('V', 1);
        h.link.send('G', 1);
        if (exiting)
            h.session.shutdown();
        else
            h.session.disconnect();
        EXPECT_FALSE(r.connected) << "the units are given up at once";
        ASSERT_TRUE(waitFor([&] { return h.unit->receivedCount('L') >= 1; }, 2000));
        spin(50);
        EXPECT_EQ(kindsReceived(*h.unit), exiting ? "MVGL" : "MVGLL");
        EXPECT_EQ(h.unit->received().back().toStdString(), buildL(false));
        EXPECT_EQ(h.unit->record().inputGain[1], 44);
        EXPECT_EQ(h.unit->record().panelLock, 1);
        EXPECT_EQ(h.unit->record().routing[1], 0x33);
        EXPECT_EQ(h.session.connection(), Connection::Offline);
        EXPECT_EQ(h.link.isRunning(), !exiting);
    }
}

TEST(Pacing, TheDrainIsBoundedWhenTheUnitStopsAnswering)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    h.unit->setDropIncoming(1.0);
    for (int unit = 1; unit <= 40; ++unit)
        h.link.send('M', unit); // each waits for an answer that never comes
    QElapsedTimer clock;
    clock.start();
    h.session.shutdown();
    // The drain limit is 200 ms with the shrunk timings.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_LT(h.sentCount('M'), 40);
    EXPECT_EQ(h.sent.back().toStdString(), buildL(false));
}

} // namespace sonaro::testing
