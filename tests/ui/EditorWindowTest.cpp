#include "model/RecordingOperator.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/LanguageSwitcher.h"
#include "ui/LimiterWindow.h"
#include "ui/OutputEqWindow.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueReadout.h"

#include "dsp/DynamicsModel.h"
#include "dsp/EqCurves.h"
#include "store/DeviceRegistry.h"
#include "ui/KitTestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "support/LoopbackPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace sonaro;
using namespace sonaro::ui;

namespace {

class EditorWindowTest : public ::testing::Test
{
protected:
    EditorWindowTest()
    {
        CoreOptions options;
        options.dataDirectory = dir.path();
        options.readStateFile = false;
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.port = sonaro::testing::freeLoopbackPort();
        core = std::make_unique<SonaroCore>(op, options);
        core->start(); // a first start: the channel rows are made
        applyFactoryValues(rec());
    }
    UnitRecord& rec() { return core->table().current(); }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<SonaroCore> core;
};

void Show(QWidget& w)
{
    w.setAttribute(Qt::WA_DontShowOnScreen);
    w.show();
    QCoreApplication::processEvents();
}

// Drags handle `index` of a graph to a pixel position, in a few moves.
void dragHandle(ResponseGraph* graph, int index, QPointF to)
{
    const QPointF from(graph->xToPixel(graph->handle(index).x()),
                       graph->yToPixel(graph->handle(index).y()));
    Press(graph, from);
    for (int step = 1; step <= 4; ++step)
        Move(graph, from + (to - from) * (step / 4.0));
    Release(graph, to);
}

TEST_F(EditorWindowTest, InputEditorShowsTheChannelAndEditsIt)
{
    rec().highPassIndex[2] = 0;
    rec().lowPassIndex[2] = 4;
    InputEqWindow dlg(*core, 2, nullptr);
    Show(dlg);
    EXPECT_FALSE(dlg.isModal());
    EXPECT_TRUE(dlg.channelButton(2)->isChecked());
    EXPECT_FALSE(dlg.channelButton(0)->isChecked());
    EXPECT_EQ(dlg.highPassSlider()->value(), InputEqEditor::kLastFilterPosition);
    EXPECT_EQ(dlg.highPassReadout()->text(), "35Hz");
    EXPECT_EQ(dlg.lowPassReadout()->text(), "12000");
    EXPECT_TRUE(dlg.lowPassButton()->isChecked());
    EXPECT_EQ(dlg.channelList()->count(), 8);
    EXPECT_EQ(dlg.typeSelector(0)->itemText(2), "HighShelf");

    // A knob turned by the keyboard reaches the record and the gain slider.
    dlg.gainKnob(1)->setFocus();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
    QApplication::sendEvent(dlg.gainKnob(1), &up);
    EXPECT_NEAR(rec().inputEqAt(1, kEqGain, 2), dlg.gainKnob(1)->value() / 10.0, 1e-9);
    EXPECT_NE(rec().inputEqAt(1, kEqGain, 2), 0.0);
    EXPECT_EQ(dlg.gainSlider(1)->value(),
              InputEqEditor::gainSliderPosition(rec().inputEqAt(1, kEqGain, 2)));
    EXPECT_TRUE(dlg.editor().dirty());

    // Dragging band 4's point to the far left stores 20 Hz.
    ResponseGraph* graph = dlg.graph();
    const QRectF plot = graph->plotRect();
    dragHandle(graph, 3, QPointF(plot.left() - 30, graph->yToPixel(6.0)));
    EXPECT_EQ(rec().inputEqAt(3, kEqFrequency, 2), 20.0);
    EXPECT_NEAR(rec().inputEqAt(3, kEqGain, 2), 6.0, 0.2);
    EXPECT_EQ(dlg.frequencyKnob(3)->value(), 20);
    EXPECT_EQ(graph->selectedBand(), 3);

    // Bypass zeroes the gains and locks the band controls; channel buttons switch channels.
    dlg.bypassButton()->click();
    EXPECT_FALSE(dlg.gainKnob(0)->isEnabled());
    EXPECT_EQ(rec().inputEqAt(3, kEqGain, 2), 0.0);
    dlg.bypassButton()->click();
    EXPECT_TRUE(dlg.gainKnob(0)->isEnabled());
    EXPECT_NEAR(rec().inputEqAt(3, kEqGain, 2), 6.0, 0.2);
    dlg.channelButton(5)->click();
    EXPECT_EQ(dlg.editor().channel(), 5);
    EXPECT_EQ(dlg.channelList()->currentRow(), 5);
}

TEST_F(EditorWindowTest, FilterButtonAtTheOffPositionPicksTheFirstCutOffOfflineToo)
{
    rec().connected = 0;
    rec().lowPassIndex[0] = 0;
    InputEqWindow dlg(*core, 0, nullptr);
    Show(dlg);
    EXPECT_FALSE(dlg.lowPassButton()->isChecked());
    EXPECT_EQ(dlg.lowPassSlider()->maximum(), InputEqEditor::kLastFilterPosition);
    dlg.lowPassButton()->click();
    EXPECT_TRUE(op.messages.empty());
    EXPECT_TRUE(dlg.lowPassButton()->isChecked());
    EXPECT_EQ(rec().lowPassIndex[0], 1);
    EXPECT_EQ(dlg.lowPassReadout()->text(), "20000");
    EXPECT_TRUE(core->delivery().unconfirmed().contains(ChangeId{1, SettingId::LowPass, 0}))
        << "kept for the unit";
}

TEST_F(EditorWindowTest, OpenEditorsShowTheUnitsStateAndNames)
{
    InputEqWindow input(*core, 1, nullptr);
    OutputEqWindow output(*core, 0, nullptr);
    LimiterWindow limiter(*core, 0, nullptr);
    // A preset or a factory restore replaced the record.
    setInputEqBand(rec(), 1, 2, EqBand{3150.0, -8.0, 2.5, EqBandType::Peak});
    rec().highPassIndex[1] = 5;
    rec().outputEqAt(0, kEqGain, 6) = 4.5;
    rec().limiterRelease[0] = 20;
    core->renameChannel(ChannelKind::Input, 1, QString(), QStringLiteral("Pulpit"));
    core->renameChannel(ChannelKind::Output, 0, QString(), QStringLiteral("Hall"));
    emit core->surface().refreshNeeded();
    EXPECT_EQ(input.frequencyKnob(2)->value(), 3150);
    EXPECT_EQ(input.gainKnob(2)->value(), -80);
    EXPECT_TRUE(input.highPassButton()->isChecked());
    EXPECT_EQ(input.channelList()->item(1)->text(), "Pulpit");
    EXPECT_EQ(input.copySource()->itemText(1), "Pulpit");
    EXPECT_EQ(output.gainKnob(6)->value(), 45);
    EXPECT_EQ(output.heading()->text(), "Edit Hall");
    EXPECT_EQ(limiter.releaseReadout()->text(), "20ms");
    EXPECT_EQ(limiter.releaseList()->currentText(), "20ms");

    // A report of one EQ block or one limiter.
    rec().inputEqAt(2, kEqQ, 1) = 4.0;
    emit core->eqReceived(1, 1);
    EXPECT_EQ(input.qKnob(2)->value(), 40);
    rec().limiterRatio[0] = 37.0; // a drag's ratio: read-out and list agree
    emit core->dynamicsReceived(1, 0);
    EXPECT_EQ(limiter.ratioReadout()->text(), "INF:1");
    EXPECT_EQ(limiter.ratioList()->currentText(), "INF:1");
}

TEST_F(EditorWindowTest, ClosingAnEditorHandsOverItsLastEdit)
{
    rec().connected = 1;
    CommandPort& delivery = core->commandPort();
    {
        LimiterWindow dlg(*core, 1, nullptr);
        dlg.editor().releaseReadoutChanged(20);
        EXPECT_TRUE(delivery.hasWaiting());
        dlg.done(QDialog::Accepted);
        EXPECT_FALSE(delivery.hasWaiting()) << "handed to the link within the tick";
    }
    OutputEqWindow output(*core, 0, nullptr);
    Show(output);
    output.editor().knobChanged(3, 500.0, 2.0, 1.0);
    EXPECT_TRUE(delivery.hasWaiting());
    output.close();
    EXPECT_FALSE(delivery.hasWaiting());
}

TEST_F(EditorWindowTest, LimiterShowsStoredValuesAndDragsTheHandles)
{
    rec().limiterRelease[0] = 5000;
    rec().limiterRatio[0] = 100.0;
    rec().limiterThreshold[0] = -20.0;
    LimiterWindow dlg(*core, 0, nullptr);
    Show(dlg);
    EXPECT_TRUE(dlg.isModal());
    EXPECT_EQ(dlg.releaseList()->currentIndex(), 0);
    EXPECT_EQ(dlg.releaseReadout()->text(), "5000ms");
    EXPECT_EQ(dlg.ratioList()->currentText(), "INF:1");
    EXPECT_EQ(dlg.thresholdReadout()->text(), "-20.0dB");

    ResponseGraph* graph = dlg.graph();
    dragHandle(graph, 0, QPointF(graph->plotRect().right() + 20, graph->yToPixel(-20.0)));
    EXPECT_EQ(rec().limiterThreshold[0], 20.0);
    EXPECT_EQ(dlg.thresholdReadout()->text(), "OFF");
    EXPECT_EQ(graph->handle(0), QPointF(20.0, 20.0));

    dlg.ratioList()->setCurrentIndex(2);
    emit dlg.ratioList()->activated(2);
    EXPECT_EQ(rec().limiterRatio[0], 3.0);
    EXPECT_EQ(dlg.ratioReadout()->text(), "3:1");

    const bool drc = rec().limiterEnable[0] != 0;
    dlg.drcButton()->click();
    EXPECT_EQ(rec().limiterEnable[0] != 0, !drc);
    EXPECT_EQ(dlg.drcButton()->isChecked(), !drc);
}

} // namespace

// Every control of the editors reads typed text in the units it shows: in range it is taken,
// beyond the range clamped, and text that is not a value changes nothing.
TEST_F(EditorWindowTest, TypedEntryInTheShownUnitsThroughEveryEditor)
{
    InputEqWindow input(*core, 0, nullptr);
    Show(input);
    struct Case
    {
        ValueControl* control;
        QString text;
        bool accepted;
        double band1Value; // what the record holds afterwards
        EqParam field;
    };
    const std::vector<Case> cases = {
        {input.gainKnob(1), "-6", true, -6.0, kEqGain},
        {input.gainKnob(1), "40", true, 15.0, kEqGain},
        {input.gainKnob(1), "loud", false, 15.0, kEqGain},
        {input.gainSlider(1), "0", true, 0.0, kEqGain},
        {input.gainSlider(1), "-6", true, -6.0, kEqGain},
        {input.gainSlider(1), "-99", true, -15.0, kEqGain},
        {input.frequencyKnob(1), "1k", true, 1000.0, kEqFrequency},
        {input.frequencyKnob(1), "5", true, 20.0, kEqFrequency},
        {input.frequencyKnob(1), "k", false, 20.0, kEqFrequency},
        {input.qKnob(1), "0.7", true, 0.7, kEqQ},
        {input.qKnob(1), "99", true, 20.0, kEqQ},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.control->enterText(c.text), c.accepted) << c.text.toStdString();
        EXPECT_NEAR(rec().inputEqAt(1, c.field, 0), c.band1Value, 1e-9) << c.text.toStdString();
    }
    EXPECT_EQ(input.gainKnob(1)->value(), -150); // the knob follows the slider's last entry

    OutputEqWindow output(*core, 0, nullptr);
    Show(output);
    EXPECT_TRUE(output.frequencyKnob(2)->enterText("1.5k"));
    EXPECT_EQ(rec().outputEqAt(0, kEqFrequency, 2), 1500.0);
    EXPECT_TRUE(output.gainKnob(2)->enterText("-3"));
    EXPECT_EQ(rec().outputEqAt(0, kEqGain, 2), -3.0);
    EXPECT_FALSE(output.qKnob(2)->enterText("wide"));
    EXPECT_TRUE(output.qKnob(2)->enterText("4"));
    EXPECT_EQ(rec().outputEqAt(0, kEqQ, 2), 4.0);

    LimiterWindow limiter(*core, 0, nullptr);
    Show(limiter);
    EXPECT_TRUE(limiter.thresholdReadout()->enterText("-20"));
    EXPECT_EQ(rec().limiterThreshold[0], -20.0);
    EXPECT_TRUE(limiter.ratioReadout()->enterText("4:1"));
    EXPECT_EQ(rec().limiterRatio[0], 4.0);
    EXPECT_TRUE(limiter.ratioReadout()->enterText("inf"));
    EXPECT_EQ(rec().limiterRatio[0], kRatioInfinite);
    EXPECT_EQ(limiter.ratioReadout()->text(), "INF:1");
    EXPECT_EQ(limiter.ratioList()->currentText(), "INF:1");
    EXPECT_TRUE(limiter.releaseReadout()->enterText("20ms"));
    EXPECT_EQ(rec().limiterRelease[0], 20);
    EXPECT_TRUE(limiter.releaseReadout()->enterText("1"));
    EXPECT_EQ(rec().limiterRelease[0], 10); // the shortest release
    EXPECT_FALSE(limiter.releaseReadout()->enterText("soon"));
    EXPECT_EQ(rec().limiterRelease[0], 10);
}

// The wheel over a handle turns the band's Q (finer with Shift) and a double-click resets its
// gain; both go out the way a knob's change does.
TEST_F(EditorWindowTest, WheelTurnsQAndDoubleClickResetsTheGain)
{
    rec().connected = 1;
    CommandPort& delivery = core->commandPort();
    rec().inputEqAt(2, kEqGain, 0) = 6.0;
    rec().inputEqAt(2, kEqQ, 0) = 1.0;
    InputEqWindow dlg(*core, 0, nullptr);
    Show(dlg);
    ResponseGraph* graph = dlg.graph();
    const auto at = [&] {
        return QPointF(graph->xToPixel(graph->handle(2).x()),
                       graph->yToPixel(graph->handle(2).y()));
    };
    const auto turn = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(at(), graph->mapToGlobal(at()), QPoint(), QPoint(0, delta), Qt::NoButton,
                      mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(graph, &e);
    };
    turn(120 * 6, Qt::NoModifier); // six notches: an octave up
    EXPECT_NEAR(rec().inputEqAt(2, kEqQ, 0), 2.0, 1e-9);
    EXPECT_EQ(dlg.qKnob(2)->value(), 20);
    EXPECT_TRUE(delivery.hasWaiting());
    turn(-120, Qt::ShiftModifier);
    EXPECT_NEAR(rec().inputEqAt(2, kEqQ, 0), 1.9, 1e-9);
    for (int i = 0; i < 40; ++i)
        turn(120 * 6, Qt::NoModifier);
    EXPECT_NEAR(rec().inputEqAt(2, kEqQ, 0), kEqMaxQ, 1e-9);
    for (int i = 0; i < 40; ++i)
        turn(-120, Qt::ShiftModifier); // fine steps still move at the low end
    EXPECT_LT(rec().inputEqAt(2, kEqQ, 0), 10.0);
    EXPECT_NEAR(rec().inputEqAt(2, kEqGain, 0), 6.0, 1e-9);

    sendMouse(graph, QEvent::MouseButtonDblClick, at());
    EXPECT_EQ(rec().inputEqAt(2, kEqGain, 0), 0.0);
    EXPECT_EQ(graph->handle(2).y(), 0.0);
    EXPECT_EQ(dlg.gainKnob(2)->value(), 0);
    dlg.close();
    EXPECT_FALSE(delivery.hasWaiting());
}

// A shelf's handle sits on the shelf's own curve at its set frequency, the drag tooltip shows
// the stored gain, and a vertical drag of the handle stores the gain that puts it there.
TEST_F(EditorWindowTest, AShelfHandleSitsOnItsCurve)
{
    rec().inputEqType[4][0] = static_cast<std::int32_t>(EqBandType::HighShelf);
    rec().inputEqAt(4, kEqGain, 0) = 12.0;
    rec().inputEqAt(4, kEqFrequency, 0) = 4000.0;
    InputEqWindow dlg(*core, 0, nullptr);
    Show(dlg);
    const EqBand band = inputEqBand(rec(), 0, 4);
    ResponseGraph* graph = dlg.graph();
    EXPECT_NEAR(graph->handle(4).x(), 4000.0, 1e-9);
    EXPECT_NEAR(graph->handle(4).y(), bandResponseAt(band, 4000.0), 0.05);
    EXPECT_NEAR(graph->handle(4).y(), 6.0, 0.05);
    EXPECT_TRUE(graph->handleToolTip(4).contains("12.0")) << graph->handleToolTip(4).toStdString();

    // A drag sideways keeps the gain; a drag down to the 3 dB line stores a 6 dB shelf.
    dragHandle(graph, 4, QPointF(graph->xToPixel(2000.0), graph->yToPixel(graph->handle(4).y())));
    EXPECT_NEAR(rec().inputEqAt(4, kEqFrequency, 0), 2000.0, 60.0);
    EXPECT_EQ(rec().inputEqAt(4, kEqGain, 0), 12.0);
    dragHandle(graph, 4, QPointF(graph->xToPixel(graph->handle(4).x()), graph->yToPixel(3.0)));
    EXPECT_NEAR(rec().inputEqAt(4, kEqGain, 0), 6.0, 0.25);
    EXPECT_NEAR(graph->handle(4).y(), rec().inputEqAt(4, kEqGain, 0) / 2.0, 0.1);
}
