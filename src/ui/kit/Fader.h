#pragma once

#include "ui/kit/ValueControl.h"

#include <QList>

namespace sonaro::ui {

// Vertical fader. Its value is the position: 0 at the top of the travel .. maximum at the bottom
// (the mixer's faders put the loudest setting at the top). Below the travel a read-out shows the
// value's text; double-click it (or press Enter or a digit) to type a value. Arrow Up moves the
// cap up, that is to a smaller position. A press on the track away from the cap jumps there.
class Fader : public ValueControl
{
    Q_OBJECT
public:
    explicit Fader(QWidget* parent = nullptr);

    // The mixer's gain fader: positions 0..60 shown as "%ddB" of 10 - position, typed dB clamped
    // to -50..10, default 0 dB (position 10), scale marks every 10 dB.
    void useGainScale();

    // Positions that get a tick and a label on the scale, labelled by the scale formatter.
    void setScaleMarks(QList<int> positions, ValueFormatter label);
    // A position drawn with an emphasised tick (0 dB).
    void setUnityPosition(int position)
    {
        m_unity = position;
        update();
    }

    QSize sizeHint() const override { return {64, 260}; }
    QSize minimumSizeHint() const override { return {44, 120}; }

    // Geometry, public for tests and for owners that align labels with the fader.
    QRectF capRect() const;
    double travelTop() const;
    double travelBottom() const;
    QRect readoutRect() const override;

protected:
    double valuePerPixelDown() const override;
    int upDirection() const override { return -1; }
    bool valueAtPoint(const QPointF& point, int& value) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    double yForValue(int value) const;
    double slotX() const;

    QList<int> m_marks;
    ValueFormatter m_markLabel;
    int m_unity = -1;
};

} // namespace sonaro::ui
