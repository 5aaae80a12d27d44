#pragma once

#include "dsp/EqModel.h"
#include "dsp/EqResponse.h"

#include <array>
#include <cstdint>
#include <string>

// The biquad coefficients the unit receives. The unit does no filter design of its own: the
// program turns frequency, gain and Q into coefficients at the 96 kHz processing rate.
namespace sonaro {

// Fills b (b0, b1, b2) and a (a0 = 1, a1, a2) for one band. frequencyOverQ is frequency / Q.
// Peak: V = 10^(gain/20) scales only the numerator's K/Q term, so a cut is not the mirror of a
// boost. Shelves: slope 1. The stored a1 and a2 are the negatives of the usual denominator
// coefficients (the unit adds the feedback terms). A type outside 0..2 writes nothing: callers
// start from a defined value.
void deviceCoefficients(double frequency, double gain, double frequencyOverQ, int type,
                        std::array<double, 3>& b, std::array<double, 3>& a);

// The five coefficient fields of one band as they go out in the E payload: b0, b1, b2, a1, a2 in
// Q.23. A band of unknown type, or one whose values give no finite filter (Q 0, NaN), goes out
// as a flat pass-through.
std::array<std::uint32_t, 5> deviceCoefficientFields(const EqBand& band);

// The filter the unit runs for a band: its five fields read back from Q.23, with the feedback
// terms in the usual sign. Every drawn EQ curve comes from this.
Biquad deviceBiquad(const EqBand& band);

// The E payload of one block of five bands: five groups of 35 characters (b0 b1 b2 a1 a2 of a
// band, Q.23 "%07X" each) followed by fifteen groups of one word each (frequency, Q word, gain
// word of band 0, then band 1, ...). A band of unknown type goes out as a flat pass-through.
std::array<std::string, 20> encodeEqBlock(const std::array<EqBand, kBandsPerBlock>& bands);

} // namespace sonaro
