#include "dsp/EqResponse.h"
#include "dsp/DeviceCoefficients.h"
#include "dsp/EqCurves.h"
#include "dsp/ResponseGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>

using namespace sonaro;

namespace {

constexpr double kPi = std::numbers::pi;

// |H(e^jw)| in dB of b(z) / a(z), both with z^-1 powers, computed with complex numbers.
double complexDb(double b0, double b1, double b2, double a0, double a1, double a2, double w)
{
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return 20.0 * std::log10(std::abs((b0 + b1 * z1 + b2 * z2) / (a0 + a1 * z1 + a2 * z2)));
}

double displayDb(const Biquad& c, double w)
{
    return complexDb(c.b0, c.b1, c.b2, 1.0, c.a1, c.a2, w);
}

// The unit's coefficients: its a1 and a2 are the negated denominator coefficients.
double DeviceDb(double frequency, double gain, double q, EqBandType type, double hz)
{
    std::array<double, 3> b{}, a{};
    deviceCoefficients(frequency, gain, frequency / q, static_cast<int>(type), b, a);
    return complexDb(b[0], b[1], b[2], 1.0, -a[1], -a[2], 2.0 * kPi * hz / 96000.0);
}

double maxDifference(const ResponseCurve& x, const ResponseCurve& y)
{
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        worst = std::max(worst, std::abs(x[i] - y[i]));
    return worst;
}

} // namespace

TEST(ResponseGrid, TableAsListed)
{
    EXPECT_EQ(ResponseGrid.front(), 19.71);
    EXPECT_EQ(ResponseGrid.back(), 20000.0);
    EXPECT_EQ(ResponseGrid[76], 179.0);
    EXPECT_EQ(ResponseGrid[77], 182.0);
    EXPECT_EQ(ResponseGrid[192], 5000.0);
    EXPECT_EQ(ResponseGrid[136], 1000.0);
    EXPECT_TRUE(std::is_sorted(ResponseGrid.begin(), ResponseGrid.end()));
    EXPECT_EQ(std::adjacent_find(ResponseGrid.begin(), ResponseGrid.end()), ResponseGrid.end());
}

TEST(ResponseGrid, NearestIndexSnapping)
{
    EXPECT_EQ(nearestGridIndex(1000.0), 136);
    EXPECT_EQ(nearestGridIndex(180.5), 77) << "a tie goes to the upper point";
    EXPECT_EQ(nearestGridIndex(180.49), 76);
    EXPECT_EQ(nearestGridIndex(4948.0), 192); // halfway between 4896 and 5000
    EXPECT_EQ(nearestGridIndex(4947.9), 191);
    EXPECT_EQ(nearestGridIndex(19792.5), 240);
    EXPECT_EQ(nearestGridIndex(19792.4), 239);
    EXPECT_EQ(nearestGridIndex(20000.0), 240);
    EXPECT_EQ(nearestGridIndex(1e9), 240);
    EXPECT_EQ(nearestGridIndex(std::numeric_limits<double>::infinity()), 240);
    EXPECT_EQ(nearestGridIndex(std::numeric_limits<double>::quiet_NaN()), 240);
    EXPECT_EQ(nearestGridIndex(19.71), 0);
    EXPECT_EQ(nearestGridIndex(0.0), 0);
    EXPECT_EQ(nearestGridIndex(-50.0), 0);
    // Against the plain walk over the table, for frequencies all over the range.
    for (double f = 10.0; f < 21000.0; f *= 1.0037) {
        int walk = 240;
        for (int i = 0; i < kGridPoints; ++i)
            if (ResponseGrid[static_cast<std::size_t>(i)] >= f) {
                walk = (i > 0 && f - ResponseGrid[static_cast<std::size_t>(i - 1)] <
                                     ResponseGrid[static_cast<std::size_t>(i)] - f)
                           ? i - 1
                           : i;
                break;
            }
        ASSERT_EQ(nearestGridIndex(f), walk) << f;
    }
}

TEST(DisplayResponse, FlatBandsDrawZeroDecibels)
{
    ResponseCurve curve;
    for (int type : {1, 2}) {
        shelfResponse(1000.0, type, 0.0, curve);
        for (double v : curve)
            ASSERT_EQ(v, 0.0);
    }
    for (double f : {20.0, 1000.0, 20000.0})
        for (double q : {0.3, 0.5, 20.0}) {
            peakResponse(f, 0.0, 1.0 / q, curve);
            for (double v : curve)
                ASSERT_NEAR(v, 0.0, 1e-12) << f << " " << q;
        }
}

// The step-5 evaluation against H(e^jw) computed independently with complex numbers.
TEST(DisplayResponse, BiquadMagnitudeMatchesComplexEvaluation)
{
    const Biquad designs[] = {peakDisplayBiquad(1000.0, 12.0, 1.0 / 0.5),
                              peakDisplayBiquad(63.0, -15.0, 1.0 / 20.0),
                              peakDisplayBiquad(16000.0, 7.5, 1.0 / 3.0),
                              shelfDisplayBiquad(100.0, 1, -9.0),
                              shelfDisplayBiquad(8000.0, 2, 15.0),
                              lowPassDisplayBiquad(6500.0),
                              highPassDisplayBiquad(150.0)};
    for (const Biquad& c : designs) {
        ResponseCurve curve;
        biquadResponse(c, curve);
        for (std::size_t i = 0; i < kGridPoints; ++i)
            ASSERT_NEAR(curve[i], displayDb(c, ResponseGrid[i] * kDisplayRadPerHz), 1e-8) << i;
    }
}

TEST(DisplayResponse, PeakCentreSnapsToTheGrid)
{
    ResponseCurve curve;
    peakResponse(1010.0, 9.0, 1.0 / 2.0, curve); // drawn at grid point 1000 Hz
    const auto top = std::max_element(curve.begin(), curve.end()) - curve.begin();
    EXPECT_EQ(top, 136);
    EXPECT_NEAR(curve[136], 9.0, 1e-3);
    ResponseCurve snapped;
    peakResponse(1000.0, 9.0, 1.0 / 2.0, snapped);
    EXPECT_EQ(curve, snapped);
}

// The drawn shelf corners are moved (x1.2727 low, x0.76923 high) while the unit's coefficients
// keep the band's frequency: at its corner a slope-1 shelf is at half its gain.
TEST(DisplayResponse, ShelfCornersDrawnAwayFromTheSentFrequency)
{
    const double gain = 12.0;
    const Biquad low = shelfDisplayBiquad(1000.0, 1, gain);
    const Biquad high = shelfDisplayBiquad(1000.0, 2, gain);
    EXPECT_NEAR(displayDb(low, 1272.7 * kDisplayRadPerHz), gain / 2, 0.01);
    EXPECT_NEAR(displayDb(high, 769.2 * kDisplayRadPerHz), gain / 2, 0.01);
    EXPECT_GT(displayDb(low, 1000.0 * kDisplayRadPerHz), gain / 2 + 0.5);
    EXPECT_GT(displayDb(high, 1000.0 * kDisplayRadPerHz), gain / 2 + 0.5);

    EXPECT_NEAR(DeviceDb(1000.0, gain, 0.5, EqBandType::LowShelf, 1000.0), gain / 2, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, gain, 0.5, EqBandType::HighShelf, 1000.0), gain / 2, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, gain, 0.5, EqBandType::LowShelf, 0.0), gain, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, gain, 0.5, EqBandType::LowShelf, 48000.0), 0.0, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, gain, 0.5, EqBandType::HighShelf, 48000.0), gain, 1e-9);
}

TEST(DisplayResponse, FiltersAtTheirCorner)
{
    // One section with Q = 1 / (2 x 0.70422535): at the corner |H| = Q.
    const double atCorner = 20.0 * std::log10(1.0 / (2.0 * 0.70422535));
    EXPECT_NEAR(displayDb(highPassDisplayBiquad(150.0), 150.0 * kDisplayRadPerHz), atCorner, 1e-9);
    EXPECT_NEAR(displayDb(lowPassDisplayBiquad(6500.0), 6500.0 * kDisplayRadPerHz), atCorner, 1e-9);
    ResponseCurve curve;
    highPassResponse(150.0, curve);
    EXPECT_LT(curve.front(), -30.0);
    EXPECT_NEAR(curve.back(), 0.0, 0.01);
    lowPassResponse(6500.0, curve);
    EXPECT_NEAR(curve.front(), 0.0, 1e-6);
    EXPECT_LT(curve.back(), -15.0);
}

TEST(deviceCoefficients, PeakCutIsNotTheMirrorOfTheBoost)
{
    // V acts on the numerator only: both reach their gain at the centre ...
    EXPECT_NEAR(DeviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 1000.0), 12.0, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, -12.0, 2.0, EqBandType::Peak, 1000.0), -12.0, 1e-9);
    EXPECT_NEAR(DeviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 0.0), 0.0, 1e-9);
    // ... but half an octave away the cut is much narrower than the boost.
    const double boost = DeviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 1414.0);
    const double cut = DeviceDb(1000.0, -12.0, 2.0, EqBandType::Peak, 1414.0);
    EXPECT_GT(boost + cut, 5.0);

    std::array<double, 3> b{1, 0, 0}, a{1, 0, 0};
    deviceCoefficients(2000.0, 0.0, 2000.0 / 1.5, 0, b, a);
    EXPECT_EQ(b[0], 1.0);
    EXPECT_EQ(a[0], 1.0);
    EXPECT_EQ(a[1], -b[1]);
    EXPECT_EQ(a[2], -b[2]);

    b = {7, 8, 9};
    a = {4, 5, 6};
    deviceCoefficients(2000.0, 3.0, 1000.0, 3, b, a);
    deviceCoefficients(2000.0, 3.0, 1000.0, -1, b, a);
    EXPECT_EQ(b, (std::array<double, 3>{7, 8, 9}));
    EXPECT_EQ(a, (std::array<double, 3>{4, 5, 6}));
}

TEST(ChannelCurves, FastCurvesMatchTheFormulas)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> logFrequency(std::log(20.0), std::log(20000.0));
    std::uniform_real_distribution<double> gain(-15.0, 15.0);
    std::uniform_real_distribution<double> q(0.3, 20.0);
    std::uniform_int_distribution<int> type(0, 2);
    std::uniform_int_distribution<int> filter(0, 10);
    const auto randomBand = [&] {
        return EqBand{std::exp(logFrequency(random)), gain(random), q(random),
                      EqBandType{type(random)}};
    };
    for (int round = 0; round < 40; ++round) {
        std::array<EqBand, kInputEqBands> in;
        for (EqBand& band : in)
            band = randomBand();
        std::array<EqBand, kOutputEqBands> out;
        for (EqBand& band : out)
            band = randomBand();
        const int hp = filter(random), lp = filter(random);

        InputCurves fast, direct;
        computeInputCurves(in, hp, lp, fast);
        computeInputCurvesDirect(in, hp, lp, direct);
        ASSERT_LT(maxDifference(fast.bands, direct.bands), 1e-9);
        ASSERT_EQ(fast.highPass, direct.highPass);
        ASSERT_EQ(fast.lowPass, direct.lowPass);

        ResponseCurve fastOut, directOut;
        outputChannelCurve(out, fastOut);
        outputChannelCurveDirect(out, directOut);
        ASSERT_LT(maxDifference(fastOut, directOut), 1e-9);
    }
}

TEST(ChannelCurves, BandSumsFiltersAndStrayValues)
{
    // Input bands by type; output bands always as Peak.
    std::array<EqBand, kInputEqBands> in;
    for (int b = 0; b < kInputEqBands; ++b)
        in[static_cast<std::size_t>(b)] = defaultInputEqBand(b);
    in[1] = EqBand{300.0, 6.0, 1.0, EqBandType::LowShelf};
    in[3] = EqBand{3300.0, -4.0, 2.0, EqBandType::Peak};
    ResponseCurve sum, shelf, peak;
    inputChannelCurve(in, sum);
    shelfResponse(300.0, 1, 6.0, shelf);
    peakResponse(3300.0, -4.0, 0.5, peak);
    for (std::size_t i = 0; i < kGridPoints; ++i)
        ASSERT_NEAR(sum[i], shelf[i] + peak[i], 1e-9);

    std::array<EqBand, kOutputEqBands> out;
    for (int b = 0; b < kOutputEqBands; ++b)
        out[static_cast<std::size_t>(b)] = defaultOutputEqBand(b);
    out[8] = EqBand{1000.0, 6.0, 1.0, EqBandType::HighShelf};
    outputChannelCurve(out, sum);
    peakResponse(1000.0, 6.0, 1.0, peak);
    for (std::size_t i = 0; i < kGridPoints; ++i)
        ASSERT_NEAR(sum[i], peak[i], 1e-9);

    // Filters off draw 0 dB; on, the table frequency of their index.
    InputCurves curves;
    computeInputCurves(in, 0, 0, curves);
    EXPECT_EQ(*std::max_element(curves.highPass.begin(), curves.highPass.end()), 0.0);
    EXPECT_EQ(*std::min_element(curves.lowPass.begin(), curves.lowPass.end()), 0.0);
    computeInputCurves(in, 10, 2, curves);
    ResponseCurve expected;
    highPassResponse(150.0, expected);
    EXPECT_EQ(curves.highPass, expected);
    lowPassResponse(18000.0, expected);
    EXPECT_EQ(curves.lowPass, expected);
    EXPECT_EQ(highPassCurve(99), highPassCurve(10));

    // Values no editor produces (from preset files) never poison the curve: bands that cannot
    // be drawn are flat, and huge gains fall back to the band-by-band sum.
    in[0] = EqBand{1000.0, 3.0, 0.0, EqBandType::Peak};
    in[2] = EqBand{std::numeric_limits<double>::quiet_NaN(), 3.0, 1.0, EqBandType::Peak};
    in[4] = EqBand{500.0, 3.0, 1.0, EqBandType{5}};
    inputChannelCurve(in, sum);
    shelfResponse(300.0, 1, 6.0, shelf);
    peakResponse(3300.0, -4.0, 0.5, peak);
    for (std::size_t i = 0; i < kGridPoints; ++i)
        ASSERT_NEAR(sum[i], shelf[i] + peak[i], 1e-9);
    for (EqBand& band : out)
        band.gain = 400.0;
    ResponseCurve direct;
    outputChannelCurve(out, sum);
    outputChannelCurveDirect(out, direct);
    for (std::size_t i = 0; i < kGridPoints; ++i) {
        ASSERT_TRUE(std::isfinite(sum[i])) << i;
        ASSERT_NEAR(sum[i], direct[i], 1e-9 * std::max(1.0, std::abs(direct[i])));
    }
}
