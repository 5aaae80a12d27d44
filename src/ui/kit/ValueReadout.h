#pragma once

#include "ui/kit/ValueControl.h"

namespace sonaro::ui {

// A numeric display that is also a control: drag it up or down, turn the wheel, or type a value.
// It clamps to its raw range and shows the value through its format ("%0.1fdB", "%dms", "%d:1",
// "OFF" ...).
class ValueReadout : public ValueControl
{
    Q_OBJECT
public:
    explicit ValueReadout(QWidget* parent = nullptr);

    // Text alignment inside the box (centred by default).
    void setAlignment(Qt::Alignment alignment);
    QAccessible::Role accessibleRole() const override { return QAccessible::SpinBox; }

    QSize sizeHint() const override { return {84, 24}; }
    QSize minimumSizeHint() const override { return {40, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Qt::Alignment m_alignment = Qt::AlignCenter;
    bool m_hover = false;
};

} // namespace sonaro::ui
