#pragma once

#include <array>
#include <string>

// How stored values are shown and how control positions map to stored values. Shared by every
// page, by sonaroctl and by the tests.
namespace sonaro {

constexpr int kGainMax = 60;      // stored gains and threshold run 0..60
constexpr int kGainOffsetDb = 50; // shown as value - 50 dB
constexpr int kHoldTimeMax = 40;
constexpr int kHoldTimeStepMs = 50; // the unit counts its hold time in these steps
constexpr int kMaxOpenChannelsMax = 8;

// The EQ editors' limits: every band's frequency, gain and Q.
constexpr double kEqMinFrequency = 20.0;
constexpr double kEqMaxFrequency = 20000.0;
constexpr double kEqMinGain = -15.0;
constexpr double kEqMaxGain = 15.0;
constexpr double kEqMinQ = 0.3;
constexpr double kEqMaxQ = 20.0;

// High-pass and low-pass frequencies by filter index; index 0 is "off" and its value only a
// placeholder for drawing. The unit itself receives the index.
constexpr int kFilterIndexCount = 11;
constexpr std::array<double, kFilterIndexCount> kHighPassFrequency = {35, 35,  50,  60,  70, 80,
                                                                      90, 100, 120, 130, 150};
constexpr std::array<double, kFilterIndexCount> kLowPassFrequency = {
    20000, 20000, 18000, 15000, 12000, 10000, 8000, 7500, 7000, 6800, 6500};

// The output limiters.
constexpr double kRatioInfinite = 100.0; // "INF:1"
constexpr double kRatioMaxListed = 10.0; // the list's last whole ratio before "INF:1"
constexpr double kThresholdOff = 20.0;   // dB; at or above it the processor is inactive
constexpr double kThresholdMin = -80.0;  // dB
constexpr int kAttackMinMs = 1;
constexpr int kAttackMaxMs = 2000;
// 10 ms and 20 ms are real release settings of the unit; 10 ms is its factory value.
constexpr int kReleaseMinMs = 10;
constexpr int kReleaseMaxMs = 5000;

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
