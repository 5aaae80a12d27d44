#pragma once

#include "dsp/ResponseGrid.h"

// The display responses the editors and strips draw. These formulas differ from the device
// coefficients on purpose (Peak bands snapped to the grid, shelf corners moved, shelf slope
// 1.05); the drawn curves must look like the ones operators know.
namespace sonaro {

// A biquad normalised to a0 = 1, denominator 1 + a1 z^-1 + a2 z^-2.
struct Biquad
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// Rad per sample of a display frequency: 2 pi / 96000, in the two forms the display uses.
constexpr double kDisplayPeakRadPerHz = 6.544985e-05; // rounded: Peak centre and shelf corners
constexpr double kDisplayRadPerHz = 6.544984694978735e-05;

// Display designs. Peak: centre snapped to the grid, inverseQ = 1 / Q. Shelf: type 1 (low) or
// 2 (high), corner moved by 1.2727 (low) or 0.76923 (high); any other type or a gain of exactly
// 0 is flat. Filters: one second-order section.
Biquad peakDisplayBiquad(double frequency, double gain, double inverseQ);
// Same, from the snapped centre's w0 and its sine and cosine (precomputed by the fast curves).
Biquad peakDisplayBiquad(double w0, double sinW0, double cosW0, double gain, double inverseQ);
Biquad shelfDisplayBiquad(double frequency, int type, double gain);
// The shelf section both the display and the unit's coefficients use: amplitude (10^(gain/40)),
// cos w0 and the slope term beta = 2 sqrt(A) alpha; low or high shelf.
Biquad shelfBiquad(double amp, double cosW0, double beta, bool low);
Biquad lowPassDisplayBiquad(double frequency);
Biquad highPassDisplayBiquad(double frequency);

// 20 log10 |H(e^jw)| of a biquad at w rad per sample.
double biquadMagnitudeDb(const Biquad& biquad, double w);
// The same at every grid point.
void biquadResponse(const Biquad& biquad, ResponseCurve& curve);

// One band or filter evaluated directly from the formulas, filling all 241 points.
void peakResponse(double frequency, double gain, double inverseQ, ResponseCurve& curve);
void shelfResponse(double frequency, int type, double gain, ResponseCurve& curve);
void lowPassResponse(double frequency, ResponseCurve& curve);
void highPassResponse(double frequency, ResponseCurve& curve);

} // namespace sonaro
