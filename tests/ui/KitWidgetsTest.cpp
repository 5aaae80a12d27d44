// The painted controls on their own: what a press, a drag, a key, the wheel or typed text does to
// them, and what they report to their owners.

#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/ValueFormat.h"
#include "ui/kit/ValueReadout.h"

#include "dsp/ResponseGrid.h"

#include "KitTestSupport.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

using namespace sonaro::ui;
using sonaro::ResponseGrid;

namespace {

struct Entry
{
    std::optional<ValueFormat> format; // none: a strip's gain fader (whole dB, -50..+10)
    int minimum, maximum, start;
    const char* text;
    int expected;  // kRefused: the text is refused and the value stays
    char note = 0; // what the note says right after Enter: 'c' clamped, 'r' rounded
};
constexpr int kRefused = INT_MIN;

// Every kind of control of the editors and strips, with what an operator types into it. The
// parsing is the model's (tests/model); here each format's raw form, and what the control does
// with an accepted, clamped, rounded, repeated or refused value.
const Entry kEntries[] = {
    // Gain faders: position 0 is +10 dB, 60 is -50 dB.
    {std::nullopt, 0, 60, 33, "-6", 16},
    {std::nullopt, 0, 60, 33, "20", 0, 'c'},
    {std::nullopt, 0, 60, 33, "-6.4", 16, 'r'},
    {std::nullopt, 0, 60, 33, "-6 ms", kRefused},
    // EQ gain knobs (0.1 dB), sliders (position 150 - tenths) and the limiter threshold.
    {ValueFormat::DecibelTenths, -150, 150, 0, "-40", -150, 'c'},
    {ValueFormat::GainSliderTenths, 0, 300, 150, "-6", 210},
    {ValueFormat::Threshold, 0, 1000, 800, "-20", 600},
    {ValueFormat::Threshold, 0, 1000, 800, "off", 1000},
    {ValueFormat::Threshold, 0, 1000, 800, "0", 800},
    // Frequencies, Q, limiter times and ratio.
    {ValueFormat::Hertz, 20, 20000, 100, "25 kHz", 20000, 'c'},
    {ValueFormat::QTenths, 3, 200, 5, "0.75", 8, 'r'},
    {ValueFormat::Milliseconds, 1, 2000, 10, "1.5s", 1500},
    {ValueFormat::Ratio, 1, 100, 2, "inf", 100},
    {ValueFormat::Ratio, 1, 100, 2, "4:3", kRefused},
    // System page and strip read-outs.
    {ValueFormat::Percent, 0, 100, 50, "25%", 25},
    {ValueFormat::Dbu, 0, 140, 120, "4dBu", 124},
    {ValueFormat::SamplesMs, 0, 4800, 48, "2.5", 120},
    {ValueFormat::Plain, 0, 60, 30, "12ms", kRefused},
};

// A control on a range and format, at a size where drags and clicks land.
template <typename Control>
Control& configure(Control& c, ValueFormat format, int minimum, int maximum, int value,
                   QSize size = {90, 24})
{
    c.setRange(minimum, maximum);
    c.setFormat(format);
    c.setValue(value);
    c.resize(size);
    return c;
}

// A strip's gain fader (whole dB, -50..+10).
Fader& gainFader(Fader& fader)
{
    fader.useGainScale();
    fader.resize(64, 300);
    return fader;
}

std::unique_ptr<ValueControl> controlFor(const Entry& e)
{
    std::unique_ptr<ValueControl> control;
    if (e.format) {
        auto readout = std::make_unique<ValueReadout>();
        configure(*readout, *e.format, e.minimum, e.maximum, e.start);
        control = std::move(readout);
    } else {
        auto fader = std::make_unique<Fader>();
        gainFader(*fader);
        control = std::move(fader);
    }
    control->setValue(e.start);
    control->show();
    return control;
}

} // namespace

// Typed entry in the units shown, through the visible editor: accepted values land in the
// control's raw form and are entered once; a value beyond the range is clamped and one between
// steps rounded, and the note below the read-out says so at once, as it says a value already set.
// Text that is not a value is refused visibly (red frame, the reason shown without hovering) and
// changes nothing; typing again takes the refusal back, Escape leaves the value as it was.
TEST(ValueControl, TypedEntryInTheUnitsShown)
{
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(
            QString("%1 \"%2\"").arg(e.format ? int(*e.format) : -1).arg(e.text).toStdString());
        const std::unique_ptr<ValueControl> control = controlFor(e);
        QSignalSpy changed(control.get(), &ValueControl::valueChanged);
        QSignalSpy entered(control.get(), &ValueControl::valueEntered);
        control->beginTypedEntry();
        QLineEdit* editor = control->typedEntryEditor();
        ASSERT_NE(editor, nullptr);
        editor->setText(QString::fromUtf8(e.text));
        QTest::keyClick(editor, Qt::Key_Return);
        if (e.expected == kRefused) {
            EXPECT_EQ(control->value(), e.start);
            EXPECT_EQ(changed.count() + entered.count(), 0);
            ASSERT_TRUE(control->isEditing());
            EXPECT_TRUE(editor->property("refused").toBool());
            EXPECT_EQ(editor->toolTip(), control->typedEntryError());
            ASSERT_NE(control->noteLabel(), nullptr);
            EXPECT_TRUE(control->noteLabel()->isVisible());
            EXPECT_EQ(control->noteLabel()->text(), control->typedEntryError());
            QTest::keyClicks(editor, "x");
            EXPECT_FALSE(editor->property("refused").toBool());
            QTest::keyClick(editor, Qt::Key_Escape);
            EXPECT_FALSE(control->isEditing());
            EXPECT_EQ(control->value(), e.start);
        } else {
            EXPECT_FALSE(control->isEditing());
            EXPECT_EQ(control->value(), e.expected);
            EXPECT_EQ(entered.count(), 1);
            const QString note = control->typedEntryNote();
            EXPECT_EQ(note.contains("outside"), e.note == 'c') << note.toStdString();
            EXPECT_EQ(note.contains("rounded"), e.note == 'r') << note.toStdString();
            EXPECT_EQ(note.contains("already"), e.expected == e.start) << note.toStdString();
            EXPECT_EQ(control->noteLabel() && control->noteLabel()->isVisible(),
                      e.note != 0 || e.expected == e.start);
        }
    }
}

// Enter on the text the editor opened with never moves the value, also where the text is
// rounded (1234 Hz shows as "1.23kHz"); every format reads its own text back to the same value.
TEST(ValueControl, EnterOnTheShownTextChangesNothing)
{
    ValueReadout hertz;
    configure(hertz, ValueFormat::Hertz, 20, 20000, 1234);
    hertz.show();
    QSignalSpy entered(&hertz, &ValueControl::valueEntered);
    hertz.beginTypedEntry();
    ASSERT_EQ(hertz.typedEntryEditor()->text(), "1.23kHz");
    QTest::keyClick(hertz.typedEntryEditor(), Qt::Key_Return);
    EXPECT_FALSE(hertz.isEditing());
    EXPECT_EQ(hertz.value(), 1234);
    EXPECT_EQ(entered.count(), 0);

    const struct
    {
        ValueFormat format;
        int minimum, maximum;
        std::initializer_list<int> values;
    } formats[] = {
        {ValueFormat::Threshold, 0, 1000, {0, 1, 785, 999, 1000}},
        {ValueFormat::Ratio, 1, 100, {1, 4, 100}},
        {ValueFormat::Dbu, 0, 140, {0, 1, 120, 140}},
        {ValueFormat::SamplesMs, 0, 4800, {0, 1, 50, 4799}},
        {ValueFormat::DecibelTenths, -150, 150, {-150, -1, 0, 1, 150}},
        {ValueFormat::Hertz, 20, 20000, {20, 999, 1000, 20000}},
        {ValueFormat::GainSliderTenths, 0, 300, {0, 149, 150, 300}},
    };
    for (const auto& f : formats) {
        for (int value : f.values) {
            const QString text = formatValue(f.format, value);
            int raw = INT_MIN;
            EXPECT_TRUE(parseFormattedText(f.format, text, f.minimum, f.maximum, raw));
            EXPECT_EQ(raw, value) << int(f.format) << " " << text.toStdString();
        }
    }
}

// A plain click, or a drag that comes back to where it started, neither changes the value nor
// reports a release (whose owner would resend): a read-out showing its top is not resent.
TEST(ValueControl, ClickWithoutChangeReportsNothing)
{
    ValueReadout ratio;
    Knob knob;
    Fader fader;
    configure(ratio, ValueFormat::Ratio, 1, 10, 10);
    configure(knob, ValueFormat::Milliseconds, 1, 2000, 10, {60, 80});
    gainFader(fader);
    for (ValueControl* control : std::initializer_list<ValueControl*>{&ratio, &knob, &fader}) {
        const int before = control->value();
        QSignalSpy changed(control, &ValueControl::valueChanged);
        QSignalSpy moved(control, &ValueControl::moved);
        QSignalSpy released(control, &ValueControl::released);
        const QPointF centre =
            control == &fader ? fader.capRect().center() : QRectF(control->rect()).center();
        Press(control, centre);
        Release(control, centre);
        Press(control, centre);
        Move(control, centre + QPointF(0, 30));
        Move(control, centre);
        Release(control, centre);
        EXPECT_EQ(control->value(), before);
        EXPECT_EQ(released.count(), 0);
        EXPECT_EQ(changed.count(), moved.count());
    }
}

// Frequencies sit on a logarithmic scale: one drag covers 20 Hz..20 kHz whatever the width in
// hertz, and a fine wheel step at the bottom still moves by at least 1 Hz.
TEST(ValueControl, FrequencyScaleIsLogarithmic)
{
    Knob knob;
    configure(knob, ValueFormat::Hertz, 20, 20000, 1000, {60, 80});
    Wheel(&knob, 120);
    EXPECT_EQ(knob.value(), 1059); // 1000 x 1000^(1/120)
    knob.setValue(20);
    Wheel(&knob, 120, Qt::ShiftModifier);
    EXPECT_EQ(knob.value(), 21);

    knob.setValue(20);
    const QPointF centre = QRectF(knob.rect()).center();
    Press(&knob, centre);
    Move(&knob, centre + QPointF(0, -100)); // half the drag span
    EXPECT_NEAR(knob.value(), 632, 2);
    Release(&knob, centre);
}

// Keys, the wheel and clicks on a gain fader, whose "up" is the top, position 0; each row starts
// where the one before left the fader. A key at the end still reports a release (owners resend).
// A digit starts typing, and Escape abandons it.
TEST(ValueControl, KeysWheelAndClicksStepTheFader)
{
    Fader fader;
    gainFader(fader);
    fader.show();
    fader.setValue(1);
    QSignalSpy moved(&fader, &ValueControl::moved);
    QSignalSpy released(&fader, &ValueControl::released);
    QSignalSpy entered(&fader, &ValueControl::valueEntered);
    const auto key = [&](Qt::Key k) { QTest::keyClick(&fader, k); };
    const QPointF bottom(fader.capRect().center().x(), fader.travelBottom());
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { key(Qt::Key_Up); }, 0},
        {[&] { key(Qt::Key_Up); }, 0},
        {[&] { key(Qt::Key_PageDown); }, 10},
        {[&] { key(Qt::Key_End); }, 60},
        {[&] { key(Qt::Key_Delete); }, 10}, // the default: 0 dB
        {[&] { Wheel(&fader, 120); }, 9},
        {[&] { Wheel(&fader, -120, Qt::ControlModifier); }, 19},
        {[&] { Wheel(&fader, 60); }, 19}, // half a notch waits for the other half
        {[&] { Wheel(&fader, 60); }, 18},
        {[&] { Press(&fader, bottom), Release(&fader, bottom); }, 60}, // a track click jumps
        {[&] { Press(&fader, fader.capRect().center(), Qt::ControlModifier); }, 10},
        {[&] { Release(&fader, fader.capRect().center()), key(Qt::Key_5); }, 10},
        {[&] { QTest::keyClick(fader.typedEntryEditor(), Qt::Key_Escape); }, 10},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        EXPECT_EQ(fader.value(), steps[i].second) << "step " << i;
        if (i == 1) {
            EXPECT_EQ(released.count() - moved.count(), 1) << "released at the top";
        }
        if (i == 11) {
            ASSERT_TRUE(fader.isEditing());
            EXPECT_EQ(fader.typedEntryEditor()->text(), "5");
        }
    }
    EXPECT_FALSE(fader.isEditing());
    EXPECT_EQ(entered.count(), 0);
}

// A drag moves once per position change, stops at the ends, and releases once; a setter clamps
// too, reports each real change once and is never an operator's move.
TEST(ValueControl, DragMovesOncePerPositionChangeAndReleasesOnce)
{
    Fader fader;
    gainFader(fader);
    QSignalSpy changed(&fader, &ValueControl::valueChanged);
    QSignalSpy moved(&fader, &ValueControl::moved);
    QSignalSpy released(&fader, &ValueControl::released);
    EXPECT_TRUE(fader.setValue(500));
    EXPECT_FALSE(fader.setValue(61));
    EXPECT_TRUE(fader.setValue(10));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(moved.count(), 0);
    const QPointF start = fader.capRect().center();
    const double pxPerStep = (fader.travelBottom() - fader.travelTop()) / 60.0;
    Press(&fader, start);
    EXPECT_EQ(moved.count(), 0); // grabbing the cap does not move it
    Move(&fader, start + QPointF(0, pxPerStep * 0.2));
    Move(&fader, start + QPointF(0, pxPerStep * 5));
    Move(&fader, start + QPointF(0, pxPerStep * 5.1));
    EXPECT_EQ(fader.value(), 15);
    EXPECT_EQ(moved.count(), 1);
    Move(&fader, start + QPointF(0, -pxPerStep * 100));
    EXPECT_EQ(fader.value(), 0);
    Release(&fader, start);
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released.at(0).at(0).toInt(), 0);
}

// Scrolled or not, a click on a drawn cell hits that cell, and nothing left of or above the grid;
// a click toggles that cell alone and reports it.
TEST(MatrixGrid, AClickTogglesTheCellDrawnThere)
{
    MatrixGrid grid;
    grid.resize(900, 500);
    grid.setGridOrigin(QPoint(20, 20));
    grid.setRowBits(0, 0xFF);
    grid.setRowBits(1, 0x05);
    EXPECT_TRUE(grid.isOn({7, 0}));
    EXPECT_FALSE(grid.isOn({1, 1}));
    for (const QPoint offset : {QPoint(81, 30), QPoint(0, 0)}) {
        grid.setScrollOffset(offset);
        for (const MatrixCell cell : {MatrixCell{0, 0}, MatrixCell{3, 1}, MatrixCell{7, 1}}) {
            EXPECT_EQ(grid.hitTest(grid.cellRect(cell).center()), cell);
            EXPECT_EQ(grid.hitTest(grid.cellRect(cell).bottomRight()), cell);
        }
        EXPECT_FALSE(grid.hitTest({19 - offset.x(), 30}));
        EXPECT_FALSE(grid.hitTest({30, -30}));
    }

    QSignalSpy toggled(&grid, &MatrixGrid::cellToggled);
    const auto click = [&](QPoint at) {
        QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, at);
    };
    click(grid.cellRect({1, 1}).center());
    EXPECT_EQ(grid.rowBits(1), 0x07u);
    EXPECT_EQ(grid.rowBits(0), 0xFFu); // the other row is untouched
    click(grid.cellRect({0, 0}).center());
    click(grid.cellRect({0, 0}).center());
    EXPECT_EQ(grid.rowBits(0), 0xFFu); // twice: back to before
    click(QPoint(5, 5));               // outside
    ASSERT_EQ(toggled.count(), 3);
    EXPECT_EQ(toggled.at(0).at(0).value<MatrixCell>(), (MatrixCell{1, 1}));
    EXPECT_TRUE(toggled.at(0).at(1).toBool());
    EXPECT_FALSE(toggled.at(1).at(1).toBool());
}

namespace {

class ResponseGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        graph.resize(700, 300);
        graph.setLogarithmicX(true);
        graph.setYRange(-15.0, 15.0);
        graph.setXValues(ResponseGrid);
    }
    QPointF at(double x, double y) const { return {graph.xToPixel(x), graph.yToPixel(y)}; }
    ResponseGraph graph;
};

} // namespace

// A drag reports each move after the start distance and stops on the edges of the range.
TEST_F(ResponseGraphTest, DragSendsOneNotificationPerMoveAfterTheStartDistance)
{
    graph.setHandles({{100.0, 0.0}, {1000.0, 3.0}, {1000.0, 3.0}, {10000.0, -6.0}});
    QSignalSpy pressed(&graph, &ResponseGraph::pointPressed);
    QSignalSpy dragged(&graph, &ResponseGraph::pointDragged);
    QSignalSpy released(&graph, &ResponseGraph::pointReleased);
    const QPointF start = at(1000.0, 3.0);

    // Two handles on the same spot: the one drawn last (index 2) is picked.
    Press(&graph, start);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).toInt(), 2);
    Move(&graph, start + QPointF(1, 1)); // within the start distance: nothing moves
    EXPECT_EQ(dragged.count(), 0);
    Move(&graph, start + QPointF(0, -30));
    Move(&graph, start + QPointF(0, -40));
    Move(&graph, start + QPointF(0, -40)); // a move event to the same place still reports once
    ASSERT_EQ(dragged.count(), 3);
    EXPECT_EQ(dragged.at(2).at(0).toInt(), 2);
    EXPECT_NEAR(graph.handle(2).y(), graph.pixelToY(start.y() - 40), 1e-9);
    EXPECT_NEAR(graph.handle(2).x(), 1000.0, 1e-6);
    EXPECT_EQ(graph.handle(1), QPointF(1000.0, 3.0));

    // Far outside the plot the handle stops on the edge of the range.
    Move(&graph, QPointF(-500, -500));
    EXPECT_NEAR(graph.handle(2).x(), 19.71, 1e-9);
    EXPECT_NEAR(graph.handle(2).y(), 15.0, 1e-9);
    Release(&graph, QPointF(-500, -500));
    EXPECT_EQ(released.count(), 1);
    Move(&graph, start); // hovering after the release drags nothing
    EXPECT_EQ(dragged.count(), 4);

    // Points out of the arrays are ignored rather than written past them.
    graph.setPointValue(1.0, 241, 1);
    graph.setPointValue(1.0, -1, 2);
    graph.setPointValue(1.0, 3, 4);
    EXPECT_EQ(graph.pointValue(3, 4), 0.0);
    EXPECT_FALSE(graph.grab().isNull()); // and paints with all of it
}

// The strips' compact curve is a button: a drag on it does not edit.
TEST(ResponseGraph, TheCompactFormIsAButton)
{
    ResponseGraph small;
    small.setCompact(true);
    small.resize(90, 44);
    small.setLogarithmicX(true);
    small.setXValues(ResponseGrid);
    small.setHandles({{1000.0, 0.0}});
    QSignalSpy clicked(&small, &ResponseGraph::clicked);
    QSignalSpy dragged(&small, &ResponseGraph::pointDragged);
    const QPointF c = small.rect().center();
    Press(&small, c);
    Move(&small, c + QPointF(10, 0));
    Release(&small, c + QPointF(10, 0));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(dragged.count(), 0);
}

// Arrow keys nudge the selected handle and report it as a short drag: a twelfth of an octave
// or 0.5 dB, a fifth of that with Shift, never past the ranges; nothing without a selection.
TEST_F(ResponseGraphTest, ArrowKeysNudgeTheSelectedHandle)
{
    graph.setHandles({{100.0, 0.0}, {1000.0, 14.8}});
    QSignalSpy dragged(&graph, &ResponseGraph::pointDragged);
    QSignalSpy released(&graph, &ResponseGraph::pointReleased);
    QTest::keyClick(&graph, Qt::Key_Right);
    EXPECT_EQ(dragged.count(), 0);

    graph.selectBand(1);
    QTest::keyClick(&graph, Qt::Key_Right);
    QTest::keyClick(&graph, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_NEAR(graph.handle(1).x(), 1000.0 * std::pow(2.0, 0.8 / 12.0), 1e-9);
    QTest::keyClick(&graph, Qt::Key_Down);
    QTest::keyClick(&graph, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_NEAR(graph.handle(1).y(), 14.4, 1e-9);
    QTest::keyClick(&graph, Qt::Key_Up);
    QTest::keyClick(&graph, Qt::Key_Up); // stops at +15 dB ...
    QTest::keyClick(&graph, Qt::Key_Up); // ... and a nudge that moves nothing is silent
    EXPECT_DOUBLE_EQ(graph.handle(1).y(), 15.0);
    EXPECT_EQ(dragged.count(), 6);
    EXPECT_EQ(released.count(), 6);
    EXPECT_EQ(graph.handle(0), QPointF(100.0, 0.0));
}
