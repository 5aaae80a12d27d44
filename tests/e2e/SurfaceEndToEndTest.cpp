#include "mixer/SonaroCore.h"
#include "store/GroupStore.h"
#include "support/LoopbackCore.h"

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

std::string expand(std::initializer_list<std::pair<const char*, int>> parts)
{
    QStringList list;
    for (const auto& [kind, count] : parts)
        for (int i = 0; i < count; ++i)
            list << QString::fromLatin1(kind);
    return list.join(QLatin1Char(' ')).toStdString();
}

} // namespace

TEST(SurfaceEndToEnd, FactoryRestoreSendsItsSequenceAndKeepsTheLink)
{
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start() && b.login());
    UnitRecord& r = b.core->table().current();
    r.inputGain[0] = 12;
    b.unit->clearReceived();
    const int loginsBefore = b.unit->receivedCount('R');

    ASSERT_TRUE(b.core->files().factoryRestore());
    ASSERT_TRUE(b.waitReceived('L', 2));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.receivedKinds(), expand({{"L00", 1},
                                         {"M", 1},
                                         {"G", 1},
                                         {"V", 1},
                                         {"J", 1},
                                         {"E", 14},
                                         {"B", 2},
                                         {"C", 1},
                                         {"L01", 1}}));
    EXPECT_EQ(b.unit->receivedCount('R'), loginsBefore) << "the watchdog stayed quiet";
    EXPECT_TRUE(r.connected);
    EXPECT_EQ(b.unit->record().inputGain[0], 44);
    EXPECT_EQ(b.unit->record().routing[1], 0xFF);
    // Without an installed translation the message is the English one.
    EXPECT_EQ(b.op.messages.back().text, "Restore Successfully.");
}

TEST(SurfaceEndToEnd, PresetSaveAndOpenSendTheWholeRecordInOrder)
{
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start() && b.login());
    FileActions& files = b.core->files();
    UnitRecord& r = b.core->table().current();
    r.inputGain[3] = 20;
    r.routing[0] = 0x0F;
    r.limiterThreshold[1] = -10.0;
    const QString path = b.dir.filePath(QStringLiteral("room.ini"));
    ASSERT_TRUE(files.savePreset([&] { return path; }));
    EXPECT_EQ(b.op.messages.back().text, "Save successfully");

    r.inputGain[3] = 55;
    r.routing[0] = 0xFF;
    b.unit->clearReceived();
    ASSERT_TRUE(files.openPreset([&] { return path; }));
    ASSERT_TRUE(b.waitReceived('L', 2));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.op.messages.back().text, "Open successfully");
    EXPECT_EQ(b.receivedKinds(), expand({{"L00", 1},
                                         {"V", 1},
                                         {"M", 1},
                                         {"J", 1},
                                         {"G", 1},
                                         {"E", 14},
                                         {"B", 2},
                                         {"L01", 1},
                                         {"C", 1}}))
        << "the V and the G are read back";
    EXPECT_EQ(r.inputGain[3], 20);
    EXPECT_TRUE(r.connected) << "the session's own fields survive the preset";
    EXPECT_EQ(r.accountLevel, 1);
    EXPECT_EQ(b.unit->record().inputGain[3], 20);
    EXPECT_EQ(b.unit->record().routing[0], 0x0F);
    EXPECT_DOUBLE_EQ(b.unit->record().limiterThreshold[1], -10.0);
}

TEST(SurfaceEndToEnd, PresetNeedsAConnectionBeforeAnyFileIsChosen)
{
    LoopbackCore b;
    ASSERT_TRUE(b.core->start());
    bool asked = false;
    EXPECT_FALSE(b.core->files().openPreset([&] {
        asked = true;
        return QString();
    }));
    EXPECT_FALSE(asked);
    ASSERT_FALSE(b.op.messages.empty());
    EXPECT_EQ(b.op.messages.back().text, "Cannot connect.");
    // Saving needs no connection.
    const QString path = b.dir.filePath(QStringLiteral("offline.ini"));
    EXPECT_TRUE(b.core->files().savePreset([&] { return path; }));
    EXPECT_EQ(QFileInfo(path).size(), 2796);
}

TEST(SurfaceEndToEnd, LinkedFaderReachesTheUnitInOneV)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    // Inputs 1..3 in GROUP 1 with the gain linked, as the group dialog's OK saves them.
    groupChannels(*b.core, 1, {1, 2, 3}, {kGainLink});
    // The group reaches the unit as J with the group dialog's OK.
    b.core->surface().sendLinkTable();
    ASSERT_TRUE(b.waitReceived('J', 1));
    EXPECT_EQ(b.unit->linkTable().group[1], 1);
    EXPECT_EQ(b.unit->linkTable().flags[1], kVolFlagBit);

    b.unit->clearReceived();
    b.core->surface().setInputGain(1, -10, Phase::Dragging); // gain 40 on inputs 1..3
    ASSERT_TRUE(b.waitReceived('V', 1));
    ASSERT_TRUE(b.waitIdle());
    ASSERT_EQ(b.unit->receivedCount('V'), 1);
    EXPECT_EQ(b.unit->record().inputGain[0], 40);
    EXPECT_EQ(b.unit->record().inputGain[1], 40);
    EXPECT_EQ(b.unit->record().inputGain[2], 40);
    EXPECT_EQ(b.unit->record().inputGain[3], 44);
    // The read-back's state report carries the same groups back.
    EXPECT_EQ(b.unit->receivedCount('C'), 1);
    EXPECT_EQ(b.core->groupTable().slot(1).memberCount, 3);
}
