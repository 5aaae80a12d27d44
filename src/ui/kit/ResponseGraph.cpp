#include "ui/kit/ResponseGraph.h"

#include "ui/kit/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace sonaro::ui {

namespace {
// Plot margins of the full form: y labels on the left, x labels below.
constexpr int kLeftMargin = 56;
constexpr int kTopMargin = 22;
constexpr int kRightMargin = 22;
constexpr int kBottomMargin = 22;
constexpr int kCompactMargin = 2;
constexpr int kYLabelGap = 6; // between a y label and the plot
constexpr int kYLabelWidth = 38;
constexpr int kYTitleLeft = 50; // "%d (dB)" starts this far left of the plot
constexpr int kTextAbove = 8;   // corner texts sit this far above their corner
constexpr int kLabelPixels = 10;
constexpr int kDivisions = 10;
constexpr double kMinIntermediateLabelPosition = 0.06;
constexpr double kHandleRadius = 6.0;
constexpr double kSelectedHandleRadius = 7.5;
constexpr int kFirstDecadeExponent = -2;
constexpr int kLastDecadeExponent = 4;
constexpr int kWheelNotch = 120; // angle delta of one wheel notch
// Arrow-key nudges: a twelfth of an octave, 0.5 dB; Shift a fifth of each.
constexpr double kNudgeOctaves = 1.0 / 12.0;
constexpr double kNudgeDb = 0.5;
constexpr double kNudgeLinearShare = 0.01;
constexpr double kFineNudge = 0.2;

bool finite(double v)
{
    return std::isfinite(v);
}

QString decadeText(double value)
{
    return value < 1000.0 ? QString::asprintf("%d", int(value))
                          : QString::asprintf("%dk", int(value / 1000.0));
}

QString endText(double value)
{
    return QString::asprintf("%4.1f", value).trimmed();
}

// The share of a decade's span between intermediate lines, by the share of the plot width that
// one decade takes: wide decades get more lines.
double intermediateStep(double decadeShare)
{
    if (decadeShare >= 0.35) return 1.0 / 10;
    if (decadeShare >= 0.3) return 1.0 / 9;
    if (decadeShare >= 0.25) return 1.0 / 8;
    if (decadeShare >= 0.2) return 1.0 / 6;
    if (decadeShare >= 0.15) return 1.0 / 4;
    if (decadeShare >= 0.1) return 1.0 / 2;
    return 0.0;
}

} // namespace

ResponseGraph::ResponseGraph(QWidget* parent)
    : QWidget(parent), m_x(kPoints, 0.0), m_band(kPoints, 0.0)
{
    for (auto& s : m_series)
        s.assign(kPoints, 0.0);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// --- ranges and data ------------------------------------------------------------------------

void ResponseGraph::setYRange(double minimum, double maximum)
{
    if (!finite(minimum) || !finite(maximum) || (minimum == m_yMin && maximum == m_yMax)) return;
    m_yMin = minimum;
    m_yMax = maximum;
    invalidateBackground();
    invalidateCurves();
}

void ResponseGraph::setXRange(double minimum, double maximum)
{
    if (!finite(minimum) || !finite(maximum) || (minimum == m_xMin && maximum == m_xMax)) return;
    m_xMin = minimum;
    m_xMax = maximum;
    invalidateBackground();
    invalidateCurves();
}

void ResponseGraph::setLogarithmicX(bool logarithmic)
{
    if (logarithmic == m_logX) return;
    m_logX = logarithmic;
    invalidateBackground();
    invalidateCurves();
}

double ResponseGraph::xFrom() const
{
    if (m_logX && m_x.front() > 0.0 && m_x.back() > m_x.front()) return m_x.front();
    return m_xMin;
}

double ResponseGraph::xTo() const
{
    if (m_logX && m_x.front() > 0.0 && m_x.back() > m_x.front()) return m_x.back();
    return m_xMax;
}

void ResponseGraph::setPointValue(double y, int index, int series)
{
    if (index < 0 || index >= kPoints || series < 1 || series > kSeriesCount) return;
    m_series[series - 1][index] = y;
    m_seriesShown[series - 1] = true;
    invalidateCurves();
}

void ResponseGraph::setSeries(int series, std::span<const double> values)
{
    if (series < 1 || series > kSeriesCount) return;
    auto& s = m_series[series - 1];
    std::copy_n(values.begin(), std::min<size_t>(values.size(), kPoints), s.begin());
    m_seriesShown[series - 1] = true;
    m_seriesExtra[series - 1].clear();
    invalidateCurves();
}

namespace {
std::vector<QPointF> sortedByX(const QList<QPointF>& points)
{
    std::vector<QPointF> sorted(points.begin(), points.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](QPointF a, QPointF b) { return a.x() < b.x(); });
    return sorted;
}
} // namespace

void ResponseGraph::setSeriesExtraPoints(int series, const QList<QPointF>& points)
{
    if (series < 1 || series > kSeriesCount) return;
    m_seriesExtra[series - 1] = sortedByX(points);
    invalidateCurves();
}

void ResponseGraph::setBandCurveExtraPoints(const QList<QPointF>& points)
{
    m_bandExtra = sortedByX(points);
    invalidateCurves();
}

void ResponseGraph::setXValues(std::span<const double> values)
{
    std::copy_n(values.begin(), std::min<size_t>(values.size(), kPoints), m_x.begin());
    invalidateBackground();
    invalidateCurves();
}

double ResponseGraph::pointValue(int index, int series) const
{
    if (index < 0 || index >= kPoints || series < 1 || series > kSeriesCount) return 0.0;
    return m_series[series - 1][index];
}

void ResponseGraph::setBandCurve(std::span<const double> values)
{
    std::copy_n(values.begin(), std::min<size_t>(values.size(), kPoints), m_band.begin());
    m_bandShown = true;
    m_bandExtra.clear();
    invalidateCurves();
}

void ResponseGraph::clearBandCurve()
{
    m_bandShown = false;
    invalidateCurves();
}

void ResponseGraph::setHandles(const QList<QPointF>& points)
{
    m_handles.assign(points.begin(), points.end());
    m_handleAxes.resize(m_handles.size(), Axes::Both);
    m_handleInfo.resize(m_handles.size());
    if (m_pressed >= handleCount()) m_pressed = -1;
    update();
}

void ResponseGraph::setHandle(int index, QPointF point)
{
    if (index < 0 || index >= handleCount() || m_handles[index] == point) return;
    m_handles[index] = point;
    update();
}

QPointF ResponseGraph::handle(int index) const
{
    return index >= 0 && index < handleCount() ? m_handles[index] : QPointF();
}

void ResponseGraph::setHandleAxes(int index, Axes axes)
{
    if (index >= 0 && index < handleCount()) m_handleAxes[index] = axes;
}

void ResponseGraph::setHandleLabels(const QStringList& labels)
{
    m_handleLabels = labels;
    update();
}

void ResponseGraph::setHandleInfo(int index, double gain, double q)
{
    if (index < 0 || index >= handleCount()) return;
    m_handleInfo[index] = HandleInfo{true, gain, q};
}

QString ResponseGraph::handleToolTip(int index) const
{
    if (index < 0 || index >= handleCount()) return {};
    const QPointF h = m_handles[index];
    if (!m_logX) return QString::asprintf("%0.1f, %0.1f", h.x(), h.y());
    const QString frequency = h.x() < 1000.0 ? QString::asprintf("%d Hz", int(std::lround(h.x())))
                                             : QString::asprintf("%0.2f kHz", h.x() / 1000.0);
    const HandleInfo& info = m_handleInfo[index];
    const double gain = info.set ? info.gain : h.y();
    QString text =
        frequency + QString::asprintf("   %+0.1f dB", std::abs(gain) < 0.05 ? 0.0 : gain);
    if (info.set) text += QString::asprintf("   Q %0.1f", info.q);
    return text;
}

void ResponseGraph::selectBand(int index)
{
    if (index == m_selected) return;
    m_selected = index;
    update();
}

void ResponseGraph::setScaleOptions(const QString& unitText, double scaleMinimum,
                                    double scaleMaximum, const QList<int>& labelOptions)
{
    m_unitText = unitText;
    m_scaleMin = scaleMinimum;
    m_scaleMax = scaleMaximum;
    m_labelOptions = labelOptions;
}

void ResponseGraph::setFillCurves(bool fill)
{
    m_fill = fill;
    update();
}

void ResponseGraph::setCompact(bool compact)
{
    if (compact == m_compact) return;
    m_compact = compact;
    setCursor(compact ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // The small curve opens its editor: from the keyboard too (Tab, then Enter or Space).
    setFocusPolicy(compact ? Qt::StrongFocus : Qt::ClickFocus);
    updateGeometry();
    invalidateBackground();
    invalidateCurves();
}

QSize ResponseGraph::sizeHint() const
{
    return m_compact ? QSize(90, 44) : QSize(640, 300);
}
QSize ResponseGraph::minimumSizeHint() const
{
    return m_compact ? QSize(30, 16) : QSize(kLeftMargin + kRightMargin + 60, 100);
}

// --- geometry -------------------------------------------------------------------------------

QRectF ResponseGraph::plotRect() const
{
    const QRectF r = rect();
    if (m_compact)
        return r.adjusted(kCompactMargin, kCompactMargin, -kCompactMargin, -kCompactMargin);
    return r.adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

double ResponseGraph::xToPixel(double x) const
{
    const QRectF p = plotRect();
    const double from = xFrom();
    const double to = xTo();
    double t = 0.0;
    if (m_logX && from > 0.0 && to > from) {
        t = x > 0.0 ? std::log10(x / from) / std::log10(to / from) : 0.0;
    } else if (to != from) {
        t = (x - from) / (to - from);
    }
    return p.left() + t * p.width();
}

double ResponseGraph::pixelToX(double pixel) const
{
    const QRectF p = plotRect();
    const double t = std::clamp((pixel - p.left()) / std::max(1.0, p.width()), 0.0, 1.0);
    const double from = xFrom();
    const double to = xTo();
    if (m_logX && from > 0.0 && to > from) return from * std::pow(to / from, t);
    return from + t * (to - from);
}

double ResponseGraph::yToPixel(double y) const
{
    const QRectF p = plotRect();
    if (m_yMax == m_yMin) return p.center().y();
    // Values outside the range are drawn on the edge they passed.
    const double lo = std::min(m_yMin, m_yMax);
    const double hi = std::max(m_yMin, m_yMax);
    y = std::clamp(y, lo, hi);
    return p.bottom() - (y - m_yMin) * p.height() / (m_yMax - m_yMin);
}

double ResponseGraph::pixelToY(double pixel) const
{
    const QRectF p = plotRect();
    const double t = std::clamp((p.bottom() - pixel) / std::max(1.0, p.height()), 0.0, 1.0);
    return m_yMin + t * (m_yMax - m_yMin);
}

QPointF ResponseGraph::seriesPixel(int series, int index) const
{
    if (index < 0 || index >= kPoints || series < 1 || series > kSeriesCount) return {};
    return {xToPixel(m_x[index]), yToPixel(m_series[series - 1][index])};
}

QPolygonF ResponseGraph::curvePolygon(int series) const
{
    if (series == 0) return m_bandShown ? mapCurve(m_band, m_bandExtra) : QPolygonF();
    if (series < 1 || series > kSeriesCount || !m_seriesShown[series - 1]) return {};
    return mapCurve(m_series[series - 1], m_seriesExtra[series - 1]);
}

QList<ResponseGraph::AxisLabel> ResponseGraph::xAxisLabels() const
{
    QList<AxisLabel> labels;
    const double from = xFrom();
    const double to = xTo();
    labels.append({from, xToPixel(from), endText(from), false});
    if (m_logX && from > 0.0 && to > from) {
        for (int k = kFirstDecadeExponent; k <= kLastDecadeExponent; ++k) {
            const double decade = std::pow(10.0, k);
            if (decade > from && decade < to)
                labels.append({decade, xToPixel(decade), decadeText(decade), true});
        }
    } else {
        for (int i = 1; i < kDivisions; ++i) {
            const double v = from + (to - from) * i / kDivisions;
            labels.append({v, xToPixel(v), QString::asprintf("%d", int(v)), true});
        }
    }
    labels.append({to, xToPixel(to), endText(to), false});
    return labels;
}

QList<ResponseGraph::AxisLabel> ResponseGraph::xMinorLines() const
{
    QList<AxisLabel> lines;
    const double from = xFrom();
    const double to = xTo();
    if (!m_logX || from <= 0.0 || to <= from) return lines;
    const double step = intermediateStep(1.0 / std::log10(to / from));
    if (step <= 0.0) return lines;
    const QRectF p = plotRect();
    const int count = int(std::lround(1.0 / step));
    for (int k = kFirstDecadeExponent - 1; k <= kLastDecadeExponent; ++k) {
        const double decade = std::pow(10.0, k);
        const double span = 9.0 * decade;
        for (int i = 1; i < count; ++i) {
            const double v = decade + span * step * i;
            if (v <= from || v >= to) continue;
            const double pixel = xToPixel(v);
            // Only lines far enough from the plot's left end carry a label.
            const bool labelled = (pixel - p.left()) / p.width() >= kMinIntermediateLabelPosition;
            lines.append({v, pixel, labelled ? endText(v) : QString(), false});
        }
    }
    return lines;
}

QList<ResponseGraph::AxisLabel> ResponseGraph::yAxisLabels() const
{
    QList<AxisLabel> labels;
    for (int i = 1; i < kDivisions; ++i) {
        const double v = m_yMin + (m_yMax - m_yMin) * i / kDivisions;
        labels.append({v, yToPixel(v), QString::asprintf("%d", int(v)), true});
    }
    return labels;
}

QString ResponseGraph::yTopText() const
{
    return QString::asprintf("%d (dB)", int(m_yMax));
}
// The bottom corner shows the y minimum of this graph (not a fixed "-15", which is only right
// for the equaliser graphs).
QString ResponseGraph::yBottomText() const
{
    return QString::asprintf("%d", int(m_yMin));
}

int ResponseGraph::handleAt(QPointF position) const
{
    if (m_compact) return -1;
    for (int i = handleCount() - 1; i >= 0; --i) {
        const QPointF centre(xToPixel(m_handles[i].x()), yToPixel(m_handles[i].y()));
        const QPointF d = centre - position;
        if (d.x() * d.x() + d.y() * d.y() <= double(kHitRadius) * kHitRadius) return i;
    }
    return -1;
}

// --- caches ---------------------------------------------------------------------------------

void ResponseGraph::invalidateBackground()
{
    m_backgroundDirty = true;
    update();
}

void ResponseGraph::invalidateCurves()
{
    m_curvesDirty = true;
    update();
}

QPolygonF ResponseGraph::mapCurve(const std::vector<double>& values,
                                  const std::vector<QPointF>& extra) const
{
    const auto drawable = [this](double x, double y) {
        return finite(x) && finite(y) && !(m_logX && x <= 0.0);
    };
    QPolygonF polygon;
    polygon.reserve(kPoints + qsizetype(extra.size()));
    // The extra points are sorted by x; each goes in before the first array point beyond it.
    std::size_t next = 0;
    for (int i = 0; i < kPoints; ++i) {
        for (; next < extra.size() && extra[next].x() < m_x[i]; ++next)
            if (drawable(extra[next].x(), extra[next].y()))
                polygon.append(QPointF(xToPixel(extra[next].x()), yToPixel(extra[next].y())));
        if (!drawable(m_x[i], values[i])) continue;
        polygon.append(QPointF(xToPixel(m_x[i]), yToPixel(values[i])));
    }
    for (; next < extra.size(); ++next)
        if (drawable(extra[next].x(), extra[next].y()))
            polygon.append(QPointF(xToPixel(extra[next].x()), yToPixel(extra[next].y())));
    return polygon;
}

void ResponseGraph::rebuildCurves()
{
    for (int s = 0; s < kSeriesCount; ++s)
        m_polygons[s] = m_seriesShown[s] ? mapCurve(m_series[s], m_seriesExtra[s]) : QPolygonF();
    m_bandPolygon = m_bandShown ? mapCurve(m_band, m_bandExtra) : QPolygonF();
    m_curvesDirty = false;
}

void ResponseGraph::rebuildBackground()
{
    m_filterLayerValid = false;
    const Theme& theme = Theme::instance();
    const qreal dpr = devicePixelRatioF();
    m_background = QPixmap(size() * dpr);
    m_background.setDevicePixelRatio(dpr);
    m_background.fill(theme.graphBackground);
    QPainter p(&m_background);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRectF plot = plotRect();
    p.fillRect(plot, theme.graphPlot);

    // Pixel-aligned lines: a 1-pixel line sits on the pixel's centre.
    const auto crisp = [](double v) { return std::floor(v) + 0.5; };
    const QPen minorPen(theme.graphGridMinor, 1.0, Qt::DashLine);
    const QPen majorPen(theme.graphGrid, 1.0, m_compact ? Qt::SolidLine : Qt::DashLine);

    // Vertical lines: intermediate ones first, then the decades (or divisions).
    const QList<AxisLabel> minor = m_compact ? QList<AxisLabel>() : xMinorLines();
    const QList<AxisLabel> major = xAxisLabels();
    p.setPen(minorPen);
    for (const AxisLabel& l : minor)
        p.drawLine(QPointF(crisp(l.pixel), plot.top()), QPointF(crisp(l.pixel), plot.bottom()));
    p.setPen(QPen(theme.graphGrid, 1.0));
    for (const AxisLabel& l : major)
        if (l.major)
            p.drawLine(QPointF(crisp(l.pixel), plot.top()), QPointF(crisp(l.pixel), plot.bottom()));

    // Horizontal division lines and the mid line.
    const QList<AxisLabel> yLabels = yAxisLabels();
    if (!m_compact) {
        p.setPen(majorPen);
        for (const AxisLabel& l : yLabels)
            p.drawLine(QPointF(plot.left(), crisp(l.pixel)), QPointF(plot.right(), crisp(l.pixel)));
    }
    p.setPen(QPen(theme.graphZero, 1.0));
    const double mid = crisp(plot.center().y());
    p.drawLine(QPointF(plot.left(), mid), QPointF(plot.right(), mid));
    p.setPen(QPen(theme.panelEdge, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(-0.5, -0.5, 0.5, 0.5));

    if (m_compact) return;

    // Labels. The x labels are placed ends first, then decades, then intermediate lines, each
    // only where it does not collide with one already placed.
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(theme.font(kLabelPixels));
    const QFontMetricsF fm(p.font());
    p.setPen(theme.graphLabel);
    for (const AxisLabel& l : yLabels) {
        const QRectF box(plot.left() - kYLabelGap - kYLabelWidth, l.pixel - 8, kYLabelWidth, 16);
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, l.text);
    }
    p.setPen(theme.text);
    p.drawText(QRectF(plot.left() - kYTitleLeft, plot.top() - kTextAbove - 14, 120, 14),
               Qt::AlignLeft | Qt::AlignBottom, yTopText());
    p.setPen(theme.graphLabel);
    p.drawText(QRectF(plot.left() - kYLabelGap - kYLabelWidth, plot.bottom() - 8, kYLabelWidth, 16),
               Qt::AlignRight | Qt::AlignVCenter, yBottomText());

    QList<QRectF> placed;
    const double labelTop = plot.bottom() + 4;
    const auto place = [&](const AxisLabel& l, bool strong) {
        if (l.text.isEmpty()) return;
        const double w = fm.horizontalAdvance(l.text) + 6;
        double left = l.pixel - w / 2;
        left = std::max(plot.left() - kLeftMargin / 2.0, std::min(left, double(width()) - w - 1));
        const QRectF box(left, labelTop, w, fm.height());
        for (const QRectF& other : placed)
            if (other.intersects(box)) return;
        placed.append(box);
        p.setPen(strong ? theme.text : theme.graphLabel);
        p.drawText(box, Qt::AlignCenter, l.text);
    };
    place(major.front(), false);
    place(major.back(), false);
    for (const AxisLabel& l : major)
        if (l.major) place(l, true);
    for (const AxisLabel& l : minor)
        place(l, false);
}

// --- painting and events --------------------------------------------------------------------

void ResponseGraph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_backgroundDirty = true;
    m_curvesDirty = true;
}

void ResponseGraph::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        invalidateBackground();
}

void ResponseGraph::paintEvent(QPaintEvent*)
{
    // A screen change alters the device pixel ratio without a resize.
    if (m_backgroundDirty || m_background.size() != size() * devicePixelRatioF() ||
        m_background.devicePixelRatio() != devicePixelRatioF())
        rebuildBackground();
    if (m_curvesDirty) rebuildCurves();
    m_backgroundDirty = false;

    const Theme& theme = Theme::instance();
    const QRectF plot = plotRect();
    const double width = m_compact ? 1.5 : 2.0;
    // Low-pass and high-pass under the main curve, kept on a layer of their own.
    if (!m_filterLayerValid || m_filterLayer.size() != m_background.size() ||
        m_layerFilters[0] != m_polygons[1] || m_layerFilters[1] != m_polygons[2]) {
        m_filterLayer = m_background.copy();
        m_filterLayer.setDevicePixelRatio(m_background.devicePixelRatio());
        QPainter layer(&m_filterLayer);
        layer.setClipRect(plot);
        layer.setRenderHint(QPainter::Antialiasing);
        layer.setPen(QPen(theme.curveFilter, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (int s : {1, 2})
            layer.drawPolyline(m_polygons[s]);
        m_layerFilters = {m_polygons[1], m_polygons[2]};
        m_filterLayerValid = true;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_filterLayer);
    p.setClipRect(plot);
    p.setRenderHint(QPainter::Antialiasing);
    const double mid = plot.center().y();

    // A curve's area down (or up) to the mid line.
    const auto fillToMid = [&](const QPolygonF& curve, const QColor& colour) {
        if (curve.size() < 2) return;
        QPolygonF area = curve;
        area.append(QPointF(curve.back().x(), mid));
        area.append(QPointF(curve.front().x(), mid));
        // The stroke drawn over the edge smooths it; an aliased fill costs a fraction.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(area);
        p.setRenderHint(QPainter::Antialiasing, true);
    };
    p.setBrush(Qt::NoBrush);
    if (m_fill) fillToMid(m_bandPolygon, theme.curveBandFill);
    if (!m_bandPolygon.isEmpty()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(theme.curveBand, 1.0));
        p.drawPolyline(m_bandPolygon);
    }
    if (m_fill) fillToMid(m_polygons[0], theme.curveMainFill);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(isEnabled() ? theme.curveMain : theme.textDisabled, width, Qt::SolidLine,
                  Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(m_polygons[0]);

    if (hasFocus()) {
        p.setClipping(false);
        drawFocusRing(p, rect(), 3);
    }
    if (m_compact) return;
    // Handles, in list order; the selected one larger and lighter.
    p.setClipping(false);
    p.setFont(theme.font(9, true));
    for (int i = 0; i < handleCount(); ++i) {
        const QPointF centre(xToPixel(m_handles[i].x()), yToPixel(m_handles[i].y()));
        const bool selected = i == m_selected;
        const double r = selected ? kSelectedHandleRadius : kHandleRadius;
        p.setPen(QPen(theme.pointEdge, selected ? 2.0 : 1.0));
        p.setBrush(selected ? theme.pointSelected : theme.pointFill);
        p.drawEllipse(centre, r, r);
        if (i < m_handleLabels.size()) {
            p.setPen(selected ? theme.window : theme.text);
            p.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                       m_handleLabels.at(i));
        }
    }
}

void ResponseGraph::updateCursor(QPointF position)
{
    if (m_compact) return;
    const int i = m_pressed >= 0 ? m_pressed : handleAt(position);
    if (i < 0) {
        unsetCursor();
        return;
    }
    switch (m_handleAxes[i]) {
    case Axes::Both:
        setCursor(Qt::SizeAllCursor);
        break;
    case Axes::Horizontal:
        setCursor(Qt::SizeHorCursor);
        break;
    case Axes::Vertical:
        setCursor(Qt::SizeVerCursor);
        break;
    }
}

void ResponseGraph::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPointF pos = event->position();
    m_pressed = handleAt(pos);
    m_dragging = false;
    m_pressPos = pos;
    m_clickCandidate = m_pressed < 0;
    if (m_pressed >= 0) {
        const QPointF h = m_handles[m_pressed];
        m_grabOffset = QPointF(xToPixel(h.x()), yToPixel(h.y())) - pos;
        emit pointPressed(m_pressed);
    }
    event->accept();
}

void ResponseGraph::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    if (m_pressed < 0) {
        updateCursor(pos);
        return;
    }
    if (!m_dragging) {
        if ((pos - m_pressPos).manhattanLength() < kDragStartDistance) return;
        m_dragging = true;
    }
    const QRectF plot = plotRect();
    const QPointF target(std::clamp(pos.x() + m_grabOffset.x(), plot.left(), plot.right()),
                         std::clamp(pos.y() + m_grabOffset.y(), plot.top(), plot.bottom()));
    QPointF point = m_handles[m_pressed];
    if (m_handleAxes[m_pressed] != Axes::Vertical) point.setX(pixelToX(target.x()));
    if (m_handleAxes[m_pressed] != Axes::Horizontal) point.setY(pixelToY(target.y()));
    m_handles[m_pressed] = point;
    update();
    const int dragged = m_pressed;
    emit pointDragged(dragged);
    // The owner may have corrected the handle (and its gain and Q) on the signal.
    showDragToolTip(dragged);
    event->accept();
}

void ResponseGraph::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int released = m_pressed;
    const bool click = m_clickCandidate && rect().contains(event->position().toPoint());
    m_pressed = -1;
    m_dragging = false;
    m_clickCandidate = false;
    if (released >= 0) {
        QToolTip::hideText();
        emit pointReleased(released);
    } else if (click)
        emit clicked();
    updateCursor(event->position());
    event->accept();
}

void ResponseGraph::showDragToolTip(int index)
{
    if (index < 0 || index >= handleCount()) return;
    const QPointF centre(xToPixel(m_handles[index].x()), yToPixel(m_handles[index].y()));
    const QPoint below = (centre + QPointF(kHitRadius, kHitRadius)).toPoint();
    QToolTip::showText(mapToGlobal(below), handleToolTip(index), this);
}

void ResponseGraph::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int index = event->button() == Qt::LeftButton ? handleAt(event->position()) : -1;
    if (index < 0) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_pressed = -1;
    m_dragging = false;
    emit handleResetRequested(index);
    event->accept();
}

void ResponseGraph::wheelEvent(QWheelEvent* event)
{
    const int index = handleAt(event->position());
    if (index < 0) {
        m_wheelRemainder = 0.0;
        QWidget::wheelEvent(event);
        return;
    }
    // Some platforms turn Shift+wheel into a horizontal wheel.
    const QPoint angle = event->angleDelta();
    m_wheelRemainder += (angle.y() != 0 ? angle.y() : angle.x()) / double(kWheelNotch);
    const int notches = static_cast<int>(m_wheelRemainder);
    m_wheelRemainder -= notches;
    if (notches != 0) emit handleWheel(index, notches, event->modifiers() & Qt::ShiftModifier);
    event->accept();
}

void ResponseGraph::keyPressEvent(QKeyEvent* event)
{
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    int xSteps = 0, ySteps = 0;
    if (m_compact && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                      event->key() == Qt::Key_Space)) {
        emit clicked();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        xSteps = -1;
        break;
    case Qt::Key_Right:
        xSteps = 1;
        break;
    case Qt::Key_Up:
        ySteps = 1;
        break;
    case Qt::Key_Down:
        ySteps = -1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_compact || m_selected < 0 || m_selected >= handleCount()) {
        QWidget::keyPressEvent(event);
        return;
    }
    nudge(m_selected, xSteps, ySteps, fine);
    event->accept();
}

void ResponseGraph::nudge(int index, int xSteps, int ySteps, bool fine)
{
    const Axes axes = m_handleAxes[index];
    if (axes == Axes::Vertical) xSteps = 0;
    if (axes == Axes::Horizontal) ySteps = 0;
    if (xSteps == 0 && ySteps == 0) return;
    const double factor = fine ? kFineNudge : 1.0;
    QPointF point = m_handles[index];
    const double from = xFrom(), to = xTo();
    const double xLow = std::min(from, to), xHigh = std::max(from, to);
    if (xSteps != 0) {
        double x = m_logX && point.x() > 0.0
                       ? point.x() * std::pow(2.0, xSteps * kNudgeOctaves * factor)
                       : point.x() + xSteps * kNudgeLinearShare * (xHigh - xLow) * factor;
        point.setX(std::clamp(x, xLow, xHigh));
    }
    if (ySteps != 0) {
        const double yLow = std::min(m_yMin, m_yMax), yHigh = std::max(m_yMin, m_yMax);
        const double step = (m_logX ? kNudgeDb : kNudgeLinearShare * (yHigh - yLow)) * factor;
        point.setY(std::clamp(point.y() + ySteps * step, yLow, yHigh));
    }
    if (point == m_handles[index]) return; // already at the end of the range
    m_handles[index] = point;
    update();
    emit pointDragged(index);
    emit pointReleased(index);
}

} // namespace sonaro::ui
