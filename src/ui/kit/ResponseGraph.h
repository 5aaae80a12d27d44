#pragma once

#include <QList>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

#include <array>
#include <span>
#include <vector>

namespace sonaro::ui {

// Response curves of the EQ editors and the limiter's transfer curve, and the small curve on the
// channel strips.
//
// Up to three series over one x array of 241 points (1 main curve, 2 low-pass, 3 high-pass) and
// the selected band's own curve; a linear y axis and a logarithmic or linear x axis; a grid with
// labels; draggable handle points. Values outside the y range are drawn on the plot's edge. The
// grid and labels are drawn once into a cached background (rebuilt on resize, on a device pixel
// ratio change and when a range changes); the curves are mapped once per change and painting
// only draws them.
//
// Dragging: the handle under the mouse is found in reverse drawing order (the one drawn on top
// wins); a drag starts once the mouse has moved kDragStartDistance pixels, and every mouse move
// after that moves the handle and emits pointDragged(index) once. The owner reads handle(index)
// and may correct it with setHandle (drag rules). While dragging, a tooltip shows the handle's
// frequency, gain and Q (or its x and y on a linear graph).
//
// On a handle the wheel asks for a change of the band's Q (handleWheel; Shift: fine) and a
// double-click asks for the band's reset to 0 dB (handleResetRequested); the owner does both.
// The arrow keys nudge the selected handle (left/right: frequency by a twelfth of an octave on a
// log axis, a hundredth of the range on a linear one; up/down: 0.5 dB on a log-x graph, a
// hundredth of the y range on a linear one; Shift: a fifth of each) within the ranges and report it
// as a short drag: pointDragged, then pointReleased.
class ResponseGraph : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPoints = 241;
    static constexpr int kSeriesCount = 3;
    static constexpr int kDragStartDistance = 4;
    static constexpr int kHitRadius = 9;

    enum class Axes
    {
        Both,
        Horizontal,
        Vertical
    };

    struct AxisLabel
    {
        double value = 0.0;
        double pixel = 0.0;
        QString text;
        bool major = false; // a decade line (log x) or a division line
    };

    explicit ResponseGraph(QWidget* parent = nullptr);

    void setYRange(double minimum, double maximum);
    void setXRange(double minimum, double maximum);
    void setLogarithmicX(bool logarithmic);
    double yMinimum() const { return m_yMin; }
    double yMaximum() const { return m_yMax; }
    bool isLogarithmicX() const { return m_logX; }
    // The x range in use: in log mode the first and last point x when they form a valid range,
    // otherwise the x minimum and maximum.
    double xFrom() const;
    double xTo() const;

    // Series are numbered 1 (main), 2 (low-pass), 3 (high-pass). Indexes outside 0..240 and
    // series outside 1..3 are ignored.
    void setPointValue(double y, int index, int series);
    void setSeries(int series, std::span<const double> values);
    void setXValues(std::span<const double> values);
    double pointValue(int index, int series) const;
    void setBandCurve(std::span<const double> values);
    void clearBandCurve();
    // Exact values between the x array's points, drawn in x order with a series' points: a
    // narrow band peaks between two grid points, so the EQ owners add each band's value at its
    // frequency and the curve passes through the handles. Setting the series (or the band
    // curve) drops its extra points: set them after it.
    void setSeriesExtraPoints(int series, const QList<QPointF>& points);
    void setBandCurveExtraPoints(const QList<QPointF>& points);

    // Draggable points in data coordinates, drawn in list order.
    void setHandles(const QList<QPointF>& points);
    void setHandle(int index, QPointF point);
    QPointF handle(int index) const;
    int handleCount() const { return int(m_handles.size()); }
    void setHandleAxes(int index, Axes axes);
    void setHandleLabels(const QStringList& labels);
    // What the drag tooltip shows for a handle besides its frequency: the band's gain (a shelf's
    // handle sits at half its gain) and Q. Without it the tooltip shows the handle's y alone.
    void setHandleInfo(int index, double gain, double q);
    QString handleToolTip(int index) const;
    void selectBand(int index);
    int selectedBand() const { return m_selected; }

    // Drawing options of the owners: a unit text, the range of the knob-style scale and the
    // label options. They are kept with the graph; the grid does not depend on them.
    void setScaleOptions(const QString& unitText, double scaleMinimum, double scaleMaximum,
                         const QList<int>& labelOptions);
    QString unitText() const { return m_unitText; }

    // Shade the area between the main and band curves and the mid line (on by default; the
    // transfer curve has no such area).
    void setFillCurves(bool fill);

    // The small form of the strips: no labels, no handles; a click emits clicked().
    void setCompact(bool compact);
    bool isCompact() const { return m_compact; }

    // Geometry, shared by painting, hit-testing and tests.
    QRectF plotRect() const;
    double xToPixel(double x) const;
    double yToPixel(double y) const; // clamped onto the plot's edges
    double pixelToX(double pixel) const;
    double pixelToY(double pixel) const;
    QPointF seriesPixel(int series, int index) const;
    // The polyline a series (1..3) or the band curve (0) is drawn with, extra points included.
    QPolygonF curvePolygon(int series) const;
    int handleAt(QPointF position) const; // -1: none
    QList<AxisLabel> xAxisLabels() const;
    QList<AxisLabel> xMinorLines() const;
    QList<AxisLabel> yAxisLabels() const;
    QString yTopText() const;
    QString yBottomText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void pointPressed(int index);
    void pointDragged(int index);
    void pointReleased(int index);
    void clicked();
    // The wheel over handle index: steps notches (positive: up), fine with Shift.
    void handleWheel(int index, int steps, bool fine);
    // A double-click on handle index.
    void handleResetRequested(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void invalidateBackground();
    void invalidateCurves();
    void rebuildBackground();
    void rebuildCurves();
    QPolygonF mapCurve(const std::vector<double>& values, const std::vector<QPointF>& extra) const;
    void updateCursor(QPointF position);
    void showDragToolTip(int index);
    void nudge(int index, int xSteps, int ySteps, bool fine);

    struct HandleInfo
    {
        bool set = false;
        double gain = 0.0;
        double q = 0.0;
    };

    double m_yMin = -15.0;
    double m_yMax = 15.0;
    double m_xMin = 20.0;
    double m_xMax = 20000.0;
    bool m_logX = false;
    bool m_compact = false;
    bool m_fill = true;

    std::vector<double> m_x;
    std::array<std::vector<double>, kSeriesCount> m_series;
    std::array<bool, kSeriesCount> m_seriesShown{};
    std::array<std::vector<QPointF>, kSeriesCount> m_seriesExtra;
    std::vector<double> m_band;
    std::vector<QPointF> m_bandExtra;
    bool m_bandShown = false;

    std::vector<QPointF> m_handles;
    std::vector<Axes> m_handleAxes;
    QStringList m_handleLabels;
    std::vector<HandleInfo> m_handleInfo;
    double m_wheelRemainder = 0.0;
    int m_selected = -1;

    QString m_unitText;
    double m_scaleMin = 0.0;
    double m_scaleMax = 0.0;
    QList<int> m_labelOptions;

    // Caches.
    QPixmap m_background;
    bool m_backgroundDirty = true;
    // The background with the low-pass and high-pass curves on it: those change only with the
    // filter settings, not while a band point is dragged.
    QPixmap m_filterLayer;
    std::array<QPolygonF, 2> m_layerFilters;
    bool m_filterLayerValid = false;
    std::array<QPolygonF, kSeriesCount> m_polygons;
    QPolygonF m_bandPolygon;
    bool m_curvesDirty = true;

    // Drag state.
    int m_pressed = -1;
    bool m_dragging = false;
    QPointF m_pressPos;
    QPointF m_grabOffset;
    bool m_clickCandidate = false;
};

} // namespace sonaro::ui
