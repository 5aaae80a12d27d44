#include "dsp/DspCommands.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "model/RecordingOperator.h"
#include "protocol/Commands.h"
#include "support/EventLoop.h"
#include "support/SurfaceBench.h"

#include <cstring>

#include <gtest/gtest.h>

using namespace sonaro;
using sonaro::testing::SurfaceBench;
using sonaro::testing::waitFor;

namespace {

// The comma-separated groups of a frame ("%B,01,00,...,flag,CRC#").
std::vector<std::string> groupsOf(const std::string& frame)
{
    std::vector<std::string> groups;
    std::size_t start = 0;
    for (std::size_t i = 0; i < frame.size(); ++i)
        if (frame[i] == ',') {
            groups.push_back(frame.substr(start, i - start));
            start = i + 1;
        }
    return groups;
}

class EditorTest : public ::testing::Test, protected SurfaceBench
{
};

// --- input EQ ---------------------------------------------------------------------------------

TEST_F(EditorTest, KnobOnLinkedChannelChangesEveryLinkedChannelAndTickSendsOneEEach)
{
    link({1, 3, 5}, {kEqLink});
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(3);
    editor.knobChanged(2, 2500.0, -4.5, 2.0);
    for (int ch : {1, 3, 5}) {
        EXPECT_EQ(inputEqBand(rec(), ch, 2).frequency, 2500.0) << ch;
        EXPECT_EQ(inputEqBand(rec(), ch, 2).gain, -4.5) << ch;
        EXPECT_EQ(inputEqBand(rec(), ch, 2).q, 2.0) << ch;
    }
    EXPECT_NE(inputEqBand(rec(), 0, 2).gain, -4.5);
    EXPECT_EQ(editor.selectedBand(), 2);
    EXPECT_TRUE(port.requests.empty()); // knobs wait for the tick

    editor.tick();
    EXPECT_EQ(port.kindText(), "EEE");
    EXPECT_EQ(port.indexes('E'), (std::vector<int>{1, 3, 5}));
    editor.tick();
    EXPECT_EQ(port.kindText(), "EEE") << "a clean tick sends nothing";
}

TEST_F(EditorTest, LinkedChannelsNeedTheEqFlag)
{
    link({1, 3}, {kGainLink});
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(1);
    editor.knobChanged(0, 200.0, 3.0, 1.0);
    EXPECT_EQ(inputEqBand(rec(), 3, 0).gain, 0.0);
    editor.tick();
    EXPECT_EQ(port.indexes('E'), std::vector<int>{1});
}

TEST_F(EditorTest, EditsOfAChannelLeftBeforeTheTickAreStillSent)
{
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(0);
    editor.knobChanged(1, 400.0, 2.0, 1.0);
    editor.selectChannel(6);
    editor.setBandType(4, EqBandType::HighShelf);
    editor.tick();
    EXPECT_EQ(port.indexes('E'), (std::vector<int>{0, 6}));
    EXPECT_EQ(rec().inputEqType[4][6], 2);
}

TEST_F(EditorTest, GainSliderAndKnobsClampToTheirRanges)
{
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(2);
    editor.gainSliderMoved(1, 0); // top: +15 dB
    EXPECT_EQ(inputEqBand(rec(), 2, 1).gain, 15.0);
    EXPECT_EQ(InputEqEditor::gainSliderPosition(-4.5), 195);
    editor.knobChanged(1, 5.0, 99.0, 0.0);
    const EqBand b = inputEqBand(rec(), 2, 1);
    EXPECT_EQ(b.frequency, 20.0);
    EXPECT_EQ(b.gain, 15.0);
    EXPECT_DOUBLE_EQ(b.q, 0.3);
}

TEST_F(EditorTest, BypassOnOffRestoresEachChannelsGainsAndFilters)
{
    link({0, 1}, {kEqLink});
    for (int b = 0; b < kInputEqBands; ++b) {
        rec().inputEqAt(b, kEqGain, 0) = b + 1.0;
        rec().inputEqAt(b, kEqGain, 1) = -(b + 1.0); // a linked channel with its own gains
    }
    rec().highPassIndex[0] = 4;
    rec().highPassIndex[1] = 7;
    rec().lowPassIndex[0] = 3;
    rec().lowPassIndex[1] = 2;
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(0);

    editor.toggleBypass();
    EXPECT_TRUE(editor.bypassed());
    for (int ch : {0, 1}) {
        for (int b = 0; b < kInputEqBands; ++b)
            EXPECT_EQ(rec().inputEqAt(b, kEqGain, ch), 0.0);
        EXPECT_EQ(rec().highPassIndex[ch], 0);
        EXPECT_EQ(rec().lowPassIndex[ch], 0);
    }
    EXPECT_EQ(port.kindText(), "EEG");

    editor.selectChannel(1); // bypass saves belong to their channels, not to the one shown
    editor.toggleBypass();
    EXPECT_FALSE(editor.bypassed());
    for (int b = 0; b < kInputEqBands; ++b) {
        EXPECT_EQ(rec().inputEqAt(b, kEqGain, 0), b + 1.0);
        EXPECT_EQ(rec().inputEqAt(b, kEqGain, 1), -(b + 1.0));
    }
    EXPECT_EQ(rec().highPassIndex[0], 4);
    EXPECT_EQ(rec().highPassIndex[1], 7);
    EXPECT_EQ(rec().lowPassIndex[0], 3) << "un-bypass restores the filters as they were";
    EXPECT_EQ(rec().lowPassIndex[1], 2);
    EXPECT_EQ(port.kindText(), "EEGEEG");
    EXPECT_TRUE(editor.lowPassOn());
    EXPECT_TRUE(editor.highPassOn());
}

TEST_F(EditorTest, ResetOfALinkedChannelResetsAllAndSendsTheirEThenOneG)
{
    link({2, 4, 7}, {kEqLink});
    for (int ch : {2, 4, 7}) {
        rec().inputEqAt(0, kEqGain, ch) = 6.0;
        rec().inputEqType[3][ch] = 1;
        rec().highPassIndex[ch] = 5;
        rec().lowPassIndex[ch] = 5;
    }
    InputEqEditor editor(surface, port, op);
    std::vector<int> strips;
    QObject::connect(&editor, &InputEqEditor::stripChanged, [&](int ch) { strips.push_back(ch); });
    editor.selectChannel(4);
    editor.reset();
    for (int ch : {2, 4, 7}) {
        for (int b = 0; b < kInputEqBands; ++b) {
            const EqBand band = inputEqBand(rec(), ch, b);
            EXPECT_EQ(band.frequency, kInputEqFactoryFrequency[b]);
            EXPECT_EQ(band.gain, 0.0);
            EXPECT_EQ(band.q, 0.5);
            EXPECT_EQ(band.type, EqBandType::Peak);
        }
        EXPECT_EQ(rec().highPassIndex[ch], 0);
        EXPECT_EQ(rec().lowPassIndex[ch], 0);
    }
    EXPECT_EQ(port.kindText(), "EEEG");
    EXPECT_EQ(port.indexes('E'), (std::vector<int>{2, 4, 7}));
    EXPECT_EQ(strips, (std::vector<int>{2, 4, 7}));
}

TEST_F(EditorTest, CopyAsksFirstAndOntoItselfStillSends)
{
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(3);
    const UnitRecord before = rec();

    op.answer = false;
    EXPECT_EQ(editor.copyFrom(3), Outcome::Declined);
    EXPECT_TRUE(port.requests.empty());
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_EQ(op.questions[0].text, "Overwrite the current EQ settings");
    EXPECT_EQ(op.questions[0].title, "INFO");

    op.answer = true;
    EXPECT_EQ(editor.copyFrom(3), Outcome::Unchanged);
    EXPECT_EQ(std::memcmp(&before, &rec(), sizeof(UnitRecord)), 0);
    EXPECT_EQ(port.kindText(), "EG");
}

TEST_F(EditorTest, CopyTakesBandsAndFiltersOfTheSource)
{
    setInputEqBand(rec(), 6, 1, EqBand{777.0, -7.5, 3.3, EqBandType::LowShelf});
    rec().highPassIndex[6] = 9;
    rec().lowPassIndex[6] = 2;
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(0);
    editor.copyFrom(6);
    const EqBand b = inputEqBand(rec(), 0, 1);
    EXPECT_EQ(b.frequency, 777.0);
    EXPECT_EQ(b.gain, -7.5);
    EXPECT_EQ(b.type, EqBandType::LowShelf);
    EXPECT_EQ(rec().highPassIndex[0], 9);
    EXPECT_EQ(rec().lowPassIndex[0], 2);
    EXPECT_EQ(editor.bands()[1].frequency, 777.0) << "the controls are reloaded";
}

TEST_F(EditorTest, DragToTheFarLeftStores20Hz)
{
    link({0, 1}, {kEqLink});
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(0);
    editor.bandDragged(3, 19.71, 4.0);
    for (int ch : {0, 1}) {
        EXPECT_EQ(inputEqBand(rec(), ch, 3).frequency, 20.0);
        EXPECT_EQ(inputEqBand(rec(), ch, 3).gain, 4.0);
    }
    EXPECT_EQ(editor.selectedBand(), 3);
    EXPECT_TRUE(editor.dirty());
}

TEST_F(EditorTest, FilterSlidersMapPositionsToIndexes)
{
    rec().highPassIndex[1] = 3;
    rec().lowPassIndex[1] = 10;
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(1);
    EXPECT_TRUE(editor.highPassOn());
    EXPECT_EQ(editor.highPassPosition(), 8);
    EXPECT_EQ(editor.highPassText(), "60Hz");
    EXPECT_EQ(editor.lowPassPosition(), 1);
    EXPECT_EQ(editor.lowPassText(), "6500");

    editor.highPassSliderMoved(1);
    EXPECT_EQ(rec().highPassIndex[1], 10);
    EXPECT_EQ(editor.highPassText(), "150Hz");
    EXPECT_EQ(port.kindText(), "G");
    editor.highPassSliderMoved(1);
    EXPECT_EQ(port.kindText(), "G") << "a slider that did not move sends nothing";
}

TEST_F(EditorTest, FilterButtonsAreOnOnlyWithARealCutOff)
{
    rec().highPassIndex[0] = 0;
    rec().lowPassIndex[0] = 0;
    InputEqEditor editor(surface, port, op);
    editor.selectChannel(0);
    // Off: the sliders stand on the first real cut-off, which is what switching on picks.
    EXPECT_FALSE(editor.highPassOn());
    EXPECT_FALSE(editor.lowPassOn());
    EXPECT_EQ(editor.highPassPosition(), InputEqEditor::kLastFilterPosition);
    EXPECT_EQ(editor.highPassText(), "35Hz");
    EXPECT_EQ(editor.lowPassText(), "20000");
    editor.highPassSliderMoved(InputEqEditor::kFilterPositions); // no off position any more
    EXPECT_EQ(editor.highPassPosition(), InputEqEditor::kLastFilterPosition);
    EXPECT_EQ(rec().highPassIndex[0], 0);

    editor.toggleHighPass();
    editor.toggleLowPass();
    EXPECT_EQ(rec().highPassIndex[0], 1);
    EXPECT_EQ(rec().lowPassIndex[0], 1);
    EXPECT_TRUE(editor.highPassOn());

    // Off and on again keeps the cut-off the operator had chosen.
    editor.highPassSliderMoved(4);
    editor.toggleHighPass();
    EXPECT_EQ(rec().highPassIndex[0], 0);
    EXPECT_FALSE(editor.highPassOn());
    EXPECT_EQ(editor.highPassPosition(), 4);
    editor.toggleHighPass();
    EXPECT_EQ(rec().highPassIndex[0], 7);
    EXPECT_TRUE(op.messages.empty());
}

TEST_F(EditorTest, TimerTicksOnItsOwn)
{
    InputEqEditor editor(surface, port, op);
    editor.setSendInterval(5);
    editor.selectChannel(0);
    editor.knobChanged(0, 150.0, 1.0, 1.0);
    editor.start();
    EXPECT_TRUE(waitFor([&] { return !port.requests.empty(); }, 2000));
    EXPECT_EQ(port.kindText(), "E");
}

// --- output EQ --------------------------------------------------------------------------------

TEST_F(EditorTest, OutputEqLinkedEditSendsAllSixBlocks)
{
    link({0, 1}, {kEqLink}, true);
    OutputEqEditor editor(surface, port);
    editor.selectOutput(1);
    editor.knobChanged(7, 800.0, -2.0, 1.5);
    EXPECT_EQ(outputEqBand(rec(), 0, 7).frequency, 800.0);
    EXPECT_EQ(outputEqBand(rec(), 1, 7).gain, -2.0);
    editor.tick();
    EXPECT_EQ(port.indexes('E'), (std::vector<int>{8, 9, 10, 11, 12, 13}));

    StripGroups plain;
    surface.setStripGroups(plain);
    editor.reloadLinks();
    editor.bandDragged(0, 3.0, 30.0);
    EXPECT_EQ(outputEqBand(rec(), 1, 0).frequency, 20.0);
    EXPECT_EQ(outputEqBand(rec(), 1, 0).gain, 15.0);
    editor.tick();
    EXPECT_EQ(port.indexes('E').size(), 9u);
    EXPECT_EQ(port.indexes('E').back(), 13);
}

TEST_F(EditorTest, OutputEqBypassKeepsEachOutputsGainsAndResetClearsIt)
{
    link({0, 1}, {kEqLink}, true);
    for (int b = 0; b < kOutputEqBands; ++b) {
        rec().outputEqAt(0, kEqGain, b) = 1.0;
        rec().outputEqAt(1, kEqGain, b) = -2.0;
    }
    OutputEqEditor editor(surface, port);
    editor.selectOutput(0);
    editor.toggleBypass();
    EXPECT_EQ(rec().outputEqAt(1, kEqGain, 14), 0.0);
    editor.toggleBypass();
    EXPECT_EQ(rec().outputEqAt(0, kEqGain, 14), 1.0);
    EXPECT_EQ(rec().outputEqAt(1, kEqGain, 14), -2.0);
    EXPECT_EQ(port.indexes('E').size(), 12u) << "bypass sends both outputs at once, twice";
    EXPECT_FALSE(editor.dirty());

    editor.toggleBypass();
    editor.reset();
    EXPECT_FALSE(editor.bypassed());
    EXPECT_EQ(outputEqBand(rec(), 1, 4).frequency, kOutputEqFactoryFrequency[4]);
    EXPECT_EQ(outputEqBand(rec(), 1, 4).q, 0.5);
}

// --- limiter ----------------------------------------------------------------------------------

TEST_F(EditorTest, InfRatioRoundTrip)
{
    LimiterEditor editor(surface, port);
    editor.selectOutput(0);
    editor.ratioListSelected(10);
    EXPECT_EQ(rec().limiterRatio[0], 100.0);
    EXPECT_LT(editor.curve().slopeAbove(), 0.011);
    editor.tick();
    ASSERT_EQ(port.frames.size(), 1u);
    EXPECT_EQ(groupsOf(port.frames[0])[4].substr(0, 4), "0064");
    LimiterEditor reopened(surface, port);
    reopened.selectOutput(0);
    EXPECT_EQ(std::string(ratioList()[std::size_t(reopened.ratioListIndex())].label), "INF:1");
}

TEST_F(EditorTest, KneeDraggedToTheTopTurnsTheLimiterOff)
{
    rec().limiterRatio[1] = 4.0;
    LimiterEditor editor(surface, port);
    editor.selectOutput(1);
    editor.kneeDragged(20.0);
    EXPECT_EQ(rec().limiterThreshold[1], 20.0);
    EXPECT_EQ(editor.thresholdRaw(), 1000);
    editor.tick();
    ASSERT_EQ(port.frames.size(), 1u);
    EXPECT_EQ(groupsOf(port.frames[0])[5], "00");

    editor.kneeDragged(-130.0); // below the threshold's range
    EXPECT_EQ(rec().limiterThreshold[1], kThresholdMin);
}

TEST_F(EditorTest, EndPointOntoTheKneeGivesRatio100)
{
    rec().limiterThreshold[0] = -20.0;
    LimiterEditor editor(surface, port);
    editor.selectOutput(0);
    editor.endPointDragged(-20.0);
    EXPECT_EQ(rec().limiterRatio[0], 100.0);
    editor.endPointDragged(0.0); // (20 - -20) / (0 - -20) = 2
    EXPECT_EQ(rec().limiterRatio[0], 2.0);
    editor.endPointDragged(20.0);
    EXPECT_EQ(rec().limiterRatio[0], 1.0);
}

TEST_F(EditorTest, LinkedLimiterResetSendsTwoBAtOnce)
{
    link({0, 1}, {kLimiterLink}, true);
    for (int out : {0, 1}) {
        rec().limiterRatio[out] = 5.0;
        rec().limiterThreshold[out] = -30.0;
        rec().limiterAttack[out] = 200;
        rec().limiterRelease[out] = 1000;
    }
    LimiterEditor editor(surface, port);
    editor.selectOutput(1);
    editor.reset();
    for (int out : {0, 1}) {
        const DynamicsSettings s = dynamicsOf(rec(), out);
        EXPECT_EQ(s.ratio, 1.0);
        EXPECT_EQ(s.threshold, 0.0);
        EXPECT_EQ(s.attack, 1);
        EXPECT_EQ(s.release, 50);
    }
    EXPECT_EQ(port.kindText(), "BB");
    EXPECT_EQ(port.indexes('B'), (std::vector<int>{0, 1}));
    EXPECT_FALSE(editor.dirty());
}

TEST_F(EditorTest, ReleaseOf5000SelectsTheFirstListEntry)
{
    LimiterEditor editor(surface, port);
    editor.selectOutput(0);
    editor.releaseReadoutChanged(5000);
    EXPECT_EQ(rec().limiterRelease[0], 5000);
    LimiterEditor reopened(surface, port);
    reopened.selectOutput(0);
    EXPECT_EQ(reopened.releaseListIndex(), 0);
    EXPECT_EQ(reopened.releaseRaw(), 5000);
}

TEST_F(EditorTest, RatioListFollowsTheGroupThresholdTheLimiterLink)
{
    link({0, 1}, {}, true); // grouped, limiter link clear
    LimiterEditor editor(surface, port);
    editor.selectOutput(0);
    editor.ratioListSelected(3);
    EXPECT_EQ(rec().limiterRatio[0], 4.0);
    EXPECT_EQ(rec().limiterRatio[1], 4.0);
    editor.thresholdReadoutChanged(600);
    EXPECT_DOUBLE_EQ(rec().limiterThreshold[0], -20.0);
    EXPECT_EQ(rec().limiterThreshold[1], 0.0);
    editor.tick();
    // The other output's ratio changed too, so it is sent as well.
    EXPECT_EQ(port.indexes('B'), (std::vector<int>{0, 1}));
}

TEST_F(EditorTest, DrcButtonTogglesTheFlagAndSendsG)
{
    LimiterEditor editor(surface, port);
    editor.selectOutput(1);
    const bool before = editor.enabled();
    editor.toggleEnable();
    EXPECT_NE(editor.enabled(), before);
    EXPECT_EQ(port.kindText(), "G");
}

} // namespace
