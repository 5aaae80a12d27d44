#include "store/GroupDialogModel.h"

#include "model/OperatorInterface.h"
#include "store/Database.h"
#include "store/GroupStore.h"

namespace sonaro {

namespace {

bool validSerial(int serialId)
{
    return serialId >= 1 && serialId <= kGroupChannels;
}

} // namespace

GroupDialogModel::GroupDialogModel(Database& db, OperatorInterface& op, GroupTable& table)
    : m_db(db), m_op(op), m_table(table)
{
}

const std::vector<LinkFlag>& GroupDialogModel::inputGroupLinks()
{
    static const std::vector<LinkFlag> links = {kGainLink, kMuteLink, kPriorityLink, kPhantomLink,
                                                kEqLink};
    return links;
}

const std::vector<LinkFlag>& GroupDialogModel::outputGroupLinks()
{
    static const std::vector<LinkFlag> links = {kGainLink, kMuteLink, kEqLink, kLimiterLink};
    return links;
}

void GroupDialogModel::open()
{
    for (int s = 1; s <= kGroupChannels; ++s) {
        QString& caption = m_captions[static_cast<std::size_t>(s - 1)];
        caption.clear();
        for (const DbRow& row :
             m_db.openQuery(QStringLiteral("select * from Device where SerialID=?"), {s}))
            caption = row.text("Name");
    }
    m_selected = 0;
    m_visibleLinks.clear();
}

void GroupDialogModel::showLinksForKind(int kind)
{
    if (kind == 1)
        m_visibleLinks = inputGroupLinks();
    else if (kind == 2)
        m_visibleLinks = outputGroupLinks();
    else
        m_visibleLinks.clear();
}

void GroupDialogModel::clickGroup(int n)
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

void GroupDialogModel::clickChannel(int serialId)
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
    int kind = 0;
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device where SerialID=?"), {serialId}))
        kind = row.integer("Type");
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

void GroupDialogModel::clickLink(LinkFlag flag)
{
    if (m_selected == 0) return;
    bool& value = m_table.slot(m_selected).flags[static_cast<std::size_t>(flag)];
    value = !value;
}

void GroupDialogModel::accept()
{
    GroupStore(m_db).saveGroupTable(m_table);
}

void GroupDialogModel::reject()
{
    m_table = GroupStore(m_db).loadGroupTable();
}

bool GroupDialogModel::channelButtonOn(int serialId) const
{
    if (m_selected == 0 || !validSerial(serialId)) return false;
    return m_table.slot(m_selected).members[static_cast<std::size_t>(serialId - 1)];
}

bool GroupDialogModel::linkButtonOn(LinkFlag flag) const
{
    if (m_selected == 0) return false;
    return m_table.slot(m_selected).flags[static_cast<std::size_t>(flag)];
}

QString GroupDialogModel::channelCaption(int serialId) const
{
    return validSerial(serialId) ? m_captions[static_cast<std::size_t>(serialId - 1)] : QString();
}

} // namespace sonaro
