#include "mixer/ControlSurface.h"
#include "protocol/Commands.h"

#include <gtest/gtest.h>

using namespace sonaro;

namespace {

// Records each request together with the frame it would carry if it left right now.
class FramePort : public CommandPort
{
public:
    explicit FramePort(UnitTable& table) : m_table(table) {}
    void submit(const CommandRequest& r) override
    {
        requests.push_back(r);
        const UnitRecord& rec = m_table.record(r.unit);
        switch (r.kind) {
        case 'V':
            frames.push_back(buildV(rec, r.unit));
            break;
        case 'M':
            frames.push_back(buildM(rec, r.unit));
            break;
        case 'G':
            frames.push_back(buildG(rec, r.unit));
            break;
        default:
            frames.push_back(std::string(1, r.kind));
            break;
        }
    }
    std::string kinds() const
    {
        std::string s;
        for (const auto& r : requests)
            s.append(static_cast<std::size_t>(r.times), r.kind);
        return s;
    }
    std::vector<CommandRequest> requests;
    std::vector<std::string> frames;

private:
    UnitTable& m_table;
};

class SurfaceTest : public ::testing::Test
{
protected:
    SurfaceTest() : port(table), surface(table, port, op)
    {
        applyFactoryValues(table.current());
        table.current().connected = 1;
    }
    void groupInputs(std::vector<int> channels, std::initializer_list<LinkFlag> flags)
    {
        StripGroups groups = surface.stripGroups();
        for (int ch : channels) {
            StripGroupData& g = groups.inputs[static_cast<std::size_t>(ch)];
            g.grouped = true;
            g.linkedChannels = channels;
            g.flags = {};
            for (LinkFlag f : flags)
                g.flags[f] = true;
        }
        surface.setStripGroups(groups);
    }
    void groupOutputs(std::initializer_list<LinkFlag> flags)
    {
        StripGroups groups = surface.stripGroups();
        for (int out = 0; out < 2; ++out) {
            StripGroupData& g = groups.outputs[static_cast<std::size_t>(out)];
            g.grouped = true;
            g.linkedChannels = {0, 1};
            g.flags = {};
            for (LinkFlag f : flags)
                g.flags[f] = true;
        }
        surface.setStripGroups(groups);
    }

    UnitTable table;
    RecordingOperator op;
    FramePort port;
    ControlSurface surface;
};

} // namespace

TEST_F(SurfaceTest, LinkedFaderDragSendsOneVPerMoveCarryingEveryLinkedGain)
{
    groupInputs({0, 1, 2}, {kGainLink});
    surface.inputFader(1, 20, true);
    surface.inputFader(1, 21, true);
    ASSERT_EQ(port.kinds(), "VV");
    EXPECT_EQ(port.frames[0].substr(0, 22), "%V,01,2828282C2C2C2C2C");
    EXPECT_EQ(port.frames[1].substr(0, 22), "%V,01,2727272C2C2C2C2C");
    EXPECT_TRUE(port.requests[0].renewsLastHeard) << "a drag keeps the watchdog quiet";
    // Mute is not linked in this group: only input 2 mutes.
    surface.toggleInputMute(1);
    EXPECT_EQ(table.current().inputMute[0], 0);
    EXPECT_EQ(table.current().inputMute[1], 1);
    EXPECT_EQ(port.kinds(), "VVVV") << "mute sends V twice";
}

TEST_F(SurfaceTest, LinkedMuteAndPhantomAndPriorityFollowTheirFlags)
{
    groupInputs({0, 2, 4}, {kMuteLink, kPhantomLink});
    surface.toggleInputMute(4);
    EXPECT_EQ(table.current().inputMute[0], 1);
    EXPECT_EQ(table.current().inputMute[2], 1);
    EXPECT_EQ(table.current().inputMute[4], 1);
    EXPECT_EQ(table.current().inputMute[1], 0);
    surface.toggleInputPhantom(2);
    EXPECT_EQ(table.current().inputPhantom[0], 0);
    EXPECT_EQ(table.current().inputPhantom[4], 0);
    EXPECT_EQ(table.current().inputPhantom[1], 1);
    surface.toggleInputPriority(2); // priority is not linked
    EXPECT_EQ(table.current().inputPriority[2], 1);
    EXPECT_EQ(table.current().inputPriority[0], 0);
    EXPECT_EQ(port.kinds(), "VVMM");
}

TEST_F(SurfaceTest, ArrowKeysAndTypedValuesClampAndSend)
{
    table.current().inputGain[3] = 60;
    surface.inputArrowKey(3, true);
    EXPECT_EQ(table.current().inputGain[3], 60);
    EXPECT_EQ(port.kinds(), "V") << "Up at the top still sends V";
    surface.inputArrowKey(3, false);
    EXPECT_EQ(table.current().inputGain[3], 59);

    EXPECT_EQ(surface.inputTypedValue(0, "20"), "10dB");
    EXPECT_EQ(table.current().inputGain[0], 60);
    EXPECT_EQ(surface.inputTypedValue(0, "-80"), "-50dB");
    EXPECT_EQ(table.current().inputGain[0], 0);
    EXPECT_EQ(surface.inputTypedValue(0, "abc"), "0dB");
    EXPECT_EQ(table.current().inputGain[0], 50);

    table.current().inputMute[5] = 1;
    EXPECT_EQ(surface.inputTypedValue(5, "3"), "-50dB");
    EXPECT_EQ(table.current().inputGain[5], 44) << "a muted input keeps its gain";
}

TEST_F(SurfaceTest, TypedValueReachesLinkedChannelsOnlyWithTheGainLink)
{
    groupInputs({0, 1}, {kMuteLink});
    surface.inputTypedValue(0, "-10");
    EXPECT_EQ(table.current().inputGain[0], 40);
    EXPECT_EQ(table.current().inputGain[1], 44);
    groupInputs({0, 1}, {kGainLink});
    surface.inputTypedValue(0, "-10");
    EXPECT_EQ(table.current().inputGain[1], 40);
}

TEST_F(SurfaceTest, MicLineSendsMWithAPauseKeepsTheGainAndSwitchesPhantom)
{
    table.current().inputGain[2] = 37;
    surface.toggleInputLine(2);
    ASSERT_EQ(port.kinds(), "M");
    EXPECT_EQ(port.requests[0].pauseAfterMs, 50);
    EXPECT_EQ(table.current().inputLine[2], 1);
    EXPECT_EQ(table.current().inputPhantom[2], 0) << "LINE switches phantom power off";
    EXPECT_EQ(table.current().inputGain[2], 37);
    EXPECT_EQ(port.frames[0].substr(6, 16), "0101020101010101");
    surface.toggleInputLine(2);
    EXPECT_EQ(table.current().inputPhantom[2], 1);
}

TEST_F(SurfaceTest, NothingIsSentWhileDisconnectedButTheRecordChanges)
{
    table.current().connected = 0;
    surface.inputFader(0, 0, false);
    surface.toggleInputMute(0);
    surface.toggleCrosspoint(0, 0);
    surface.togglePanelLock();
    surface.outputFaderReleased(0, 10);
    EXPECT_TRUE(port.requests.empty());
    EXPECT_EQ(table.current().inputGain[0], 60);
    EXPECT_EQ(table.current().routing[0], 0xFE);
    EXPECT_EQ(table.current().panelLock, 1);
}

TEST_F(SurfaceTest, OutputFaderUnmutesAndMarksTheOutput)
{
    table.current().outputMute[1] = 1;
    surface.outputFaderReleased(1, 20);
    EXPECT_EQ(table.current().outputMute[1], 0);
    EXPECT_EQ(table.current().outputGain[1], 40);
    EXPECT_EQ(port.kinds(), "MV");
    EXPECT_EQ(port.frames[1].substr(23, 4), "0028");
    EXPECT_EQ(table.current().outputFlagA, 0);
    EXPECT_EQ(table.current().outputFlagB, 1);
    surface.outputFaderDragged(1, 21);
    EXPECT_EQ(port.kinds(), "MVVV");
}

TEST_F(SurfaceTest, GroupedOutputMuteKeepsGainsAndSendsZeros)
{
    groupOutputs({kMuteLink});
    table.current().outputGain[0] = 30;
    table.current().outputGain[1] = 35;
    surface.toggleOutputMute(0);
    EXPECT_EQ(table.current().outputMute[0], 1);
    EXPECT_EQ(table.current().outputMute[1], 1);
    EXPECT_EQ(table.current().outputGain[0], 30);
    EXPECT_EQ(table.current().outputGain[1], 35);
    ASSERT_EQ(port.kinds(), "MVV");
    EXPECT_EQ(port.frames[1].substr(23, 4), "0000");
    surface.toggleOutputMute(1);
    EXPECT_EQ(table.current().outputMute[0], 0);
    EXPECT_EQ(port.frames.back().substr(23, 4), "1E23");
}

TEST_F(SurfaceTest, OutputLevelTypeMarksTheTouchedOutput)
{
    surface.toggleOutputLevelType(1);
    EXPECT_EQ(table.current().outputLevelType[1], 0);
    EXPECT_EQ(table.current().outputFlagA, 0);
    EXPECT_EQ(table.current().outputFlagB, 1);
    EXPECT_EQ(table.current().outputFlagC, 0);
    EXPECT_EQ(port.kinds(), "M");
    // Output byte: flag B (bit 3), level type of output 1 (bit 6); flag C clear.
    EXPECT_EQ(port.frames[0].substr(23, 2), "48");
    EXPECT_FALSE(surface.outputCurveClicked(0, false));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].text, "Please Open the Equalizer.");
    EXPECT_TRUE(surface.outputCurveClicked(0, true));
}

TEST_F(SurfaceTest, MatrixHitTestAndToggle)
{
    MatrixGeometry geo; // grid at 20, 20
    EXPECT_TRUE(surface.matrixClick(geo, 25, 25));
    EXPECT_EQ(table.current().routing[0], 0xFE);
    EXPECT_TRUE(surface.matrixClick(geo, 25, 25));
    EXPECT_EQ(table.current().routing[0], 0xFF);
    EXPECT_EQ(port.kinds(), "GG");
    // The gap pixel after column 0 (x = 20 + 80) still belongs to column 0; the bottom row is M2.
    EXPECT_TRUE(surface.matrixClick(geo, 100, 110));
    EXPECT_EQ(table.current().routing[1], 0xFE);
    EXPECT_EQ(table.current().routing[0], 0xFF);
    // Left of, above, right of and below the grid: nothing.
    EXPECT_FALSE(surface.matrixClick(geo, 5, 30));
    EXPECT_FALSE(surface.matrixClick(geo, 30, 5));
    EXPECT_FALSE(surface.matrixClick(geo, 20 + 81 * 8, 30));
    EXPECT_FALSE(surface.matrixClick(geo, 30, 20 + 81 * 2));
    // Scrolled view: the scroll offset is added to the click position.
    EXPECT_TRUE(surface.matrixClick(geo, 25, 25, 81 * 7, 0));
    EXPECT_EQ(table.current().routing[0], 0x7F);
    geo.centreIn(1000, 500);
    EXPECT_EQ(geo.left, (1000 - 668) / 2);
    geo.centreIn(600, 100);
    EXPECT_EQ(geo.left, 100);
    EXPECT_EQ(geo.top, 20);
}

TEST_F(SurfaceTest, SystemControls)
{
    surface.thresholdKnobReleased(10);
    EXPECT_EQ(table.current().threshold, 0) << "disabled in Auto mode";
    surface.toggleThresholdMode();
    surface.thresholdKnobReleased(10);
    EXPECT_EQ(table.current().threshold, 50);
    surface.holdTimeKnobReleased(30);
    EXPECT_EQ(table.current().holdTime, 10);
    surface.applyMaxOpenChannels(3);
    EXPECT_EQ(table.current().maxOpenChannels, 4);
    EXPECT_EQ(port.kinds(), "MVGG");
    ASSERT_EQ(op.messages.size(), 3u);
    EXPECT_EQ(op.messages[0].text, "Set ok.");
    EXPECT_EQ(op.messages[2].text, "Set OK.");
    EXPECT_EQ(op.messages[2].title, "Info");
}

TEST_F(SurfaceTest, FactoryRestore)
{
    int databaseResets = 0;
    surface.setFactoryDatabaseReset([&] { ++databaseResets; });
    table.current().inputGain[0] = 3;
    op.answer = false;
    EXPECT_FALSE(surface.factoryRestore());
    EXPECT_EQ(databaseResets, 0);
    EXPECT_EQ(table.current().inputGain[0], 3);
    EXPECT_TRUE(port.requests.empty());

    op.answer = true;
    EXPECT_TRUE(surface.factoryRestore());
    EXPECT_EQ(databaseResets, 1);
    EXPECT_EQ(table.current().inputGain[0], 44);
    EXPECT_EQ(port.kinds(), "LMGVJEEEEEEEEEEEEEEBBCL");
    EXPECT_EQ(port.requests.front().index, 0);
    EXPECT_EQ(port.requests.back().index, 1);
    for (std::size_t i = 1; i + 1 < port.requests.size(); ++i) {
        EXPECT_EQ(port.requests[i].pauseAfterMs, 100);
        EXPECT_TRUE(port.requests[i].renewsLastHeard);
    }
    EXPECT_EQ(op.messages.back().text, QString::fromUtf8("恢复出厂设置成功."));
}

TEST_F(SurfaceTest, PresetSequenceOrderAndPauses)
{
    surface.sendPresetSequence();
    EXPECT_EQ(port.kinds(), "LVMJGEEEEEEEEEEEEEEBBL");
    std::vector<int> pauses;
    for (const auto& r : port.requests)
        pauses.push_back(r.pauseAfterMs);
    const std::vector<int> expected{0, 50, 50, 50, 50, 0, 0, 0,  0,  0,  0,
                                    0, 0,  0,  0,  0,  0, 0, 50, 50, 50, 0};
    EXPECT_EQ(pauses, expected);
}

TEST(SurfaceHelpers, MeterAndLabels)
{
    std::int32_t level = 20;
    EXPECT_EQ(meterPushValue(level), 0);
    EXPECT_EQ(level, 80) << "the clamped level is written back";
    level = 250;
    EXPECT_EQ(meterPushValue(level), 50);
    level = 135;
    EXPECT_EQ(meterPushValue(level), ((5 * 135 - 400) * 10) / 110);
    EXPECT_EQ(openStateText(1, Language::English), "ACTIVE");
    EXPECT_EQ(openStateText(0, Language::Chinese), QString::fromUtf8("话筒关闭"));
    EXPECT_EQ(outputLevelText(1, Language::English), "MIC");
    EXPECT_EQ(inputSourceText(1, Language::Chinese), QString::fromUtf8("线输入"));
}
