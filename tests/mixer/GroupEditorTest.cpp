#include "mixer/GroupEditor.h"
#include "store/GroupStore.h"
#include "store/StoreTestSupport.h"

namespace sonaro::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class GroupEditorTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        addFirstUnit();
        table = GroupStore(*db).loadGroupTable();
        model = std::make_unique<GroupEditor>(*db, op, table);
        model->open();
    }

    GroupTable table;
    std::unique_ptr<GroupEditor> model;
};

TEST_F(GroupEditorTest, KindsDoNotMixAndAChannelIsInOneGroupOnly)
{
    model->clickGroup(2);
    model->clickChannel(1);
    EXPECT_THAT(model->visibleLinks(), ElementsAreArray(GroupEditor::inputGroupLinks()));
    model->clickChannel(9);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].text, "Add group error!");
    EXPECT_EQ(op.messages[0].title, "ERROR");
    EXPECT_FALSE(table.slot(2).members[8]);

    model->clickGroup(4);
    model->clickChannel(3);
    model->clickGroup(1);
    model->clickChannel(3);
    EXPECT_EQ(op.messages.back().text, "Already add group!");
    EXPECT_FALSE(table.slot(1).members[2]);
    EXPECT_TRUE(table.slot(4).members[2]);

    // Emptying a group lets the other kind in.
    model->clickGroup(2);
    model->clickChannel(1);
    EXPECT_EQ(table.slot(2).memberCount, 0);
    model->clickChannel(9);
    EXPECT_EQ(table.slot(2).memberKind, 2);
    EXPECT_THAT(model->visibleLinks(), ElementsAre(kGainLink, kMuteLink, kEqLink, kLimiterLink));
    EXPECT_EQ(op.messages.size(), 2u);
}

TEST_F(GroupEditorTest, SelectingShowsTheSlotAndClickingAgainDeselects)
{
    model->clickGroup(3);
    model->clickChannel(10);
    model->clickLink(kMuteLink);
    model->clickGroup(3);
    EXPECT_EQ(model->selectedGroup(), 0);
    EXPECT_FALSE(model->channelButtonOn(10));
    EXPECT_TRUE(model->visibleLinks().empty());
    model->clickGroup(3);
    EXPECT_TRUE(model->groupButtonOn(3));
    EXPECT_TRUE(model->channelButtonOn(10));
    EXPECT_TRUE(model->linkButtonOn(kMuteLink));
    EXPECT_EQ(model->visibleLinks().size(), 4u);
    model->clickGroup(5);
    EXPECT_FALSE(model->groupButtonOn(3));
    EXPECT_FALSE(model->channelButtonOn(10));
    EXPECT_TRUE(model->visibleLinks().empty()); // a group without members shows none
}

TEST_F(GroupEditorTest, OkSavesAndCancelBringsBackTheSavedState)
{
    model->clickGroup(1);
    model->clickChannel(2);
    model->clickChannel(4);
    model->clickLink(kEqLink);
    log.clear();
    model->accept();
    // Data is reset row by row before the memberships are written.
    EXPECT_EQ(log.first(), "select * from Device order by SerialID");
    EXPECT_TRUE(log.contains("insert into DvLink values(2,2)"));
    EXPECT_TRUE(log.contains("insert into ControlType values(2,0,0,0,1,0,0)"));
    EXPECT_EQ(column("select * from Device where Data=1 order by SerialID", "SerialID"),
              QStringList({"2", "4"}));

    model->open();
    model->clickGroup(1);
    model->clickChannel(2);
    model->clickLink(kEqLink);
    model->clickGroup(2);
    model->clickChannel(5);
    model->reject();
    EXPECT_TRUE(table.slot(1).members[1]);
    EXPECT_TRUE(table.slot(1).flags[kEqLink]);
    EXPECT_EQ(table.slot(1).memberCount, 2);
    EXPECT_EQ(table.slot(2).memberCount, 0);
}

TEST_F(GroupEditorTest, ChannelWithoutDeviceRowIsRefused)
{
    db->executeSql("delete from Device where SerialID=7");
    model->clickGroup(1);
    model->clickChannel(7);
    EXPECT_EQ(op.texts(), QStringList({"Add group error!"}));
    EXPECT_EQ(table.slot(1).memberCount, 0);
}

} // namespace
} // namespace sonaro::testing
