#include "store/GroupStore.h"

#include "store/Database.h"

#include <optional>

namespace sonaro {

namespace {

constexpr int kMaxLinkedChannels = 8;

const QString kSelectLinkableGroups =
    QStringLiteral("select * from Group1 where Type=1 order by GroupID");
const QString kSelectMembers = QStringLiteral("select * from DvLink where GroupID=?");
const QString kSelectMembersOrdered =
    QStringLiteral("select * from DvLink where GroupID=? order by SerialID");
const QString kSelectLinkOfChannel = QStringLiteral("select * from DvLink where SerialID=?");
const QString kSelectChannelBySerial = QStringLiteral("select * from Device where SerialID=?");
const QString kSelectFlags = QStringLiteral("select * from ControlType where GroupID=?");
const QString kClearData = QStringLiteral("update Device set Data=0 where SerialID=?");
const QString kSetData = QStringLiteral("update Device set Data=1 where SerialID=?");
const QString kInsertMember = QStringLiteral("insert into DvLink values(?,?)");
const QString kInsertFlags = QStringLiteral("insert into ControlType values(?,?,?,?,?,?,?)");

// The bit of each link flag in the flag byte, indexed by LinkFlag.
constexpr std::uint8_t kFlagBits[kLinkFlagCount] = {kVolFlagBit, kLineFlagBit,  kOpenFlagBit,
                                                    kEqFlagBit,  kLimitFlagBit, kPhantomFlagBit};

bool isGroupChannel(int serialId)
{
    return serialId >= 1 && serialId <= kGroupChannels;
}

LinkFlags flagsOfRow(const DbRow& row)
{
    LinkFlags flags{};
    for (int f = 0; f < kLinkFlagCount; ++f)
        flags[f] = row.integer(kLinkFlagColumns[f]) != 0;
    return flags;
}

// The strip a Device row addresses, when the row belongs to the shown unit and its ID is a
// channel the unit has.
std::optional<StripRef> stripOfRow(const DbRow& row, int unit)
{
    if (row.integer("IP") != unit) return std::nullopt;
    const int type = row.integer("Type");
    const int index = row.integer("ID") - 1;
    if (type == static_cast<int>(ChannelKind::Input) && index >= 0 && index < 8)
        return StripRef{ChannelKind::Input, index};
    if (type == static_cast<int>(ChannelKind::Output) && index >= 0 && index < 2)
        return StripRef{ChannelKind::Output, index};
    return std::nullopt;
}

const GroupSlot* slotOfGroup(const GroupTable& table, int groupId)
{
    for (const GroupSlot& slot : table.entries)
        if (slot.groupId == groupId && groupId != 0) return &slot;
    return nullptr;
}

// A channel of a unit's link table: inputs 0..7, outputs 8..9.
ChannelKind kindOfChannel(int channel)
{
    return channel < kGroupInputChannels ? ChannelKind::Input : ChannelKind::Output;
}

int indexOfChannel(int channel)
{
    return channel < kGroupInputChannels ? channel : channel - kGroupInputChannels;
}

} // namespace

// --- the other units of a cascade: their groups as the link tables they hold -----------------

namespace {

LinkFlags flagsOfByte(std::uint8_t byte);

GroupTable groupTableOf(const LinkTable& links, int unit)
{
    GroupTable table;
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        GroupSlot& slot = table.slot(n);
        slot.groupId = unit * 10 + n; // a number of its own, so that a slot is never without one
        for (int c = 0; c < LinkTable::kChannels; ++c) {
            if (links.group[static_cast<std::size_t>(c)] != n) continue;
            if (slot.memberCount == 0)
                slot.flags = flagsOfByte(links.flags[static_cast<std::size_t>(c)]);
            slot.members[static_cast<std::size_t>(c)] = true;
            slot.memberKind = static_cast<int>(kindOfChannel(c));
            ++slot.memberCount;
        }
    }
    return table;
}

LinkTable linkTableOf(const GroupTable& table)
{
    LinkTable links;
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        const GroupSlot& slot = table.slot(n);
        for (int c = 0; c < LinkTable::kChannels; ++c) {
            if (!slot.members[static_cast<std::size_t>(c)]) continue;
            links.group[static_cast<std::size_t>(c)] = n;
            links.flags[static_cast<std::size_t>(c)] = encodeLinkFlags(slot.flags);
        }
    }
    return links;
}

StripGroups stripGroupsOf(const LinkTable& links)
{
    StripGroups strips;
    for (int c = 0; c < LinkTable::kChannels; ++c) {
        const int n = links.group[static_cast<std::size_t>(c)];
        if (n < 1 || n > GroupTable::kSlots) continue;
        StripGroupData& data = strips.strip(kindOfChannel(c), indexOfChannel(c));
        data.grouped = true;
        data.flags = flagsOfByte(links.flags[static_cast<std::size_t>(c)]);
        for (int other = 0; other < LinkTable::kChannels; ++other)
            if (links.group[static_cast<std::size_t>(other)] == n &&
                kindOfChannel(other) == kindOfChannel(c))
                data.linkedChannels.push_back(indexOfChannel(other));
    }
    return strips;
}

PageLayout pageLayoutOf(const LinkTable& links, int page)
{
    PageLayout layout;
    for (int c = 0; c < LinkTable::kChannels; ++c) {
        const int n = links.group[static_cast<std::size_t>(c)];
        if (n >= 1 && n <= GroupTable::kSlots)
            layout.tabHasMembers[static_cast<std::size_t>(n)] = true;
        const bool onPage = page == 0 ? (n < 1 || n > GroupTable::kSlots) : n == page;
        if (onPage) layout.strips.push_back({kindOfChannel(c), indexOfChannel(c)});
    }
    return layout;
}

GroupFileRecords fileGroupsOf(const LinkTable& links)
{
    GroupFileRecords groups{};
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        GroupFileRecord& record = groups[static_cast<std::size_t>(n - 1)];
        record.groupId = n + 1;
        std::size_t m = 0;
        for (int c = 0; c < LinkTable::kChannels && m < record.members.size(); ++c)
            if (links.group[static_cast<std::size_t>(c)] == n) record.members[m++] = c + 1;
    }
    return groups;
}

LinkTable linksOfFileGroups(const GroupFileRecords& groups, const LinkTable& before)
{
    LinkTable links;
    std::array<std::uint8_t, GroupTable::kSlots + 1> flagsOfGroup{};
    for (int c = 0; c < LinkTable::kChannels; ++c) {
        const int n = before.group[static_cast<std::size_t>(c)];
        if (n >= 1 && n <= GroupTable::kSlots)
            flagsOfGroup[static_cast<std::size_t>(n)] = before.flags[static_cast<std::size_t>(c)];
    }
    for (const GroupFileRecord& g : groups) {
        const int n = g.groupId - 1;
        if (n < 1 || n > GroupTable::kSlots) continue;
        for (const std::int32_t member : g.members) {
            if (member < 1 || member > LinkTable::kChannels) continue;
            links.group[static_cast<std::size_t>(member - 1)] = n;
            links.flags[static_cast<std::size_t>(member - 1)] =
                flagsOfGroup[static_cast<std::size_t>(n)];
        }
    }
    return links;
}

} // namespace

std::uint8_t encodeLinkFlags(const LinkFlags& flags)
{
    std::uint8_t byte = 0;
    for (int f = 0; f < kLinkFlagCount; ++f)
        if (flags[f]) byte |= kFlagBits[f];
    return byte;
}

namespace {
LinkFlags flagsOfByte(std::uint8_t byte)
{
    return decodeLinkFlags(byte);
}
} // namespace

LinkFlags decodeLinkFlags(std::uint8_t byte)
{
    LinkFlags flags{};
    for (int f = 0; f < kLinkFlagCount; ++f)
        flags[f] = (byte & kFlagBits[f]) != 0;
    return flags;
}

GroupTable GroupStore::loadGroupTable(int unit)
{
    if (unit != 1) return groupTableOf(cascadeLinks(unit), unit);
    GroupTable table;
    std::size_t k = 0;
    for (const DbRow& group : m_db.openQuery(kSelectLinkableGroups)) {
        if (k >= table.entries.size()) break; // the table (and the file format) holds five groups
        GroupSlot& slot = table.entries[k++];
        slot = GroupSlot{};
        slot.groupId = group.integer("GroupID");
        for (const DbRow& member : m_db.openQuery(kSelectMembers, {slot.groupId})) {
            const int serial = member.integer("SerialID");
            if (!isGroupChannel(serial)) continue;
            slot.members[static_cast<std::size_t>(serial - 1)] = true;
            for (const DbRow& channel : m_db.openQuery(kSelectChannelBySerial, {serial}))
                slot.memberKind = channel.integer("Type");
            ++slot.memberCount;
        }
        for (const DbRow& row : m_db.openQuery(kSelectFlags, {slot.groupId}))
            slot.flags = flagsOfRow(row);
    }
    return table;
}

void GroupStore::saveGroupTable(const GroupTable& table, int unit)
{
    if (unit != 1) {
        storeCascadeLinks(unit, linkTableOf(table));
        return;
    }
    Database::Batch batch(m_db);
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device order by SerialID")))
        m_db.executeSql(kClearData, {row.integer("SerialID")});
    m_db.executeSql(QStringLiteral("delete from DvLink"));
    m_db.executeSql(QStringLiteral("delete from ControlType"));
    for (const GroupSlot& slot : table.entries) {
        if (slot.groupId == 0) continue; // a slot without a Group1 row has nowhere to go
        for (int c = 0; c < kGroupChannels; ++c) {
            if (!slot.members[static_cast<std::size_t>(c)]) continue;
            m_db.executeSql(kSetData, {c + 1});
            m_db.executeSql(kInsertMember, {c + 1, slot.groupId});
        }
        const LinkFlags& f = slot.flags;
        m_db.executeSql(kInsertFlags,
                        {slot.groupId, int(f[kGainLink]), int(f[kMuteLink]), int(f[kPriorityLink]),
                         int(f[kEqLink]), int(f[kLimiterLink]), int(f[kPhantomLink])});
    }
}

LinkTable GroupStore::sendLinkTable(int unit)
{
    if (unit != 1) return cascadeLinks(unit);
    LinkTable table;
    std::array<int, LinkTable::kChannels> groupIds{};
    for (int s = 1; s <= LinkTable::kChannels; ++s) {
        const DbRows rows = m_db.openQuery(kSelectLinkOfChannel, {s});
        if (rows.empty()) continue;
        const int groupId = rows.front().integer("GroupID");
        // The unit knows groups 1..5 (GroupID 2..6), one digit each; anything else is no group.
        if (groupId < 2 || groupId > 6) continue;
        table.group[static_cast<std::size_t>(s - 1)] = groupId - 1;
        groupIds[static_cast<std::size_t>(s - 1)] = groupId;
    }
    for (int s = 1; s <= LinkTable::kChannels; ++s) {
        const DbRows rows = m_db.openQuery(kSelectLinkOfChannel, {s});
        if (rows.empty() || groupIds[static_cast<std::size_t>(s - 1)] == 0) continue;
        const DbRows flags = m_db.openQuery(kSelectFlags, {rows.front().integer("GroupID")});
        if (!flags.empty())
            table.flags[static_cast<std::size_t>(s - 1)] =
                encodeLinkFlags(flagsOfRow(flags.front()));
    }
    return table;
}

void GroupStore::storeLinkTable(const LinkTable& table, int unit)
{
    if (unit != 1) {
        storeCascadeLinks(unit, table);
        return;
    }
    Database::Batch batch(m_db);
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device order by SerialID")))
        m_db.executeSql(kClearData, {row.integer("SerialID")});
    m_db.executeSql(QStringLiteral("delete from DvLink"));
    for (int s = 1; s <= LinkTable::kChannels; ++s) {
        const int digit = table.group[static_cast<std::size_t>(s - 1)];
        if (digit <= 0 || digit >= 6) continue;
        m_db.executeSql(kSetData, {s});
        m_db.executeSql(kInsertMember, {s, digit + 1});
    }
    m_db.executeSql(QStringLiteral("delete from ControlType"));
    for (const DbRow& group : m_db.openQuery(kSelectLinkableGroups)) {
        const int groupId = group.integer("GroupID");
        const DbRows members = m_db.openQuery(kSelectMembers, {groupId});
        LinkFlags f{};
        if (!members.empty()) {
            const int first = members.front().integer("SerialID");
            if (isGroupChannel(first))
                f = decodeLinkFlags(table.flags[static_cast<std::size_t>(first - 1)]);
        }
        m_db.executeSql(kInsertFlags,
                        {groupId, int(f[kGainLink]), int(f[kMuteLink]), int(f[kPriorityLink]),
                         int(f[kEqLink]), int(f[kLimiterLink]), int(f[kPhantomLink])});
    }
}

StripGroups GroupStore::computeStripGroups(int unit)
{
    if (unit != 1) return stripGroupsOf(cascadeLinks(unit));
    StripGroups strips;
    const GroupTable table = loadGroupTable();
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device where Data=0 order by SerialID"))) {
        if (const auto ref = stripOfRow(row, unit)) strips.strip(ref->kind, ref->index) = {};
    }
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device where Data=1 order by SerialID"))) {
        const auto ref = stripOfRow(row, unit);
        if (!ref) continue;
        StripGroupData& data = strips.strip(ref->kind, ref->index);
        data = {};
        const DbRows link = m_db.openQuery(kSelectLinkOfChannel, {row.integer("SerialID")});
        if (link.empty()) continue; // marked grouped but in no group: treated as ungrouped
        data.grouped = true;
        const int groupId = link.front().integer("GroupID");
        if (const GroupSlot* slot = slotOfGroup(table, groupId)) data.flags = slot->flags;
        for (const DbRow& member : m_db.openQuery(kSelectMembersOrdered, {groupId})) {
            for (const DbRow& channel :
                 m_db.openQuery(kSelectChannelBySerial, {member.integer("SerialID")})) {
                const auto memberRef = stripOfRow(channel, unit);
                // All members of a group are of one kind; a stray one is not linked.
                if (!memberRef || memberRef->kind != ref->kind) continue;
                if (static_cast<int>(data.linkedChannels.size()) >= kMaxLinkedChannels) continue;
                data.linkedChannels.push_back(memberRef->index);
            }
        }
    }
    return strips;
}

PageLayout GroupStore::computePageLayout(int page, int unit)
{
    if (unit != 1) return pageLayoutOf(cascadeLinks(unit), page);
    PageLayout layout;
    for (const DbRow& group :
         m_db.openQuery(QStringLiteral("select * from Group1 order by GroupID"))) {
        const int groupId = group.integer("GroupID");
        const bool hasMembers = !m_db.openQuery(kSelectMembers, {groupId}).empty();
        if (groupId >= 1 && groupId <= static_cast<int>(layout.tabHasMembers.size()))
            layout.tabHasMembers[static_cast<std::size_t>(groupId - 1)] = hasMembers;
    }
    const DbRows pageRows =
        m_db.openQuery(QStringLiteral("select * from Group1 where GroupID=?"), {page + 1});
    if (pageRows.empty()) return layout;
    if (pageRows.front().integer("Type") == 0) {
        for (const DbRow& row : m_db.openQuery(
                 QStringLiteral("select * from Device where Data=0 order by SerialID"))) {
            if (const auto ref = stripOfRow(row, unit)) layout.strips.push_back(*ref);
        }
        return layout;
    }
    for (const DbRow& member : m_db.openQuery(kSelectMembersOrdered, {page + 1})) {
        for (const DbRow& channel :
             m_db.openQuery(kSelectChannelBySerial, {member.integer("SerialID")})) {
            if (const auto ref = stripOfRow(channel, unit)) layout.strips.push_back(*ref);
        }
    }
    return layout;
}

int GroupStore::tabCount()
{
    const DbRows rows = m_db.openQuery(QStringLiteral("select GroupID from Group1"));
    return std::min(static_cast<int>(rows.size()), 6);
}

GroupFileRecords GroupStore::fileGroups(int unit)
{
    if (unit != 1) return fileGroupsOf(cascadeLinks(unit));
    GroupFileRecords groups{};
    std::size_t k = 0;
    for (const DbRow& group :
         m_db.openQuery(QStringLiteral("select * from Group1 where Type=1 order by GroupID"))) {
        if (k >= groups.size()) break; // the format has room for five groups
        GroupFileRecord& out = groups[k++];
        out.groupId = group.integer("GroupID");
        std::size_t m = 0;
        for (const DbRow& member : m_db.openQuery(
                 QStringLiteral("select * from DvLink where GroupID=?"), {out.groupId})) {
            if (m >= out.members.size()) break; // and eight members per group
            out.members[m++] = member.integer("SerialID");
        }
    }
    return groups;
}

void GroupStore::rebuildMemberships(const GroupFileRecords& groups, int unit)
{
    if (unit != 1) {
        storeCascadeLinks(unit, linksOfFileGroups(groups, cascadeLinks(unit)));
        return;
    }
    Database::Batch batch(m_db);
    m_db.executeSql(QStringLiteral("delete from DvLink"));
    for (const DbRow& row : m_db.openQuery(QStringLiteral("select * from Device")))
        m_db.executeSql(QStringLiteral("update Device set Data=0 where SerialID=?"),
                        {row.integer("SerialID")});
    for (const GroupFileRecord& group : groups) {
        // Groups 2..6 hold channels 1..10; anything else in a file is not ours to store.
        if (group.groupId < 2 || group.groupId > GroupTable::kSlots + 1) continue;
        for (const std::int32_t member : group.members) {
            if (member <= 0 || member > kGroupChannels) continue;
            m_db.executeSql(QStringLiteral("insert into DvLink values(?,?)"),
                            {member, group.groupId});
            m_db.executeSql(QStringLiteral("update Device set Data=1 where SerialID=?"), {member});
        }
    }
}

LinkTable GroupStore::cascadeLinks(int unit)
{
    LinkTable links;
    for (const DbRow& row : m_db.openQuery(
             QStringLiteral("select * from CascadeLink where IP=? order by Channel"), {unit})) {
        const int c = row.integer("Channel");
        const int n = row.integer("GroupNo");
        if (c < 1 || c > LinkTable::kChannels || n < 1 || n > GroupTable::kSlots) continue;
        links.group[static_cast<std::size_t>(c - 1)] = n;
        links.flags[static_cast<std::size_t>(c - 1)] =
            static_cast<std::uint8_t>(row.integer("Flags") & 0xFF);
    }
    return links;
}

void GroupStore::storeCascadeLinks(int unit, const LinkTable& table)
{
    Database::Batch batch(m_db);
    m_db.executeSql(QStringLiteral("delete from CascadeLink where IP=?"), {unit});
    for (int c = 0; c < LinkTable::kChannels; ++c) {
        const int n = table.group[static_cast<std::size_t>(c)];
        if (n < 1 || n > GroupTable::kSlots) continue;
        m_db.executeSql(QStringLiteral("insert into CascadeLink values(?,?,?,?)"),
                        {unit, c + 1, n, int(table.flags[static_cast<std::size_t>(c)])});
    }
}

} // namespace sonaro
