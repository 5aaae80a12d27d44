#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/ValueFormat.h"
#include "ui/kit/ValueReadout.h"

#include "KitTestSupport.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

using namespace sonaro::ui;

TEST(ValueFormat, ReadoutFormats)
{
    EXPECT_EQ(formatValue(ValueFormat::Threshold, 800), "0.0dB");
    EXPECT_EQ(formatValue(ValueFormat::Threshold, 0), "-80.0dB");
    EXPECT_EQ(formatValue(ValueFormat::Threshold, 999), "19.9dB");
    EXPECT_EQ(formatValue(ValueFormat::Threshold, 1000), "OFF");
    EXPECT_EQ(formatValue(ValueFormat::Milliseconds, 2000), "2000ms");
    EXPECT_EQ(formatValue(ValueFormat::Ratio, 4), "4:1");
    EXPECT_EQ(formatValue(ValueFormat::Percent, 0), "OFF");
    EXPECT_EQ(formatValue(ValueFormat::Percent, 5), "5.0%");
    EXPECT_EQ(formatValue(ValueFormat::Dbu, 0), "OFF");
    EXPECT_EQ(formatValue(ValueFormat::Dbu, 124), "4dBu");
    EXPECT_EQ(formatValue(ValueFormat::SamplesMs, 48), "1.000ms");
    EXPECT_EQ(formatValue(ValueFormat::DecibelTenths, -1), "-0.1dB");
    EXPECT_EQ(formatValue(static_cast<ValueFormat>(99), 1), "NULL");
}

namespace {

struct Entry
{
    ValueFormat format;
    int minimum, maximum, start;
    const char* text;
    int expected;  // kRefused: the text is refused and the value stays
    char note = 0; // what the note says right after Enter: 'c' clamped, 'r' rounded
};
constexpr int kRefused = INT_MIN;

// Every kind of control of the editors and strips, with what an operator types into it.
const Entry kEntries[] = {
    // EQ gain knobs (0.1 dB), sliders (position 150 - tenths) and the limiter threshold.
    {ValueFormat::DecibelTenths, -150, 150, 0, "-6", -60},
    {ValueFormat::DecibelTenths, -150, 150, 0, "+4.5dB", 45},
    {ValueFormat::DecibelTenths, -150, 150, 0, "-40", -150, 'c'},
    {ValueFormat::DecibelTenths, -150, 150, 0, "six", kRefused},
    {ValueFormat::GainSliderTenths, 0, 300, 150, "0", 150},
    {ValueFormat::GainSliderTenths, 0, 300, 150, "-6", 210},
    {ValueFormat::GainSliderTenths, 0, 300, 150, "99", 0, 'c'},
    {ValueFormat::GainSliderTenths, 0, 300, 150, "", kRefused},
    {ValueFormat::Threshold, 0, 1000, 800, "-20", 600},
    {ValueFormat::Threshold, 0, 1000, 800, "-90dB", 0, 'c'},
    {ValueFormat::Threshold, 0, 1000, 800, "off", 1000},
    {ValueFormat::Threshold, 0, 1000, 800, "-20 Hz", kRefused},
    // Frequencies, Q.
    {ValueFormat::Hertz, 20, 20000, 1000, "1k", 1000},
    {ValueFormat::Hertz, 20, 20000, 100, "2.5k", 2500},
    {ValueFormat::Hertz, 20, 20000, 100, "1200", 1200},
    {ValueFormat::Hertz, 20, 20000, 100, "25 kHz", 20000, 'c'},
    {ValueFormat::Hertz, 20, 20000, 100, "5", 20, 'c'},
    {ValueFormat::Hertz, 20, 20000, 100, "1k2", kRefused},
    {ValueFormat::QTenths, 3, 200, 5, "2", 20},
    {ValueFormat::QTenths, 3, 200, 5, "0.75", 8, 'r'},
    {ValueFormat::QTenths, 3, 200, 5, "0", 3, 'c'},
    {ValueFormat::QTenths, 3, 200, 5, "q", kRefused},
    // Limiter times and ratio.
    {ValueFormat::Milliseconds, 1, 2000, 5, "10ms", 10},
    {ValueFormat::Milliseconds, 1, 2000, 5, "-10", 1, 'c'},
    {ValueFormat::Milliseconds, 1, 2000, 10, "1.5s", 1500},
    {ValueFormat::Milliseconds, 1, 2000, 10, "9000", 2000, 'c'},
    {ValueFormat::Milliseconds, 1, 2000, 10, "fast", kRefused},
    {ValueFormat::Ratio, 1, 100, 2, "4", 4},
    {ValueFormat::Ratio, 1, 100, 2, "4:1", 4},
    {ValueFormat::Ratio, 1, 100, 2, "inf", 100},
    {ValueFormat::Ratio, 1, 100, 2, "0.5", 1, 'c'},
    {ValueFormat::Ratio, 1, 100, 2, "4:3", kRefused},
    // System page and strip read-outs.
    {ValueFormat::Percent, 0, 100, 50, "25%", 25},
    {ValueFormat::Percent, 0, 100, 50, "OFF", 0},
    {ValueFormat::Dbu, 0, 140, 120, "4dBu", 124},
    {ValueFormat::Dbu, 0, 140, 120, "off", 0},
    {ValueFormat::SamplesMs, 0, 4800, 48, "2.5", 120},
    {ValueFormat::Plain, 0, 60, 30, "12", 12},
    {ValueFormat::Plain, 0, 60, 30, "12ms", kRefused},
};

} // namespace

// Typed entry in the units shown, through the visible editor of a read-out: accepted values
// land in the control's raw form; a value beyond the range is clamped and one between steps
// rounded, and the note below the read-out says so at once; text that is not a value is refused
// visibly and changes nothing.
TEST(ValueControl, TypedEntryInTheUnitsShown)
{
    for (const Entry& e : kEntries) {
        const QString label = QString("%1 \"%2\"").arg(int(e.format)).arg(e.text);
        ValueReadout readout;
        readout.setRange(e.minimum, e.maximum);
        readout.setFormat(e.format);
        readout.setValue(e.start);
        readout.resize(90, 24);
        readout.show();
        QSignalSpy changed(&readout, &ValueControl::valueChanged);
        QSignalSpy entered(&readout, &ValueControl::valueEntered);
        readout.beginTypedEntry();
        QLineEdit* editor = readout.typedEntryEditor();
        ASSERT_NE(editor, nullptr) << label.toStdString();
        editor->setText(QString::fromUtf8(e.text));
        QTest::keyClick(editor, Qt::Key_Return);
        if (e.expected == kRefused) {
            EXPECT_EQ(readout.value(), e.start) << label.toStdString();
            EXPECT_EQ(changed.count() + entered.count(), 0) << label.toStdString();
            ASSERT_TRUE(readout.isEditing()) << label.toStdString();
            EXPECT_TRUE(editor->property("refused").toBool());
            EXPECT_EQ(editor->toolTip(), readout.typedEntryError());
            ASSERT_NE(readout.noteLabel(), nullptr); // the reason shows without hovering
            EXPECT_TRUE(readout.noteLabel()->isVisible());
            EXPECT_EQ(readout.noteLabel()->text(), readout.typedEntryError());
            QTest::keyClicks(editor, "x"); // typing again takes the frame back
            EXPECT_FALSE(editor->property("refused").toBool());
            EXPECT_TRUE(editor->toolTip().isEmpty());
            QTest::keyClick(editor, Qt::Key_Escape); // leaves the value as it was
            EXPECT_FALSE(readout.isEditing());
            EXPECT_EQ(readout.value(), e.start);
        } else {
            EXPECT_FALSE(readout.isEditing()) << label.toStdString();
            EXPECT_EQ(readout.value(), e.expected) << label.toStdString();
            EXPECT_EQ(entered.count(), 1) << label.toStdString();
            const QString note = readout.typedEntryNote();
            EXPECT_EQ(note.contains("outside"), e.note == 'c') << note.toStdString();
            EXPECT_EQ(note.contains("rounded"), e.note == 'r') << note.toStdString();
            // A value already set is said too.
            EXPECT_EQ(readout.noteLabel() && readout.noteLabel()->isVisible(),
                      e.note != 0 || e.expected == e.start);
        }
    }
}

// Enter on the text the editor opened with never moves the value, also where the text is
// rounded (1234 Hz shows as "1.23kHz"); every format reads its own text back to the same value.
TEST(ValueControl, EnterOnTheShownTextChangesNothing)
{
    ValueReadout hertz;
    hertz.setRange(20, 20000);
    hertz.setFormat(ValueFormat::Hertz);
    hertz.setValue(1234);
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
        {ValueFormat::Milliseconds, 1, 5000, {1, 10, 5000}},
        {ValueFormat::Ratio, 1, 100, {1, 4, 10}},
        {ValueFormat::Percent, 0, 100, {0, 1, 100}},
        {ValueFormat::Dbu, 0, 140, {0, 1, 120, 140}},
        {ValueFormat::SamplesMs, 0, 4800, {0, 1, 50, 4799}},
        {ValueFormat::DecibelTenths, -150, 150, {-150, -1, 0, 1, 150}},
        {ValueFormat::Hertz, 20, 20000, {20, 999, 1000, 20000}},
        {ValueFormat::QTenths, 3, 200, {3, 7, 200}},
        {ValueFormat::GainSliderTenths, 0, 300, {0, 149, 150, 300}},
    };
    for (const auto& f : formats) {
        for (int value : f.values) {
            int raw = INT_MIN;
            EXPECT_TRUE(parseFormattedText(f.format, formatValue(f.format, value), f.minimum,
                                           f.maximum, raw));
            EXPECT_EQ(raw, value) << int(f.format) << " "
                                  << formatValue(f.format, value).toStdString();
        }
    }
}

// The gain faders of the strips: whole dB, clamped to -50..+10; empty or non-numeric text is
// refused instead of reading as 0 dB.
TEST(ValueFormat, GainFaderText)
{
    int position = -1;
    EXPECT_TRUE(parseGainFaderText("20", position)); // clamped to +10 dB: the top
    EXPECT_EQ(position, 0);
    EXPECT_TRUE(parseGainFaderText("-80dB", position)); // clamped to -50 dB: the bottom
    EXPECT_EQ(position, 60);
    QString why;
    EXPECT_TRUE(parseGainFaderText("-6.4", position, &why));
    EXPECT_EQ(position, 16);
    EXPECT_TRUE(why.contains("-6dB")) << "rounded, and said so: " << why.toStdString();
    position = 33;
    for (const char* text : {"", "  ", "loud", "OFF", "-6 ms", "O"}) {
        EXPECT_FALSE(parseGainFaderText(text, position, &why)) << text;
        EXPECT_EQ(position, 33);
        EXPECT_FALSE(why.isEmpty());
    }
}

// A plain click, or a drag that comes back to where it started, neither changes the value nor
// reports anything: a ratio read-out showing its top stays as it is and is not resent.
TEST(ValueControl, ClickWithoutChangeReportsNothing)
{
    ValueReadout ratio;
    ratio.setRange(1, 10);
    ratio.setFormat(ValueFormat::Ratio);
    ratio.setValue(10);
    ratio.resize(84, 24);
    Knob knob;
    knob.setRange(1, 2000);
    knob.setFormat(ValueFormat::Milliseconds);
    knob.setValue(10);
    knob.resize(60, 80);
    for (ValueControl* control : std::initializer_list<ValueControl*>{&ratio, &knob}) {
        const int before = control->value();
        QSignalSpy changed(control, &ValueControl::valueChanged);
        QSignalSpy moved(control, &ValueControl::moved);
        QSignalSpy released(control, &ValueControl::released);
        const QPointF centre = QRectF(control->rect()).center();
        Press(control, centre);
        Release(control, centre);
        Press(control, centre);
        Move(control, centre + QPointF(0, 30));
        Move(control, centre);
        Release(control, centre);
        EXPECT_EQ(control->value(), before);
        EXPECT_EQ(released.count(), 0);
        // The drag away and back moved the value and back: moves, but no release to resend.
        EXPECT_EQ(changed.count(), moved.count());
    }
}

// Frequencies sit on a logarithmic scale: the ends of 20 Hz..20 kHz at 0 and 1, 632 Hz in the
// middle; a wheel notch is a twelfth of an octave-ish share of the scale, never less than 1 Hz.
TEST(ValueControl, FrequencyScaleIsLogarithmic)
{
    Knob knob;
    knob.setRange(20, 20000);
    knob.setFormat(ValueFormat::Hertz);
    EXPECT_TRUE(knob.isLogarithmic());
    EXPECT_DOUBLE_EQ(knob.fractionOf(20), 0.0);
    EXPECT_DOUBLE_EQ(knob.fractionOf(20000), 1.0);
    EXPECT_NEAR(knob.fractionOf(632), 0.5, 1e-3);
    EXPECT_EQ(knob.valueAtFraction(0.5), 632);
    EXPECT_EQ(knob.valueAtFraction(0.0), 20);
    EXPECT_EQ(knob.valueAtFraction(1.0), 20000);
    EXPECT_EQ(knob.valueAtFraction(1.0 / 3.0), 200);

    const auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(QPointF(10, 10), knob.mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&knob, &e);
    };
    knob.setValue(1000);
    wheel(120, Qt::NoModifier);
    EXPECT_EQ(knob.value(), 1059); // 1000 x 1000^(1/120)
    wheel(-120, Qt::NoModifier);
    EXPECT_EQ(knob.value(), 1000);
    knob.setValue(20);
    wheel(120, Qt::ShiftModifier); // a fine step at the bottom still moves
    EXPECT_EQ(knob.value(), 21);

    // The whole scale in one drag, whatever the range's width in hertz.
    knob.resize(60, 80);
    knob.setValue(20);
    const QPointF centre = QRectF(knob.rect()).center();
    Press(&knob, centre);
    Move(&knob, centre + QPointF(0, -100)); // half the drag span
    EXPECT_NEAR(knob.value(), 632, 2);
    Release(&knob, centre);

    knob.setRange(0, 20000); // a range that reaches 0 stays linear
    EXPECT_FALSE(knob.isLogarithmic());
}

TEST(ValueControl, SetterClampsIgnoresNoOpsAndSignalsOnce)
{
    Fader fader;
    fader.useGainScale();
    fader.setValue(30);
    QSignalSpy changed(&fader, &ValueControl::valueChanged);
    QSignalSpy moved(&fader, &ValueControl::moved);
    EXPECT_FALSE(fader.setValue(30));
    EXPECT_TRUE(fader.setValue(500));
    EXPECT_EQ(fader.value(), 60);
    EXPECT_FALSE(fader.setValue(61));
    EXPECT_TRUE(fader.setValue(-4));
    EXPECT_EQ(fader.value(), 0);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toInt(), 0);
    EXPECT_EQ(moved.count(), 0); // programmatic changes are not operator moves
    EXPECT_EQ(fader.toolTip(), "10dB");

    fader.setRange(20, 40); // the value follows a narrowed range
    EXPECT_EQ(fader.value(), 20);
    EXPECT_EQ(fader.defaultValue(), 20);
}

// Keys, the wheel and clicks on a gain fader, whose "up" is the top, position 0; each row starts
// where the one before left the fader. A key at the end still reports a release (owners resend).
TEST(ValueControl, KeysWheelAndClicksStepTheFader)
{
    Fader fader;
    fader.useGainScale();
    fader.resize(64, 300);
    fader.setValue(1);
    QSignalSpy moved(&fader, &ValueControl::moved);
    QSignalSpy released(&fader, &ValueControl::released);
    const auto key = [&](Qt::Key k) { QTest::keyClick(&fader, k); };
    const auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(QPointF(10, 10), fader.mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&fader, &e);
    };
    const QPointF bottom(fader.capRect().center().x(), fader.travelBottom());
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { key(Qt::Key_Up); }, 0},
        {[&] { key(Qt::Key_Up); }, 0},
        {[&] { key(Qt::Key_PageDown); }, 10},
        {[&] { key(Qt::Key_End); }, 60},
        {[&] { key(Qt::Key_Delete); }, 10}, // the default: 0 dB
        {[&] { wheel(120, Qt::NoModifier); }, 9},
        {[&] { wheel(-120, Qt::ControlModifier); }, 19},
        {[&] { wheel(60, Qt::NoModifier); }, 19}, // half a notch waits for the other half
        {[&] { wheel(60, Qt::NoModifier); }, 18},
        {[&] { Press(&fader, bottom), Release(&fader, bottom); }, 60}, // a track click jumps
        {[&] { Press(&fader, fader.capRect().center(), Qt::ControlModifier); }, 10},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        EXPECT_EQ(fader.value(), steps[i].second) << "step " << i;
        if (i == 1) {
            EXPECT_EQ(released.count() - moved.count(), 1) << "released at the top";
        }
    }
}

TEST(ValueControl, DragMovesOncePerPositionChangeAndReleasesOnce)
{
    Fader fader;
    fader.useGainScale();
    fader.resize(64, 300);
    fader.setValue(10);
    QSignalSpy moved(&fader, &ValueControl::moved);
    QSignalSpy released(&fader, &ValueControl::released);
    const QPointF start = fader.capRect().center();
    const double pxPerStep = (fader.travelBottom() - fader.travelTop()) / 60.0;
    Press(&fader, start);
    EXPECT_EQ(moved.count(), 0);                       // grabbing the cap does not move it
    Move(&fader, start + QPointF(0, pxPerStep * 0.2)); // less than a step
    Move(&fader, start + QPointF(0, pxPerStep * 5));
    Move(&fader, start + QPointF(0, pxPerStep * 5.1));
    EXPECT_EQ(fader.value(), 15);
    EXPECT_EQ(moved.count(), 1);
    Move(&fader, start + QPointF(0, -pxPerStep * 100)); // far past the top
    EXPECT_EQ(fader.value(), 0);
    Release(&fader, start);
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(released.at(0).at(0).toInt(), 0);
}

// Typing starts at a digit; Escape abandons it. A control without a format takes plain numbers.
TEST(ValueControl, ADigitStartsTypingAndEscapeAbandonsIt)
{
    Fader fader;
    fader.useGainScale();
    fader.resize(64, 300);
    fader.show();
    fader.setValue(16);
    QSignalSpy entered(&fader, &ValueControl::valueEntered);
    QTest::keyClick(&fader, Qt::Key_5);
    ASSERT_TRUE(fader.isEditing());
    EXPECT_EQ(fader.typedEntryEditor()->text(), "5");
    QTest::keyClick(fader.typedEntryEditor(), Qt::Key_Escape);
    EXPECT_FALSE(fader.isEditing());
    EXPECT_EQ(fader.value(), 16);
    EXPECT_EQ(entered.count(), 0);

    ValueReadout plain;
    plain.setValue(5);
    EXPECT_FALSE(plain.enterText("abc"));
    EXPECT_TRUE(plain.enterText("12"));
    EXPECT_EQ(plain.value(), 12);
}
