#include "dsp/ReadoutFormat.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "model/RecordingOperator.h"
#include "support/SurfaceBench.h"

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

using namespace sonaro;

namespace {

using Bench = sonaro::testing::SurfaceBench;

struct Action
{
    const char* name;
    std::function<void(Bench&)> run; // makes an editor, acts, and lets the editor go
    const char* frames;              // what reaches the port
};

const std::vector<Action>& actions()
{
    static const std::vector<Action> list = {
        {"input knob",
         [](Bench& b) {
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.knobChanged(1, 300.0, 4.0, 1.0);
         },
         "E"},
        {"input reset",
         [](Bench& b) {
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.reset();
         },
         "EG"},
        {"input bypass",
         [](Bench& b) {
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.toggleBypass();
         },
         "EG"},
        {"input copy",
         [](Bench& b) {
             b.op.answer = true;
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.copyFrom(5);
         },
         "EG"},
        {"high-pass button",
         [](Bench& b) {
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.toggleHighPass();
         },
         "G"},
        {"low-pass button",
         [](Bench& b) {
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.toggleLowPass();
         },
         "G"},
        {"low-pass slider",
         [](Bench& b) {
             b.rec().lowPassIndex[2] = 3;
             InputEqEditor e(b.surface, b.port, b.op);
             e.selectChannel(2);
             e.lowPassSliderMoved(2);
         },
         "G"},
        {"output drag",
         [](Bench& b) {
             OutputEqEditor e(b.surface, b.port);
             e.selectOutput(1);
             e.bandDragged(4, 900.0, 3.0);
         },
         "EEE"},
        {"output bypass",
         [](Bench& b) {
             OutputEqEditor e(b.surface, b.port);
             e.selectOutput(1);
             e.toggleBypass();
         },
         "EEE"},
        {"output reset",
         [](Bench& b) {
             OutputEqEditor e(b.surface, b.port);
             e.selectOutput(0);
             e.reset();
         },
         "EEE"},
        {"limiter read-out",
         [](Bench& b) {
             LimiterEditor e(b.surface, b.port);
             e.selectOutput(1);
             e.thresholdReadoutChanged(500);
         },
         "B"},
        {"limiter list",
         [](Bench& b) {
             LimiterEditor e(b.surface, b.port);
             e.selectOutput(1);
             e.releaseListSelected(3);
         },
         "B"},
        {"limiter reset",
         [](Bench& b) {
             b.rec().limiterRatio[0] = 4.0;
             LimiterEditor e(b.surface, b.port);
             e.selectOutput(0);
             e.reset();
         },
         "B"},
        {"DRC button",
         [](Bench& b) {
             LimiterEditor e(b.surface, b.port);
             e.selectOutput(0);
             e.toggleEnable();
         },
         "G"},
    };
    return list;
}

// An editor closed within its tick (the limiter's modal window, the program) still sends its
// last change, and each action sends the frames the unit's editors send.
TEST(EditorActions, EveryActionSendsItsFramesEvenWhenClosedWithinTheTick)
{
    for (const Action& action : actions()) {
        SCOPED_TRACE(action.name);
        Bench online;
        action.run(online);
        EXPECT_EQ(online.port.kindText(), action.frames);
    }
}

TEST(EditorActions, BypassIsPerChannelAndSurvivesResetAndCopyElsewhere)
{
    Bench b;
    b.op.answer = true;
    for (int band = 0; band < kInputEqBands; ++band)
        b.rec().inputEqAt(band, kEqGain, 0) = 6.0;
    b.rec().highPassIndex[0] = 4;
    b.rec().lowPassIndex[0] = 5;
    setInputEqBand(b.rec(), 3, 2, EqBand{2000.0, -9.0, 2.0, EqBandType::Peak});
    b.rec().lowPassIndex[3] = 2;
    InputEqEditor e(b.surface, b.port, b.op);
    e.selectChannel(0);
    e.toggleBypass();
    ASSERT_TRUE(e.bypassed());

    // Reset and copy on other channels leave channel 0's saved EQ alone.
    e.selectChannel(1);
    EXPECT_FALSE(e.bypassed());
    e.reset();
    e.selectChannel(2);
    e.copyFrom(1);
    e.selectChannel(0);
    ASSERT_TRUE(e.bypassed());
    e.toggleBypass();
    EXPECT_EQ(b.rec().inputEqAt(4, kEqGain, 0), 6.0);
    EXPECT_EQ(b.rec().highPassIndex[0], 4);
    EXPECT_EQ(b.rec().lowPassIndex[0], 5);

    // A copy into a bypassed channel is what un-bypass brings back; until then it stays flat.
    e.toggleBypass();
    e.copyFrom(3);
    EXPECT_TRUE(e.bypassed());
    EXPECT_EQ(b.rec().inputEqAt(2, kEqGain, 0), 0.0);
    EXPECT_EQ(b.rec().inputEqAt(2, kEqFrequency, 0), 2000.0);
    e.toggleBypass();
    EXPECT_EQ(inputEqBand(b.rec(), 0, 2).gain, -9.0);
    EXPECT_EQ(b.rec().inputEqAt(4, kEqGain, 0), 0.0) << "nothing of the old EQ mixed in";
    EXPECT_EQ(b.rec().lowPassIndex[0], 2);
    EXPECT_EQ(b.rec().highPassIndex[0], b.rec().highPassIndex[3]);

    // A channel that got an EQ from elsewhere (a preset, a report) is no longer bypassed.
    e.toggleBypass();
    b.rec().inputEqAt(1, kEqGain, 0) = 3.0;
    EXPECT_FALSE(e.bypassed());
    e.toggleBypass();
    EXPECT_TRUE(e.bypassed());
    EXPECT_EQ(b.rec().inputEqAt(1, kEqGain, 0), 0.0);
}

TEST(EditorActions, LinkedDragWritesOnlyTheDraggedBandsChangedFields)
{
    Bench b;
    b.link({0, 1}, {kEqLink});
    setInputEqBand(b.rec(), 1, 0, EqBand{60.0, -9.0, 4.0, EqBandType::Peak}); // a notch on 1
    setInputEqBand(b.rec(), 1, 2, EqBand{3000.0, 2.0, 1.0, EqBandType::Peak});
    InputEqEditor e(b.surface, b.port, b.op);
    e.selectChannel(0);
    const EqBand own = inputEqBand(b.rec(), 0, 2);
    e.bandDragged(2, own.frequency, 5.0); // straight up: the gain alone changed
    EXPECT_EQ(inputEqBand(b.rec(), 1, 0).gain, -9.0);
    EXPECT_EQ(inputEqBand(b.rec(), 1, 0).frequency, 60.0);
    EXPECT_EQ(inputEqBand(b.rec(), 1, 2).frequency, 3000.0);
    EXPECT_EQ(inputEqBand(b.rec(), 1, 2).gain, 5.0);
    EXPECT_EQ(inputEqBand(b.rec(), 1, 2).q, 1.0);

    // The output editor keeps the same rule.
    StripGroups groups = b.surface.stripGroups();
    for (StripGroupData& g : groups.outputs) {
        g.grouped = true;
        g.flags[std::size_t(kEqLink)] = true;
    }
    b.surface.setStripGroups(groups);
    b.rec().outputEqAt(1, kEqGain, 3) = -7.0;
    b.rec().outputEqAt(1, kEqFrequency, 3) = 5.0; // out of range on purpose: left alone
    OutputEqEditor out(b.surface, b.port);
    out.selectOutput(0);
    out.bandDragged(9, 1500.0, outputEqBand(b.rec(), 0, 9).gain);
    EXPECT_EQ(b.rec().outputEqAt(1, kEqFrequency, 9), 1500.0);
    EXPECT_EQ(b.rec().outputEqAt(1, kEqGain, 3), -7.0);
    EXPECT_EQ(b.rec().outputEqAt(1, kEqFrequency, 3), 5.0);
}

TEST(EditorActions, EditorsReadTheRecordNotACopy)
{
    Bench b;
    InputEqEditor e(b.surface, b.port, b.op);
    e.selectChannel(4);
    // A preset opened or a report arrived while the editor was open.
    setInputEqBand(b.rec(), 4, 1, EqBand{500.0, -12.0, 3.0, EqBandType::Peak});
    b.rec().highPassIndex[4] = 6;
    EXPECT_EQ(e.bands()[1].gain, -12.0);
    EXPECT_TRUE(e.highPassOn());
    e.bandDragged(3, 4000.0, 2.0); // a small edit elsewhere sends nothing old back
    e.gainSliderMoved(1, 140);     // +1 dB on the new band keeps its frequency and Q
    EXPECT_EQ(inputEqBand(b.rec(), 4, 1).frequency, 500.0);
    EXPECT_EQ(inputEqBand(b.rec(), 4, 1).q, 3.0);
    EXPECT_EQ(inputEqBand(b.rec(), 4, 1).gain, 1.0);
    EXPECT_EQ(b.rec().highPassIndex[4], 6);
}

TEST(EditorActions, LimiterKeepsShortReleasesAndReadsRatiosAsTheListDoes)
{
    Bench b;
    b.rec().limiterRelease[0] = 10; // the unit's factory value
    b.rec().limiterRelease[1] = 20;
    LimiterEditor e(b.surface, b.port);
    e.selectOutput(0);
    EXPECT_EQ(e.releaseRaw(), 10);
    EXPECT_EQ(e.releaseListIndex(), 0);
    e.thresholdReadoutChanged(500);
    e.tick();
    EXPECT_EQ(b.rec().limiterRelease[0], 10) << "an edit of another value keeps the release";
    e.selectOutput(1);
    EXPECT_EQ(e.releaseRaw(), 20);
    e.releaseReadoutChanged(10);
    EXPECT_EQ(b.rec().limiterRelease[1], 10);

    for (int ratio = 1; ratio <= 100; ++ratio) {
        b.rec().limiterRatio[1] = ratio;
        const std::string list = ratioList()[std::size_t(e.ratioListIndex())].label;
        const std::string readout =
            formatReadout(ReadoutFormat::Ratio, e.ratioRaw(), kRatioReadoutRange);
        EXPECT_EQ(readout, list) << ratio;
    }
    e.ratioReadoutChanged(kRatioReadoutInfinite);
    EXPECT_EQ(b.rec().limiterRatio[1], kRatioInfinite);
}

} // namespace
