#include "dsp/ParameterWords.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace sonaro {

namespace {

enum class Conversion
{
    Truncate,
    Round
};

// NaN and negative values give 0, values above max give max.
unsigned WordOf(double value, Conversion conversion, unsigned max)
{
    const double whole = conversion == Conversion::Round ? std::round(value) : std::trunc(value);
    if (!(whole > 0.0)) return 0;
    if (whole >= static_cast<double>(max)) return max;
    return static_cast<unsigned>(whole);
}

} // namespace

unsigned FrequencyWord(double hz)
{
    return WordOf(hz, Conversion::Truncate, kWordMax);
}

double FrequencyFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax);
}

unsigned QWord(double q, int type)
{
    const unsigned typeBits = static_cast<unsigned>(type) & 0x3u;
    return WordOf(q * 10.0, Conversion::Round, kQWordValueMask) | (typeBits << kQWordTypeShift);
}

double QFromWord(unsigned word)
{
    return static_cast<double>(word & kQWordValueMask) * 0.1;
}

int TypeFromQWord(unsigned word)
{
    return static_cast<int>((word & kWordMax) >> kQWordTypeShift);
}

unsigned GainWord(double db)
{
    return WordOf(db * 10.0 + 150.0, Conversion::Round, kWordMax);
}

double GainFromWord(unsigned word)
{
    return (static_cast<double>(word & kWordMax) - 150.0) * 0.1;
}

unsigned RatioWord(double ratio)
{
    return WordOf(ratio, Conversion::Truncate, kWordMax);
}

double RatioFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax);
}

unsigned ThresholdWord(double db)
{
    return WordOf((db + 80.0) * 10.0, Conversion::Round, kWordMax);
}

double ThresholdFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax) * 0.1 - 80.0;
}

unsigned AttackWord(int ms)
{
    return WordOf(ms, Conversion::Truncate, kWordMax);
}

int AttackFromWord(unsigned word)
{
    return static_cast<int>(word & kWordMax);
}

unsigned ReleaseWord(int ms)
{
    return WordOf(ms, Conversion::Truncate, kWordMax);
}

int ReleaseFromWord(unsigned word)
{
    return static_cast<int>(word & kWordMax);
}

std::uint32_t Q23(double value)
{
    const double scaled = std::trunc(value * std::pow(2.0, 23.0));
    std::int32_t whole = 0;
    if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        whole = std::numeric_limits<std::int32_t>::max();
    else if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        whole = std::numeric_limits<std::int32_t>::min();
    else if (scaled == scaled) // NaN stays 0
        whole = static_cast<std::int32_t>(scaled);
    return static_cast<std::uint32_t>(whole) & 0xFFFFFFFu;
}

double FromQ23(std::uint32_t field)
{
    std::int32_t value = static_cast<std::int32_t>(field & 0xFFFFFFFu);
    if (value & 0x8000000) value -= 0x10000000; // sign bit of the 28-bit field
    return static_cast<double>(value) / 8388608.0;
}

} // namespace sonaro
