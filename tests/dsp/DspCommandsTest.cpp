#include "dsp/DspCommands.h"

#include "dsp/DeviceCoefficients.h"
#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "protocol/FrameCodec.h"
#include "protocol/ParameterWords.h"
#include "support/FactoryRecord.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <vector>

using namespace sonaro;
using sonaro::testing::factoryRecord;

namespace {

// The groups of a frame's inner text after the kind letter, without the checksum.
std::vector<std::string> groupsOf(const std::string& frame)
{
    std::string_view inner;
    EXPECT_TRUE(checkFrame(frame, &inner)) << frame;
    std::vector<std::string> groups;
    std::stringstream stream{std::string(inner.substr(2))};
    for (std::string g; std::getline(stream, g, ',');)
        groups.push_back(g);
    if (!groups.empty()) groups.pop_back(); // checksum
    return groups;
}

} // namespace

TEST(buildE, FrameShapeForEverySlot)
{
    const UnitRecord r = factoryRecord();
    for (int slot = 0; slot < kEqSlotCount; ++slot) {
        const std::string frame = buildE(r, 1, slot);
        ASSERT_EQ(frame.size(), 269u) << slot;
        const auto groups = groupsOf(frame);
        ASSERT_EQ(groups.size(), 22u);
        EXPECT_EQ(groups[0], "01");
        EXPECT_EQ(groups[1], hex2(static_cast<unsigned>(slot)));
        for (int band = 0; band < 5; ++band)
            EXPECT_EQ(groups[2 + band].size(), 35u);
        for (int word = 0; word < 15; ++word)
            EXPECT_EQ(groups[7 + word].size(), 4u);
    }
    EXPECT_EQ(buildE(r, 1, -1), "");
    EXPECT_EQ(buildE(r, 1, 14), "");
}

TEST(buildE, SlotAddressesTheRightBandsAndCarriesTheWords)
{
    UnitRecord r = factoryRecord();
    // Slot 12 is output 1, block 1: bands 5..9 of the second output.
    setOutputEqBand(r, 1, 5, EqBand{1000.0, -3.0, 0.5, EqBandType::LowShelf});
    setOutputEqBand(r, 1, 9, EqBand{12345.0, 15.0, 20.0, EqBandType::HighShelf});
    auto groups = groupsOf(buildE(r, 1, 12));
    EXPECT_EQ(groups[7], "03E8");
    EXPECT_EQ(groups[8], "4005");
    EXPECT_EQ(groups[9], "0078");
    EXPECT_EQ(groups[19], "3039");
    EXPECT_EQ(groups[20], "80C8");
    EXPECT_EQ(groups[21], "012C");
    // The same band through the other output's slot is untouched (factory 250 Hz, Q 1, Peak).
    groups = groupsOf(buildE(r, 1, 9));
    EXPECT_EQ(groups[7], "00FA");
    EXPECT_EQ(groups[8], "000A");
    EXPECT_EQ(groups[9], "0096");

    // Input slot: channel 3's bands, gain -15 encodes as 0000.
    setInputEqBand(r, 3, 0, EqBand{20.0, -15.0, 0.3, EqBandType::Peak});
    groups = groupsOf(buildE(r, 2, 3));
    EXPECT_EQ(groups[0], "02");
    EXPECT_EQ(groups[7], "0014");
    EXPECT_EQ(groups[8], "0003");
    EXPECT_EQ(groups[9], "0000");
}

TEST(buildE, FlatPeakAndUnknownTypeCoefficients)
{
    UnitRecord r = factoryRecord();
    // Factory bands are flat peaks: b0 = 1.0 is 0800000 and a1, a2 mirror b1, b2.
    auto groups = groupsOf(buildE(r, 1, 0));
    const std::string band0 = groups[2];
    EXPECT_EQ(band0.substr(0, 7), "0800000");
    const auto field = [&](int i) {
        return static_cast<std::uint32_t>(std::stoul(band0.substr(7 * i, 7), nullptr, 16));
    };
    EXPECT_EQ((field(1) + field(3)) & 0xFFFFFFFu, 0u);
    EXPECT_EQ((field(2) + field(4)) & 0xFFFFFFFu, 0u);

    // A type no editor produces (from a preset file) goes out as a pass-through, never as
    // leftovers of the previous band.
    setInputEqBand(r, 0, 1, EqBand{5000.0, 12.0, 3.0, EqBandType::LowShelf});
    setInputEqBand(r, 0, 2, EqBand{5000.0, 12.0, 3.0, EqBandType{9}});
    groups = groupsOf(buildE(r, 1, 0));
    EXPECT_EQ(groups[4], "0800000" + std::string(28, '0'));
    EXPECT_EQ(groups[14], "401E"); // type 9 keeps its low two bits, like the stored type
}

TEST(buildE, StrayValuesKeepTheFrameWhole)
{
    UnitRecord r = factoryRecord();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    setInputEqBand(r, 5, 0, EqBand{1000.0, 3.0, 0.0, EqBandType::Peak});
    setInputEqBand(r, 5, 1, EqBand{nan, nan, nan, EqBandType::LowShelf});
    setInputEqBand(r, 5, 2, EqBand{-1e300, 1e300, -4.0, EqBandType::HighShelf});
    setInputEqBand(r, 5, 3, EqBand{96000.0, -400.0, 1e-300, EqBandType::Peak});
    const std::string frame = buildE(r, 1, 5);
    ASSERT_EQ(frame.size(), 269u);
    const auto groups = groupsOf(frame);
    ASSERT_EQ(groups.size(), 22u);
    EXPECT_EQ(groups[7], "03E8");
    EXPECT_EQ(groups[8], "0000"); // Q 0
    EXPECT_EQ(groups[10], "0000");
    EXPECT_EQ(groups[11], "4000");
    EXPECT_EQ(groups[12], "0000");
    EXPECT_EQ(groups[13], "0000"); // negative frequency
    EXPECT_EQ(groups[15], "FFFF"); // huge gain saturates
    EXPECT_EQ(groups[18], "0000"); // gain far below -15 dB
    // A Q of 0 and NaN values design no filter: they go out as a pass-through, not as all-zero
    // coefficients that would silence the channel.
    const std::string passThrough = "0800000" + std::string(28, '0');
    EXPECT_EQ(groups[2], passThrough);
    EXPECT_EQ(groups[3], passThrough);
}

TEST(buildB, DefaultsAndExamples)
{
    UnitRecord r = zeroRecord();
    setDynamics(r, 0, DynamicsSettings{});
    std::string frame = buildB(r, 1, 0);
    ASSERT_EQ(frame.size(), 126u);
    auto groups = groupsOf(frame);
    ASSERT_EQ(groups.size(), 5u);
    EXPECT_EQ(groups[0], "01");
    EXPECT_EQ(groups[1], "00");
    EXPECT_EQ(groups[2].size(), 91u);
    EXPECT_EQ(groups[3], "0001032000010032");
    EXPECT_EQ(groups[4], "00");

    setDynamics(r, 1, DynamicsSettings{2.0, -10.0, 20, 500});
    groups = groupsOf(buildB(r, 3, 1));
    EXPECT_EQ(groups[0], "03");
    EXPECT_EQ(groups[1], "01");
    EXPECT_EQ(groups[2].substr(0, 14), std::string(14, '0'));
    EXPECT_EQ(groups[2].substr(14, 7), "FC00000") << "slope of ratio 2 is -0.5";
    EXPECT_EQ(groups[3], "000202BC001401F4");
    EXPECT_EQ(groups[4], "01");

    EXPECT_EQ(buildB(r, 1, 2), "");
    EXPECT_EQ(buildB(r, 1, -1), "");
}
