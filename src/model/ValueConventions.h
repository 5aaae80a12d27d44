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
std::string gainText(int value);
inline int gainToDb(int value)
{
    return value - kGainOffsetDb;
}
inline int dbToGain(int db)
{
    return db + kGainOffsetDb;
}

// Faders run top (0) to bottom (60); the top is the loudest.
inline int faderPositionForGain(int value)
{
    return kGainMax - value;
}
inline int gainForFaderPosition(int position)
{
    return kGainMax - position;
}

// Input source type: 0 MIC, 1 LINE. Output level type: 0 LINE, 1 MIC (opposite coding).
const char* inputSourceLabel(int line);
const char* outputLevelLabel(int levelType);

// The maximum-open-channels list stores index + 1.
inline int maxOpenForListIndex(int index)
{
    return index + 1;
}
inline int listIndexForMaxOpen(int maxOpen)
{
    return maxOpen - 1;
}

} // namespace sonaro
