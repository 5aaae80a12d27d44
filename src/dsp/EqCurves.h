#pragma once

#include "dsp/EqModel.h"
#include "dsp/EqResponse.h"

#include <array>
#include <optional>

// Channel curves as the editors and strips draw them. The editors recompute a curve on every
// control change and every mouse move while dragging, so these use per-grid-point tables of
// sin/cos and multiply the bands' squared magnitudes before taking one logarithm per point; the
// *Direct functions evaluate the formulas band by band and give the same values within 1e-9 dB.
namespace sonaro {

// The biquad a band is drawn with: input bands by their type (Peak or a shelf), output bands
// always as Peak. A band the formulas cannot draw (Q not above 0, a value that is not finite,
// a type outside 0..2) is drawn flat: nullopt.
std::optional<Biquad> inputBandDisplayBiquad(const EqBand& band);
std::optional<Biquad> outputBandDisplayBiquad(const EqBand& band);

// One band on its own (the editor's highlighted band).
void inputBandCurve(const EqBand& band, ResponseCurve& curve);
void outputBandCurve(const EqBand& band, ResponseCurve& curve);

// The sum of an input channel's five bands, and of an output's fifteen bands.
void inputChannelCurve(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve);
void outputChannelCurve(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve);

// The filter responses at the table frequency of a filter index (clamped into 0..10; index 0
// gives the placeholder frequency's curve), computed once.
const ResponseCurve& highPassCurve(int index);
const ResponseCurve& lowPassCurve(int index);

// Everything the input editor draws for one channel: the band sum and the two filter series,
// each filter drawn as 0 dB while its index is 0 (off).
struct InputCurves
{
    ResponseCurve bands;
    ResponseCurve lowPass;
    ResponseCurve highPass;
};
void computeInputCurves(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                        int lowPassIndex, InputCurves& curves);

// The same computations straight from the formulas, band by band.
void inputChannelCurveDirect(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve);
void outputChannelCurveDirect(const std::array<EqBand, kOutputEqBands>& bands,
                              ResponseCurve& curve);
void computeInputCurvesDirect(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, InputCurves& curves);

} // namespace sonaro
