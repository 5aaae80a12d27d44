#include "ui/kit/ValueReadout.h"

#include "ui/kit/Theme.h"

#include <QPainter>

namespace sonaro::ui {

namespace {
constexpr int kTextMargin = 6;
constexpr int kMinFontPixels = 9;
constexpr int kMaxFontPixels = 14;
constexpr int kFontPadding = 9; // box height minus font height
} // namespace

ValueReadout::ValueReadout(QWidget* parent) : ValueControl(parent)
{
    setCursor(Qt::SizeVerCursor);
}

void ValueReadout::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void ValueReadout::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    ValueControl::enterEvent(event);
}

void ValueReadout::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    ValueControl::leaveEvent(event);
}

void ValueReadout::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor edge = m_hover ? theme.textDim : theme.panelEdge;
    p.setPen(QPen(edge, 1.0));
    p.setBrush(theme.well);
    p.drawRoundedRect(box, 3, 3);
    if (hasFocus()) drawFocusRing(p, rect(), 3);
    if (isEditing()) return;
    p.setFont(
        theme.readoutFont(std::clamp(height() - kFontPadding, kMinFontPixels, kMaxFontPixels)));
    p.setPen(isEnabled() ? theme.readoutText : theme.textDisabled);
    p.drawText(box.adjusted(kTextMargin, 0, -kTextMargin, 0), int(m_alignment), text());
}

} // namespace sonaro::ui
