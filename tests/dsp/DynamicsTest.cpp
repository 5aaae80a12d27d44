#include "dsp/DynamicsModel.h"
#include "dsp/ParameterWords.h"
#include "dsp/TransferCurve.h"
#include "dsp/ValueReadout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sonaro;

TEST(DynamicsLists, EntriesBothWays)
{
    ASSERT_EQ(AttackList().size(), 17u);
    ASSERT_EQ(ReleaseList().size(), 8u);
    ASSERT_EQ(RatioList().size(), 11u);
    for (std::size_t i = 0; i < AttackList().size(); ++i)
        EXPECT_EQ(AttackListIndex(AttackForListIndex(static_cast<int>(i))), static_cast<int>(i));
    for (std::size_t i = 0; i < ReleaseList().size(); ++i)
        EXPECT_EQ(ReleaseListIndex(ReleaseForListIndex(static_cast<int>(i))), static_cast<int>(i));
    for (std::size_t i = 0; i < RatioList().size(); ++i)
        EXPECT_EQ(RatioListIndex(RatioForListIndex(static_cast<int>(i))), static_cast<int>(i));

    // "INF:1" stores 100 and shows "INF:1" again; 11 and more do too.
    EXPECT_EQ(RatioForListIndex(10), kRatioInfinite);
    EXPECT_STREQ(RatioList()[10].label, "INF:1");
    EXPECT_EQ(RatioListIndex(100.0), 10);
    EXPECT_EQ(RatioListIndex(11.0), 10);
    EXPECT_EQ(RatioListIndex(4.0), 3);

    // Values that match no entry select the first entry.
    EXPECT_EQ(ReleaseListIndex(5000), 0);
    EXPECT_EQ(AttackListIndex(30), 0);
    EXPECT_EQ(RatioListIndex(0.0), 0);
    EXPECT_EQ(RatioListIndex(std::nan("")), 0);
    EXPECT_EQ(AttackForListIndex(-1), 1);
    EXPECT_EQ(ReleaseForListIndex(8), 10);
}

TEST(ValueReadout, FormatsAndClamping)
{
    EXPECT_EQ(FormatReadout(ReadoutFormat::Threshold, 800, kThresholdReadoutRange), "0.0dB");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Threshold, 1, kThresholdReadoutRange), "-79.9dB");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Threshold, -5, kThresholdReadoutRange), "-80.0dB");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Threshold, 1000, kThresholdReadoutRange), "OFF");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Milliseconds, 5000, kReleaseReadoutRange), "5000ms");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Milliseconds, 10, kReleaseReadoutRange), "50ms");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Milliseconds, 0, kAttackReadoutRange), "1ms");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Ratio, 100, kRatioReadoutRange), "10:1");

    const ReadoutRange wide{-10, 1000};
    EXPECT_EQ(FormatReadout(ReadoutFormat::Percent, 0, wide), "OFF");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Percent, 42, wide), "42.0%");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Dbu, 0, wide), "OFF");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Dbu, 124, wide), "4dBu");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Samples, 48, wide), "1.000ms");
    EXPECT_EQ(FormatReadout(ReadoutFormat::Samples, 1, wide), "0.021ms");
    EXPECT_EQ(FormatReadout(static_cast<ReadoutFormat>(9), 5, wide), "NULL");
    // A range given upside down still clamps instead of failing.
    EXPECT_EQ(FormatReadout(ReadoutFormat::Ratio, 50, ReadoutRange{10, 1}), "10:1");
}

TEST(ValueReadout, ThresholdRawBothWays)
{
    for (int raw = 0; raw <= 1000; ++raw)
        ASSERT_EQ(ThresholdReadoutRaw(ThresholdFromReadoutRaw(raw)), raw) << raw;
    EXPECT_EQ(ThresholdReadoutRaw(-0.7), 793);
    EXPECT_EQ(ThresholdFromReadoutRaw(1000), kThresholdOff);
    DynamicsSettings off;
    off.ratio = 4.0;
    off.threshold = ThresholdFromReadoutRaw(kThresholdReadoutOff);
    EXPECT_FALSE(DynamicsActive(off));
    EXPECT_EQ(EncodeDynamics(off)[2], "00");
}

TEST(TransferCurve, KneeSlopesAndEndPoint)
{
    TransferCurve curve(DynamicsSettings{4.0, -20.0, 1, 50});
    EXPECT_EQ(curve.knee().input, -20.0);
    EXPECT_EQ(curve.knee().output, -20.0);
    EXPECT_EQ(curve.slopeBelow(), 1.0);
    EXPECT_EQ(curve.slopeAbove(), 0.25);
    EXPECT_DOUBLE_EQ(curve.endPoint().output, (1 - 0.25) * -20.0 + 0.25 * 20.0);
    EXPECT_EQ(curve.endPoint().input, 20.0);
    const auto line = curve.polyline();
    EXPECT_EQ(line[0].input, -140.0);
    EXPECT_EQ(line[0].output, -140.0);

    // "INF:1": nearly flat above the knee; 1:1: a straight line.
    curve.update(DynamicsSettings{kRatioInfinite, -20.0, 1, 50});
    EXPECT_NEAR(curve.endPoint().output, -19.6, 1e-12);
    curve.update(DynamicsSettings{1.0, -20.0, 1, 50});
    EXPECT_EQ(curve.endPoint().output, 20.0);
    // Off (+20 dB): the knee is the end point.
    curve.update(DynamicsSettings{4.0, 20.0, 1, 50});
    EXPECT_EQ(curve.polyline()[1].input, 20.0);
    EXPECT_EQ(curve.endPoint().output, 20.0);
}

TEST(TransferCurve, DragRules)
{
    DynamicsSettings s{2.0, -20.0, 1, 50};
    DragKnee(s, 20.0);
    EXPECT_EQ(s.threshold, 20.0);
    EXPECT_EQ(ThresholdReadoutRaw(s.threshold), 1000);
    EXPECT_EQ(EncodeDynamics(s)[2], "00") << "a knee at +20 dB switches the processor off";

    s.threshold = -20.0;
    DragEndPoint(s, 0.0); // (20 + 20) / (0 + 20)
    EXPECT_EQ(s.ratio, 2.0);
    DragEndPoint(s, -5.0); // 40 / 15 = 2.67, cut to a whole number
    EXPECT_EQ(s.ratio, 2.0);
    DragEndPoint(s, -20.0); // onto the knee level
    EXPECT_EQ(s.ratio, kRatioInfinite);
    DragEndPoint(s, -30.0); // below it
    EXPECT_EQ(s.ratio, kRatioInfinite);
    DragEndPoint(s, -19.7); // 40 / 0.3 = 133
    EXPECT_EQ(s.ratio, kRatioInfinite);
    DragEndPoint(s, 25.0); // above the 1:1 line
    EXPECT_EQ(s.ratio, 1.0);
    DragEndPoint(s, -19.5); // 40 / 0.5 = 80
    EXPECT_EQ(s.ratio, 80.0);
    DragEndPoint(s, std::nan(""));
    EXPECT_EQ(s.ratio, 80.0);

    s.threshold = 20.0; // ratio 0 would follow; it is no ratio
    DragEndPoint(s, 10.0);
    EXPECT_EQ(s.ratio, 1.0);
}

TEST(EncodeDynamics, ConstantsAndWords)
{
    DynamicsSettings s{kRatioInfinite, -79.9, 0, 5000};
    const auto groups = EncodeDynamics(s);
    ASSERT_EQ(groups[0].size(), 91u);
    const auto field = [&](int i) {
        return static_cast<std::uint32_t>(std::stoul(groups[0].substr(7 * i, 7), nullptr, 16));
    };
    const auto constants = DynamicsConstants(s);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(field(i), Q23(constants[static_cast<std::size_t>(i)]));
    EXPECT_EQ(field(5), 0x2000000u); // 4.0
    EXPECT_NEAR(constants[7], 1.0 - std::exp(-0.10416666666666667), 1e-15);
    EXPECT_EQ(constants[7] + constants[8], 1.0);
    // An attack of 0 (accepted from the unit's report) is an immediate attack, not NaN.
    EXPECT_EQ(constants[9], 1.0);
    EXPECT_EQ(field(9), 0x0800000u);
    EXPECT_EQ(field(10), 0u);
    EXPECT_NEAR(constants[11], 1.0 - std::exp(-1.0 / (5.0 * 96000.0)), 1e-15);
    EXPECT_NEAR(constants[4], (-79.9 - 51.9224) * -0.16609640235192505, 1e-12);
    // Ratio INF sends 0064; -79.9 dB sends word 1, not 0.
    EXPECT_EQ(groups[1], "0064000100001388");
    EXPECT_EQ(groups[2], "01");

    s.ratio = 1.0;
    EXPECT_EQ(EncodeDynamics(s)[2], "00");
}
