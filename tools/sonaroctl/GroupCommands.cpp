// group show, set and clear: the five channel groups through the group dialog's own logic.
#include "Commands.h"

#include "mixer/GroupEditor.h"

namespace sonaroctl {

using namespace sonaro;

namespace {

// The dialog's clicks that make group n hold the members and links asked for. Its refusals
// ("Already add group!", "Add group error!") reach the operator as they do there. False when the
// group does not hold every member asked for.
bool editGroup(GroupEditor& dialog, const GroupTable& table, const CtlSettings& o)
{
    const int n = o.groupSlot;
    dialog.open();
    dialog.clickGroup(n);
    for (int serial = 1; serial <= kGroupChannels; ++serial)
        if (dialog.channelButtonOn(serial)) dialog.clickChannel(serial);
    for (int serial : o.groupMembers)
        if (!dialog.channelButtonOn(serial)) dialog.clickChannel(serial);
    for (int f = 0; f < kLinkFlagCount; ++f) {
        const auto flag = static_cast<LinkFlag>(f);
        if (dialog.linkButtonOn(flag) != o.groupLinks[static_cast<std::size_t>(f)])
            dialog.clickLink(flag);
    }
    const GroupSlot& wanted = table.slot(n);
    return std::all_of(o.groupMembers.begin(), o.groupMembers.end(), [&](int serial) {
        return wanted.members[static_cast<std::size_t>(serial - 1)];
    });
}

void reportGroup(CtlSession& s, int n)
{
    GroupTable one;
    one.slot(n) = s.core().groupTable().slot(n);
    s.console().report(s.settings().json
                           ? jsonLine(groupTableJson(one)[n - 1].toObject())
                           : groupTableText(one).split(QLatin1Char('\n')).value(n - 1));
}

} // namespace

void runGroupShow(CtlSession& s)
{
    s.start(true, [&s](int) {
        // The unit's state report has stored its link table in the database.
        const GroupTable table = s.core().groupTable();
        s.console().report(s.settings().json
                               ? jsonLine({{QStringLiteral("schemaVersion"), kSchemaVersion},
                                           {QStringLiteral("groups"), groupTableJson(table)}})
                               : groupTableText(table));
        s.finish(kExitSuccess);
    });
}

void runGroupSet(CtlSession& s)
{
    s.start(true, [&s](int) {
        const int n = s.settings().groupSlot;
        auto table = std::make_shared<GroupTable>(s.core().groupTable());
        std::shared_ptr<GroupEditor> dialog = s.core().groupEditor(*table);
        if (!editGroup(*dialog, *table, s.settings())) {
            s.finish(kExitFailure,
                     QStringLiteral("group %1 cannot hold the members asked for").arg(n));
            return;
        }
        // As the dialog's OK: the database, then the link table to the unit.
        s.change(
            QStringLiteral("group %1").arg(n),
            [&s, table, dialog] {
                dialog->accept();
                s.core().surface().reloadGroups();
                s.core().surface().sendLinkTable();
                return Outcome::Applied;
            },
            [&s, n](const QList<ChangeId>&, bool) {
                reportGroup(s, n);
                s.finish(kExitSuccess);
            });
    });
}

} // namespace sonaroctl
