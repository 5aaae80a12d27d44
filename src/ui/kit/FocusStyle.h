#pragma once

#include <QProxyStyle>

namespace sonaro::ui {

// The theme's style for the standard widgets (Fusion underneath): where Fusion marks keyboard
// focus with a one-pixel line in the highlight colour, which vanishes on a lit face, push
// buttons, line edits, combo boxes, sliders, spin boxes, item views and their current item get
// the theme's focus ring (Theme.h, drawFocusRing) that the painted kit widgets draw too.
class FocusStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit FocusStyle(QStyle* base = nullptr);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
};

} // namespace sonaro::ui
