#pragma once

#include "model/ValueConventions.h"

#include <string>

// The texts of the numeric value read-outs beside the dynamics editor's lists (and any other
// value-display control): a raw integer, clamped to the control's range, shown in one format.
namespace sonaro {

enum class ReadoutFormat : int
{
    Threshold = 0,    // "%0.1fdB" of raw x 0.1 - 80, "OFF" from raw 1000 up
    Milliseconds = 1, // "%dms"
    Ratio = 2,        // "%d:1", "INF:1" from kRatioReadoutInfinite up
    Percent = 3,      // "%0.1f%%" of raw, "OFF" at 0 and below
    Dbu = 4,          // "%ddBu" of raw - 120, "OFF" at 0
    Samples = 5,      // "%0.3fms" of raw samples at 48 kHz
};

// The limiter editor's read-outs and their raw ranges.
struct ReadoutRange
{
    int min;
    int max;
};
constexpr ReadoutRange kThresholdReadoutRange{0, 1000};
constexpr ReadoutRange kAttackReadoutRange{kAttackMinMs, kAttackMaxMs};
constexpr ReadoutRange kReleaseReadoutRange{kReleaseMinMs, kReleaseMaxMs};
// Ratios 1..10, and one step above them for "INF:1": every ratio above 10 is read as the list
// reads it.
constexpr int kRatioReadoutInfinite = 11;
constexpr ReadoutRange kRatioReadoutRange{1, kRatioReadoutInfinite};
constexpr int kThresholdReadoutOff = 1000;

// The text of a raw value; "NULL" for a format code that is none of the above.
std::string formatReadout(ReadoutFormat format, int raw, ReadoutRange range);

} // namespace sonaro
