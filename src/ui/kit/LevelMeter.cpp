#include "ui/kit/LevelMeter.h"

#include "ui/kit/Accessibility.h"
#include "ui/kit/Theme.h"

#include <QPainter>

#include <algorithm>

namespace sonaro::ui {

namespace {
constexpr int kSegmentPitch = 4; // pixels per segment, gap included
constexpr int kSegmentGap = 1;
constexpr int kFrame = 2; // well border around the segments
constexpr int kPeakHeight = 2;
} // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &LevelMeter::advance);
    setAttribute(Qt::WA_OpaquePaintEvent);
    installKitAccessibility();
}

void LevelMeter::setRange(int minimum, int maximum)
{
    if (minimum > maximum) std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = std::max(maximum, minimum + 1);
    m_level = std::clamp(m_level, m_minimum, m_maximum);
    m_peak = std::clamp(m_peak, m_minimum, m_maximum);
    m_dirty = true;
}

void LevelMeter::setLevel(int level)
{
    if (!isAvailable()) level = m_minimum;
    m_level = std::clamp(level, m_minimum, m_maximum);
    if (m_level >= m_peak) {
        m_peak = m_level;
        m_holdLeft = m_holdTicks;
    }
}

void LevelMeter::setCaption(const QString& caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    setToolTip(caption);
}

void LevelMeter::setUnavailable(const QString& reason)
{
    if (reason == m_unavailable) return;
    m_unavailable = reason;
    if (!isAvailable()) {
        m_level = m_minimum;
        m_peak = m_minimum;
        m_holdLeft = 0;
    }
    setToolTip(isAvailable() ? m_caption : reason);
    setAccessibleDescription(reason);
    m_dirty = true;
    update();
}

int LevelMeter::segmentCount() const
{
    return std::max(1, (height() - 2 * kFrame + kSegmentGap) / kSegmentPitch);
}

int LevelMeter::segmentFor(int level) const
{
    return (level - m_minimum) * segmentCount() / (m_maximum - m_minimum);
}

int LevelMeter::litSegments() const
{
    return segmentFor(m_level);
}

int LevelMeter::peakSegment() const
{
    const int peak = segmentFor(m_peak);
    return peak > 0 ? peak - 1 : -1;
}

void LevelMeter::advance()
{
    if (m_holdLeft > 0) {
        --m_holdLeft;
    } else if (m_peak > m_level) {
        // Fall by one segment's worth of level per tick, never below the level.
        const int perSegment = std::max(1, (m_maximum - m_minimum) / segmentCount());
        m_peak = std::max(m_level, m_peak - perSegment);
    }
    if (m_dirty || litSegments() != m_drawnLit || peakSegment() != m_drawnPeak) update();
}

void LevelMeter::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void LevelMeter::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void LevelMeter::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, theme.panelEdge);
    p.fillRect(r.adjusted(1, 1, -1, -1), theme.well);

    const int count = segmentCount();
    const int lit = litSegments();
    const int peak = peakSegment();
    const int yellowFrom = count * m_yellowPercent / 100;
    const int redFrom = count * m_redPercent / 100;
    const QColor bands[3] = {theme.meterGreen, theme.meterYellow, theme.meterRed};
    QColor unlit[3];
    for (int i = 0; i < 3; ++i)
        // Greyed without a level to show: no colour that could pass for silence.
        unlit[i] = isAvailable() ? dimmed(bands[i], theme.meterUnlitPercent) : theme.panelEdge;
    const int segHeight = kSegmentPitch - kSegmentGap;
    const int x = r.left() + kFrame;
    const int w = r.width() - 2 * kFrame;
    const int bottom = r.bottom() - kFrame + 1;
    for (int i = 0; i < count; ++i) {
        const int band = i >= redFrom ? 2 : i >= yellowFrom ? 1 : 0;
        const int y = bottom - (i + 1) * kSegmentPitch + kSegmentGap;
        p.fillRect(QRect(x, y, w, segHeight), i < lit ? bands[band] : unlit[band]);
    }
    if (peak >= 0 && peak >= lit - 1) {
        const int y = bottom - (peak + 1) * kSegmentPitch + kSegmentGap;
        const int band = peak >= redFrom ? 2 : peak >= yellowFrom ? 1 : 0;
        p.fillRect(QRect(x, y, w, std::min(segHeight, kPeakHeight + 1)),
                   band == 2 ? theme.meterRed.lighter(130) : theme.meterPeak);
    }
    m_drawnLit = lit;
    m_drawnPeak = peak;
    m_dirty = false;
}

} // namespace sonaro::ui
