#include "ui/kit/ResponseGraph.h"

#include "dsp/ResponseGrid.h"

#include "KitTestSupport.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

#include <gtest/gtest.h>

using namespace sonaro::ui;
using sonaro::ResponseGrid;

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
    ResponseGraph graph;
};

} // namespace

TEST_F(ResponseGraphTest, ValuesOutsideTheRangeAreDrawnOnTheEdge)
{
    const QRectF plot = graph.plotRect();
    graph.setPointValue(40.0, 120, 1);
    graph.setPointValue(-99.0, 121, 1);
    graph.setPointValue(7.5, 122, 1);
    EXPECT_DOUBLE_EQ(graph.seriesPixel(1, 120).y(), plot.top());
    EXPECT_DOUBLE_EQ(graph.seriesPixel(1, 121).y(), plot.bottom());
    EXPECT_DOUBLE_EQ(graph.seriesPixel(1, 122).y(), plot.top() + plot.height() / 4);
    EXPECT_DOUBLE_EQ(graph.pointValue(120, 1), 40.0); // the value itself is kept
    // The range ends map onto the plot's ends.
    EXPECT_DOUBLE_EQ(graph.seriesPixel(1, 0).x(), plot.left());
    EXPECT_DOUBLE_EQ(graph.seriesPixel(1, 240).x(), plot.right());
    // Out-of-range indexes and series are ignored rather than written past the arrays.
    graph.setPointValue(1.0, 241, 1);
    graph.setPointValue(1.0, -1, 2);
    graph.setPointValue(1.0, 3, 4);
    EXPECT_EQ(graph.pointValue(3, 4), 0.0);
    EXPECT_FALSE(graph.grab().isNull()); // and paints with all of it
}

TEST_F(ResponseGraphTest, DragSendsOneNotificationPerMoveAfterTheStartDistance)
{
    graph.setHandles({{100.0, 0.0}, {1000.0, 3.0}, {1000.0, 3.0}, {10000.0, -6.0}});
    QSignalSpy pressed(&graph, &ResponseGraph::pointPressed);
    QSignalSpy dragged(&graph, &ResponseGraph::pointDragged);
    QSignalSpy released(&graph, &ResponseGraph::pointReleased);
    const QPointF at(graph.xToPixel(1000.0), graph.yToPixel(3.0));

    // Two handles on the same spot: the one drawn last (index 2) is picked.
    ASSERT_EQ(graph.handleAt(at), 2);
    ASSERT_EQ(graph.handleAt(at + QPointF(ResponseGraph::kHitRadius + 1, 0)), -1);
    Press(&graph, at);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).toInt(), 2);
    Move(&graph, at + QPointF(1, 1)); // within the start distance: nothing moves
    EXPECT_EQ(dragged.count(), 0);
    EXPECT_EQ(graph.handle(2), QPointF(1000.0, 3.0));
    Move(&graph, at + QPointF(0, -30));
    Move(&graph, at + QPointF(0, -40));
    Move(&graph, at + QPointF(0, -40)); // a move event to the same place still reports once
    ASSERT_EQ(dragged.count(), 3);
    for (const auto& args : dragged)
        EXPECT_EQ(args.at(0).toInt(), 2);
    EXPECT_NEAR(graph.handle(2).y(), graph.pixelToY(at.y() - 40), 1e-9);
    EXPECT_NEAR(graph.handle(2).x(), 1000.0, 1e-6);
    EXPECT_EQ(graph.handle(1), QPointF(1000.0, 3.0));

    // Far outside the plot the handle stops on the edge of the range.
    Move(&graph, QPointF(-500, -500));
    EXPECT_NEAR(graph.handle(2).x(), 19.71, 1e-9);
    EXPECT_NEAR(graph.handle(2).y(), 15.0, 1e-9);
    Release(&graph, QPointF(-500, -500));
    EXPECT_EQ(released.count(), 1);
    Move(&graph, at); // hovering after the release drags nothing
    EXPECT_EQ(dragged.count(), 4);
}

TEST_F(ResponseGraphTest, ConstrainedHandlesAndTheCompactForm)
{
    graph.setHandles({{1000.0, 0.0}});
    graph.setHandleAxes(0, ResponseGraph::Axes::Vertical);
    const QPointF at(graph.xToPixel(1000.0), graph.yToPixel(0.0));
    Press(&graph, at);
    Move(&graph, at + QPointF(80, -20));
    Release(&graph, at + QPointF(80, -20));
    EXPECT_DOUBLE_EQ(graph.handle(0).x(), 1000.0);
    EXPECT_GT(graph.handle(0).y(), 0.0);

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

// The wheel over a handle asks for a Q change (Shift: fine), a double-click on a handle for the
// band's reset; neither does anything away from the handles.
TEST_F(ResponseGraphTest, WheelAndDoubleClickOnAHandleAskTheOwner)
{
    graph.setHandles({{100.0, 0.0}, {1000.0, 6.0}});
    QSignalSpy wheel(&graph, &ResponseGraph::handleWheel);
    QSignalSpy reset(&graph, &ResponseGraph::handleResetRequested);
    QSignalSpy dragged(&graph, &ResponseGraph::pointDragged);
    const QPointF on(graph.xToPixel(1000.0), graph.yToPixel(6.0));
    const QPointF off(graph.xToPixel(5000.0), graph.yToPixel(-10.0));
    const auto turn = [&](QPointF at, int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(at, graph.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&graph, &e);
    };
    turn(on, 240, Qt::NoModifier);
    turn(on, -120, Qt::ShiftModifier);
    turn(on, 60, Qt::NoModifier); // half a notch waits
    turn(off, 120, Qt::NoModifier);
    ASSERT_EQ(wheel.count(), 2);
    EXPECT_EQ(wheel.at(0), (QList<QVariant>{1, 2, false}));
    EXPECT_EQ(wheel.at(1), (QList<QVariant>{1, -1, true}));

    sendMouse(&graph, QEvent::MouseButtonDblClick, off);
    EXPECT_EQ(reset.count(), 0);
    sendMouse(&graph, QEvent::MouseButtonDblClick, on);
    ASSERT_EQ(reset.count(), 1);
    EXPECT_EQ(reset.at(0).at(0).toInt(), 1);
    EXPECT_EQ(graph.handle(1), QPointF(1000.0, 6.0)); // the owner resets the band
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
    EXPECT_NEAR(graph.handle(1).x(), 1000.0 * std::pow(2.0, 1.0 / 12.0), 1e-9);
    QTest::keyClick(&graph, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_NEAR(graph.handle(1).x(), 1000.0 * std::pow(2.0, 0.8 / 12.0), 1e-9);
    QTest::keyClick(&graph, Qt::Key_Down);
    EXPECT_NEAR(graph.handle(1).y(), 14.3, 1e-9);
    QTest::keyClick(&graph, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_NEAR(graph.handle(1).y(), 14.4, 1e-9);
    QTest::keyClick(&graph, Qt::Key_Up);
    QTest::keyClick(&graph, Qt::Key_Up); // stops at +15 dB ...
    QTest::keyClick(&graph, Qt::Key_Up); // ... and a nudge that moves nothing is silent
    EXPECT_DOUBLE_EQ(graph.handle(1).y(), 15.0);
    ASSERT_EQ(dragged.count(), 6);
    EXPECT_EQ(released.count(), 6);
    for (const auto& args : dragged)
        EXPECT_EQ(args.at(0).toInt(), 1);
    EXPECT_EQ(graph.handle(0), QPointF(100.0, 0.0));

    // A handle that moves only vertically ignores left and right.
    graph.setHandleAxes(1, ResponseGraph::Axes::Vertical);
    const double x = graph.handle(1).x();
    QTest::keyClick(&graph, Qt::Key_Left);
    EXPECT_EQ(graph.handle(1).x(), x);
    EXPECT_EQ(dragged.count(), 6);
}

// Extra points between the grid's go in x order into their curve (a narrow band's peak between
// two grid points); setting the series again drops them.
TEST_F(ResponseGraphTest, ExtraPointsJoinTheirCurveInOrder)
{
    std::vector<double> flat(ResponseGraph::kPoints, 0.0);
    graph.setSeries(1, flat);
    graph.setBandCurve(flat);
    graph.setSeriesExtraPoints(1, {{1015.0, 12.0}, {50.0, -3.0}, {99999.0, 1.0}});
    graph.setBandCurveExtraPoints({{1015.0, 12.0}});
    const QPolygonF curve = graph.curvePolygon(1);
    ASSERT_EQ(curve.size(), ResponseGraph::kPoints + 3);
    for (qsizetype i = 1; i < curve.size(); ++i)
        EXPECT_LE(curve[i - 1].x(), curve[i].x()) << i;
    EXPECT_TRUE(curve.contains(QPointF(graph.xToPixel(1015.0), graph.yToPixel(12.0))));
    EXPECT_TRUE(curve.contains(QPointF(graph.xToPixel(50.0), graph.yToPixel(-3.0))));
    EXPECT_EQ(graph.curvePolygon(0).size(), ResponseGraph::kPoints + 1);
    EXPECT_TRUE(graph.curvePolygon(2).isEmpty()); // never set

    graph.setSeries(1, flat);
    EXPECT_EQ(graph.curvePolygon(1).size(), ResponseGraph::kPoints);
}
