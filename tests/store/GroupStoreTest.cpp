#include "store/GroupStore.h"
#include "protocol/Commands.h"
#include "store/StoreTestSupport.h"

namespace sonaro::testing {
namespace {

using ::testing::ElementsAre;

class GroupStoreTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        addFirstUnit();
    }

    // Puts the channels into GroupID groupId with the given flags, as the dialog's OK would.
    void group(int groupId, std::initializer_list<int> serials, LinkFlags flags)
    {
        GroupTable table = store().loadGroupTable();
        for (GroupSlot& slot : table.entries) {
            if (slot.groupId != groupId) continue;
            for (int s : serials)
                slot.members[s - 1] = true;
            slot.flags = flags;
        }
        store().saveGroupTable(table);
        log.clear();
    }

    static LinkFlags flags(std::initializer_list<LinkFlag> set)
    {
        LinkFlags f{};
        for (LinkFlag flag : set)
            f[flag] = true;
        return f;
    }

    GroupStore store() { return GroupStore(*db); }
};

TEST_F(GroupStoreTest, SendLinkTableEncodesGroupDigitAndFlagByte)
{
    group(2, {2}, flags({kGainLink, kEqLink}));
    const LinkTable table = store().sendLinkTable();
    EXPECT_THAT(buildJ(1, table), ::testing::HasSubstr(",01,0100000000,00880000000000000000,"));
}

TEST_F(GroupStoreTest, LinkTableSentAndReportedBackKeepsEveryFlag)
{
    // Two groups whose flag sets differ in every bit that could be swapped.
    group(3, {1, 3, 5}, flags({kGainLink, kPhantomLink, kPriorityLink}));
    group(6, {9, 10}, flags({kMuteLink, kEqLink, kLimiterLink}));
    const GroupTable before = store().loadGroupTable();
    const LinkTable sent = store().sendLinkTable();
    EXPECT_EQ(sent.group[0], 2);
    EXPECT_EQ(sent.flags[0], 0xB0);
    EXPECT_EQ(sent.flags[8], 0x4C);

    // The unit reports it back (N): wipe the database's view first to prove it is rebuilt.
    db->executeSql("delete from DvLink");
    db->executeSql("delete from ControlType");
    store().storeLinkTable(sent);
    const GroupTable after = store().loadGroupTable();
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        EXPECT_EQ(after.slot(n).members, before.slot(n).members) << n;
        EXPECT_EQ(after.slot(n).flags, before.slot(n).flags) << n;
        EXPECT_EQ(after.slot(n).memberKind, before.slot(n).memberKind) << n;
    }
    EXPECT_EQ(column("select * from Device where Data=1 order by SerialID", "SerialID"),
              QStringList({"1", "3", "5", "9", "10"}));
    EXPECT_EQ(store().sendLinkTable().flags, sent.flags);
}

TEST_F(GroupStoreTest, ReportedDigitsOneToFiveAreTheGroupsAndOthersNone)
{
    group(2, {7, 8}, flags({kGainLink})); // replaced by what the unit reports
    LinkTable table;
    table.group = {1, 2, 3, 4, 5, 6, 7, 0, 1, 0}; // digit n is slot n; 0, 6 and 7 are no group
    table.flags[0] = kVolFlagBit;
    store().storeLinkTable(table);
    const GroupTable after = store().loadGroupTable();
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        SCOPED_TRACE(n);
        std::array<bool, kGroupChannels> expected{};
        expected[static_cast<std::size_t>(n - 1)] = true;
        if (n == 1) expected[8] = true;
        EXPECT_EQ(after.slot(n).members, expected);
    }
    EXPECT_EQ(column("select * from Device where Data=1 order by SerialID", "SerialID"),
              QStringList({"1", "2", "3", "4", "5", "9"}))
        << "channels 6 and 7 are in no group";
    EXPECT_TRUE(after.slot(1).flags[kGainLink]) << "the flags of the group's first channel";
    EXPECT_FALSE(after.slot(2).flags[kGainLink]);
}

TEST_F(GroupStoreTest, SavingEmptyGroupsClearsMembershipAndKeepsFiveFlagRows)
{
    group(2, {1, 2}, flags({kGainLink}));
    GroupTable table = store().loadGroupTable();
    table.slot(1).members = {};
    table.slot(1).memberCount = 0;
    store().saveGroupTable(table);
    EXPECT_TRUE(db->openQuery("select * from Device where Data=1").empty());
    EXPECT_TRUE(db->openQuery("select * from DvLink").empty());
    EXPECT_EQ(column("select * from ControlType order by GroupID", "volflag"),
              QStringList({"1", "0", "0", "0", "0"}));
}

TEST_F(GroupStoreTest, StripsGetTheirGroupInSerialOrderAndPagesShowTheirMembers)
{
    group(3, {5, 1, 3}, flags({kGainLink}));
    group(5, {10}, flags({kMuteLink, kLimiterLink}));
    const StripGroups strips = store().computeStripGroups();
    for (int input : {0, 2, 4}) {
        EXPECT_TRUE(strips.inputs[input].grouped);
        EXPECT_THAT(strips.inputs[input].linkedChannels, ElementsAre(0, 2, 4));
        EXPECT_EQ(strips.inputs[input].flags, flags({kGainLink}));
    }
    EXPECT_FALSE(strips.inputs[1].grouped);
    EXPECT_TRUE(strips.inputs[1].linkedChannels.empty());
    EXPECT_FALSE(strips.outputs[0].grouped);
    EXPECT_THAT(strips.outputs[1].linkedChannels, ElementsAre(1));
    EXPECT_EQ(strips.outputs[1].flags, flags({kMuteLink, kLimiterLink}));

    const PageLayout ungrouped = store().computePageLayout(0);
    EXPECT_THAT(ungrouped.strips,
                ElementsAre(StripRef{ChannelKind::Input, 1}, StripRef{ChannelKind::Input, 3},
                            StripRef{ChannelKind::Input, 5}, StripRef{ChannelKind::Input, 6},
                            StripRef{ChannelKind::Input, 7}, StripRef{ChannelKind::Output, 0}));
    EXPECT_THAT(ungrouped.tabHasMembers, ElementsAre(false, false, true, false, true, false));
    EXPECT_THAT(store().computePageLayout(2).strips,
                ElementsAre(StripRef{ChannelKind::Input, 0}, StripRef{ChannelKind::Input, 2},
                            StripRef{ChannelKind::Input, 4}));
    EXPECT_TRUE(store().computePageLayout(9).strips.empty());
}

TEST_F(GroupStoreTest, RowsOfOtherUnitsAndStrayMembersDoNotReachTheStrips)
{
    // A second unit whose input 1 is marked grouped, and a group member without a Device row.
    db->executeSql("insert into Device(ID,Name,IP,Type) values(1,'x',2,1)");
    db->executeSql("update Device set Data=1 where SerialID=11");
    db->executeSql("insert into DvLink values(11,2)");
    db->executeSql("insert into DvLink values(42,2)");
    const StripGroups strips = store().computeStripGroups(1);
    EXPECT_FALSE(strips.inputs[0].grouped);
    EXPECT_TRUE(op.messages.empty());
    // The link table never reads past the ten channels of the first unit.
    const LinkTable table = store().sendLinkTable();
    EXPECT_EQ(table.group, (std::array<int, 10>{}));
}

} // namespace
} // namespace sonaro::testing
