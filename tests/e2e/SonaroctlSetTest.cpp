// Every `sonaroctl set` against the frames the desktop's own action sends: the desktop's core
// and its virtual unit on 127.0.0.2, sonaroctl and a second virtual unit on 127.0.0.3. Both
// units start from the factory state and take the same changes in the same order.
#include "CtlProcess.h"

#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "support/LoopbackCore.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// The frames that carry settings: what a change sends. An acknowledged frame that a loaded
// machine answered late goes again; it counts once.
std::vector<QByteArray> settingFrames(const std::vector<QByteArray>& frames)
{
    std::vector<QByteArray> list;
    for (const QByteArray& f : frames)
        if (f.size() > 1 && QByteArray("VMGEB").contains(f[1]) &&
            std::find(list.begin(), list.end(), f) == list.end())
            list.push_back(f);
    return list;
}

struct SetCase
{
    QStringList words;
    std::function<void(SonaroCore&)> desktop;
};

void inputEq(SonaroCore& core, int channel, const std::function<void(InputEqEditor&)>& edit)
{
    InputEqEditor editor(core.surface(), core.commandPort(), core.operatorInterface());
    editor.selectChannel(channel);
    edit(editor);
    editor.flush();
}

void inputKnob(SonaroCore& core, int channel, int band, const std::function<void(EqBand&)>& change)
{
    inputEq(core, channel, [&](InputEqEditor& e) {
        EqBand b = e.bands()[static_cast<std::size_t>(band)];
        change(b);
        e.knobChanged(band, b.frequency, b.gain, b.q);
    });
}

void limiter(SonaroCore& core, int output, const std::function<void(LimiterEditor&)>& edit)
{
    LimiterEditor editor(core.surface(), core.commandPort());
    editor.selectOutput(output);
    edit(editor);
    editor.flush();
}

TEST(SonaroctlSet, EverySettingSendsWhatTheDesktopActionSends)
{
#ifndef SONAROCTL_PATH
    GTEST_SKIP() << "built without the sonaroctl program";
#endif
    LoopbackCore desktop;
    ASSERT_TRUE(desktop.start());
    ASSERT_TRUE(desktop.login());
    SonaroCore& core = *desktop.core;

    QTemporaryDir dir;
    const quint16 port = freeLoopbackPort({QStringLiteral("127.0.0.3")});
    ASSERT_NE(port, 0);
    VirtualUnitOptions options;
    options.address = QHostAddress(QStringLiteral("127.0.0.3"));
    options.port = port;
    options.statusInterval = 20;
    VirtualUnit unit(options);
    ASSERT_TRUE(unit.start());
    const QStringList where = {"--data-dir", dir.path(),  "--bind", "127.0.0.1",
                               "--address",  "127.0.0.3", "--port", QString::number(port),
                               "--password", "888888",    "set"};

    const std::vector<SetCase> cases = {
        {{"eq", "3", "2", "freq", "1k"},
         [](SonaroCore& c) { inputKnob(c, 2, 1, [](EqBand& b) { b.frequency = 1000; }); }},
        {{"eq", "3", "2", "gain", "-6"},
         [](SonaroCore& c) { inputKnob(c, 2, 1, [](EqBand& b) { b.gain = -6; }); }},
        {{"eq", "3", "2", "q", "1.4"},
         [](SonaroCore& c) { inputKnob(c, 2, 1, [](EqBand& b) { b.q = 1.4; }); }},
        {{"eq", "3", "2", "type", "low-shelf"},
         [](SonaroCore& c) {
             inputEq(c, 2, [](InputEqEditor& e) { e.setBandType(1, EqBandType::LowShelf); });
         }},
        {{"hpf", "3", "80"},
         [](SonaroCore& c) {
             inputEq(c, 2, [](InputEqEditor& e) {
                 e.highPassSliderMoved(InputEqEditor::kFilterPositions - 5); // 80 Hz
                 if (!e.highPassOn()) e.toggleHighPass();
             });
         }},
        {{"lpf", "3", "10k"},
         [](SonaroCore& c) {
             inputEq(c, 2, [](InputEqEditor& e) {
                 e.lowPassSliderMoved(InputEqEditor::kFilterPositions - 5); // 10 kHz
                 if (!e.lowPassOn()) e.toggleLowPass();
             });
         }},
        {{"hpf", "3", "off"},
         [](SonaroCore& c) { inputEq(c, 2, [](InputEqEditor& e) { e.toggleHighPass(); }); }},
        {{"output-eq", "1", "4", "gain", "-3"},
         [](SonaroCore& c) {
             OutputEqEditor editor(c.surface(), c.commandPort());
             editor.selectOutput(0);
             EqBand b = editor.bands()[3];
             editor.knobChanged(3, b.frequency, -3, b.q);
             editor.flush();
         }},
        {{"limiter", "1", "threshold", "-10"},
         [](SonaroCore& c) {
             limiter(c, 0, [](LimiterEditor& e) { e.thresholdReadoutChanged(700); });
         }},
        {{"limiter", "1", "ratio", "inf"},
         [](SonaroCore& c) { limiter(c, 0, [](LimiterEditor& e) { e.ratioReadoutChanged(11); }); }},
        {{"limiter", "2", "attack", "5"},
         [](SonaroCore& c) { limiter(c, 1, [](LimiterEditor& e) { e.attackReadoutChanged(5); }); }},
        {{"limiter", "2", "release", "100ms"},
         [](SonaroCore& c) {
             limiter(c, 1, [](LimiterEditor& e) { e.releaseReadoutChanged(100); });
         }},
        {{"limiter", "1", "enable", "on"},
         [](SonaroCore& c) {
             limiter(c, 0, [](LimiterEditor& e) {
                 if (!e.enabled()) e.toggleEnable();
             });
         }},
        {{"automix-mode", "manual"},
         [](SonaroCore& c) { c.surface().setThresholdMode(ThresholdMode::Manual); }},
        {{"threshold", "-20"}, [](SonaroCore& c) { c.surface().setThreshold(-20); }},
        {{"panel-lock", "on"}, [](SonaroCore& c) { c.surface().setPanelLock(true); }},
        {{"device-mode", "slave"},
         [](SonaroCore& c) { c.surface().setDeviceMode(DeviceMode::Slave); }},
        {{"output-level", "2", "line"},
         [](SonaroCore& c) { c.surface().setOutputLevelType(1, OutputLevel::Line); }},
    };

    for (const SetCase& c : cases) {
        const std::string name = c.words.join(' ').toStdString();
        desktop.unit->clearReceived();
        c.desktop(core);
        ASSERT_TRUE(desktop.waitIdle()) << name;
        const std::vector<QByteArray> expected = settingFrames(desktop.unit->received());

        unit.clearReceived();
        const CtlResult r = runCtl(QStringList(where) << c.words);
        EXPECT_EQ(r.status, 0) << name << ": " << r.err.toStdString();
        EXPECT_FALSE(expected.empty()) << name << ": the desktop action sent nothing";
        EXPECT_EQ(settingFrames(unit.received()), expected) << name;
    }
    EXPECT_EQ(unit.record().panelLock, 1);
    EXPECT_EQ(unit.record().outputLevelType[1], 0);
    EXPECT_EQ(unit.record().highPassIndex[2], 0);
    EXPECT_EQ(unit.record().lowPassIndex[2], 5);
}

} // namespace
