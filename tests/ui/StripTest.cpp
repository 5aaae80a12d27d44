#include "mixer/ControlSurface.h"
#include "mixer/RecordingCommandPort.h"
#include "model/RecordingOperator.h"
#include "model/ValueConventions.h"
#include "ui/InputStrip.h"
#include "ui/LanguageSwitcher.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/PaintedButton.h"

#include "support/EventLoop.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

bool waitForMeter(ChannelStrip& strip, int level)
{
    return waitFor([&] { return strip.meter()->level() == level; }, 2000);
}

struct StripBench
{
    StripBench() : surface(table, port, op)
    {
        applyFactoryValues(table.current());
        table.current().connected = 1;
        for (int ch = 0; ch < kInputCount; ++ch)
            inputs.push_back(std::make_unique<InputStrip>(surface, nullptr, ch));
        for (int out = 0; out < kOutputCount; ++out)
            outputs.push_back(std::make_unique<OutputStrip>(surface, nullptr, out));
    }
    void groupInputs(const std::vector<int>& channels, LinkFlag flag)
    {
        StripGroups groups;
        for (int ch : channels) {
            auto& g = groups.inputs[static_cast<std::size_t>(ch)];
            g.grouped = true;
            g.linkedChannels = channels;
            g.flags[static_cast<std::size_t>(flag)] = true;
        }
        surface.setStripGroups(groups);
    }

    UnitTable table;
    RecordingCommandPort port;
    RecordingOperator op;
    ControlSurface surface;
    std::vector<std::unique_ptr<InputStrip>> inputs;
    std::vector<std::unique_ptr<OutputStrip>> outputs;
};

} // namespace

TEST(Strips, FaderDragInALinkedGroupMovesTheLinkedFaders)
{
    StripBench bench;
    bench.groupInputs({0, 1, 2}, kGainLink);
    Fader* fader = bench.inputs[1]->fader();
    fader->resize(60, 300);
    // Keyboard on the focused fader: one step up, as the operator's arrow key does.
    fader->setFocus();
    QTest::keyClick(fader, Qt::Key_Up);
    const int expected = faderPositionForGain(45);
    EXPECT_EQ(bench.table.current().inputGain[1], 45);
    EXPECT_EQ(bench.table.current().inputGain[0], 45);
    EXPECT_EQ(bench.table.current().inputGain[2], 45);
    EXPECT_EQ(bench.inputs[0]->fader()->value(), expected);
    EXPECT_EQ(bench.inputs[2]->fader()->value(), expected);
    EXPECT_EQ(bench.inputs[3]->fader()->value(), faderPositionForGain(44));
    EXPECT_FALSE(bench.port.requests.empty());
    EXPECT_EQ(bench.port.requests.back().kind, 'V');
}

TEST(Strips, ButtonsShowTheRecord)
{
    StripBench bench;
    InputStrip& strip = *bench.inputs[4];
    strip.lineButton()->click();
    EXPECT_EQ(strip.lineButton()->text(), "LINE");
    EXPECT_FALSE(strip.phantomButton()->isChecked())
        << "LINE switched phantom off; the button shows it";
    strip.muteButton()->click();
    EXPECT_TRUE(strip.muteButton()->isChecked());
    EXPECT_EQ(bench.table.current().inputMute[4], 1);

    OutputStrip& out = *bench.outputs[1];
    bench.table.current().outputLevelType[1] = 0;
    bench.table.current().outputFlagA = 1; // the caption follows the output's own type
    out.refresh();
    EXPECT_EQ(out.levelButton()->text(), "LINE");
    out.muteButton()->click();
    EXPECT_EQ(out.fader()->value(), 60) << "a muted output shows its fader at the bottom";
}

TEST(Strips, MeterScaleClampsTheReportedLevel)
{
    std::int32_t level = 20;
    EXPECT_EQ(ChannelStrip::meterPushValue(level), 0);
    EXPECT_EQ(level, 80) << "the clamped level is written back";
    level = 250;
    EXPECT_EQ(ChannelStrip::meterPushValue(level), 50);
    level = 135;
    EXPECT_EQ(ChannelStrip::meterPushValue(level), ((5 * 135 - 400) * 10) / 110);
}

TEST(Strips, ATypedGainOnAMutedInputChangesNothing)
{
    StripBench bench;
    InputStrip& strip = *bench.inputs[2];
    strip.muteButton()->click();
    bench.port.requests.clear();
    emit strip.fader()->valueEntered(faderPositionForGain(30));
    EXPECT_EQ(bench.table.current().inputGain[2], 44);
    EXPECT_TRUE(bench.port.requests.empty());
    strip.muteButton()->click();
    bench.port.requests.clear();
    emit strip.fader()->valueEntered(faderPositionForGain(30));
    EXPECT_EQ(bench.table.current().inputGain[2], 30);
    EXPECT_EQ(bench.port.kinds(), std::vector<char>{'V'});
}

// Levels and open states are shown only while the unit is connected.
TEST(Strips, WithoutAConnectionMetersAreSilentAndLampsDark)
{
    StripBench bench;
    InputStrip& input = *bench.inputs[0];
    OutputStrip& output = *bench.outputs[0];
    input.show();
    output.show();
    UnitRecord& r = bench.table.current();
    r.inputOpen[0] = 1;
    r.inputLevel[0] = 191;
    r.outputLevel[0] = 191;
    ASSERT_TRUE(waitForMeter(input, 50));
    ASSERT_TRUE(input.openIndicator()->isChecked());
    r.connected = 0;
    spin(3 * ChannelStrip::kMeterTickMs);
    EXPECT_EQ(input.meter()->level(), 0);
    EXPECT_EQ(output.meter()->level(), 0);
    EXPECT_FALSE(input.openIndicator()->isChecked());
    input.refresh();
    EXPECT_FALSE(input.openIndicator()->isChecked()) << "a refresh shows no stale open state";
}
