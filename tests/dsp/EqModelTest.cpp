#include "dsp/EqModel.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace sonaro;

TEST(EqModel, SlotsAddressInputsAndOutputBlocks)
{
    for (int slot = 0; slot < kInputCount; ++slot) {
        const auto target = eqSlotOf(slot);
        ASSERT_TRUE(target);
        EXPECT_FALSE(target->output);
        EXPECT_EQ(target->channel, slot);
        EXPECT_EQ(target->firstBand, 0);
    }
    const auto slot12 = eqSlotOf(12);
    ASSERT_TRUE(slot12);
    EXPECT_TRUE(slot12->output);
    EXPECT_EQ(slot12->channel, 1);
    EXPECT_EQ(slot12->firstBand, 5);
    const auto slot10 = eqSlotOf(10);
    EXPECT_EQ(slot10->channel, 0);
    EXPECT_EQ(slot10->firstBand, 10);
    EXPECT_EQ(outputEqSlot(1, 1), 12);
    EXPECT_EQ(outputEqSlot(0, 0), 8);
    EXPECT_FALSE(eqSlotOf(-1));
    EXPECT_FALSE(eqSlotOf(14));
}

// Writing a block through a slot changes exactly that block's values in the record: every other
// byte (including the unused bytes 2480..2487) stays as it was.
TEST(EqModel, SlotWritesTouchOnlyTheirBlock)
{
    UnitRecord before;
    std::memset(&before, 0x5A, sizeof before);
    std::array<EqBand, kBandsPerBlock> bands;
    for (int b = 0; b < kBandsPerBlock; ++b)
        bands[static_cast<std::size_t>(b)] =
            EqBand{100.0 * (b + 1), -1.0 * b, 0.3 + b, EqBandType{b % 3}};

    for (int slot = 0; slot < kEqSlotCount; ++slot) {
        UnitRecord after = before;
        ASSERT_TRUE(setEqSlotBands(after, slot, bands));
        EXPECT_EQ(eqSlotBands(after, slot)->at(4).frequency, 500.0);
        int changed = 0;
        const auto* x = reinterpret_cast<const unsigned char*>(&before);
        const auto* y = reinterpret_cast<const unsigned char*>(&after);
        for (std::size_t i = 0; i < sizeof before; ++i) {
            if (x[i] == y[i]) continue;
            ++changed;
            const bool inInputs =
                i >= offsetof(UnitRecord, inputEq) && i < offsetof(UnitRecord, outputEq);
            const bool inOutputs =
                i >= offsetof(UnitRecord, outputEq) && i < offsetof(UnitRecord, routing);
            ASSERT_TRUE(slot < kInputCount ? inInputs : inOutputs) << slot << " byte " << i;
        }
        EXPECT_GT(changed, 0);
    }
    UnitRecord after = before;
    EXPECT_FALSE(setEqSlotBands(after, 14, bands));
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_FALSE(eqSlotBands(after, 99));
}

TEST(EqModel, ResetValuesAndStrayIndexes)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    setInputEqBand(r, 2, 3, EqBand{50.0, 9.0, 7.0, EqBandType::HighShelf});
    r.highPassIndex[2] = 4;
    r.lowPassIndex[2] = 7;
    resetInputEq(r, 2);
    const double inputFrequencies[] = {100, 300, 1000, 3300, 10000};
    for (int b = 0; b < kInputEqBands; ++b) {
        const EqBand band = inputEqBand(r, 2, b);
        EXPECT_EQ(band.frequency, inputFrequencies[b]);
        EXPECT_EQ(band.gain, 0.0);
        EXPECT_EQ(band.q, 0.5);
        EXPECT_EQ(band.type, EqBandType::Peak);
    }
    EXPECT_EQ(r.highPassIndex[2], 0);
    EXPECT_EQ(r.lowPassIndex[2], 0);
    EXPECT_EQ(inputEqBand(r, 1, 0).q, 1.0) << "other channels keep the factory Q";

    setOutputEqBand(r, 1, 14, EqBand{900.0, -9.0, 3.0, EqBandType::LowShelf});
    resetOutputEq(r, 1);
    const EqBand last = outputEqBand(r, 1, 14);
    EXPECT_EQ(last.frequency, 16000.0);
    EXPECT_EQ(last.gain, 0.0);
    EXPECT_EQ(last.q, 0.5);
    EXPECT_EQ(last.type, EqBandType::LowShelf) << "the output Reset leaves the stored type";
    EXPECT_EQ(outputEqBand(r, 1, 0).frequency, 25.0);
    // Indexes from a file or the unit outside the tables read as their ends.
    EXPECT_EQ(lowPassFrequency(-3), 20000.0);
    EXPECT_EQ(highPassFrequency(42), 150.0);
    EXPECT_STREQ(eqBandTypeLabel(EqBandType{3}), "");
}
