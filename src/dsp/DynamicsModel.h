#pragma once

#include "model/UnitRecord.h"
#include "model/ValueConventions.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The dynamics processor (limiter/compressor) of each output: settings, the editor's value lists,
// the drag rules of the transfer-curve handles and the B payload.
namespace sonaro {

// The ranges of ratio, threshold, attack and release are value conventions
// (model/ValueConventions.h).
constexpr double kDynamicsGraphMin = -140.0;
constexpr double kDynamicsGraphMax = 20.0; // the end point sits at input +20 dB

struct DynamicsSettings
{
    double ratio = 1.0;        // n:1, 1..10 or 100 ("INF:1"); dragging gives any whole 1..100
    double threshold = 0.0;    // dB, -80.0..+20.0 (off)
    std::int32_t attack = 1;   // ms, 1..2000
    std::int32_t release = 50; // ms
};

// output 0 or 1 (callers check).
DynamicsSettings dynamicsOf(const UnitRecord& record, int output);
void setDynamics(UnitRecord& record, int output, const DynamicsSettings& settings);

// The unit processes only when the ratio is not exactly 1 and the threshold is below +20 dB.
bool dynamicsActive(const DynamicsSettings& settings);

// Entries of the editor's lists: label and stored value.
struct DynamicsListEntry
{
    const char* label;
    double value;
};
std::span<const DynamicsListEntry> attackList();  // 17 entries, "1ms" .. "2s"
std::span<const DynamicsListEntry> releaseList(); // 8 entries, "10ms" .. "2s"
std::span<const DynamicsListEntry> ratioList();   // 11 entries, "1:1" .. "10:1", "INF:1"

// Stored value -> list entry: a value that matches no entry selects the first entry. A ratio of
// 11 or more selects "INF:1", otherwise the entry (whole ratio) - 1.
int attackListIndex(int attack);
int releaseListIndex(int release);
int ratioListIndex(double ratio);
// List entry -> stored value; an index outside the list gives the first entry's value.
int attackForListIndex(int index);
int releaseForListIndex(int index);
double ratioForListIndex(int index);

// The threshold read-out's raw value: threshold x 10 + 800 (0..1000, 1000 = "OFF"), and back.
int thresholdReadoutRaw(double threshold);
double thresholdFromReadoutRaw(int raw);

// Drag of the knee (graph point 0) to input level x: the threshold becomes x.
void dragKnee(DynamicsSettings& settings, double x);
// Drag of the end point (graph point 1, fixed at input +20 dB) to output level y:
// ratio = (20 - threshold) / (y - threshold), 100 on or below the knee level, 1 above the 1:1
// line, then cut to a whole number.
void dragEndPoint(DynamicsSettings& settings, double y);

// The thirteen processing constants of the B payload, in wire order: 0, 0, slope,
// 25.2337640766701, log threshold, 4, 4, c0, 1 - c0, cA, 1 - cA, cR, 1 - cR.
std::array<double, 13> dynamicsConstants(const DynamicsSettings& settings);

// The B payload: the thirteen constants in Q.23 (91 characters), the four words (ratio,
// threshold, attack, release; 16 characters) and the activity flag "01" or "00".
std::array<std::string, 3> encodeDynamics(const DynamicsSettings& settings);

} // namespace sonaro
