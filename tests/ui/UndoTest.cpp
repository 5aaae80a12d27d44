#include "mixer/ControlSurface.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/RecordingCommandPort.h"
#include "mixer/UndoHistory.h"
#include "model/RecordingOperator.h"
#include "model/ValueConventions.h"
#include "store/DeviceRegistry.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LanguageSwitcher.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"

#include "ui/KitTestSupport.h"

#include <QApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QTemporaryDir>

#include "support/LoopbackPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace sonaro;
using namespace sonaro::ui;

namespace {

// A surface on a recording port: every command undo asks for is counted.
struct UndoBench
{
    UndoBench() : surface(table, port, op)
    {
        applyFactoryValues(table.current());
        table.current().connected = 1;
        history = std::make_unique<UndoHistory>(surface, port);
    }
    UnitRecord& rec() { return table.current(); }
    std::vector<char> takeKinds()
    {
        std::vector<char> kinds = port.kinds();
        port.requests.clear();
        return kinds;
    }

    UnitTable table;
    RecordingCommandPort port;
    RecordingOperator op;
    ControlSurface surface;
    std::unique_ptr<UndoHistory> history;
};

} // namespace

// Undo and redo put back exactly what a step changed and ask for exactly its commands: V for a
// gain, M for a switch, E for the one EQ slot, B for the one limiter.
TEST(Undo, UndoAndRedoRestoreAndSendExactly)
{
    UndoBench b;
    InputStrip strip(b.surface, b.history.get(), 3);
    InputEqEditor eq(b.surface, b.port, b.op);
    LimiterEditor limiter(b.surface, b.port);
    const int gain = b.rec().inputGain[3];

    ASSERT_TRUE(strip.fader()->enterText("-20"));
    EXPECT_EQ(b.rec().inputGain[3], 30);
    b.surface.setInputPhantom(5, !b.rec().inputPhantom[5]);
    b.history->commit();
    const int phantom = b.rec().inputPhantom[5];
    eq.selectChannel(6);
    eq.knobChanged(2, 700.0, -4.0, 2.0);
    eq.flush();
    b.history->commit();
    limiter.releaseReadoutChanged(200);
    limiter.flush();
    b.history->commit();
    EXPECT_EQ(b.history->undoCount(), 4);
    b.port.requests.clear();

    ASSERT_TRUE(b.history->undo());
    EXPECT_EQ(b.takeKinds(), std::vector<char>{'B'});
    EXPECT_NE(b.rec().limiterRelease[0], 200);
    ASSERT_TRUE(b.history->undo());
    ASSERT_EQ(b.port.requests.size(), 1u);
    EXPECT_EQ(b.port.requests[0].kind, 'E');
    EXPECT_EQ(b.port.requests[0].index, 6);
    b.port.requests.clear();
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).gain, 0.0);
    ASSERT_TRUE(b.history->undo());
    EXPECT_EQ(b.takeKinds(), std::vector<char>{'M'});
    EXPECT_NE(b.rec().inputPhantom[5], phantom);
    ASSERT_TRUE(b.history->undo());
    EXPECT_EQ(b.takeKinds(), std::vector<char>{'V'});
    EXPECT_EQ(b.rec().inputGain[3], gain);
    EXPECT_EQ(strip.fader()->value(), faderPositionForGain(gain)); // the strip shows it
    EXPECT_FALSE(b.history->undo());
    EXPECT_TRUE(b.port.requests.empty());

    ASSERT_TRUE(b.history->redo());
    EXPECT_EQ(b.takeKinds(), std::vector<char>{'V'});
    EXPECT_EQ(b.rec().inputGain[3], 30);
    ASSERT_TRUE(b.history->redo());
    ASSERT_TRUE(b.history->redo());
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).frequency, 700.0);
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).gain, -4.0);
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).q, 2.0);
    EXPECT_EQ(b.takeKinds(), (std::vector<char>{'M', 'E'}));
}

// A BYPASS press is one step: undo brings the gains and filters back and the channel is no
// longer bypassed; redo flattens it again, and un-bypass after the redo still restores.
TEST(Undo, BypassPressUndoesAndRedoes)
{
    UndoBench b;
    InputEqEditor eq(b.surface, b.port, b.op);
    eq.selectChannel(2);
    eq.knobChanged(1, 250.0, 6.0, 1.0);
    b.rec().lowPassIndex[2] = 3;
    eq.flush();
    b.history->commit();
    eq.toggleBypass();
    eq.flush();
    b.history->commit();
    ASSERT_TRUE(eq.bypassed());
    b.port.requests.clear();

    ASSERT_TRUE(b.history->undo());
    EXPECT_FALSE(eq.bypassed());
    EXPECT_EQ(inputEqBand(b.rec(), 2, 1).gain, 6.0);
    EXPECT_EQ(b.rec().lowPassIndex[2], 3);
    EXPECT_FALSE(b.port.requests.empty()) << "the restored EQ goes to the unit";

    ASSERT_TRUE(b.history->redo());
    EXPECT_TRUE(eq.bypassed());
    EXPECT_EQ(inputEqBand(b.rec(), 2, 1).gain, 0.0);
    eq.toggleBypass();
    EXPECT_FALSE(eq.bypassed());
    EXPECT_EQ(inputEqBand(b.rec(), 2, 1).gain, 6.0);
    EXPECT_EQ(b.rec().lowPassIndex[2], 3);
}

// Steps: at least a hundred kept, the oldest dropped beyond the depth, a new change clears redo,
// and everything moved before a step ends (a drag) is one step.
TEST(Undo, StepsDepthAndRedoCleared)
{
    UndoBench b;
    for (int i = 0; i < UndoHistory::kDepth + 20; ++i) {
        b.surface.setOutputGain(0, -50 + (i % 60), Phase::Committed);
        b.history->commit();
    }
    EXPECT_GE(b.history->undoCount(), 100);
    EXPECT_EQ(b.history->undoCount(), UndoHistory::kDepth);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(b.history->undo());
    const int back = UndoHistory::kDepth + 20 - 1 - 100;
    EXPECT_EQ(b.rec().outputGain[0], (back % 60));
    EXPECT_TRUE(b.history->canRedo());
    b.surface.setOutputGain(1, -3, Phase::Committed);
    b.history->commit();
    EXPECT_FALSE(b.history->canRedo());
    EXPECT_FALSE(b.history->redo());

    // A fader drag: many moves, one step.
    UndoBench d;
    InputStrip strip(d.surface, d.history.get(), 0);
    const int before = d.rec().inputGain[0];
    for (int p = 10; p < 40; p += 3)
        emit strip.fader()->moved(p);
    emit strip.fader()->released(40);
    EXPECT_EQ(d.history->undoCount(), 1);
    ASSERT_TRUE(d.history->undo());
    EXPECT_EQ(d.rec().inputGain[0], before);
    EXPECT_FALSE(d.history->canUndo());
}

// In the EQ window a handle drag is one step; Ctrl+Z takes it back and the window shows it.
TEST(Undo, EditorDragIsOneStepAndCtrlZUndoesIt)
{
    QTemporaryDir dir;
    RecordingOperator op;
    CoreOptions options;
    options.dataDirectory = dir.path();
    options.readStateFile = false;
    options.bindAddress = QStringLiteral("127.0.0.1");
    options.port = sonaro::testing::freeLoopbackPort();
    SonaroCore core(op, options);
    core.start();
    UndoHistory& history = core.undo();

    InputEqWindow dlg(core, 1, nullptr);
    dlg.setAttribute(Qt::WA_DontShowOnScreen);
    dlg.show();
    QCoreApplication::processEvents();
    const EqBand before = inputEqBand(core.table().current(), 1, 2);
    ResponseGraph* graph = dlg.graph();
    const QPointF from(graph->xToPixel(graph->handle(2).x()),
                       graph->yToPixel(graph->handle(2).y()));
    const QPointF to(graph->xToPixel(3000.0), graph->yToPixel(-8.0));
    Press(graph, from);
    for (int step = 1; step <= 6; ++step)
        Move(graph, from + (to - from) * (step / 6.0));
    Release(graph, to);
    EXPECT_NE(inputEqBand(core.table().current(), 1, 2).gain, before.gain);
    EXPECT_EQ(history.undoCount(), 1);

    // Ctrl+Z in the editor window undoes; Ctrl+Shift+Z redoes.
    QShortcut* undo = nullptr;
    for (QShortcut* shortcut : dlg.findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_Z)) undo = shortcut;
    ASSERT_NE(undo, nullptr);
    emit undo->activated();
    const EqBand after = inputEqBand(core.table().current(), 1, 2);
    EXPECT_EQ(after.frequency, before.frequency);
    EXPECT_EQ(after.gain, before.gain);
    EXPECT_EQ(dlg.gainKnob(2)->value(), int(std::lround(before.gain * 10)));
    EXPECT_NEAR(graph->handle(2).x(), before.frequency, 1e-9);
    EXPECT_TRUE(history.canRedo());

    // BYPASS pressed and taken back: the button goes dark with the gains restored.
    ASSERT_TRUE(history.redo());
    const double dragged = inputEqBand(core.table().current(), 1, 2).gain;
    ASSERT_NE(dragged, 0.0);
    dlg.bypassButton()->click();
    ASSERT_TRUE(dlg.bypassButton()->isChecked());
    EXPECT_EQ(inputEqBand(core.table().current(), 1, 2).gain, 0.0);
    emit undo->activated();
    EXPECT_FALSE(dlg.bypassButton()->isChecked());
    EXPECT_EQ(inputEqBand(core.table().current(), 1, 2).gain, dragged);
}
