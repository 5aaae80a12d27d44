#include "dsp/ValueReadout.h"

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

template <typename... Args> std::string Format(const char* format, Args... args)
{
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::string FormatReadout(ReadoutFormat format, int raw, ReadoutRange range)
{
    const int low = std::min(range.min, range.max);
    const int high = std::max(range.min, range.max);
    raw = std::clamp(raw, low, high);
    switch (format) {
    case ReadoutFormat::Threshold:
        if (raw >= kThresholdReadoutOff) return "OFF";
        return Format("%0.1fdB", raw * 0.1 - 80.0);
    case ReadoutFormat::Milliseconds:
        return Format("%dms", raw);
    case ReadoutFormat::Ratio:
        return Format("%d:1", raw);
    case ReadoutFormat::Percent:
        if (raw <= 0) return "OFF";
        return Format("%0.1f%%", static_cast<double>(raw));
    case ReadoutFormat::Dbu:
        if (raw == 0) return "OFF";
        return Format("%ddBu", raw - 120);
    case ReadoutFormat::Samples:
        return Format("%0.3fms", raw * 0.020833333333333332);
    }
    return "NULL";
}

} // namespace sonaro
