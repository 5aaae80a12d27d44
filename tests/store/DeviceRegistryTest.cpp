#include "store/DeviceRegistry.h"
#include "store/StoreTestSupport.h"

namespace sonaro::testing {
namespace {

using DeviceRegistryTest = StoreTest;

} // namespace

TEST_F(DeviceRegistryTest, EachUnitGetsTenNamedRowsOnceInOrder)
{
    DeviceRegistry registry(*db);
    registry.ensureChannelRows(1);
    registry.ensureChannelRows(1); // a second login adds nothing
    EXPECT_EQ(column("select * from Device order by SerialID", "SerialID"),
              QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(column("select * from Device order by SerialID", "Name"),
              QStringList({"Input0", "Input1", "Input2", "Input3", "Input4", "Input5", "Input6",
                           "Input7", "Output0", "Output1"}));

    // A second unit's rows follow the first's; nothing happens for 0 or a negative count.
    registry.ensureChannelRows(2);
    EXPECT_EQ(column("select * from Device where IP=2 order by SerialID", "SerialID").first(),
              "11");
    registry.ensureChannelRows(0);
    registry.ensureChannelRows(-3);
    EXPECT_EQ(db->openQuery("select * from Device").size(), 20u);
    EXPECT_TRUE(op.messages.empty());
}

TEST_F(DeviceRegistryTest, NamesWithQuotesAndChineseAreStoredExactly)
{
    DeviceRegistry registry(*db);
    registry.ensureChannelRows(1);
    const QStringList names = {"Bob's mic", "say \"hi\"", QString::fromUtf8("主席台话筒"),
                               "x'); delete from Device; --", ""};
    for (const QString& name : names) {
        EXPECT_EQ(registry.renameChannel(1, ChannelKind::Input, 2, "Input2", name), name);
        EXPECT_EQ(registry.channelName(1, ChannelKind::Input, 2), name);
    }
    EXPECT_TRUE(op.messages.empty());
    EXPECT_EQ(db->openQuery("select * from Device").size(), 10u);
}

TEST_F(DeviceRegistryTest, RenameTouchesOnlyItsChannelAndUnknownChannelsKeepTheirName)
{
    DeviceRegistry registry(*db);
    registry.ensureChannelRows(1);
    EXPECT_EQ(registry.renameChannel(1, ChannelKind::Output, 0, "Output0", "Main"), "Main");
    EXPECT_EQ(registry.channelName(1, ChannelKind::Output, 0), "Main");
    EXPECT_EQ(registry.channelName(1, ChannelKind::Input, 0), "Input0");

    // Unit 2 has no rows: the update still runs, the strip keeps its name, the lookup finds none.
    EXPECT_EQ(registry.renameChannel(2, ChannelKind::Input, 0, "Old", "New"), "Old");
    EXPECT_EQ(registry.channelName(2, ChannelKind::Input, 0), std::nullopt);
}

TEST_F(DeviceRegistryTest, FactoryResetNamesEveryRowAndClearsGroups)
{
    DeviceRegistry registry(*db);
    registry.ensureChannelRows(1);
    db->executeSql("update Device set Data=1 where SerialID=3");
    db->executeSql("insert into DvLink values(3,2)");
    registry.resetChannelsForFactory();
    EXPECT_EQ(column("select * from Device order by SerialID", "Name"),
              QStringList({"CHANNEL 1", "CHANNEL 2", "CHANNEL 3", "CHANNEL 4", "CHANNEL 5",
                           "CHANNEL 6", "CHANNEL 7", "CHANNEL 8", "MASTER 1", "MASTER 2"}));
    EXPECT_TRUE(db->openQuery("select * from Device where Data=1").empty());
    EXPECT_TRUE(db->openQuery("select * from DvLink").empty());
}

} // namespace sonaro::testing
