#include "dsp/EqCurves.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <span>

namespace sonaro {

namespace {

constexpr double kDbPerNeper = 10.0 / std::numbers::ln10;
// The accumulation loops run over an even number of points so that the compiler can process
// two points per instruction with no odd remainder; the extra point is never read back.
constexpr std::size_t kPaddedPoints = kGridPoints + 1;

struct GridTables
{
    // At every grid point: w = f x 2 pi / 96000 for evaluation, and the Peak centre w0 (the
    // rounded constant) with its sine and cosine.
    std::array<double, kPaddedPoints> cosW{}, sinW{};
    std::array<double, kGridPoints> w0, sinW0, cosW0;
    std::array<ResponseCurve, kFilterIndexCount> highPass, lowPass;

    GridTables()
    {
        for (std::size_t i = 0; i < kGridPoints; ++i) {
            const double w = ResponseGrid[i] * kDisplayRadPerHz;
            cosW[i] = std::cos(w);
            sinW[i] = std::sin(w);
            w0[i] = ResponseGrid[i] * kDisplayPeakRadPerHz;
            sinW0[i] = std::sin(w0[i]);
            cosW0[i] = std::cos(w0[i]);
        }
        for (int index = 0; index < kFilterIndexCount; ++index) {
            HighPassResponse(HighPassFrequency(index), highPass[static_cast<std::size_t>(index)]);
            LowPassResponse(LowPassFrequency(index), lowPass[static_cast<std::size_t>(index)]);
        }
    }
};

const GridTables& Tables()
{
    static const GridTables tables;
    return tables;
}

bool Drawable(const EqBand& band)
{
    return std::isfinite(band.frequency) && std::isfinite(band.gain) && std::isfinite(band.q) &&
           band.q > 0.0;
}

Biquad FastPeak(const EqBand& band)
{
    const GridTables& t = Tables();
    const auto i = static_cast<std::size_t>(NearestGridIndex(band.frequency));
    return PeakDisplayBiquad(t.w0[i], t.sinW0[i], t.cosW0[i], band.gain, 1.0 / band.q);
}

std::optional<Biquad> FastInputBiquad(const EqBand& band)
{
    if (!Drawable(band)) return std::nullopt;
    switch (band.type) {
    case EqBandType::Peak:
        return FastPeak(band);
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return ShelfDisplayBiquad(band.frequency, static_cast<int>(band.type), band.gain);
    }
    return std::nullopt;
}

std::optional<Biquad> FastOutputBiquad(const EqBand& band)
{
    if (!Drawable(band)) return std::nullopt;
    return FastPeak(band);
}

// Multiplies the squared magnitudes of the numerators and of the denominators of all biquads,
// point by point, then takes one division and one logarithm per point. Where a product leaves
// the normal double range (only for values no editor produces) the point is summed band by
// band instead.
void SumCurve(std::span<const Biquad> biquads, ResponseCurve& curve)
{
    const GridTables& t = Tables();
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
            const double w = ResponseGrid[i] * kDisplayRadPerHz;
            for (const Biquad& c : biquads)
                sum += BiquadMagnitudeDb(c, w);
            curve[i] = sum;
        }
    }
}

template <std::size_t N, typename Design>
void SumBands(const std::array<EqBand, N>& bands, Design design, ResponseCurve& curve)
{
    std::array<Biquad, N> biquads;
    std::size_t count = 0;
    for (const EqBand& band : bands)
        if (const auto biquad = design(band)) biquads[count++] = *biquad;
    SumCurve(std::span<const Biquad>(biquads.data(), count), curve);
}

void AddDirect(const std::optional<Biquad>& biquad, ResponseCurve& curve)
{
    if (!biquad) return;
    ResponseCurve band;
    BiquadResponse(*biquad, band);
    for (std::size_t i = 0; i < kGridPoints; ++i)
        curve[i] += band[i];
}

} // namespace

std::optional<Biquad> InputBandDisplayBiquad(const EqBand& band)
{
    if (!Drawable(band)) return std::nullopt;
    switch (band.type) {
    case EqBandType::Peak:
        return PeakDisplayBiquad(band.frequency, band.gain, 1.0 / band.q);
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return ShelfDisplayBiquad(band.frequency, static_cast<int>(band.type), band.gain);
    }
    return std::nullopt;
}

std::optional<Biquad> OutputBandDisplayBiquad(const EqBand& band)
{
    if (!Drawable(band)) return std::nullopt;
    return PeakDisplayBiquad(band.frequency, band.gain, 1.0 / band.q);
}

void InputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    SumBands(std::array<EqBand, 1>{band}, FastInputBiquad, curve);
}

void OutputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    SumBands(std::array<EqBand, 1>{band}, FastOutputBiquad, curve);
}

void InputChannelCurve(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    SumBands(bands, FastInputBiquad, curve);
}

void OutputChannelCurve(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    SumBands(bands, FastOutputBiquad, curve);
}

const ResponseCurve& HighPassCurve(int index)
{
    return Tables().highPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

const ResponseCurve& LowPassCurve(int index)
{
    return Tables().lowPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

void ComputeInputCurves(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                        int lowPassIndex, InputCurves& curves)
{
    InputChannelCurve(bands, curves.bands);
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        curves.highPass = HighPassCurve(highPassIndex);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        curves.lowPass = LowPassCurve(lowPassIndex);
}

void InputChannelCurveDirect(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    curve.fill(0.0);
    for (const EqBand& band : bands)
        AddDirect(InputBandDisplayBiquad(band), curve);
}

void OutputChannelCurveDirect(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    curve.fill(0.0);
    for (const EqBand& band : bands)
        AddDirect(OutputBandDisplayBiquad(band), curve);
}

void ComputeInputCurvesDirect(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, InputCurves& curves)
{
    InputChannelCurveDirect(bands, curves.bands);
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        HighPassResponse(HighPassFrequency(highPassIndex), curves.highPass);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        LowPassResponse(LowPassFrequency(lowPassIndex), curves.lowPass);
}

} // namespace sonaro
