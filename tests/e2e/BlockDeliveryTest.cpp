// EQ and dynamics blocks (E and B): their answers carry no values, and a block is only built
// once the unit has reported it. Neither may hide a change the unit never got.
#include "mixer/SonaroCore.h"
#include "support/LoopbackCore.h"

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

// A late answer to an earlier E (its resend was answered too) must not confirm a later E that
// the unit never got.
TEST(BlockDelivery, ALateAnswerToOlderValuesDoesNotConfirmANewerFrameThatWasLost)
{
    LoopbackCoreOptions options;
    options.timingDivisor = 1; // the link's own answer times, so that the answers cross
    LoopbackCore b(options);
    ASSERT_TRUE(b.start() && b.login());
    bool lost = false;
    QObject::connect(&b.core->delivery(), &Delivery::changeNotDelivered,
                     [&](const ChangeId&) { lost = true; });
    // Every answer leaves 150 ms late: the first E goes again at 90 ms and both are answered.
    b.unit->setAnswerDelay(150);
    b.unit->clearReceived();
    const ChangeId band{1, SettingId::InputEqGain, 1}; // input 1, band 2
    ASSERT_EQ(b.core->applySetting(band, 4.0), Outcome::Applied);
    ASSERT_TRUE(b.waitReceived('E', 2));
    // The newer values leave once the first answer is in and are lost, with their first resend;
    // the second answer to the older values comes meanwhile.
    b.unit->dropNext('E', 2);
    ASSERT_EQ(b.core->applySetting(band, -6.0), Outcome::Applied);
    ASSERT_TRUE(waitFor([&] { return b.core->delivery().isIdle(); }, 10000));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_FALSE(lost);
    EXPECT_EQ(b.unit->record().inputEqAt(1, kEqGain, 0), -6.0) << "the newer values went again";
    EXPECT_EQ(b.record().inputEqAt(1, kEqGain, 0), -6.0);
}

TEST(BlockDelivery, AChangeToABlockTheUnitNeverReportedIsToldAsNotDelivered)
{
    LoopbackCore b;
    b.unit->dropNext('F', 100000); // no EQ block is ever reported
    ASSERT_TRUE(b.start() && b.login());
    QList<ChangeId> lost;
    QObject::connect(&b.core->delivery(), &Delivery::changeNotDelivered,
                     [&](const ChangeId& id) { lost << id; });
    const ChangeId band{1, SettingId::InputEqGain, 1};
    ASSERT_EQ(b.core->applySetting(band, 4.0), Outcome::Applied);
    ASSERT_TRUE(waitFor([&] { return lost.contains(band); }, 20000));
    EXPECT_EQ(b.unit->receivedCount('E'), 0) << "nothing is built from a block never reported";
    EXPECT_TRUE(waitFor([&] { return b.core->delivery().isIdle(); }, 5000));
}
