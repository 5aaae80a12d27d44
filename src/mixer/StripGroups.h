#pragma once

#include "mixer/UnitRecord.h"

#include <array>
#include <vector>

namespace sonaro {

// The six link flags of a group, in the order the strips keep them.
enum LinkFlag : int
{
    kLinkGain = 0,     // volflag
    kLinkMute = 1,     // lineflag
    kLinkPriority = 2, // openflag
    kLinkEq = 3,       // eqflag
    kLinkLimiter = 4,  // limitflag
    kLinkPhantom = 5,  // phontonflag
};

// What one strip knows of its group: whether it is in one, the channels of that group of the
// same kind (its own included, in SerialID order) and the group's link flags.
struct StripGroup
{
    bool grouped = false;
    std::vector<int> linked;
    std::array<bool, 6> flags{};

    bool links(LinkFlag flag) const { return grouped && flags[flag]; }
};

struct StripGroups
{
    std::array<StripGroup, kInputCount> inputs;
    std::array<StripGroup, kOutputCount> outputs;
};

} // namespace sonaro
