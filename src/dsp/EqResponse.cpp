#include "dsp/EqResponse.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <complex>
#include <numbers>

namespace sonaro {

Biquad shelfBiquad(double amp, double cosw, double beta, bool low)
{
    double a0, a1, a2, b0, b1, b2;
    if (low) {
        a0 = (amp + 1) + (amp - 1) * cosw + beta;
        a1 = -2.0 * ((amp + 1) * cosw + (amp - 1));
        a2 = (amp + 1) + (amp - 1) * cosw - beta;
        b0 = amp * ((amp + 1) - (amp - 1) * cosw + beta);
        b1 = 2.0 * amp * ((amp - 1) - (amp + 1) * cosw);
        b2 = amp * ((amp + 1) - (amp - 1) * cosw - beta);
    } else {
        a0 = (amp + 1) - (amp - 1) * cosw + beta;
        a1 = 2.0 * ((amp - 1) - (amp + 1) * cosw);
        a2 = (amp + 1) - (amp - 1) * cosw - beta;
        b0 = amp * ((amp + 1) + (amp - 1) * cosw + beta);
        b1 = -2.0 * amp * ((amp - 1) + (amp + 1) * cosw);
        b2 = amp * ((amp + 1) + (amp - 1) * cosw - beta);
    }
    return Biquad{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

namespace {

Biquad filterSection(double frequency, bool highPass)
{
    const double w0 = frequency * kRadPerHz;
    const double cosw = std::cos(w0);
    const double alpha = std::sin(w0) * 0.70422535;
    double a0 = 1.0 + alpha;
    if (a0 == 0.0) a0 = 1e-10;
    const double outer = highPass ? (1.0 + cosw) / 2.0 : (1.0 - cosw) / 2.0;
    const double middle = highPass ? -(1.0 + cosw) : 1.0 - cosw;
    return Biquad{outer / a0, middle / a0, outer / a0, -2.0 * cosw / a0, (1.0 - alpha) / a0};
}

constexpr double kDbPerNeper = 10.0 / std::numbers::ln10;
// The accumulation loops run over an even number of points so that the compiler can process
// two points per instruction with no odd remainder; the extra point is never read back.
constexpr std::size_t kPaddedPoints = kGridPoints + 1;

struct GridTables
{
    std::array<double, kPaddedPoints> cosW{}, sinW{};

    GridTables()
    {
        for (std::size_t i = 0; i < kGridPoints; ++i) {
            const double w = ResponseGrid[i] * kRadPerHz;
            cosW[i] = std::cos(w);
            sinW[i] = std::sin(w);
        }
    }
};

const GridTables& gridTables()
{
    static const GridTables tables;
    return tables;
}

} // namespace

Biquad lowPassBiquad(double frequency)
{
    return filterSection(frequency, false);
}

Biquad highPassBiquad(double frequency)
{
    return filterSection(frequency, true);
}

double biquadMagnitudeDb(const Biquad& c, double w)
{
    const std::complex<double> z1 = std::polar(1.0, -w); // z^-1 on the unit circle
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

void biquadResponse(const Biquad& biquad, ResponseCurve& curve)
{
    for (std::size_t i = 0; i < kGridPoints; ++i)
        curve[i] = biquadMagnitudeDb(biquad, ResponseGrid[i] * kRadPerHz);
}

void cascadeResponse(std::span<const Biquad> biquads, ResponseCurve& curve)
{
    // |b0 + b1 z^-1 + b2 z^-2|^2 at z = e^jw, written with the real and imaginary parts of
    // e^jw (b0 + b2) cos w + b1 and (b0 - b2) sin w; the same for the denominator.
    const GridTables& t = gridTables();
    std::array<double, kPaddedPoints> numerator, denominator;
    numerator.fill(1.0);
    denominator.fill(1.0);
    for (const Biquad& c : biquads) {
        const double sumB = c.b0 + c.b2, diffB = c.b0 - c.b2;
        const double sumA = 1.0 + c.a2, diffA = 1.0 - c.a2;
        for (std::size_t i = 0; i < kPaddedPoints; ++i) {
            const double nr = sumB * t.cosW[i] + c.b1;
            const double ni = diffB * t.sinW[i];
            const double dr = sumA * t.cosW[i] + c.a1;
            const double di = diffA * t.sinW[i];
            numerator[i] *= nr * nr + ni * ni;
            denominator[i] *= dr * dr + di * di;
        }
    }
    const auto normal = [](double v) { return v >= DBL_MIN && v <= DBL_MAX; };
    for (std::size_t i = 0; i < kGridPoints; ++i) {
        const double p = numerator[i] / denominator[i];
        if (normal(numerator[i]) && normal(denominator[i]) && normal(p)) {
            curve[i] = kDbPerNeper * std::log(p); // 10 log10(p), the faster logarithm
        } else {
            double sum = 0.0;
            const double w = ResponseGrid[i] * kRadPerHz;
            for (const Biquad& c : biquads)
                sum += biquadMagnitudeDb(c, w);
            curve[i] = sum;
        }
    }
}

void cascadeResponseDirect(std::span<const Biquad> biquads, ResponseCurve& curve)
{
    curve.fill(0.0);
    ResponseCurve one;
    for (const Biquad& c : biquads) {
        biquadResponse(c, one);
        for (std::size_t i = 0; i < kGridPoints; ++i)
            curve[i] += one[i];
    }
}

double cascadeResponseAt(std::span<const Biquad> biquads, double frequency)
{
    double sum = 0.0;
    for (const Biquad& c : biquads)
        sum += biquadMagnitudeDb(c, frequency * kRadPerHz);
    return sum;
}

} // namespace sonaro
