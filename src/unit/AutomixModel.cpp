#include "unit/AutomixModel.h"

#include "model/ValueConventions.h"

#include <algorithm>

namespace sonaro {

namespace {

constexpr int kNoiseFloor = 6;
// In Auto threshold mode a channel opens this far above the noise floor.
constexpr int kAutoThreshold = 20;
// The hold time counts in tenths of a second.
constexpr int kHoldStepMs = 100;

} // namespace

AutomixModel::AutomixModel(unsigned seed) : m_random(seed) {}

void AutomixModel::step(const UnitRecord& r, int tickMs)
{
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> jitter(-4, 4);
    std::array<int, kInputCount> level{};
    for (int ch = 0; ch < kInputCount; ++ch) {
        Talker& t = m_talkers[static_cast<std::size_t>(ch)];
        t.remainingMs -= tickMs;
        if (t.remainingMs <= 0) {
            // Alternate bursts of 0.5 to 4 s of speech with pauses of 1 to 8 s.
            t.speaking = !t.speaking && percent(m_random) < 60;
            t.remainingMs =
                t.speaking ? 500 + 35 * percent(m_random) : 1000 + 70 * percent(m_random);
            t.loudness = 28 + percent(m_random) / 5;
        }
        // Syllables: the level dips now and then within a burst.
        int value = kNoiseFloor + jitter(m_random) / 2;
        if (t.speaking && percent(m_random) < 80) value = t.loudness + jitter(m_random);
        value += r.inputGain[ch] - 44;
        if (r.inputMute[ch]) value = 0;
        level[static_cast<std::size_t>(ch)] = std::clamp(value, 0, 60);
    }

    // Candidates: above the threshold and not muted. Priority channels first, then the loudest.
    const int threshold = r.thresholdMode ? r.threshold : kAutoThreshold;
    std::array<int, kInputCount> order{};
    for (int ch = 0; ch < kInputCount; ++ch)
        order[static_cast<std::size_t>(ch)] = ch;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if ((r.inputPriority[a] != 0) != (r.inputPriority[b] != 0)) return r.inputPriority[a] != 0;
        return level[static_cast<std::size_t>(a)] > level[static_cast<std::size_t>(b)];
    });
    const int maxOpen = std::clamp(r.maxOpenChannels, 1, kInputCount);
    int open = 0;
    int bits = 0;
    // Channels in their hold time keep their place first.
    for (int ch : order) {
        Talker& t = m_talkers[static_cast<std::size_t>(ch)];
        const bool above = !r.inputMute[ch] && level[static_cast<std::size_t>(ch)] > threshold;
        if (above)
            t.heldMs = std::max(0, r.holdTime) * kHoldStepMs;
        else
            t.heldMs = std::max(0, t.heldMs - tickMs);
    }
    for (int ch : order) {
        const Talker& t = m_talkers[static_cast<std::size_t>(ch)];
        const bool wasOpen = (m_openBits >> ch) & 1;
        const bool above = !r.inputMute[ch] && level[static_cast<std::size_t>(ch)] > threshold;
        if (open < maxOpen && !r.inputMute[ch] && (above || (wasOpen && t.heldMs > 0))) {
            bits |= 1 << ch;
            ++open;
        }
    }
    m_openBits = bits;

    for (int ch = 0; ch < kInputCount; ++ch)
        m_levels[static_cast<std::size_t>(ch)] = level[static_cast<std::size_t>(ch)];
    for (int out = 0; out < kOutputCount; ++out) {
        int loudest = 0;
        for (int ch = 0; ch < kInputCount; ++ch)
            if (((bits >> ch) & 1) && ((r.routing[out] >> ch) & 1))
                loudest = std::max(loudest, level[static_cast<std::size_t>(ch)]);
        const int value =
            r.outputMute[out] || loudest == 0 ? 0 : loudest - (kGainMax - r.outputGain[out]) / 3;
        m_levels[static_cast<std::size_t>(kInputCount + out)] = std::clamp(value, 0, 60);
    }
}

std::array<int, 10> AutomixModel::wireLevels() const
{
    constexpr int kWireSilence = 80;
    constexpr int kWireSpan = 111; // up to 191
    std::array<int, 10> wire{};
    for (std::size_t i = 0; i < wire.size(); ++i)
        wire[i] = kWireSilence + std::clamp(m_levels[i], 0, kGainMax) * kWireSpan / kGainMax;
    return wire;
}

} // namespace sonaro
