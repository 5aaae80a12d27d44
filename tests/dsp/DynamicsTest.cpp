#include "dsp/DynamicsModel.h"
#include "dsp/ReadoutFormat.h"
#include "dsp/TransferCurve.h"
#include "protocol/ParameterWords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sonaro;

TEST(DynamicsLists, EntriesBothWays)
{
    ASSERT_EQ(attackList().size(), 17u);
    ASSERT_EQ(releaseList().size(), 8u);
    ASSERT_EQ(ratioList().size(), 11u);
    for (std::size_t i = 0; i < attackList().size(); ++i)
        EXPECT_EQ(attackListIndex(attackForListIndex(static_cast<int>(i))), static_cast<int>(i));
    for (std::size_t i = 0; i < releaseList().size(); ++i)
        EXPECT_EQ(releaseListIndex(releaseForListIndex(static_cast<int>(i))), static_cast<int>(i));
    for (std::size_t i = 0; i < ratioList().size(); ++i)
        EXPECT_EQ(ratioListIndex(ratioForListIndex(static_cast<int>(i))), static_cast<int>(i));

    // "INF:1" stores 100 and shows "INF:1" again; 11 and more do too.
    EXPECT_EQ(ratioForListIndex(10), kRatioInfinite);
    EXPECT_STREQ(ratioList()[10].label, "INF:1");
    EXPECT_EQ(ratioListIndex(100.0), 10);
    EXPECT_EQ(ratioListIndex(11.0), 10);
    EXPECT_EQ(ratioListIndex(4.0), 3);

    // Values that match no entry select the first entry.
    EXPECT_EQ(releaseListIndex(5000), 0);
    EXPECT_EQ(attackListIndex(30), 0);
    EXPECT_EQ(ratioListIndex(0.0), 0);
    EXPECT_EQ(ratioListIndex(std::nan("")), 0);
    EXPECT_EQ(attackForListIndex(-1), 1);
    EXPECT_EQ(releaseForListIndex(8), 10);
}

TEST(ValueReadout, FormatsAndClamping)
{
    EXPECT_EQ(formatReadout(ReadoutFormat::Threshold, 1, kThresholdReadoutRange), "-79.9dB");
    EXPECT_EQ(formatReadout(ReadoutFormat::Threshold, 1000, kThresholdReadoutRange), "OFF");
    // 10 ms is a release the unit holds (its factory value): never shown as another.
    EXPECT_EQ(formatReadout(ReadoutFormat::Milliseconds, 5, kReleaseReadoutRange), "10ms");
    EXPECT_EQ(formatReadout(ReadoutFormat::Ratio, 100, kRatioReadoutRange), "INF:1");
    EXPECT_EQ(formatReadout(ReadoutFormat::Samples, 48, ReadoutRange{-10, 1000}), "1.000ms");
    EXPECT_EQ(formatReadout(static_cast<ReadoutFormat>(9), 5, ReadoutRange{-10, 1000}), "NULL");
    // A range given upside down still clamps instead of failing.
    EXPECT_EQ(formatReadout(ReadoutFormat::Ratio, 50, ReadoutRange{10, 1}), "10:1");
}

TEST(ValueReadout, ThresholdRawBothWays)
{
    for (int raw = 0; raw <= 1000; ++raw)
        ASSERT_EQ(thresholdReadoutRaw(thresholdFromReadoutRaw(raw)), raw) << raw;
    EXPECT_EQ(thresholdReadoutRaw(-0.7), 793);
    EXPECT_EQ(thresholdFromReadoutRaw(1000), kThresholdOff);
    DynamicsSettings off;
    off.ratio = 4.0;
    off.threshold = thresholdFromReadoutRaw(kThresholdReadoutOff);
    EXPECT_FALSE(dynamicsActive(off));
    EXPECT_EQ(encodeDynamics(off)[2], "00");
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
    dragKnee(s, 20.0);
    EXPECT_EQ(s.threshold, 20.0);
    EXPECT_EQ(thresholdReadoutRaw(s.threshold), 1000);
    EXPECT_EQ(encodeDynamics(s)[2], "00") << "a knee at +20 dB switches the processor off";

    s.threshold = -20.0;
    dragEndPoint(s, 0.0); // (20 + 20) / (0 + 20)
    EXPECT_EQ(s.ratio, 2.0);
    dragEndPoint(s, -5.0); // 40 / 15 = 2.67, cut to a whole number
    EXPECT_EQ(s.ratio, 2.0);
    dragEndPoint(s, -20.0); // onto the knee level
    EXPECT_EQ(s.ratio, kRatioInfinite);
    dragEndPoint(s, -30.0); // below it
    EXPECT_EQ(s.ratio, kRatioInfinite);
    dragEndPoint(s, -19.7); // 40 / 0.3 = 133
    EXPECT_EQ(s.ratio, kRatioInfinite);
    dragEndPoint(s, 25.0); // above the 1:1 line
    EXPECT_EQ(s.ratio, 1.0);
    dragEndPoint(s, -19.0); // one dB above the knee level: 40 / 1
    EXPECT_EQ(s.ratio, 40.0);
    dragEndPoint(s, -19.5); // 40 / 0.5 = 80
    EXPECT_EQ(s.ratio, 80.0);
    dragEndPoint(s, std::nan(""));
    EXPECT_EQ(s.ratio, 80.0);

    s.threshold = 20.0; // ratio 0 would follow; it is no ratio
    dragEndPoint(s, 10.0);
    EXPECT_EQ(s.ratio, 1.0);
}

TEST(encodeDynamics, ConstantsAndWords)
{
    DynamicsSettings s{kRatioInfinite, -79.9, 0, 5000};
    const auto groups = encodeDynamics(s);
    ASSERT_EQ(groups[0].size(), 91u);
    const auto field = [&](int i) {
        return static_cast<std::uint32_t>(std::stoul(groups[0].substr(7 * i, 7), nullptr, 16));
    };
    const auto constants = dynamicsConstants(s);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(field(i), Q23(constants[static_cast<std::size_t>(i)]));
    EXPECT_EQ(field(5), 0x2000000u); // 4.0
    // An attack of 0 (accepted from the unit's report) is an immediate attack, not NaN.
    EXPECT_EQ(constants[9], 1.0);
    EXPECT_EQ(field(9), 0x0800000u);
    EXPECT_EQ(field(10), 0u);
    // Ratio INF sends 0064; -79.9 dB sends word 1, not 0.
    EXPECT_EQ(groups[1], "0064000100001388");
    EXPECT_EQ(groups[2], "01");

    s.ratio = 1.0;
    EXPECT_EQ(encodeDynamics(s)[2], "00");
}
