#include "dsp/ReadoutFormat.h"

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

template <typename... Args> std::string formatted(const char* format, Args... args)
{
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::string formatReadout(ReadoutFormat format, int raw, ReadoutRange range)
{
    const int low = std::min(range.min, range.max);
    const int high = std::max(range.min, range.max);
    raw = std::clamp(raw, low, high);
    switch (format) {
    case ReadoutFormat::Threshold:
        if (raw >= kThresholdReadoutOff) return "OFF";
        return formatted("%0.1fdB", raw * 0.1 - 80.0);
    case ReadoutFormat::Milliseconds:
        return formatted("%dms", raw);
    case ReadoutFormat::Ratio:
        if (raw >= kRatioReadoutInfinite) return "INF:1";
        return formatted("%d:1", raw);
    case ReadoutFormat::Percent:
        if (raw <= 0) return "OFF";
        return formatted("%0.1f%%", static_cast<double>(raw));
    case ReadoutFormat::Dbu:
        if (raw == 0) return "OFF";
        return formatted("%ddBu", raw - 120);
    case ReadoutFormat::Samples:
        return formatted("%0.3fms", raw * 0.020833333333333332);
    }
    return "NULL";
}

} // namespace sonaro
