#include "ui/kit/FocusStyle.h"

#include "ui/kit/Theme.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOption>

namespace sonaro::ui {

namespace {
constexpr qreal kRadius = 3.0;
} // namespace

FocusStyle::FocusStyle(QStyle* base) : QProxyStyle(base) {}

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const
{
    const bool focused = option->state & State_HasFocus;
    if (element == PE_FrameFocusRect) {
        // A button's ring follows its outline, not the text area Fusion would mark.
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            drawFocusRing(*painter, button->rect(), kRadius);
        else
            drawFocusRing(*painter, option->rect, kRadius);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (focused && element == PE_PanelButtonCommand) drawFocusRing(*painter, option->rect, kRadius);
    // The panel, framed or not (the octets of an address have no frame of their own).
    if (focused && element == PE_PanelLineEdit) drawFocusRing(*painter, option->rect, kRadius);
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    // The frame of a list or table that has the focus.
    if (element == CE_ShapedFrame && qobject_cast<const QAbstractItemView*>(widget) &&
        widget->hasFocus())
        drawFocusRing(*painter, option->rect, kRadius);
}

void FocusStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    const bool focused = option->state & State_HasFocus;
    if (focused && (control == CC_ComboBox || control == CC_Slider || control == CC_SpinBox))
        drawFocusRing(*painter, option->rect, kRadius);
}

} // namespace sonaro::ui
