#pragma once

#include "model/GroupTable.h"
#include "model/LinkTable.h"
#include "store/DeviceRegistry.h"

#include <array>
#include <vector>

namespace sonaro {

class Database;

// The group data one strip needs to repeat a change on its linked channels.
struct StripGroupData
{
    bool grouped = false;
    std::vector<int> linkedChannels; // 0-based channel indexes in SerialID order, own included
    LinkFlags flags{};
};

// The group data of every strip of the shown unit.
struct StripGroups
{
    std::array<StripGroupData, 8> inputs;
    std::array<StripGroupData, 2> outputs;

    StripGroupData& strip(ChannelKind kind, int index)
    {
        return kind == ChannelKind::Input ? inputs[static_cast<std::size_t>(index)]
                                          : outputs[static_cast<std::size_t>(index)];
    }
};

// A strip addressed by kind and 0-based channel index.
struct StripRef
{
    ChannelKind kind;
    int index;
    bool operator==(const StripRef&) const = default;
};

// What a page of channel tabs shows: page 0 the ungrouped channels, page n (1..5) group slot n.
struct PageLayout
{
    std::vector<StripRef> strips;        // left to right, in SerialID order
    std::array<bool, 6> tabHasMembers{}; // per page (GroupID - 1): the group has members
};

// The group and link-table operations on the database. Statement order per operation is part
// of the behaviour and is kept as the tests fix it.
class GroupStore
{
public:
    explicit GroupStore(Database& db) : m_db(db) {}

    // Fills the group table from Group1 (Type 1), dvLink and ControlType.
    GroupTable loadGroupTable();
    // Makes the database match the table (the group dialog's OK).
    void saveGroupTable(const GroupTable& table);

    // The link table of SerialID 1..10 for the J command.
    LinkTable sendLinkTable();
    // Writes a link table reported by the unit (N, S). Flag bytes are decoded with the same
    // bit order that J encodes, so a table sent and reported back unchanged keeps every flag.
    void storeLinkTable(const LinkTable& table);

    // The per-strip group data of unit `unit` (rows of other units are not the strips' own).
    StripGroups computeStripGroups(int unit = 1);
    // The strips of page 0..5 and the tab colours.
    PageLayout computePageLayout(int page, int unit = 1);

private:
    Database& m_db;
};

// The flag byte of J and N: bit 7 volflag, 6 lineflag, 5 openflag, 4 phontonflag, 3 eqflag,
// 2 limitflag.
std::uint8_t encodeLinkFlags(const LinkFlags& flags);
LinkFlags decodeLinkFlags(std::uint8_t byte);

} // namespace sonaro
