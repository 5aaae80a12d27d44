// A chain of units behind one address, as the window shows it: the picker names the units, the
// choice switches every page and open editor and is kept, and only the first unit has live levels.
#include "ui/DesktopBench.h"

#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LanguageSwitcher.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"

#include <QComboBox>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// The bench's unit, replaced by a chain of count units at the same place.
void playChain(DesktopBench& b, int count)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(kUnitAddress);
    options.port = b.port;
    options.statusInterval = 10;
    options.unitCount = count;
    b.unit = std::make_unique<VirtualUnit>(options);
}

// The unit numbers of the frames of this kind the chain received.
std::vector<int> unitsOf(const VirtualUnit& unit, char kind)
{
    std::vector<int> units;
    for (const QByteArray& f : unit.received())
        if (f.size() > 5 && f[1] == kind) units.push_back(f.mid(3, 2).toInt(nullptr, 16));
    return units;
}

} // namespace

TEST(UnitPicker, TheChoiceSwitchesEveryPageAndOpenEditorAndIsKept)
{
    QTemporaryDir dir;
    {
        DesktopBench b({dir.path(), true});
        playChain(b, 3);
        b.unit->record(2).inputGain[4] = 20;
        b.unit->record(2).routing[0] = 0x5;
        b.unit->record(2).unitCount = 3;
        ASSERT_TRUE(b.start());
        b.desktop->language().setLanguage(Language::English);
        QComboBox* picker = b.view().unitPicker();
        EXPECT_FALSE(picker->isVisibleTo(&b.window())) << "no chain known yet";
        ASSERT_TRUE(b.connectAs());
        ASSERT_TRUE(waitFor([&] { return b.core().delivery().isStateRead(3); }, 8000));
        ASSERT_TRUE(picker->isVisibleTo(&b.window()));
        ASSERT_EQ(picker->count(), 3);

        // Unit 1's live meters; an input EQ editor open on input 5.
        b.view().openInputEq(4);
        InputEqWindow* editor = b.view().inputEqEditor();
        ASSERT_TRUE(b.core().renameUnit(2, QStringLiteral("Gallery")));
        EXPECT_TRUE(b.view().inputStrip(4)->meter()->isAvailable());
        b.unit->clearReceived();

        picker->setCurrentIndex(1);
        emit picker->activated(1);
        ASSERT_EQ(b.core().currentUnit(), 2);
        EXPECT_EQ(picker->itemText(1), "Unit 2 · Gallery") << "the name shows once chosen";
        EXPECT_EQ(b.view().inputStrip(4)->fader()->text(), "-30dB") << "unit 2's gain (20)";
        EXPECT_TRUE(b.view().matrix()->isOn({0, 0}));
        EXPECT_FALSE(b.view().matrix()->isOn({1, 0}));
        EXPECT_TRUE(b.view().matrix()->isOn({2, 0}));
        for (ChannelStrip* strip : {static_cast<ChannelStrip*>(b.view().inputStrip(4)),
                                    static_cast<ChannelStrip*>(b.view().outputStrip(0))}) {
            EXPECT_FALSE(strip->meter()->isAvailable()) << "no level stream for unit 2";
            EXPECT_EQ(strip->meter()->level(), 0);
        }

        // The open editor works on unit 2 now: a band sent carries its number.
        ASSERT_TRUE(editor->isVisible());
        Knob* gain = editor->gainKnob(1);
        EXPECT_TRUE(gain->enterText("4"));
        ASSERT_TRUE(b.waitIdle());
        EXPECT_EQ(unitsOf(*b.unit, 'E'), std::vector<int>{2});
        EXPECT_EQ(b.unit->record(2).inputEqAt(1, kEqGain, 4), 4.0);
        EXPECT_EQ(b.unit->record(1).inputEqAt(1, kEqGain, 4), 0.0);
        EXPECT_TRUE(b.view().inputStrip(4)->fader()->enterText("-6"));
        ASSERT_TRUE(b.waitIdle());
        EXPECT_EQ(unitsOf(*b.unit, 'V'), std::vector<int>{2});
        EXPECT_EQ(b.unit->record(2).inputGain[4], 44);
        EXPECT_EQ(b.unit->record(1).inputGain[4], b.core().table().record(1).inputGain[4]);
        b.window().close();
        ASSERT_TRUE(waitFor([&] { return !b.window().isVisible(); }, 5000));
    }

    // The next start shows unit 2 again; a chain of one hides the picker.
    DesktopBench again({dir.path(), false});
    ASSERT_TRUE(again.start());
    EXPECT_EQ(again.core().currentUnit(), 2);
    EXPECT_EQ(again.view().unitPicker()->currentIndex(), 1);
    EXPECT_EQ(again.view().inputStrip(4)->fader()->text(), "-6dB");
}
