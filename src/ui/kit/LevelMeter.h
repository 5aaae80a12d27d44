#pragma once

#include <QTimer>
#include <QWidget>

namespace sonaro::ui {

// Vertical segmented level meter with green, yellow and red bands and a peak-hold marker.
//
// setLevel only stores the level: the meter repaints from its 30 ms timer, once per tick and only
// when something changed, however often the level is pushed. All arithmetic is integer. The
// timer runs while the meter is visible.
class LevelMeter : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 30;

    explicit LevelMeter(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setLevel(int level);
    int level() const { return m_level; }
    int peakLevel() const { return m_peak; }

    // How many ticks the peak marker holds before it falls, one segment per tick.
    void setPeakHoldTicks(int ticks) { m_holdTicks = std::max(0, ticks); }
    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }
    // A meter with no level to show (nothing reports this channel's level): it is drawn greyed,
    // holds no level and says why (reason) in its tooltip and description. An empty reason makes
    // it a live meter again.
    void setUnavailable(const QString& reason);
    bool isAvailable() const { return m_unavailable.isEmpty(); }

    // Number of lit segments for the current level, and the segment of the peak marker
    // (-1: none). Public so that owners and tests can reason about what is drawn.
    int segmentCount() const;
    int litSegments() const;
    int peakSegment() const;

    // One timer tick: peak hold and fall, and a repaint when anything changed.
    void advance();
    bool isTicking() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return {14, 200}; }
    QSize minimumSizeHint() const override { return {6, 40}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int segmentFor(int level) const;

    QTimer m_timer;
    int m_minimum = 0;
    int m_maximum = 50;
    int m_level = 0;
    int m_peak = 0;
    int m_holdLeft = 0;
    int m_holdTicks = 50; // 1.5 s
    int m_yellowPercent = 70;
    int m_redPercent = 90;
    bool m_dirty = true;
    int m_drawnLit = -1;
    int m_drawnPeak = -1;
    QString m_caption;
    QString m_unavailable;
};

} // namespace sonaro::ui
