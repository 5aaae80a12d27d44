#include "dsp/EqCurves.h"

#include "dsp/DeviceCoefficients.h"

#include <algorithm>
#include <span>

namespace sonaro {

namespace {

struct FilterTables
{
    std::array<ResponseCurve, kFilterIndexCount> highPass, lowPass;

    FilterTables()
    {
        for (int index = 0; index < kFilterIndexCount; ++index) {
            const auto i = static_cast<std::size_t>(index);
            biquadResponse(highPassBiquad(highPassFrequency(index)), highPass[i]);
            biquadResponse(lowPassBiquad(lowPassFrequency(index)), lowPass[i]);
        }
    }
};

const FilterTables& filterTables()
{
    static const FilterTables tables;
    return tables;
}

// The bands' biquads followed by the filters that are on; at most 15 bands and 2 filters.
struct Cascade
{
    std::array<Biquad, kOutputEqBands + 2> biquads;
    std::size_t count = 0;

    void add(const Biquad& biquad) { biquads[count++] = biquad; }
    template <std::size_t N> void addBands(const std::array<EqBand, N>& bands)
    {
        static_assert(N <= kOutputEqBands);
        for (const EqBand& band : bands)
            add(deviceBiquad(band));
    }
    void addFilters(int highPassIndex, int lowPassIndex)
    {
        if (highPassIndex != 0) add(highPassBiquad(highPassFrequency(highPassIndex)));
        if (lowPassIndex != 0) add(lowPassBiquad(lowPassFrequency(lowPassIndex)));
    }
    std::span<const Biquad> span() const { return {biquads.data(), count}; }
};

void filterSeries(int highPassIndex, int lowPassIndex, InputCurves& curves)
{
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        curves.highPass = highPassCurve(highPassIndex);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        curves.lowPass = lowPassCurve(lowPassIndex);
}

} // namespace

double bandHandleLevel(const EqBand& band)
{
    switch (band.type) {
    case EqBandType::Peak:
        return band.gain;
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return band.gain / 2.0;
    }
    return 0.0;
}

double gainForHandleLevel(EqBandType type, double level)
{
    switch (type) {
    case EqBandType::Peak:
        return level;
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
        return level * 2.0;
    }
    return 0.0;
}

void inputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    const Biquad biquad = deviceBiquad(band);
    cascadeResponse(std::span<const Biquad>(&biquad, 1), curve);
}

void outputBandCurve(const EqBand& band, ResponseCurve& curve)
{
    inputBandCurve(band, curve);
}

void inputChannelCurve(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascadeResponse(cascade.span(), curve);
}

void outputChannelCurve(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascadeResponse(cascade.span(), curve);
}

const ResponseCurve& highPassCurve(int index)
{
    return filterTables()
        .highPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

const ResponseCurve& lowPassCurve(int index)
{
    return filterTables()
        .lowPass[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

void computeInputCurves(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                        int lowPassIndex, InputCurves& curves)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascade.addFilters(highPassIndex, lowPassIndex);
    cascadeResponse(cascade.span(), curves.total);
    filterSeries(highPassIndex, lowPassIndex, curves);
}

double bandResponseAt(const EqBand& band, double frequency)
{
    const Biquad biquad = deviceBiquad(band);
    return cascadeResponseAt(std::span<const Biquad>(&biquad, 1), frequency);
}

double inputChannelResponseAt(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, double frequency)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascade.addFilters(highPassIndex, lowPassIndex);
    return cascadeResponseAt(cascade.span(), frequency);
}

double outputChannelResponseAt(const std::array<EqBand, kOutputEqBands>& bands, double frequency)
{
    Cascade cascade;
    cascade.addBands(bands);
    return cascadeResponseAt(cascade.span(), frequency);
}

void inputChannelCurveDirect(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascadeResponseDirect(cascade.span(), curve);
}

void outputChannelCurveDirect(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascadeResponseDirect(cascade.span(), curve);
}

void computeInputCurvesDirect(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, InputCurves& curves)
{
    Cascade cascade;
    cascade.addBands(bands);
    cascade.addFilters(highPassIndex, lowPassIndex);
    cascadeResponseDirect(cascade.span(), curves.total);
    if (highPassIndex == 0)
        curves.highPass.fill(0.0);
    else
        biquadResponse(highPassBiquad(highPassFrequency(highPassIndex)), curves.highPass);
    if (lowPassIndex == 0)
        curves.lowPass.fill(0.0);
    else
        biquadResponse(lowPassBiquad(lowPassFrequency(lowPassIndex)), curves.lowPass);
}

} // namespace sonaro
