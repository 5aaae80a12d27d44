#include "unit/AutomixModel.h"

#include <gtest/gtest.h>

#include <bit>

using namespace sonaro;

TEST(AutomixModel, OpensAtMostTheAllowedChannelsAndNeverAMutedOne)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    r.maxOpenChannels = 2;
    r.inputMute[3] = 1;
    AutomixModel model(3);
    int everOpen = 0;
    for (int step = 0; step < 2000; ++step) {
        model.step(r, 50);
        EXPECT_LE(std::popcount(static_cast<unsigned>(model.openBits())), 2);
        EXPECT_EQ((model.openBits() >> 3) & 1, 0);
        EXPECT_EQ(model.levels()[3], 0);
        everOpen |= model.openBits();
        for (int level : model.levels()) {
            EXPECT_GE(level, 0);
            EXPECT_LE(level, 60);
        }
        // On the wire the levels span the meters' range: a muted input is silence (80).
        for (int level : model.wireLevels()) {
            EXPECT_GE(level, 80);
            EXPECT_LE(level, 191);
        }
        EXPECT_EQ(model.wireLevels()[3], 80);
    }
    EXPECT_EQ(everOpen, 0xF7) << "over 100 s every unmuted channel talks at some point";
}

TEST(AutomixModel, PriorityChannelWinsTheOnlyOpenPlace)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    r.inputPriority[5] = 1;
    r.thresholdMode = 1;
    r.threshold = 0; // every channel above the threshold all the time
    r.holdTime = 0;
    AutomixModel model(5);
    for (int step = 0; step < 100; ++step) {
        model.step(r, 50);
        EXPECT_EQ(model.openBits(), 1 << 5);
    }
}
