#pragma once

#include "model/GroupTable.h"
#include "store/DeviceRegistry.h"

#include <QString>

#include <array>
#include <vector>

namespace sonaro {

class Database;
class OperatorInterface;

// The group dialog without its window: which group is selected, which channel and link buttons
// are on and shown, and what OK and Cancel do. It edits the shared group table in place; OK
// makes the database match the table, Cancel makes the table match the database again.
class GroupEditor
{
public:
    // The groups of unit (its ten channels are numbered 1..10 here as for the first unit).
    GroupEditor(Database& db, OperatorInterface& op, GroupTable& table, int unit = 1);

    // Reads the captions of the ten channel buttons and puts every button off.
    void open();

    // Group button n (1..5): selects the group, or deselects it when it is the selected one.
    void clickGroup(int n);
    // Channel button of SerialID 1..10: adds the channel to the selected group or removes it.
    // Refused with "Already add group!" when another group holds it and with "Add group error!"
    // when it is of another kind than the group's members.
    void clickChannel(int serialId);
    // Link button: toggles the selected group's flag; does nothing with no group selected.
    void clickLink(LinkFlag flag);

    // OK: writes the table to the database.
    void accept();
    // Cancel: reloads the table from the database.
    void reject();

    int selectedGroup() const { return m_selected; }
    bool groupButtonOn(int n) const { return m_selected == n; }
    bool channelButtonOn(int serialId) const;
    bool linkButtonOn(LinkFlag flag) const;
    // The link buttons shown, in their left-to-right order.
    const std::vector<LinkFlag>& visibleLinks() const { return m_visibleLinks; }
    QString channelCaption(int serialId) const;

    // The link buttons an input group and an output group offer.
    static const std::vector<LinkFlag>& inputGroupLinks();
    static const std::vector<LinkFlag>& outputGroupLinks();

private:
    void showLinksForKind(int kind);
    DeviceRegistry::SerialChannel channelOf(int number) const;

    Database& m_db;
    OperatorInterface& m_op;
    GroupTable& m_table;
    int m_unit;
    int m_selected = 0;
    std::vector<LinkFlag> m_visibleLinks;
    std::array<QString, kGroupChannels> m_captions;
};

} // namespace sonaro
