// The editor windows and the system page on a core of their own: what the operator does in them
// reaches the record and the unit, and what the record holds reaches them. The editors' rules are
// tested in tests/mixer.

#include "DesktopBench.h"

#include "dsp/EqCurves.h"
#include "mixer/UndoHistory.h"
#include "model/HostAddressRules.h"
#include "support/LoopbackCore.h"
#include "ui/InputEqWindow.h"
#include "ui/IpAddressEdit.h"
#include "ui/LimiterWindow.h"
#include "ui/OutputEqWindow.h"
#include "ui/SystemPage.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/ValueReadout.h"

#include "KitTestSupport.h"

#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// A core that has made its channel rows, on the factory values.
class EditorWindowTest : public ::testing::Test, protected CoreBench
{
protected:
    EditorWindowTest()
    {
        core->start();
        applyFactoryValues(rec());
    }
};

void show(QWidget& w)
{
    w.setAttribute(Qt::WA_DontShowOnScreen);
    w.show();
    QCoreApplication::processEvents();
}

QPointF handlePixel(ResponseGraph* graph, int index)
{
    return {graph->xToPixel(graph->handle(index).x()), graph->yToPixel(graph->handle(index).y())};
}

// Drags handle `index` of a graph to a pixel position, in a few moves.
void dragHandle(ResponseGraph* graph, int index, QPointF to)
{
    const QPointF from = handlePixel(graph, index);
    Press(graph, from);
    for (int step = 1; step <= 4; ++step)
        Move(graph, from + (to - from) * (step / 4.0));
    Release(graph, to);
}

} // namespace

TEST_F(EditorWindowTest, TheInputEditorEditsItsChannel)
{
    InputEqWindow dlg(*core, 2, nullptr);
    show(dlg);
    EXPECT_FALSE(dlg.isModal());

    // A knob turned by the keyboard reaches the record and the band's gain slider.
    dlg.gainKnob(1)->setFocus();
    QTest::keyClick(dlg.gainKnob(1), Qt::Key_PageUp);
    EXPECT_NE(rec().inputEqAt(1, kEqGain, 2), 0.0);
    EXPECT_NEAR(rec().inputEqAt(1, kEqGain, 2), dlg.gainKnob(1)->value() / 10.0, 1e-9);
    EXPECT_EQ(dlg.gainSlider(1)->value(),
              InputEqEditor::gainSliderPosition(rec().inputEqAt(1, kEqGain, 2)));

    dlg.channelButton(5)->click();
    EXPECT_EQ(dlg.editor().channel(), 5);
    EXPECT_EQ(dlg.channelList()->currentRow(), 5);
}

// A preset, a factory restore or a unit's report replaced the record: open editors show it.
TEST_F(EditorWindowTest, OpenEditorsShowTheRecordAndTheNames)
{
    InputEqWindow input(*core, 1, nullptr);
    OutputEqWindow output(*core, 0, nullptr);
    LimiterWindow limiter(*core, 0, nullptr);
    setInputEqBand(rec(), 1, 2, EqBand{3150.0, -8.0, 2.5, EqBandType::Peak});
    rec().outputEqAt(0, kEqGain, 6) = 4.5;
    rec().limiterRelease[0] = 20;
    core->renameChannel(ChannelKind::Input, 1, QString(), QStringLiteral("Pulpit"));
    emit core->surface().refreshNeeded();
    EXPECT_EQ(input.frequencyKnob(2)->value(), 3150);
    EXPECT_EQ(input.gainKnob(2)->value(), -80);
    EXPECT_EQ(input.channelList()->item(1)->text(), "Pulpit");
    EXPECT_EQ(input.copySource()->itemText(1), "Pulpit");
    EXPECT_EQ(output.gainKnob(6)->value(), 45);
    EXPECT_EQ(limiter.releaseList()->currentText(), limiter.releaseReadout()->text());

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
    show(output);
    output.editor().knobChanged(3, 500.0, 2.0, 1.0);
    EXPECT_TRUE(delivery.hasWaiting());
    output.close();
    EXPECT_FALSE(delivery.hasWaiting());
}

// The wheel over a handle turns the band's Q (finer with Shift, half a notch waits for the rest),
// and a double-click resets its gain; both go out the way a knob's change does. Away from the
// handles neither does anything.
TEST_F(EditorWindowTest, WheelTurnsQAndDoubleClickResetsTheGain)
{
    rec().connected = 1;
    rec().inputEqAt(2, kEqGain, 0) = 6.0;
    rec().inputEqAt(2, kEqQ, 0) = 1.0;
    InputEqWindow dlg(*core, 0, nullptr);
    show(dlg);
    ResponseGraph* graph = dlg.graph();
    const QPointF away(graph->xToPixel(3000.0), graph->yToPixel(-14.0));
    Wheel(graph, 120, Qt::NoModifier, away);
    sendMouse(graph, QEvent::MouseButtonDblClick, away);
    Wheel(graph, 60, Qt::NoModifier, handlePixel(graph, 2));
    EXPECT_FALSE(core->commandPort().hasWaiting());
    EXPECT_EQ(rec().inputEqAt(2, kEqQ, 0), 1.0);
    Wheel(graph, 120 * 6 - 60, Qt::NoModifier, handlePixel(graph, 2)); // six notches: an octave
    EXPECT_NEAR(rec().inputEqAt(2, kEqQ, 0), 2.0, 1e-9);
    EXPECT_EQ(dlg.qKnob(2)->value(), 20);
    EXPECT_TRUE(core->commandPort().hasWaiting());
    Wheel(graph, -120, Qt::ShiftModifier, handlePixel(graph, 2));
    EXPECT_NEAR(rec().inputEqAt(2, kEqQ, 0), 1.9, 1e-9);

    sendMouse(graph, QEvent::MouseButtonDblClick, handlePixel(graph, 2));
    EXPECT_EQ(rec().inputEqAt(2, kEqGain, 0), 0.0);
    EXPECT_EQ(dlg.gainKnob(2)->value(), 0);
    dlg.close();
    EXPECT_FALSE(core->commandPort().hasWaiting());
}

// A shelf's handle sits on the shelf's own curve at its set frequency (half its gain), and a
// vertical drag of the handle stores the gain that puts it there; a drag sideways keeps the gain.
TEST_F(EditorWindowTest, AShelfHandleSitsOnItsCurve)
{
    rec().inputEqType[4][0] = static_cast<std::int32_t>(EqBandType::HighShelf);
    rec().inputEqAt(4, kEqGain, 0) = 12.0;
    rec().inputEqAt(4, kEqFrequency, 0) = 4000.0;
    InputEqWindow dlg(*core, 0, nullptr);
    show(dlg);
    ResponseGraph* graph = dlg.graph();
    EXPECT_NEAR(graph->handle(4).x(), 4000.0, 1e-9);
    EXPECT_NEAR(graph->handle(4).y(), bandResponseAt(inputEqBand(rec(), 0, 4), 4000.0), 0.05);
    EXPECT_TRUE(graph->handleToolTip(4).contains("12.0")) << graph->handleToolTip(4).toStdString();

    dragHandle(graph, 4, QPointF(graph->xToPixel(2000.0), graph->yToPixel(graph->handle(4).y())));
    EXPECT_NEAR(rec().inputEqAt(4, kEqFrequency, 0), 2000.0, 60.0);
    EXPECT_EQ(rec().inputEqAt(4, kEqGain, 0), 12.0);
    dragHandle(graph, 4, QPointF(graph->xToPixel(graph->handle(4).x()), graph->yToPixel(3.0)));
    EXPECT_NEAR(rec().inputEqAt(4, kEqGain, 0), 6.0, 0.25);
}

// In the EQ window a handle drag is one step; Ctrl+Z takes it back and the window shows it.
TEST_F(EditorWindowTest, AHandleDragIsOneStepAndCtrlZUndoesIt)
{
    UndoHistory& history = core->undo();
    history.clear(); // the factory values are where the history starts
    InputEqWindow dlg(*core, 1, nullptr);
    show(dlg);
    const EqBand before = inputEqBand(rec(), 1, 2);
    ResponseGraph* graph = dlg.graph();
    dragHandle(graph, 2, QPointF(graph->xToPixel(3000.0), graph->yToPixel(-8.0)));
    EXPECT_NE(inputEqBand(rec(), 1, 2).gain, before.gain);
    EXPECT_EQ(history.undoCount(), 1);

    // Ctrl+Z in the editor window undoes; Ctrl+Shift+Z redoes.
    QShortcut* undo = nullptr;
    for (QShortcut* shortcut : dlg.findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_Z)) undo = shortcut;
    ASSERT_NE(undo, nullptr);
    emit undo->activated();
    const EqBand after = inputEqBand(rec(), 1, 2);
    EXPECT_EQ(after.frequency, before.frequency);
    EXPECT_EQ(after.gain, before.gain);
    EXPECT_EQ(dlg.gainKnob(2)->value(), int(std::lround(before.gain * 10)));
    EXPECT_NEAR(graph->handle(2).x(), before.frequency, 1e-9);
    EXPECT_TRUE(history.canRedo());

    // BYPASS (which locks the band controls) pressed and taken back: the button goes dark with
    // the gains restored.
    ASSERT_TRUE(history.redo());
    const double dragged = inputEqBand(rec(), 1, 2).gain;
    ASSERT_NE(dragged, 0.0);
    dlg.bypassButton()->click();
    ASSERT_TRUE(dlg.bypassButton()->isChecked());
    EXPECT_FALSE(dlg.gainKnob(0)->isEnabled());
    EXPECT_EQ(inputEqBand(rec(), 1, 2).gain, 0.0);
    emit undo->activated();
    EXPECT_FALSE(dlg.bypassButton()->isChecked());
    EXPECT_TRUE(dlg.gainKnob(0)->isEnabled());
    EXPECT_EQ(inputEqBand(rec(), 1, 2).gain, dragged);
    ASSERT_TRUE(history.redo());
    EXPECT_TRUE(dlg.bypassButton()->isChecked());
}

// The system page without a unit: the threshold knob works only in Manual, and settles before it
// stores; an address change is refused.
TEST_F(EditorWindowTest, TheSystemPageOffline)
{
    rec().accountLevel = 1; // the system page is the administrator's
    rec().thresholdMode = 0;
    rec().threshold = 12;
    SystemPage page(*core);
    EXPECT_FALSE(page.thresholdKnob()->isEnabled()) << "Auto: the unit sets the threshold";
    EXPECT_EQ(page.thresholdKnob()->value(), 12);

    page.thresholdModeButton()->click();
    EXPECT_EQ(rec().thresholdMode, 1);
    EXPECT_TRUE(page.thresholdKnob()->isEnabled());

    // Two key steps are one setting: one store, one confirmation, once the knob rests.
    page.thresholdKnob()->setFocus();
    QTest::keyClick(page.thresholdKnob(), Qt::Key_Up);
    QTest::keyClick(page.thresholdKnob(), Qt::Key_Up);
    EXPECT_EQ(rec().threshold, 12) << "not before the turn is over";
    ASSERT_TRUE(waitFor([&] { return rec().threshold != 12; }, 3000));
    EXPECT_EQ(rec().threshold, 14);
    ASSERT_EQ(op.messages.size(), 1u);
    // No unit: the setting is kept for the next connection, never reported as set.
    EXPECT_EQ(op.messages[0].text, ControlSurface::savedOfflineText());

    // A turn still pending when the mode goes back to Auto is dropped.
    QTest::keyClick(page.thresholdKnob(), Qt::Key_Up);
    page.thresholdModeButton()->click();
    EXPECT_FALSE(page.thresholdKnob()->isEnabled());
    EXPECT_FALSE(waitFor([&] { return rec().threshold != 14 || op.messages.size() != 1; },
                         SystemPage::kKnobCommitDelayMs * 2));
    EXPECT_EQ(page.thresholdKnob()->value(), 14) << "the knob shows the record again";

    // Without a unit an address change is refused before anything is asked.
    page.addressEdit()->setAddress(QStringLiteral("127.0.0.9"));
    page.addressOkButton()->click();
    EXPECT_EQ(op.messages.back().text, "Please connect software.");
    EXPECT_TRUE(op.questions.empty());
}

// The one address case of the windows: what no unit can hold is refused on the spot, a usable
// address is asked about and sent on Yes. (When ip.ini changes is tested in tests/e2e.)
TEST(SystemPage, AnUnusableAddressIsRefusedAndAGoodOneMovesTheUnitOnceConfirmed)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    SystemPage page(*b.core);
    IpAddressEdit* edit = page.addressEdit();
    b.unit->clearReceived();

    const QString unfinished = QStringLiteral("Type all four parts of the address, each 0 to 255.");
    const std::pair<QString, QString> refused[] = {
        {"10.1..7", unfinished},
        {"10.1.2.255", hostAddressProblemText(HostAddressProblem::BroadcastAddress, "10.1.2.255")},
    };
    for (const auto& [typed, message] : refused) {
        SCOPED_TRACE(typed.toStdString());
        const QStringList parts = typed.split('.');
        for (int i = 0; i < 4; ++i)
            edit->octetEdit(i)->setText(parts[i]);
        b.op.messages.clear();
        page.addressOkButton()->click();
        ASSERT_EQ(b.op.messages.size(), 1u);
        EXPECT_EQ(b.op.messages[0].text, message);
    }
    EXPECT_TRUE(b.op.questions.empty());

    // A usable one: the question names both addresses; No sends nothing.
    edit->setAddress(QStringLiteral("127.0.0.77"));
    b.op.messages.clear();
    b.op.answer = false;
    page.addressOkButton()->click();
    ASSERT_EQ(b.op.questions.size(), 1u);
    EXPECT_TRUE(b.op.questions[0].text.contains("from 127.0.0.2 to 127.0.0.77"))
        << b.op.questions[0].text.toStdString();

    // Yes: I goes out (the refusals and No sent none), and the page shows the new address.
    b.op.answer = true;
    page.addressOkButton()->click();
    ASSERT_TRUE(b.waitReceived('I', 1));
    EXPECT_EQ(b.unit->receivedCount('I'), 1);
    ASSERT_TRUE(waitFor([&] { return !b.op.messages.empty(); }, 3000));
    EXPECT_EQ(edit->text(), "127.0.0.77");
}

TEST(SystemPage, TheAccountChangeTakesTheAccountFromTheList)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    SystemPage page(*b.core);
    b.unit->clearReceived();
    page.accountList()->setCurrentIndex(1);
    EXPECT_EQ(page.newUserEdit()->text(), "user");
    EXPECT_TRUE(page.newUserEdit()->isReadOnly()) << "the unit's account names are not typed";
    page.newUserEdit()->setText(QStringLiteral("bob"));
    page.oldPasswordEdit()->setText(QStringLiteral("666666"));
    page.newPasswordEdit()->setText(QStringLiteral("123456"));
    page.confirmPasswordEdit()->setText(QStringLiteral("123456"));
    page.changeUserButton()->click();
    ASSERT_TRUE(b.waitReceived('X', 1));
    const auto x = std::find_if(b.unit->received().begin(), b.unit->received().end(),
                                [](const QByteArray& f) { return f.startsWith("%X,"); });
    ASSERT_NE(x, b.unit->received().end());
    EXPECT_TRUE(x->startsWith("%X,01,user&&&,666666&,user&&&,123456&,")) << x->toStdString();
}
