#pragma once

#include <array>
#include <cstdint>

namespace sonaro {

// The link table of J: per channel its group digit (0 none, 1..5) and its flag byte.
struct LinkTable
{
    static constexpr int kChannels = 10;
    std::array<int, kChannels> group{};
    std::array<std::uint8_t, kChannels> flags{};

    bool operator==(const LinkTable&) const = default;
};
// Bit positions of the link flags in J's flag byte (and in the unit's N report).
enum LinkFlagBit : std::uint8_t
{
    kVolFlagBit = 0x80,
    kLineFlagBit = 0x40,
    kOpenFlagBit = 0x20,
    kPhantomFlagBit = 0x10,
    kEqFlagBit = 0x08,
    kLimitFlagBit = 0x04,
};

} // namespace sonaro
