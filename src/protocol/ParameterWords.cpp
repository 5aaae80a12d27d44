#include "protocol/ParameterWords.h"

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
unsigned wordOf(double value, Conversion conversion, unsigned max)
{
    const double whole = conversion == Conversion::Round ? std::round(value) : std::trunc(value);
    if (!(whole > 0.0)) return 0;
    if (whole >= static_cast<double>(max)) return max;
    return static_cast<unsigned>(whole);
}

} // namespace

unsigned frequencyWord(double hz)
{
    return wordOf(hz, Conversion::Truncate, kWordMax);
}

double frequencyFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax);
}

unsigned QWord(double q, int type)
{
    const unsigned typeBits = static_cast<unsigned>(type) & 0x3u;
    return wordOf(q * 10.0, Conversion::Round, kQWordValueMask) | (typeBits << kQWordTypeShift);
}

double QFromWord(unsigned word)
{
    return static_cast<double>(word & kQWordValueMask) * 0.1;
}

int typeFromQWord(unsigned word)
{
    return static_cast<int>((word & kWordMax) >> kQWordTypeShift);
}

unsigned gainWord(double db)
{
    return wordOf(db * 10.0 + 150.0, Conversion::Round, kWordMax);
}

double gainFromWord(unsigned word)
{
    return (static_cast<double>(word & kWordMax) - 150.0) * 0.1;
}

unsigned ratioWord(double ratio)
{
    return wordOf(ratio, Conversion::Truncate, kWordMax);
}

double ratioFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax);
}

unsigned thresholdWord(double db)
{
    return wordOf((db + 80.0) * 10.0, Conversion::Round, kWordMax);
}

double thresholdFromWord(unsigned word)
{
    return static_cast<double>(word & kWordMax) * 0.1 - 80.0;
}

unsigned attackWord(int ms)
{
    return wordOf(ms, Conversion::Truncate, kWordMax);
}

int attackFromWord(unsigned word)
{
    return static_cast<int>(word & kWordMax);
}

unsigned releaseWord(int ms)
{
    return wordOf(ms, Conversion::Truncate, kWordMax);
}

int releaseFromWord(unsigned word)
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

double fromQ23(std::uint32_t field)
{
    std::int32_t value = static_cast<std::int32_t>(field & 0xFFFFFFFu);
    if (value & 0x8000000) value -= 0x10000000; // sign bit of the 28-bit field
    return static_cast<double>(value) / 8388608.0;
}

} // namespace sonaro
