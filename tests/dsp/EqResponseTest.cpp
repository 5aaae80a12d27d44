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
#include <string>
#include <vector>

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

double gridW(std::size_t i)
{
    return 2.0 * kPi * ResponseGrid[i] / 96000.0;
}

// One seven-digit field of the E payload read as a signed 28-bit Q.23 number.
double wireValue(const std::string& text)
{
    long v = std::stol(text, nullptr, 16);
    if (v >= (1L << 27)) v -= 1L << 28;
    return static_cast<double>(v) / 8388608.0;
}

// What the unit plays for a band, at w: the coefficients exactly as the E payload carries them,
// with the unit's negated feedback terms turned back.
double wireBandDb(const EqBand& band, double w)
{
    const std::array<EqBand, kBandsPerBlock> block{band, band, band, band, band};
    const std::string c = encodeEqBlock(block)[0];
    std::array<double, 5> v;
    for (std::size_t k = 0; k < 5; ++k)
        v[k] = wireValue(c.substr(7 * k, 7));
    return complexDb(v[0], v[1], v[2], 1.0, -v[3], -v[4], w);
}

// The channel filters, designed independently: a second-order section with
// Q = 1 / (2 x 0.70422535) at the unit's rate.
double filterDb(double frequency, bool highPass, double w)
{
    const double w0 = 2.0 * kPi * frequency / 96000.0;
    const double alpha = std::sin(w0) * 0.70422535;
    const double c = std::cos(w0);
    const double outer = highPass ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
    const double middle = highPass ? -(1.0 + c) : 1.0 - c;
    return complexDb(outer, middle, outer, 1.0 + alpha, -2.0 * c, 1.0 - alpha, w);
}

// The unit's coefficients: its a1 and a2 are the negated denominator coefficients.
double deviceDb(double frequency, double gain, double q, EqBandType type, double hz)
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

// Cuts, boosts, shelves and extremes near both ends of the range.
std::array<EqBand, kInputEqBands> testBands()
{
    return {EqBand{1000.0, -12.0, 4.0, EqBandType::Peak},
            EqBand{80.0, 6.0, 0.7, EqBandType::LowShelf},
            EqBand{20.0, 15.0, 20.0, EqBandType::Peak},
            EqBand{12000.0, -8.5, 1.0, EqBandType::HighShelf},
            EqBand{20000.0, -15.0, 0.3, EqBandType::Peak}};
}

} // namespace

TEST(ResponseGrid, NearestIndexSnapping)
{
    EXPECT_EQ(nearestGridIndex(180.5), 77) << "a tie goes to the upper point";
    EXPECT_EQ(nearestGridIndex(180.49), 76);
    EXPECT_EQ(nearestGridIndex(20000.0), 240);
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

// The drawn curve is the response of the coefficients that go out on the wire: checked against
// the E payload decoded and evaluated with complex numbers, filters included.
TEST(ChannelCurves, DrawnCurveIsWhatTheUnitPlays)
{
    const auto bands = testBands();
    for (const auto& [highPass, lowPass] :
         {std::pair{0, 0}, std::pair{1, 1}, std::pair{10, 10}, std::pair{5, 0}, std::pair{0, 3}}) {
        ResponseCurve expected;
        for (std::size_t i = 0; i < kGridPoints; ++i) {
            double sum = 0.0;
            for (const EqBand& band : bands)
                sum += wireBandDb(band, gridW(i));
            if (highPass != 0) sum += filterDb(kHighPassFrequency[highPass], true, gridW(i));
            if (lowPass != 0) sum += filterDb(kLowPassFrequency[lowPass], false, gridW(i));
            expected[i] = sum;
        }
        InputCurves fast, direct;
        computeInputCurves(bands, highPass, lowPass, fast);
        computeInputCurvesDirect(bands, highPass, lowPass, direct);
        EXPECT_LT(maxDifference(fast.total, expected), 1e-6) << highPass << " " << lowPass;
        EXPECT_LT(maxDifference(direct.total, expected), 1e-6) << highPass << " " << lowPass;
        // The filter series are 0 dB while off.
        EXPECT_EQ(fast.highPass[0] == 0.0, highPass == 0);
        EXPECT_EQ(fast.lowPass[240] == 0.0, lowPass == 0);
    }

    // Outputs: fifteen bands, each by its stored type.
    std::array<EqBand, kOutputEqBands> out;
    for (int b = 0; b < kOutputEqBands; ++b) {
        out[std::size_t(b)] = defaultOutputEqBand(b);
        out[std::size_t(b)].gain = (b % 7) * 5.0 - 15.0;
        out[std::size_t(b)].q = 0.3 + 1.4 * b;
    }
    out[0].type = EqBandType::LowShelf;
    out[14].type = EqBandType::HighShelf;
    ResponseCurve expected, fast, direct;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
        expected[i] = 0.0;
        for (const EqBand& band : out)
            expected[i] += wireBandDb(band, gridW(i));
    }
    outputChannelCurve(out, fast);
    outputChannelCurveDirect(out, direct);
    EXPECT_LT(maxDifference(fast, expected), 1e-6);
    EXPECT_LT(maxDifference(direct, expected), 1e-6);
}

// The faults of the old display formulas, measured on the unit's filter: a -12 dB Q 4 cut at
// 1 kHz is -3.05 dB at 891 Hz (not -8), and a Q 1 cut is about 0.67 octave wide at half gain.
TEST(ChannelCurves, CutsHaveTheUnitsWidth)
{
    ResponseCurve curve;
    inputBandCurve(EqBand{1000.0, -12.0, 4.0, EqBandType::Peak}, curve);
    EXPECT_NEAR(curve[132], -3.05, 0.02); // grid point 891 Hz
    EXPECT_NEAR(curve[136], -12.0, 0.01); // 1000 Hz

    inputBandCurve(EqBand{1000.0, -12.0, 1.0, EqBandType::Peak}, curve);
    std::vector<double> below;
    for (std::size_t i = 0; i < kGridPoints; ++i)
        if (curve[i] <= -6.0) below.push_back(ResponseGrid[i]);
    ASSERT_FALSE(below.empty());
    EXPECT_NEAR(std::log2(below.back() / below.front()), 0.67, 0.1);
}

// Every handle sits on its band's own curve: a Peak band passes through its gain at its
// frequency, a shelf through half its gain (its corner); the handle level and the gain it maps
// back to agree (within 0.15 dB, about a pixel: the Q.23 rounding of a narrow band near
// 100 Hz). Below about 60 Hz the unit's Q.23 coefficients no longer hold a narrow band
// (a -15 dB Q 20 cut at 20 Hz plays about +0.8 dB) and the curve shows what the unit plays.
TEST(ChannelCurves, HandlesSitOnTheirBandCurve)
{
    for (std::size_t i : {std::size_t(56), std::size_t(136), std::size_t(200), std::size_t(240)}) {
        const double f = ResponseGrid[i];
        for (const EqBandType type :
             {EqBandType::Peak, EqBandType::LowShelf, EqBandType::HighShelf}) {
            for (const double gain : {-15.0, -6.0, 0.0, 4.5, 15.0}) {
                for (const double q : {0.3, 2.0, 20.0}) {
                    const EqBand band{f, gain, q, type};
                    ResponseCurve curve;
                    inputBandCurve(band, curve);
                    const double level = bandHandleLevel(band);
                    EXPECT_NEAR(curve[i], level, 0.15)
                        << f << " " << int(type) << " " << gain << " q " << q;
                    EXPECT_NEAR(gainForHandleLevel(type, level), gain, 1e-12);
                }
            }
        }
    }
    EXPECT_EQ(bandHandleLevel(EqBand{1000.0, 9.0, 1.0, EqBandType::Peak}), 9.0);
    EXPECT_EQ(bandHandleLevel(EqBand{1000.0, 9.0, 1.0, EqBandType::LowShelf}), 4.5);
    EXPECT_EQ(gainForHandleLevel(EqBandType::HighShelf, -3.0), -6.0);
}

// Between the grid's points: a narrow band at 1015 Hz peaks between the grid points 1000 and
// 1030; its value at its own frequency is its gain, and the channel values at a grid frequency
// are the curve's.
TEST(ChannelCurves, ResponseBetweenGridPoints)
{
    const EqBand narrow{1015.0, 12.0, 20.0, EqBandType::Peak};
    ResponseCurve curve;
    inputBandCurve(narrow, curve);
    EXPECT_LT(std::max(curve[136], curve[137]), 11.0); // the grid misses the peak by 1.2 dB
    EXPECT_NEAR(bandResponseAt(narrow, 1015.0), 12.0, 0.01);

    const auto bands = testBands();
    InputCurves curves;
    computeInputCurves(bands, 4, 8, curves);
    std::array<EqBand, kOutputEqBands> out;
    for (int b = 0; b < kOutputEqBands; ++b)
        out[std::size_t(b)] =
            EqBand{ResponseGrid[std::size_t(16 * b)], b - 7.0, 1.0 + b, EqBandType::Peak};
    ResponseCurve outCurve;
    outputChannelCurve(out, outCurve);
    for (std::size_t i = 0; i < kGridPoints; i += 20) {
        EXPECT_NEAR(inputChannelResponseAt(bands, 4, 8, ResponseGrid[i]), curves.total[i], 1e-6);
        EXPECT_NEAR(outputChannelResponseAt(out, ResponseGrid[i]), outCurve[i], 1e-6);
    }
}

// A flat band is flat on the wire and on screen; the filters sit 3 dB under their pass band at
// their corner (Q 0.71); a band type no editor produces goes out and is drawn flat.
TEST(ChannelCurves, FlatBandsFiltersAndStrayTypes)
{
    ResponseCurve curve;
    for (const EqBandType type :
         {EqBandType::Peak, EqBandType::LowShelf, EqBandType::HighShelf, EqBandType{7}}) {
        inputBandCurve(EqBand{1000.0, 0.0, 3.0, type}, curve);
        EXPECT_LT(maxDifference(curve, ResponseCurve{}), 1e-5) << int(type);
    }
    inputBandCurve(EqBand{1000.0, 12.0, 3.0, EqBandType{7}}, curve);
    EXPECT_LT(maxDifference(curve, ResponseCurve{}), 1e-12);

    const double atCorner = 20.0 * std::log10(1.0 / (2.0 * 0.70422535));
    EXPECT_NEAR(biquadMagnitudeDb(highPassBiquad(150.0), 150.0 * kRadPerHz), atCorner, 1e-9);
    EXPECT_NEAR(biquadMagnitudeDb(lowPassBiquad(6500.0), 6500.0 * kRadPerHz), atCorner, 1e-9);
    EXPECT_LT(highPassCurve(10)[0], -15.0);
    EXPECT_LT(lowPassCurve(10)[240], -15.0);
    EXPECT_EQ(&highPassCurve(-4), &highPassCurve(0));
    EXPECT_EQ(&lowPassCurve(99), &lowPassCurve(10));
}

TEST(deviceCoefficients, PeakCutIsNotTheMirrorOfTheBoost)
{
    // V acts on the numerator only: both reach their gain at the centre ...
    EXPECT_NEAR(deviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 1000.0), 12.0, 1e-9);
    EXPECT_NEAR(deviceDb(1000.0, -12.0, 2.0, EqBandType::Peak, 1000.0), -12.0, 1e-9);
    EXPECT_NEAR(deviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 0.0), 0.0, 1e-9);
    // ... but half an octave away the cut is much narrower than the boost.
    const double boost = deviceDb(1000.0, 12.0, 2.0, EqBandType::Peak, 1414.0);
    const double cut = deviceDb(1000.0, -12.0, 2.0, EqBandType::Peak, 1414.0);
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
