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
// of the behaviour and is kept as the tests fix it. Unit 1 keeps its groups in Group1, DvLink and
// ControlType as the program always has; the other units of a cascade keep each its own five
// groups as the link table the unit holds (CascadeLink), so that groups never cross units.
class GroupStore
{
public:
    explicit GroupStore(Database& db) : m_db(db) {}

    // Fills the group table of unit from the database.
    GroupTable loadGroupTable(int unit = 1);
    // Makes the database match the table (the group dialog's OK).
    void saveGroupTable(const GroupTable& table, int unit = 1);

    // The link table of the unit's ten channels for the J command.
    LinkTable sendLinkTable(int unit = 1);
    // Writes a link table reported by the unit (N, S). Flag bytes are decoded with the same
    // bit order that J encodes, so a table sent and reported back unchanged keeps every flag.
    void storeLinkTable(const LinkTable& table, int unit = 1);

    // The per-strip group data of unit `unit` (rows of other units are not the strips' own).
    StripGroups computeStripGroups(int unit = 1);
    // The strips of page 0..5 and the tab colours.
    PageLayout computePageLayout(int page, int unit = 1);
    // Number of group tabs (the first one lists the strips in no group), at most six.
    int tabCount();

    // The group records of a state or preset file: Group1 rows of Type 1 in GroupID order, their
    // dvLink members; at most five groups of eight members fit. For another unit of a cascade
    // the same records with its channels numbered 1..10, so that a file fits any unit.
    GroupFileRecords fileGroups(int unit = 1);
    // Replaces dvLink and every Device.Data by the memberships of a file's group records.
    // Group1 and ControlType stay (for another unit: its groups' link flags stay).
    void rebuildMemberships(const GroupFileRecords& groups, int unit = 1);

private:
    LinkTable cascadeLinks(int unit);
    void storeCascadeLinks(int unit, const LinkTable& table);

    Database& m_db;
};

// The flag byte of J and N: bit 7 volflag, 6 lineflag, 5 openflag, 4 phontonflag, 3 eqflag,
// 2 limitflag.
std::uint8_t encodeLinkFlags(const LinkFlags& flags);
LinkFlags decodeLinkFlags(std::uint8_t byte);

} // namespace sonaro
