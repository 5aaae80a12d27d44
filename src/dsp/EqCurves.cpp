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
            highPassResponse(highPassFrequency(index), highPass[static_cast<std::size_t>(index)]);
            lowPassResponse(lowPassFrequency(index), lowPass[static_cast<std::size_t>(index)]);
        }
    }
};

const GridTables& gridTables()
{
    static const GridTables tables;
    return tables;
}

bool drawable(const EqBand& band)
{
    return std::isfinite(band.frequency) && std::isfinite(band.gain) && std::isfinite(band.q) &&
           band.q > 0.0;
}

Biquad fastPeak(const EqBand& band)
{
    const GridTables& t = gridTables();
    const auto i = static_cast<std::size_t>(nearestGridIndex(band.frequency));
    return peakDisplayBiquad(t.w0[i], t.sinW0[i], t.cosW0[i], band.gain, 1.0 / band.q);
}

std::optional<Biquad> fastInputBiquad(const EqBand& band)
{
    if (!drawable(band)) return std::nullopt;
    switch (band.type) {
    case EqBandType::Peak:
        return fastPeak(band);
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return shelfDisplayBiquad(band.frequency, static_cast<int>(band.type), band.gain);
    }
    return std::nullopt;
}

std::optional<Biquad> fastOutputBiquad(const EqBand& band)
{
    if (!drawable(band)) return std::nullopt;
    return fastPeak(band);
}

// Multiplies the squared magnitudes of the numerators and of the denominators of all biquads,
// point by point, then takes one division and one logarithm per point. Where a product leaves
// the normal double range (only for values no editor produces) the point is summed band by
// band instead.
void sumCurve(std::span<const Biquad> biquads, ResponseCurve& curve)
{
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
            const double w = ResponseGrid[i] * kDisplayRadPerHz;
            for (const Biquad& c : biquads)
                sum += biquadMagnitudeDb(c, w);
            curve[i] = sum;
        }
    }
}

template <std::size_t N, typename Design>
void sumBands(const std::array<EqBand, N>& bands, Design design, ResponseCurve& curve)
{
    std::array<Biquad, N> biquads;
    std::size_t count = 0;
    for (const EqBand& band : bands)
        if (const auto biquad = design(band)) biquads[count++] = *biquad;
    sumCurve(std::span<const Biquad>(biquads.data(), count), curve);
}

void addDirect(const std::optional<Biquad>& biquad, ResponseCurve& curve)
{
    if (!biquad) return;
    ResponseCurve band;
    biquadResponse(*biquad, band);
    for (std::size_t i = 0; i < kGridPoints; ++i)
        curve[i] += band[i];
}

} // namespace

std::optional<Biquad> inputBandDisplayBiquad(const EqBand& band)
{
    if (!drawable(band)) return std::nullopt;
    switch (band.type) {
    case EqBandType::Peak:
        return peakDisplayBiquad(band.frequency, band.gain, 1.0 / band.q);
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return shelfDisplayBiquad(band.frequency, static_cast<int>(band.type), band.gain);
    }
    return std::nullopt;
}

std::optional<Biquad> outputBandDisplayBiquad(const EqBand& band)
{
    if (!drawable(band)) return std::nullopt;
    return peakDisplayBiquad(band.frequency, band.gain, 1.0 / band.q);
}

void inputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    sumBands(std::array<EqBand, 1>{band}, fastInputBiquad, curve);
}

void outputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    sumBands(std::array<EqBand, 1>{band}, fastOutputBiquad, curve);
}

void inputChannelCurve(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    sumBands(bands, fastInputBiquad, curve);
}

void outputChannelCurve(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    sumBands(bands, fastOutputBiquad, curve);
}

const ResponseCurve& highPassCurve(int index)
{
    return gridTables()
        .highPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

const ResponseCurve& lowPassCurve(int index)
{
    return gridTables()
        .lowPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

void computeInputCurves(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                        int lowPassIndex, InputCurves& curves)
{
    inputChannelCurve(bands, curves.bands);
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        curves.highPass = highPassCurve(highPassIndex);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        curves.lowPass = lowPassCurve(lowPassIndex);
}

void inputChannelCurveDirect(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    curve.fill(0.0);
    for (const EqBand& band : bands)
        addDirect(inputBandDisplayBiquad(band), curve);
}

void outputChannelCurveDirect(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    curve.fill(0.0);
    for (const EqBand& band : bands)
        addDirect(outputBandDisplayBiquad(band), curve);
}

void computeInputCurvesDirect(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, InputCurves& curves)
{
    inputChannelCurveDirect(bands, curves.bands);
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        highPassResponse(highPassFrequency(highPassIndex), curves.highPass);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        lowPassResponse(lowPassFrequency(lowPassIndex), curves.lowPass);
}

} // namespace sonaro
