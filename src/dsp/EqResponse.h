#pragma once

#include "dsp/ResponseGrid.h"

#include <span>

// Magnitude responses of biquads at the unit's 96 kHz processing rate, evaluated at the grid.
// Every curve the editors and strips draw comes from here, from the very coefficients the unit
// runs, so what is drawn is what is heard.
namespace sonaro {

// A biquad normalised to a0 = 1, denominator 1 + a1 z^-1 + a2 z^-2.
struct Biquad
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

constexpr double kUnitSampleRate = 96000.0;
// Rad per sample of one hertz at the unit's rate: 2 pi / 96000.
constexpr double kRadPerHz = 6.544984694978735e-05;

// The shelf section the unit's coefficients use: amplitude (10^(gain/40)), cos w0 and the slope
// term beta = 2 sqrt(A) alpha; low or high shelf.
Biquad shelfBiquad(double amp, double cosW0, double beta, bool low);
// The channel filters: one second-order section with Q = 1 / (2 x 0.70422535).
Biquad lowPassBiquad(double frequency);
Biquad highPassBiquad(double frequency);

// 20 log10 |H(e^jw)| of a biquad at w rad per sample, with complex arithmetic.
double biquadMagnitudeDb(const Biquad& biquad, double w);
// The same at every grid point.
void biquadResponse(const Biquad& biquad, ResponseCurve& curve);

// The sum in dB of several biquads at every grid point (a cascade's response). Fast: per-point
// tables of sin and cos, squared magnitudes multiplied and one logarithm per point, with a
// band-by-band fallback where a product leaves the normal double range.
void cascadeResponse(std::span<const Biquad> biquads, ResponseCurve& curve);
// The same, band by band with complex arithmetic: the reference the fast form is held to.
void cascadeResponseDirect(std::span<const Biquad> biquads, ResponseCurve& curve);
// A cascade's response at one frequency in Hz (between the grid's points).
double cascadeResponseAt(std::span<const Biquad> biquads, double frequency);

} // namespace sonaro
