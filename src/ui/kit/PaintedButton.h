#pragma once

#include <QAbstractButton>

namespace sonaro::ui {

// Push or toggle button whose normal, hover, pressed, disabled and checked looks are painted in
// code from the theme. A checked button lights in its own colour (mute red, priority amber ...).
// As an indicator it shows a state and ignores the mouse and the keyboard (the channel-open
// lamp).
class PaintedButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class Look
    {
        Normal,
        Hover,
        Pressed,
        Disabled,
        Checked
    };

    explicit PaintedButton(QWidget* parent = nullptr);
    explicit PaintedButton(const QString& text, QWidget* parent = nullptr);

    void setCheckedColour(const QColor& colour);
    QColor checkedColour() const { return m_checkedColour; }
    // A small lamp left of the caption that lights when checked.
    void setLampVisible(bool visible);
    void setIndicator(bool indicator);
    bool isIndicator() const { return m_indicator; }

    // The look the button has now.
    Look look() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {32, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QColor m_checkedColour;
    bool m_lamp = false;
    bool m_indicator = false;
};

} // namespace sonaro::ui
