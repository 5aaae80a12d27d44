#include "mixer/GroupEditor.h"

#include "model/OperatorInterface.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

namespace sonaro {

namespace {

bool validSerial(int serialId)
{
    return serialId >= 1 && serialId <= kGroupChannels;
}

} // namespace

GroupEditor::GroupEditor(Database& db, OperatorInterface& op, GroupTable& table, int unit)
    : m_db(db), m_op(op), m_table(table), m_unit(unit)
{
}

const std::vector<LinkFlag>& GroupEditor::inputGroupLinks()
{
    static const std::vector<LinkFlag> links = {kGainLink, kMuteLink, kPriorityLink, kPhantomLink,
                                                kEqLink};
    return links;
}

const std::vector<LinkFlag>& GroupEditor::outputGroupLinks()
{
    static const std::vector<LinkFlag> links = {kGainLink, kMuteLink, kEqLink, kLimiterLink};
    return links;
}

void GroupEditor::open()
{
    for (int s = 1; s <= kGroupChannels; ++s) {
        m_captions[static_cast<std::size_t>(s - 1)] = channelOf(s).name;
    }
    m_selected = 0;
    m_visibleLinks.clear();
}

void GroupEditor::showLinksForKind(int kind)
{
    if (kind == 1)
        m_visibleLinks = inputGroupLinks();
    else if (kind == 2)
        m_visibleLinks = outputGroupLinks();
    else
        m_visibleLinks.clear();
}

void GroupEditor::clickGroup(int n)
{
    if (n < 1 || n > GroupTable::kSlots) return;
    if (m_selected == n) {
        m_selected = 0;
        m_visibleLinks.clear();
        return;
    }
    m_selected = n;
    const GroupSlot& slot = m_table.slot(n);
    showLinksForKind(slot.memberCount > 0 ? slot.memberKind : 0);
}

void GroupEditor::clickChannel(int serialId)
{
    if (m_selected == 0 || !validSerial(serialId)) return;
    const auto c = static_cast<std::size_t>(serialId - 1);
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        if (n != m_selected && m_table.slot(n).members[c]) {
            m_op.showMessage(Severity::Error, QStringLiteral("Already add group!"));
            return;
        }
    }
    GroupSlot& slot = m_table.slot(m_selected);
    if (slot.members[c]) {
        slot.members[c] = false;
        --slot.memberCount;
        return;
    }
    const int kind = channelOf(serialId).kind;
    // A channel the database does not know (no row, or no valid kind) cannot be grouped: its
    // strips could never be linked.
    if (kind != 1 && kind != 2) {
        m_op.showMessage(Severity::Error, QStringLiteral("Add group error!"));
        return;
    }
    if (slot.memberCount >= 1 && slot.memberKind != kind) {
        m_op.showMessage(Severity::Error, QStringLiteral("Add group error!"));
        return;
    }
    slot.members[c] = true;
    slot.memberKind = kind;
    ++slot.memberCount;
    showLinksForKind(serialId <= kGroupInputChannels ? 1 : 2);
}

void GroupEditor::clickLink(LinkFlag flag)
{
    if (m_selected == 0) return;
    bool& value = m_table.slot(m_selected).flags[static_cast<std::size_t>(flag)];
    value = !value;
}

void GroupEditor::accept()
{
    GroupStore(m_db).saveGroupTable(m_table, m_unit);
}

void GroupEditor::reject()
{
    m_table = GroupStore(m_db).loadGroupTable(m_unit);
}

DeviceRegistry::SerialChannel GroupEditor::channelOf(int number) const
{
    DeviceRegistry registry(m_db);
    // The first unit's channels are its SerialIDs; another unit's by unit, kind and index.
    if (m_unit == 1)
        return registry.channelBySerial(number).value_or(DeviceRegistry::SerialChannel{});
    const bool input = number <= kGroupInputChannels;
    const auto kind = input ? ChannelKind::Input : ChannelKind::Output;
    const auto name =
        registry.channelName(m_unit, kind, input ? number - 1 : number - 1 - kGroupInputChannels);
    if (!name) return {};
    return {*name, static_cast<int>(kind)};
}

bool GroupEditor::channelButtonOn(int serialId) const
{
    if (m_selected == 0 || !validSerial(serialId)) return false;
    return m_table.slot(m_selected).members[static_cast<std::size_t>(serialId - 1)];
}

bool GroupEditor::linkButtonOn(LinkFlag flag) const
{
    if (m_selected == 0) return false;
    return m_table.slot(m_selected).flags[static_cast<std::size_t>(flag)];
}

QString GroupEditor::channelCaption(int serialId) const
{
    return validSerial(serialId) ? m_captions[static_cast<std::size_t>(serialId - 1)] : QString();
}

} // namespace sonaro
