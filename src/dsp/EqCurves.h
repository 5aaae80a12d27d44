#pragma once

#include "dsp/EqModel.h"
#include "dsp/EqResponse.h"

#include <array>

// Channel curves as the editors and strips draw them: the response of the filters the unit runs,
// that is of the coefficients as they go out on the wire (after their Q.23 rounding), at the
// unit's 96 kHz rate. Every band is drawn by its stored type, inputs and outputs alike; a band of
// unknown type goes out flat and is drawn flat. At its set frequency a band's own curve passes
// through its set gain, so the handles sit on the curve.
//
// The editors recompute a curve on every control change and every mouse move while dragging, so
// these use the fast cascade evaluation; the *Direct functions evaluate every biquad with complex
// arithmetic and give the same values within 1e-6 dB.
namespace sonaro {

// Where a band's handle sits on its own curve at the band's frequency: a Peak band reaches its
// gain there, a shelf (slope 1) half its gain, at its corner. A type outside 0..2 is flat: 0 dB.
double bandHandleLevel(const EqBand& band);
// The inverse, for a handle dragged to a level: the gain to store.
double gainForHandleLevel(EqBandType type, double level);

// One band on its own (the editor's highlighted band).
void inputBandCurve(const EqBand& band, ResponseCurve& curve);
void outputBandCurve(const EqBand& band, ResponseCurve& curve);

// The sum of an input channel's five bands (without its filters), and of an output's fifteen.
void inputChannelCurve(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve);
void outputChannelCurve(const std::array<EqBand, kOutputEqBands>& bands, ResponseCurve& curve);

// The filter responses at the table frequency of a filter index (clamped into 0..10; index 0
// gives the placeholder frequency's curve), computed once.
const ResponseCurve& highPassCurve(int index);
const ResponseCurve& lowPassCurve(int index);

// Everything the input editor draws for one channel: the channel's total (five bands, and the
// high-pass and low-pass while they are on) and the two filter series, each filter drawn as 0 dB
// while its index is 0 (off).
struct InputCurves
{
    ResponseCurve total;
    ResponseCurve lowPass;
    ResponseCurve highPass;
};
void computeInputCurves(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                        int lowPassIndex, InputCurves& curves);

// The same responses at any frequency, for points between the grid's: a narrow band peaks
// between two grid points, so the graphs add the value at every band's frequency to the curve
// and the curve passes through the handles.
double bandResponseAt(const EqBand& band, double frequency);
double inputChannelResponseAt(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, double frequency);
double outputChannelResponseAt(const std::array<EqBand, kOutputEqBands>& bands, double frequency);

// The same computations band by band with complex arithmetic.
void inputChannelCurveDirect(const std::array<EqBand, kInputEqBands>& bands, ResponseCurve& curve);
void outputChannelCurveDirect(const std::array<EqBand, kOutputEqBands>& bands,
                              ResponseCurve& curve);
void computeInputCurvesDirect(const std::array<EqBand, kInputEqBands>& bands, int highPassIndex,
                              int lowPassIndex, InputCurves& curves);

} // namespace sonaro
