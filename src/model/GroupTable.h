#pragma once

#include <array>
#include <cstdint>

namespace sonaro {

// The six link flags of a group, in the column order of ControlType.
enum LinkFlag : int
{
    kGainLink = 0,     // volflag, "GAIN"
    kMuteLink = 1,     // lineflag, "MUTE"
    kPriorityLink = 2, // openflag, "PRIORITY"
    kEqLink = 3,       // eqflag, "EQ"
    kLimiterLink = 4,  // limitflag, "LIMITER"
    kPhantomLink = 5,  // phontonflag, "PHANTOM"
};
inline constexpr int kLinkFlagCount = 6;
using LinkFlags = std::array<bool, kLinkFlagCount>;

// ControlType's flag columns, indexed by LinkFlag.
inline constexpr const char* kLinkFlagColumns[kLinkFlagCount] = {
    "volflag", "lineflag", "openflag", "eqflag", "limitflag", "phontonflag"};

// The channels a group can hold: those of the first unit, SerialID 1..8 (inputs 1..8) and
// 9..10 (outputs 1..2).
inline constexpr int kGroupChannels = 10;
inline constexpr int kGroupInputChannels = 8;

// One linkable group (a Group1 row with Type 1).
struct GroupSlot
{
    std::array<bool, kGroupChannels> members{}; // index SerialID - 1
    int memberKind = 0;                         // 1 inputs, 2 outputs, 0 not yet set
    int groupId = 0;                            // Group1.GroupID
    int memberCount = 0;
    LinkFlags flags{};
};

// The five groups, slot n (1..5) at index n - 1; slot n belongs to GroupID n + 1.
struct GroupTable
{
    static constexpr int kSlots = 5;
    std::array<GroupSlot, kSlots> entries{};

    GroupSlot& slot(int n) { return entries[static_cast<std::size_t>(n - 1)]; }
    const GroupSlot& slot(int n) const { return entries[static_cast<std::size_t>(n - 1)]; }
};

// One group of a state or preset file: its GroupID and up to eight member SerialIDs (0 = none).
struct GroupFileRecord
{
    std::int32_t groupId = 0;
    std::array<std::int32_t, 8> members{};
};
static_assert(sizeof(GroupFileRecord) == 36);
using GroupFileRecords = std::array<GroupFileRecord, 5>;

} // namespace sonaro
