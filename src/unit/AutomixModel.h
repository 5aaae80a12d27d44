#pragma once

#include "model/UnitRecord.h"

#include <array>
#include <random>

namespace sonaro {

// Simulated audio of a unit, advanced once per status frame: speech-like bursts on every input
// and an automix engine that opens channels by threshold, priority, hold time and the maximum
// number of open channels. Levels run 0..60, on the scale of the gains.
class AutomixModel
{
public:
    explicit AutomixModel(unsigned seed = 1);

    // One step of tickMs milliseconds, with the settings of the record.
    void step(const UnitRecord& settings, int tickMs);

    const std::array<int, 10>& levels() const { return m_levels; } // inputs 1..8, outputs 1..2
    // The levels as the status frame carries them: 80 (silence) .. 191 (full scale), the range
    // the program's meters show.
    std::array<int, 10> wireLevels() const;
    int openBits() const { return m_openBits; }

private:
    struct Talker
    {
        int remainingMs = 0; // of the current burst or pause
        bool speaking = false;
        int loudness = 0; // of the current burst
        int heldMs = 0;   // how long an open channel stays open after it went quiet
    };

    std::mt19937 m_random;
    std::array<Talker, kInputCount> m_talkers{};
    std::array<int, 10> m_levels{};
    int m_openBits = 0;
};

} // namespace sonaro
