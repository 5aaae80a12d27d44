#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"

#include "KitTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace sonaro::ui;

TEST(LevelMeter, ClampsHoldsThePeakAndLetsItFall)
{
    LevelMeter meter;
    meter.resize(14, 2 * 2 + 50 * 4 - 1); // 50 segments of 4 px: one per level step
    meter.setRange(0, 50);
    ASSERT_EQ(meter.segmentCount(), 50);
    meter.setPeakHoldTicks(2);
    meter.setLevel(80);
    EXPECT_EQ(meter.level(), 50);
    EXPECT_EQ(meter.litSegments(), 50);
    meter.setLevel(10);
    EXPECT_EQ(meter.peakLevel(), 50);
    EXPECT_EQ(meter.peakSegment(), 49);
    meter.advance();
    meter.advance(); // still held
    EXPECT_EQ(meter.peakLevel(), 50);
    meter.advance();
    EXPECT_EQ(meter.peakLevel(), 49);
    for (int i = 0; i < 100; ++i)
        meter.advance();
    EXPECT_EQ(meter.peakLevel(), 10); // falls to the level, never below it
    meter.setLevel(-3);
    EXPECT_EQ(meter.level(), 0);
    EXPECT_EQ(meter.litSegments(), 0);
}

TEST(LevelMeter, RepaintsFromItsTimerOnlyWhileVisible)
{
    LevelMeter meter;
    meter.resize(14, 120);
    meter.show();
    EXPECT_TRUE(meter.isTicking());
    meter.setLevel(30); // stored only; the tick repaints
    meter.hide();
    EXPECT_FALSE(meter.isTicking());
}

TEST(ImageButton, AnIndicatorIgnoresClicksAndKeys)
{
    PaintedButton lamp(QStringLiteral("WAITING"));
    lamp.setCheckable(true);
    lamp.setIndicator(true);
    lamp.resize(lamp.sizeHint());
    QSignalSpy clicked(&lamp, &QAbstractButton::clicked);
    sendMouse(&lamp, QEvent::MouseButtonPress, QPointF(5, 5));
    sendMouse(&lamp, QEvent::MouseButtonRelease, QPointF(5, 5));
    QTest::keyClick(&lamp, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(lamp.isChecked());
    lamp.setChecked(true); // the owner still sets the state
    EXPECT_EQ(lamp.look(), PaintedButton::Look::Checked);
}

class MatrixGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid.resize(900, 500);
        grid.setGridOrigin(QPoint(20, 20));
    }
    MatrixGrid grid;
};

TEST_F(MatrixGridTest, HitTestUsesTheScrollOffsetAndTheGapBelongsLeftAndAbove)
{
    EXPECT_EQ(grid.hitTest({20, 20}), (MatrixCell{0, 0}));
    EXPECT_EQ(grid.hitTest({100, 20}), (MatrixCell{0, 0})); // the 1-pixel gap after column 0
    EXPECT_EQ(grid.hitTest({101, 20}), (MatrixCell{1, 0}));
    EXPECT_EQ(grid.hitTest({20 + 81 * 8 - 1, 20 + 81}), (MatrixCell{7, 1}));
    EXPECT_FALSE(grid.hitTest({20 + 81 * 8, 20}));
    EXPECT_FALSE(grid.hitTest({20, 20 + 81 * 2}));

    // Left of and above the grid is outside, also within one cell of it.
    EXPECT_FALSE(grid.hitTest({19, 30}));
    EXPECT_FALSE(grid.hitTest({-40, 30}));
    EXPECT_FALSE(grid.hitTest({30, -30}));

    // Scrolled by (81, 30): the point over the second column's cell is the third column's cell,
    // and drawing agrees with hit-testing.
    grid.setScrollOffset({81, 30});
    EXPECT_EQ(grid.hitTest({101, 20}), (MatrixCell{2, 0}));
    EXPECT_EQ(grid.hitTest({20, 20 + 60}), (MatrixCell{1, 1}));
    EXPECT_EQ(grid.hitTest({10, 20}), (MatrixCell{0, 0})); // scrolled in from the left
    EXPECT_FALSE(grid.hitTest({-70, 20}));                 // 9 pixels left of the first cell
    const QRect r = grid.cellRect({3, 1});
    EXPECT_EQ(grid.hitTest(r.center()), (MatrixCell{3, 1}));
    EXPECT_EQ(grid.hitTest(r.topLeft()), (MatrixCell{3, 1}));
}

TEST_F(MatrixGridTest, ClickTogglesTheCellAndRowWordsFollow)
{
    EXPECT_EQ(grid.stateIndex({2, 0}), 10); // top row: 8 + n
    EXPECT_EQ(grid.stateIndex({2, 1}), 2);  // bottom row: n
    grid.setRowBits(0, 0xFF);
    grid.setRowBits(1, 0x05);
    EXPECT_TRUE(grid.isOn({7, 0}));
    EXPECT_TRUE(grid.isOn({2, 1}));
    EXPECT_FALSE(grid.isOn({1, 1}));

    QSignalSpy toggled(&grid, &MatrixGrid::cellToggled);
    const QPoint bottomSecond = grid.cellRect({1, 1}).center();
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, bottomSecond);
    EXPECT_EQ(grid.rowBits(1), 0x07u);
    EXPECT_EQ(grid.rowBits(0), 0xFFu); // the other row is untouched
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, grid.cellRect({0, 0}).center());
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, grid.cellRect({0, 0}).center());
    EXPECT_EQ(grid.rowBits(0), 0xFFu);                                      // twice: back to before
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); // outside
    ASSERT_EQ(toggled.count(), 3);
    EXPECT_EQ(toggled.at(0).at(0).value<MatrixCell>(), (MatrixCell{1, 1}));
    EXPECT_TRUE(toggled.at(0).at(1).toBool());
    EXPECT_FALSE(toggled.at(1).at(1).toBool());
}
