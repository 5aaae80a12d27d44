#include "mixer/ControlSurface.h"
#include "mixer/FileActions.h"
#include "model/RecordingOperator.h"
#include "protocol/Commands.h"
#include "support/SurfaceBench.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace sonaro;
using sonaro::testing::SurfaceBench;

namespace {

class SurfaceTest : public ::testing::Test, protected SurfaceBench
{
protected:
    SurfaceTest() : SurfaceBench(false), files(table, surface, op)
    {
        table.current().accountLevel = 1;
    }
    FileActions files;
};

} // namespace

TEST_F(SurfaceTest, LinkedFaderDragSendsOneVPerMoveCarryingEveryLinkedGain)
{
    link({0, 1, 2}, {kGainLink});
    EXPECT_EQ(surface.setInputGain(1, -10, Phase::Dragging), Outcome::Applied);
    surface.setInputGain(1, -11, Phase::Dragging);
    ASSERT_EQ(port.kindText(), "VV");
    EXPECT_EQ(port.frames[0].substr(0, 22), "%V,01,2828282C2C2C2C2C");
    EXPECT_EQ(port.frames[1].substr(0, 22), "%V,01,2727272C2C2C2C2C");
    EXPECT_TRUE(port.requests[0].renewsLastHeard) << "a drag keeps the watchdog quiet";
    surface.setInputGain(1, -11, Phase::Committed);
    EXPECT_FALSE(port.requests[2].renewsLastHeard);
    // Mute is not linked in this group: only input 2 mutes.
    surface.setInputMute(1, true);
    EXPECT_EQ(table.current().inputMute[0], 0);
    EXPECT_EQ(table.current().inputMute[1], 1);
    EXPECT_EQ(port.kindText(), "VVVVV") << "mute sends V twice";
}

TEST_F(SurfaceTest, LinkedMuteAndPhantomAndPriorityFollowTheirFlags)
{
    link({0, 2, 4}, {kMuteLink, kPhantomLink});
    surface.setInputMute(4, true);
    EXPECT_EQ(table.current().inputMute[0], 1);
    EXPECT_EQ(table.current().inputMute[2], 1);
    EXPECT_EQ(table.current().inputMute[4], 1);
    EXPECT_EQ(table.current().inputMute[1], 0);
    surface.setInputPhantom(2, false);
    EXPECT_EQ(table.current().inputPhantom[0], 0);
    EXPECT_EQ(table.current().inputPhantom[4], 0);
    EXPECT_EQ(table.current().inputPhantom[1], 1);
    surface.setInputPriority(2, true); // priority is not linked
    EXPECT_EQ(table.current().inputPriority[2], 1);
    EXPECT_EQ(table.current().inputPriority[0], 0);
    EXPECT_EQ(port.kindText(), "VVMM");
    // Asking for what the channel already has changes and sends nothing.
    EXPECT_EQ(surface.setInputMute(0, true), Outcome::Unchanged);
    EXPECT_EQ(surface.setInputPriority(2, true), Outcome::Unchanged);
    EXPECT_EQ(port.kindText(), "VVMM");
}

TEST_F(SurfaceTest, GainsClampAndAnEnteredValueSkipsAMutedInput)
{
    surface.setInputGain(0, 20, Phase::Committed);
    EXPECT_EQ(table.current().inputGain[0], 60);
    surface.setInputGain(0, -80, Phase::Entered);
    EXPECT_EQ(table.current().inputGain[0], 0);
    EXPECT_EQ(port.kindText(), "VV");

    table.current().inputMute[5] = 1;
    EXPECT_EQ(surface.setInputGain(5, 3, Phase::Entered), Outcome::Inapplicable);
    EXPECT_EQ(table.current().inputGain[5], 44) << "a muted input keeps its gain";
    EXPECT_EQ(port.kindText(), "VV");
    // The fader still moves a muted input's gain.
    EXPECT_EQ(surface.setInputGain(5, 3, Phase::Committed), Outcome::Applied);
    EXPECT_EQ(table.current().inputGain[5], 53);
    // Channels from outside the unit's range change nothing.
    EXPECT_EQ(surface.setInputGain(8, 0, Phase::Committed), Outcome::Inapplicable);
    EXPECT_EQ(surface.setInputMute(-1, true), Outcome::Inapplicable);
    EXPECT_EQ(surface.setOutputMute(2, true), Outcome::Inapplicable);
    EXPECT_EQ(port.kindText(), "VVV");
}

TEST_F(SurfaceTest, LinkedChannelsFromOutsideTheUnitAreSkipped)
{
    // Group data comes from the database: a damaged row must not reach past the record.
    StripGroups groups;
    for (StripGroupData* g : {&groups.inputs[0], &groups.outputs[0]}) {
        g->grouped = true;
        g->linkedChannels = {0, 1, -1, 8, 1000};
        g->flags[kGainLink] = true;
        g->flags[kMuteLink] = true;
    }
    surface.setStripGroups(groups);
    const UnitRecord before = table.current();
    EXPECT_EQ(surface.setInputGain(0, -20, Phase::Committed), Outcome::Applied);
    EXPECT_EQ(surface.setInputMute(0, true), Outcome::Applied);
    EXPECT_EQ(surface.setOutputGain(0, -20, Phase::Committed), Outcome::Applied);
    EXPECT_EQ(surface.setOutputMute(0, true), Outcome::Applied);
    EXPECT_EQ(table.current().inputGain[1], 30);
    EXPECT_EQ(table.current().inputMute[1], 1);
    EXPECT_EQ(table.current().outputGain[1], 30);
    EXPECT_EQ(table.current().outputMute[1], 1);
    EXPECT_EQ(table.current().inputGain[2], before.inputGain[2]);
    EXPECT_EQ(table.current().inputLevel[0], before.inputLevel[0]);
}

TEST_F(SurfaceTest, EnteredValueReachesLinkedChannelsOnlyWithTheGainLink)
{
    link({0, 1}, {kMuteLink});
    surface.setInputGain(0, -10, Phase::Entered);
    EXPECT_EQ(table.current().inputGain[0], 40);
    EXPECT_EQ(table.current().inputGain[1], 44);
    link({0, 1}, {kGainLink});
    surface.setInputGain(0, -10, Phase::Entered);
    EXPECT_EQ(table.current().inputGain[1], 40);
}

TEST_F(SurfaceTest, MicLineSendsMWithAPauseKeepsTheGainAndSwitchesPhantom)
{
    table.current().inputGain[2] = 37;
    surface.setInputLine(2, true);
    ASSERT_EQ(port.kindText(), "M");
    EXPECT_EQ(port.requests[0].pauseAfterMs, 50);
    EXPECT_EQ(table.current().inputLine[2], 1);
    EXPECT_EQ(table.current().inputPhantom[2], 0) << "LINE switches phantom power off";
    EXPECT_EQ(table.current().inputGain[2], 37);
    EXPECT_EQ(port.frames[0].substr(6, 16), "0101020101010101");
    surface.setInputLine(2, false);
    EXPECT_EQ(table.current().inputPhantom[2], 1);
}

TEST_F(SurfaceTest, OutputFaderUnmutesAndMarksTheOutputAnEnteredValueDoesNeither)
{
    table.current().outputMute[1] = 1;
    surface.setOutputGain(1, -10, Phase::Committed);
    EXPECT_EQ(table.current().outputMute[1], 0);
    EXPECT_EQ(table.current().outputGain[1], 40);
    EXPECT_EQ(port.kindText(), "MV");
    EXPECT_EQ(port.frames[1].substr(23, 4), "0028");
    EXPECT_EQ(table.current().outputFlagA, 0);
    EXPECT_EQ(table.current().outputFlagB, 1);
    surface.setOutputGain(1, -11, Phase::Dragging);
    EXPECT_EQ(port.kindText(), "MVVV");
    EXPECT_TRUE(port.requests.back().renewsLastHeard);

    surface.setOutputGain(0, -5, Phase::Entered);
    EXPECT_EQ(table.current().outputGain[0], 45);
    EXPECT_EQ(table.current().outputFlagB, 1) << "an entered value marks no output";
    EXPECT_EQ(port.kindText(), "MVVVV");
    table.current().outputMute[0] = 1;
    EXPECT_EQ(surface.setOutputGain(0, 0, Phase::Entered), Outcome::Inapplicable);
    EXPECT_EQ(table.current().outputGain[0], 45);
    EXPECT_EQ(table.current().outputMute[0], 1);
}

TEST_F(SurfaceTest, GroupedOutputMuteKeepsGainsAndSendsZeros)
{
    link({0, 1}, {kMuteLink}, true);
    table.current().outputGain[0] = 30;
    table.current().outputGain[1] = 35;
    surface.setOutputMute(0, true);
    EXPECT_EQ(table.current().outputMute[0], 1);
    EXPECT_EQ(table.current().outputMute[1], 1);
    EXPECT_EQ(table.current().outputGain[0], 30);
    EXPECT_EQ(table.current().outputGain[1], 35);
    ASSERT_EQ(port.kindText(), "MVV");
    EXPECT_EQ(port.frames[1].substr(23, 4), "0000");
    surface.setOutputMute(1, false);
    EXPECT_EQ(table.current().outputMute[0], 0);
    EXPECT_EQ(port.frames.back().substr(23, 4), "1E23");
}

TEST_F(SurfaceTest, OutputLevelTypeMarksTheTouchedOutput)
{
    surface.setOutputLevelType(1, OutputLevel::Line);
    EXPECT_EQ(table.current().outputLevelType[1], 0);
    EXPECT_EQ(table.current().outputFlagA, 0);
    EXPECT_EQ(table.current().outputFlagB, 1);
    EXPECT_EQ(table.current().outputFlagC, 0);
    EXPECT_EQ(port.kindText(), "M");
    // Output byte: flag B (bit 3), level type of output 1 (bit 6); flag C clear.
    EXPECT_EQ(port.frames[0].substr(23, 2), "48");
    EXPECT_EQ(surface.requestOutputEq(0, false), Outcome::Inapplicable);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].text, "Please Open the Equalizer.");
    EXPECT_EQ(op.messages[0].severity, Severity::Error);
    EXPECT_EQ(surface.requestOutputEq(0, true), Outcome::Applied);
}

TEST_F(SurfaceTest, Crosspoints)
{
    EXPECT_EQ(surface.setCrosspoint(0, 0, false), Outcome::Applied);
    EXPECT_EQ(table.current().routing[0], 0xFE);
    EXPECT_FALSE(surface.crosspoint(0, 0));
    EXPECT_EQ(surface.setCrosspoint(0, 0, false), Outcome::Unchanged);
    surface.setCrosspoint(7, 1, false);
    EXPECT_EQ(table.current().routing[1], 0x7F);
    EXPECT_EQ(table.current().routing[0], 0xFE);
    EXPECT_EQ(port.kindText(), "GG");
    EXPECT_EQ(surface.setCrosspoint(8, 0, true), Outcome::Inapplicable);
    EXPECT_EQ(surface.setCrosspoint(0, 2, true), Outcome::Inapplicable);
    EXPECT_FALSE(surface.crosspoint(-1, 0));
}

TEST_F(SurfaceTest, SystemControls)
{
    EXPECT_EQ(surface.setThreshold(-40), Outcome::Inapplicable) << "the unit's own in Auto mode";
    EXPECT_EQ(table.current().threshold, 0);
    surface.setThresholdMode(ThresholdMode::Manual);
    surface.setThreshold(0);
    EXPECT_EQ(table.current().threshold, 50);
    surface.setHoldTime(500);
    EXPECT_EQ(table.current().holdTime, 10);
    surface.setHoldTime(524); // to the nearest of the unit's 50 ms steps
    EXPECT_EQ(table.current().holdTime, 10);
    surface.setHoldTime(526);
    EXPECT_EQ(table.current().holdTime, 11);
    surface.setHoldTime(99999);
    EXPECT_EQ(table.current().holdTime, 40);
    surface.setMaxOpenChannels(4);
    EXPECT_EQ(table.current().maxOpenChannels, 4);
    surface.setMaxOpenChannels(0);
    EXPECT_EQ(table.current().maxOpenChannels, 1);
    EXPECT_EQ(port.kindText(), "MVGGGGG") << "a hold time rounded to the step it has sends nothing";
    ASSERT_EQ(op.messages.size(), 6u);
    EXPECT_EQ(op.messages[0].text, "Set ok.");
    EXPECT_EQ(op.messages[0].title, "INFO");
    EXPECT_EQ(op.messages[5].text, "Set OK.");
    EXPECT_EQ(op.messages[5].severity, Severity::Notice);
    EXPECT_EQ(op.messages[5].title, "Info");
    surface.setDeviceMode(DeviceMode::Master);
    EXPECT_EQ(table.current().deviceMode, 1);
    EXPECT_EQ(surface.setDeviceMode(DeviceMode::Master), Outcome::Unchanged);
}

TEST_F(SurfaceTest, AUserAccountIsRefusedEveryAdministratorSettingInOnePlace)
{
    table.current().accountLevel = 2;
    const UnitRecord before = table.current();
    const std::vector<Outcome> results{
        surface.setCrosspoint(0, 0, false),
        surface.setPanelLock(true),
        surface.setDeviceMode(DeviceMode::Master),
        surface.setThresholdMode(ThresholdMode::Manual),
        surface.setThreshold(0),
        surface.setHoldTime(100),
        surface.setMaxOpenChannels(2),
    };
    for (Outcome r : results)
        EXPECT_EQ(r, Outcome::Refused);
    EXPECT_FALSE(files.factoryRestore());
    EXPECT_TRUE(op.questions.empty()) << "refused before the question";
    EXPECT_TRUE(port.requests.empty());
    EXPECT_EQ(std::memcmp(&before, &table.current(), sizeof(UnitRecord)), 0);
    ASSERT_EQ(op.messages.size(), 8u);
    for (const auto& m : op.messages) {
        EXPECT_EQ(m.text, "You do not have permission.");
        EXPECT_EQ(m.severity, Severity::Error);
    }
    // The strips stay open to a user.
    EXPECT_EQ(surface.setInputMute(0, true), Outcome::Applied);
    EXPECT_EQ(surface.setOutputGain(0, 0, Phase::Committed), Outcome::Applied);
}

// The wire sequence itself is tested end to end; here the question and the pauses.
TEST_F(SurfaceTest, FactoryRestoreAsksFirstAndPausesAfterEachCommand)
{
    int databaseResets = 0;
    files.setFactoryDatabaseReset([&] { ++databaseResets; });
    table.current().inputGain[0] = 3;
    op.answer = false;
    EXPECT_FALSE(files.factoryRestore());
    EXPECT_EQ(databaseResets, 0);
    EXPECT_EQ(table.current().inputGain[0], 3);
    EXPECT_TRUE(port.requests.empty());

    op.answer = true;
    EXPECT_TRUE(files.factoryRestore());
    EXPECT_EQ(databaseResets, 1);
    for (std::size_t i = 1; i + 1 < port.requests.size(); ++i) {
        EXPECT_EQ(port.requests[i].pauseAfterMs, 100);
        EXPECT_TRUE(port.requests[i].renewsLastHeard);
    }
}

TEST_F(SurfaceTest, PresetSequenceOrderAndPauses)
{
    surface.sendPresetSequence();
    EXPECT_EQ(port.kindText(), "LVMJGEEEEEEEEEEEEEEBBL");
    std::vector<int> pauses;
    for (const auto& r : port.requests)
        pauses.push_back(r.pauseAfterMs);
    const std::vector<int> expected{0, 50, 50, 50, 50, 0, 0, 0,  0,  0,  0,
                                    0, 0,  0,  0,  0,  0, 0, 50, 50, 50, 0};
    EXPECT_EQ(pauses, expected);
}

TEST_F(SurfaceTest, PresetsNeedAConnectedUnitBeforeAnyFileIsChosen)
{
    table.current().connected = 0;
    bool asked = false;
    EXPECT_FALSE(files.openPreset([&] {
        asked = true;
        return QStringLiteral("x.ini");
    }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(op.texts(), QStringList{"Cannot connect."});
    table.current().connected = 1;
    EXPECT_FALSE(files.openPreset([] { return QString(); })) << "cancelled";
    EXPECT_EQ(op.messages.size(), 1u);
}

TEST_F(SurfaceTest, DoneIsSaidOnlyOnceTheUnitConfirmed)
{
    const ChangeId hold{1, SettingId::HoldTime, 0};
    const ChangeId gain{1, SettingId::InputGain, 1};
    const ChangeId maxOpen{1, SettingId::MaxOpen, 0};
    // The change waits for the unit: nothing is said at the click.
    port.unconfirmedIds = {hold, gain};
    surface.setHoldTime(350);
    EXPECT_TRUE(op.messages.empty());
    surface.changeConfirmed(gain);
    EXPECT_TRUE(op.messages.empty()) << "another field's confirmation says nothing";
    surface.changeConfirmed(hold);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].text, "Set ok.");

    // What could not be delivered is never reported as set.
    port.unconfirmedIds = {maxOpen};
    surface.setMaxOpenChannels(3);
    surface.changeNotDelivered(maxOpen);
    surface.changeConfirmed(maxOpen);
    EXPECT_EQ(op.messages.size(), 1u);

    // A value the unit already has (nothing waits) is confirmed at once.
    port.unconfirmedIds = {};
    surface.setMaxOpenChannels(4);
    ASSERT_EQ(op.messages.size(), 2u);
    EXPECT_EQ(op.messages[1].text, "Set OK.");
}

TEST_F(SurfaceTest, OfflineChangesAreToldAsSaved)
{
    table.current().connected = 0;
    surface.setHoldTime(250);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].text, "Saved \u2014 will be sent when connected");
}
