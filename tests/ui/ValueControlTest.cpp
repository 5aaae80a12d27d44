#include "ui/kit/Fader.h"
#include "ui/kit/ValueFormat.h"

#include "KitTestSupport.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

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

TEST(ValueFormat, TypedTextReadsTheLeadingInteger)
{
    EXPECT_EQ(leadingInteger(" -6dB"), -6);
    EXPECT_EQ(leadingInteger("+3"), 3);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger("99999999999999"), INT_MAX);
    int position = -1;
    parseGainFaderText("20", position); // clamped to +10 dB: the top
    EXPECT_EQ(position, 0);
    parseGainFaderText("-80", position); // clamped to -50 dB: the bottom
    EXPECT_EQ(position, 60);
    parseGainFaderText("loud", position); // no digits: 0 dB
    EXPECT_EQ(position, 10);
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

TEST(ValueControl, ArrowKeysMoveTheFaderCapAndAlwaysReportRelease)
{
    Fader fader;
    fader.useGainScale();
    fader.setValue(1);
    QSignalSpy moved(&fader, &ValueControl::moved);
    QSignalSpy released(&fader, &ValueControl::released);
    QTest::keyClick(&fader, Qt::Key_Up); // up: towards position 0, the top
    EXPECT_EQ(fader.value(), 0);
    QTest::keyClick(&fader, Qt::Key_Up); // at the top: no move, but still a release to resend
    EXPECT_EQ(fader.value(), 0);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(released.count(), 2);
    QTest::keyClick(&fader, Qt::Key_PageDown);
    EXPECT_EQ(fader.value(), 10);
    QTest::keyClick(&fader, Qt::Key_End);
    EXPECT_EQ(fader.value(), 60);
    QTest::keyClick(&fader, Qt::Key_Delete); // reset to the default: 0 dB
    EXPECT_EQ(fader.value(), 10);
}

TEST(ValueControl, WheelStepsFineAndFast)
{
    Fader fader;
    fader.setRange(0, 100);
    fader.setSingleStep(2);
    fader.setPageStep(20);
    fader.setFineStep(1);
    fader.setValue(50);
    const auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(QPointF(10, 10), fader.mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&fader, &e);
    };
    wheel(120, Qt::NoModifier); // a fader's "up" is a smaller position
    EXPECT_EQ(fader.value(), 48);
    wheel(120, Qt::ShiftModifier);
    EXPECT_EQ(fader.value(), 47);
    wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(fader.value(), 67);
    wheel(60, Qt::NoModifier); // half a notch waits for the other half
    EXPECT_EQ(fader.value(), 67);
    wheel(60, Qt::NoModifier);
    EXPECT_EQ(fader.value(), 65);
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

TEST(ValueControl, TrackClickJumpsAndCtrlClickResets)
{
    Fader fader;
    fader.useGainScale();
    fader.resize(64, 300);
    fader.setValue(0);
    const double x = fader.capRect().center().x();
    Press(&fader, QPointF(x, fader.travelBottom()));
    Release(&fader, QPointF(x, fader.travelBottom()));
    EXPECT_EQ(fader.value(), 60);
    QSignalSpy released(&fader, &ValueControl::released);
    Press(&fader, fader.capRect().center(), Qt::ControlModifier);
    EXPECT_EQ(fader.value(), 10);
    EXPECT_EQ(released.count(), 1);
}

TEST(ValueControl, TypedEntryThroughTheVisibleReadout)
{
    Fader fader;
    fader.useGainScale();
    fader.resize(64, 300);
    fader.show();
    fader.setValue(40);
    QSignalSpy entered(&fader, &ValueControl::valueEntered);
    QSignalSpy moved(&fader, &ValueControl::moved);

    const QPointF readout = QRectF(fader.readoutRect()).center();
    sendMouse(&fader, QEvent::MouseButtonDblClick, readout);
    ASSERT_TRUE(fader.isEditing());
    QLineEdit* editor = fader.typedEntryEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), "-30dB");
    editor->setText("-6");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(fader.isEditing());
    EXPECT_EQ(fader.value(), 16); // -6 dB: gain 44, position 16
    EXPECT_EQ(fader.text(), "-6dB");
    ASSERT_EQ(entered.count(), 1);
    EXPECT_EQ(moved.count(), 0);

    // A digit key starts typing; Escape abandons it.
    QTest::keyClick(&fader, Qt::Key_5);
    ASSERT_TRUE(fader.isEditing());
    QTest::keyClick(fader.typedEntryEditor(), Qt::Key_Escape);
    EXPECT_FALSE(fader.isEditing());
    EXPECT_EQ(fader.value(), 16);
    EXPECT_EQ(entered.count(), 1);

    // Without its own parser a control refuses text without digits.
    Fader plain;
    plain.setValue(5);
    EXPECT_FALSE(plain.enterText("abc"));
    EXPECT_TRUE(plain.enterText("12ms"));
    EXPECT_EQ(plain.value(), 12);
}
