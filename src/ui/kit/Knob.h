#pragma once

#include "ui/kit/ValueControl.h"

namespace sonaro::ui {

// Rotary knob with an optional caption above and a value read-out below ("OFF", "-6.0dB",
// "250ms", "4:1" ... through the formatter). The lit arc starts at the arc origin: the minimum by
// default, the centre value for bipolar controls such as EQ gain.
class Knob : public ValueControl
{
    Q_OBJECT
public:
    explicit Knob(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const override { return m_caption; }
    QAccessible::Role accessibleRole() const override { return QAccessible::Dial; }
    void setArcOrigin(int value);

    QSize sizeHint() const override { return {72, 96}; }
    QSize minimumSizeHint() const override { return {40, 60}; }

    QRectF dialRect() const;
    QRect readoutRect() const override;
    // Angle of a value in degrees, counter-clockwise from 3 o'clock (225 at the minimum, -45 at
    // the maximum).
    double angleFor(int value) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect captionRect() const;

    QString m_caption;
    int m_arcOrigin = INT_MIN; // INT_MIN: the minimum
};

} // namespace sonaro::ui
