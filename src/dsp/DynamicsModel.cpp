#include "dsp/DynamicsModel.h"

#include "protocol/FrameCodec.h"
#include "protocol/ParameterWords.h"

#include <cmath>
#include <numbers>

namespace sonaro {

namespace {

constexpr DynamicsListEntry kAttackList[] = {
    {"1ms", 1},     {"2ms", 2},     {"3ms", 3},     {"4ms", 4},   {"5ms", 5},   {"6ms", 6},
    {"7ms", 7},     {"8ms", 8},     {"9ms", 9},     {"10ms", 10}, {"20ms", 20}, {"50ms", 50},
    {"100ms", 100}, {"200ms", 200}, {"500ms", 500}, {"1s", 1000}, {"2s", 2000}};
constexpr DynamicsListEntry kReleaseList[] = {{"10ms", 10},   {"20ms", 20},   {"50ms", 50},
                                              {"100ms", 100}, {"200ms", 200}, {"500ms", 500},
                                              {"1s", 1000},   {"2s", 2000}};
constexpr DynamicsListEntry kRatioList[] = {{"1:1", 1},
                                            {"2:1", 2},
                                            {"3:1", 3},
                                            {"4:1", 4},
                                            {"5:1", 5},
                                            {"6:1", 6},
                                            {"7:1", 7},
                                            {"8:1", 8},
                                            {"9:1", 9},
                                            {"10:1", 10},
                                            {"INF:1", kRatioInfinite}};

int indexOf(std::span<const DynamicsListEntry> list, double value)
{
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].value == value) return static_cast<int>(i);
    return 0;
}

double valueAt(std::span<const DynamicsListEntry> list, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return list[0].value;
    return list[static_cast<std::size_t>(index)].value;
}

} // namespace

DynamicsSettings dynamicsOf(const UnitRecord& r, int output)
{
    return DynamicsSettings{r.limiterRatio[output], r.limiterThreshold[output],
                            r.limiterAttack[output], r.limiterRelease[output]};
}

void setDynamics(UnitRecord& r, int output, const DynamicsSettings& s)
{
    r.limiterRatio[output] = s.ratio;
    r.limiterThreshold[output] = s.threshold;
    r.limiterAttack[output] = s.attack;
    r.limiterRelease[output] = s.release;
}

bool dynamicsActive(const DynamicsSettings& s)
{
    return s.ratio != 1.0 && s.threshold < kThresholdOff;
}

std::span<const DynamicsListEntry> attackList()
{
    return kAttackList;
}
std::span<const DynamicsListEntry> releaseList()
{
    return kReleaseList;
}
std::span<const DynamicsListEntry> ratioList()
{
    return kRatioList;
}

int attackListIndex(int attack)
{
    return indexOf(kAttackList, attack);
}
int releaseListIndex(int release)
{
    return indexOf(kReleaseList, release);
}

int ratioListIndex(double ratio)
{
    if (ratio >= 11.0) return static_cast<int>(std::size(kRatioList)) - 1;
    if (!(ratio >= 1.0)) return 0; // below 1 or NaN matches no entry
    return static_cast<int>(ratio) - 1;
}

int attackForListIndex(int index)
{
    return static_cast<int>(valueAt(kAttackList, index));
}
int releaseForListIndex(int index)
{
    return static_cast<int>(valueAt(kReleaseList, index));
}
double ratioForListIndex(int index)
{
    return valueAt(kRatioList, index);
}

int thresholdReadoutRaw(double threshold)
{
    // Rounded: -0.7 dB x 10 is -6.999..., which must still show as -0.7 dB.
    const double raw = std::round(threshold * 10.0 + 800.0);
    if (!(raw > -1e9)) return -1000000000; // NaN or far below: clamped by the read-out
    if (raw > 1e9) return 1000000000;
    return static_cast<int>(raw);
}

double thresholdFromReadoutRaw(int raw)
{
    return raw * 0.1 - 80.0;
}

void dragKnee(DynamicsSettings& settings, double x)
{
    settings.threshold = x;
}

void dragEndPoint(DynamicsSettings& settings, double y)
{
    if (std::isnan(y)) return;
    const double t = settings.threshold;
    double ratio;
    if (y == t) {
        ratio = kRatioInfinite;
    } else {
        ratio = (kDynamicsGraphMax - t) / (y - t);
        // A ratio of exactly 0 (threshold at +20 dB) is as meaningless as one below 1.
        if (ratio >= 0.0 && ratio < 1.0)
            ratio = 1.0;
        else if (ratio > kRatioInfinite || ratio < 0.0 || std::isnan(ratio))
            ratio = kRatioInfinite;
    }
    settings.ratio = std::trunc(ratio);
}

std::array<double, 13> dynamicsConstants(const DynamicsSettings& s)
{
    constexpr double e = std::numbers::e;
    const double attackSeconds = s.attack / 1000.0;
    const double releaseSeconds = s.release / 1000.0;
    const double slope = 1.0 / s.ratio - 1.0;
    // The threshold in steps of ~6.02 dB (powers of two of amplitude) below 51.9224 dB.
    const double logThreshold = (s.threshold - 48.0 - 3.9224) * -0.16609640235192505;
    const double c0 = 1.0 - std::pow(e, -0.10416666666666667); // fixed detector constant
    // An attack or release of 0 gives exp(-inf) = 0, so the coefficient is exactly 1.
    const double cA = 1.0 - std::pow(e, -1.0 / (attackSeconds * 96000.0));
    const double cR = 1.0 - std::pow(e, -1.0 / (releaseSeconds * 96000.0));
    return {0.0, 0.0,      slope, 25.2337640766701, logThreshold, 4.0,     4.0,
            c0,  1.0 - c0, cA,    1.0 - cA,         cR,           1.0 - cR};
}

std::array<std::string, 3> encodeDynamics(const DynamicsSettings& s)
{
    std::array<std::string, 3> groups;
    for (double value : dynamicsConstants(s))
        groups[0] += hex7(Q23(value));
    groups[1] = hex4(ratioWord(s.ratio)) + hex4(thresholdWord(s.threshold)) +
                hex4(attackWord(s.attack)) + hex4(releaseWord(s.release));
    groups[2] = dynamicsActive(s) ? "01" : "00";
    return groups;
}

} // namespace sonaro
