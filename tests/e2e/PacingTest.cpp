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
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.link.isIdle(); }, 1000));
    constexpr int kAnswerDelay = 40;
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
    ASSERT_TRUE(waitFor([&] { return h.link.isIdle() && h.unit->receivedCount('V') == 1; }, 2000));
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
