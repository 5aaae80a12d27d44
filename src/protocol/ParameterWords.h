#pragma once

#include <cstdint>

// The 16-bit parameter words of the E and B payloads (and of the unit's A and U reports), and the
// Q.23 fixed-point form of every coefficient. Each encoder has its inverse here, so the receive
// side decodes exactly what the send side encodes.
//
// Words that carry a tenth of a unit (Q, gain, threshold) are rounded to the nearest word, not
// truncated: a value decoded from a word must encode to the same word again, and truncating
// (-79.9 + 80) x 10 = 0.99999... would send -80.0 dB. Whole-number words (frequency, ratio) are
// truncated. Every word is clamped to what its field can hold, so a stray value never changes
// the frame length or spills into the type bits.
namespace sonaro {

constexpr unsigned kWordMax = 0xFFFF;
constexpr unsigned kQWordValueMask = 0x3FFF; // Q x 10 in bits 0..13
constexpr int kQWordTypeShift = 14;          // band type in bits 14..15

// Frequency in whole hertz (truncated).
unsigned frequencyWord(double hz);
double frequencyFromWord(unsigned word);

// Q x 10 (rounded) OR (band type << 14).
unsigned QWord(double q, int type);
double QFromWord(unsigned word);
int typeFromQWord(unsigned word);

// gain x 10 + 150 (rounded): -15.0 dB is 0, +15.0 dB is 300.
unsigned gainWord(double db);
double gainFromWord(unsigned word);

// Ratio n:1 as a whole number (truncated); "INF:1" is 100.
unsigned ratioWord(double ratio);
double ratioFromWord(unsigned word);

// (threshold + 80) x 10 (rounded): -80.0 dB is 0, +20.0 dB (off) is 1000.
unsigned thresholdWord(double db);
double thresholdFromWord(unsigned word);

// Attack and release travel in milliseconds.
unsigned attackWord(int ms);
int attackFromWord(unsigned word);
unsigned releaseWord(int ms);
int releaseFromWord(unsigned word);

// Q.23: value x 2^23 truncated toward zero to a 32-bit integer, low 28 bits. Values beyond
// +-16 wrap within the 28-bit field; beyond the 32-bit range (and NaN) they are saturated first
// so that the conversion itself stays defined.
std::uint32_t Q23(double value);
// The 28-bit field read back as a signed value.
double fromQ23(std::uint32_t field);

} // namespace sonaro
