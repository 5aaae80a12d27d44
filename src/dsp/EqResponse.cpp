#include "dsp/EqResponse.h"

#include <cmath>

namespace sonaro {

Biquad peakDisplayBiquad(double frequency, double gain, double inverseQ)
{
    const double w0 =
        ResponseGrid[static_cast<std::size_t>(nearestGridIndex(frequency))] * kDisplayPeakRadPerHz;
    return peakDisplayBiquad(w0, std::sin(w0), std::cos(w0), gain, inverseQ);
}

Biquad peakDisplayBiquad(double w0, double sinW0, double cosW0, double gain, double inverseQ)
{
    const double amp = std::pow(10.0, gain * 0.025);
    const double alpha = sinW0 * std::sinh(0.69314718 * inverseQ * w0 / sinW0);
    const double d = 1.0 + alpha / amp;
    Biquad c;
    c.a1 = c.b1 = -2.0 * cosW0 / d;
    c.a2 = (1.0 - alpha / amp) / d;
    c.b0 = (1.0 + alpha * amp) / d;
    c.b2 = (1.0 - alpha * amp) / d;
    return c;
}

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

Biquad shelfDisplayBiquad(double frequency, int type, double gain)
{
    constexpr double kSlope = 1.05;
    const bool low = type == 1;
    if (gain == 0.0 || (type != 1 && type != 2)) return Biquad{};
    const double amp = std::pow(10.0, gain * 0.025);
    const double w0 = frequency * kDisplayPeakRadPerHz * (low ? 1.2727272727 : 0.76923076923);
    const double cosw = std::cos(w0);
    const double beta = std::sin(w0) * std::sqrt((1.0 / kSlope - 1.0) * (amp + 1.0 / amp) + 2.0) *
                        0.5 * std::sqrt(amp) * 2.0;
    return shelfBiquad(amp, cosw, beta, low);
}

namespace {

// One second-order section with Q = 1 / (2 x 0.70422535).
Biquad filterSection(double frequency, bool highPass)
{
    const double w0 = frequency * kDisplayRadPerHz;
    const double cosw = std::cos(w0);
    const double alpha = std::sin(w0) * 0.70422535;
    double a0 = 1.0 + alpha;
    if (a0 == 0.0) a0 = 1e-10;
    const double outer = highPass ? (1.0 + cosw) / 2.0 : (1.0 - cosw) / 2.0;
    const double middle = highPass ? -(1.0 + cosw) : 1.0 - cosw;
    return Biquad{outer / a0, middle / a0, outer / a0, -2.0 * cosw / a0, (1.0 - alpha) / a0};
}

} // namespace

Biquad lowPassDisplayBiquad(double frequency)
{
    return filterSection(frequency, false);
}

Biquad highPassDisplayBiquad(double frequency)
{
    return filterSection(frequency, true);
}

double biquadMagnitudeDb(const Biquad& c, double w)
{
    const double cosw = std::cos(w);
    const double sinw = std::sin(w);
    const double nr = (c.b0 + c.b2) * cosw + c.b1;
    const double ni = (c.b0 - c.b2) * sinw;
    const double dr = (1.0 + c.a2) * cosw + c.a1;
    const double di = (1.0 - c.a2) * sinw;
    return 20.0 * std::log10(std::sqrt((nr * nr + ni * ni) / (dr * dr + di * di)));
}

void biquadResponse(const Biquad& biquad, ResponseCurve& curve)
{
    for (int i = 0; i < kGridPoints; ++i)
        curve[static_cast<std::size_t>(i)] =
            biquadMagnitudeDb(biquad, ResponseGrid[static_cast<std::size_t>(i)] * kDisplayRadPerHz);
}

void peakResponse(double frequency, double gain, double inverseQ, ResponseCurve& curve)
{
    biquadResponse(peakDisplayBiquad(frequency, gain, inverseQ), curve);
}

void shelfResponse(double frequency, int type, double gain, ResponseCurve& curve)
{
    biquadResponse(shelfDisplayBiquad(frequency, type, gain), curve);
}

void lowPassResponse(double frequency, ResponseCurve& curve)
{
    biquadResponse(lowPassDisplayBiquad(frequency), curve);
}

void highPassResponse(double frequency, ResponseCurve& curve)
{
    biquadResponse(highPassDisplayBiquad(frequency), curve);
}

} // namespace sonaro
