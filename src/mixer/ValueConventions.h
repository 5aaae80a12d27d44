#pragma once

#include <string>

// How stored values are shown and how control positions map to stored values. Shared by every
// page, by sonaroctl and by the tests.
namespace sonaro {

constexpr int kGainMax = 60;      // stored gains and threshold run 0..60
constexpr int kGainOffsetDb = 50; // shown as value - 50 dB
constexpr int kHoldTimeMax = 40;
constexpr int kMaxOpenChannelsMax = 8;

// "%ddB" of value - 50: 44 -> "-6dB", 60 -> "10dB".
std::string GainText(int value);
inline int GainToDb(int value)
{
    return value - kGainOffsetDb;
}
inline int DbToGain(int db)
{
    return db + kGainOffsetDb;
}

// Faders run top (0) to bottom (60); the top is the loudest.
inline int FaderPositionForGain(int value)
{
    return kGainMax - value;
}
inline int GainForFaderPosition(int position)
{
    return kGainMax - position;
}

// Input source type: 0 MIC, 1 LINE. Output level type: 0 LINE, 1 MIC (opposite coding).
const char* InputSourceLabel(int line);
const char* OutputLevelLabel(int levelType);
// Open state reported by the unit: 1 ACTIVE, 0 WAITING.
const char* OpenStateLabel(int open);

// System page knobs: the threshold knob has positions 0..60, the hold-time knob 0..40; both
// store max - position. The maximum-open-channels list stores index + 1.
inline int ThresholdForKnob(int position)
{
    return kGainMax - position;
}
inline int KnobForThreshold(int threshold)
{
    return kGainMax - threshold;
}
inline int HoldTimeForKnob(int position)
{
    return kHoldTimeMax - position;
}
inline int KnobForHoldTime(int holdTime)
{
    return kHoldTimeMax - holdTime;
}
inline int MaxOpenForListIndex(int index)
{
    return index + 1;
}
inline int ListIndexForMaxOpen(int maxOpen)
{
    return maxOpen - 1;
}

} // namespace sonaro
