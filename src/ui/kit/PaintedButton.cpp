#include "ui/kit/PaintedButton.h"

#include "ui/kit/Theme.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

namespace sonaro::ui {

namespace {
constexpr int kRadius = 4;
constexpr int kLampDiameter = 7;
constexpr int kLampMargin = 8;
constexpr int kTextPadding = 10;
constexpr int kFontPixels = 11;
constexpr int kHeightHint = 26;
} // namespace

PaintedButton::PaintedButton(QWidget* parent) : PaintedButton(QString(), parent) {}

PaintedButton::PaintedButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent), m_checkedColour(Theme::instance().accent)
{
    setText(text);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
}

void PaintedButton::setCheckedColour(const QColor& colour)
{
    m_checkedColour = colour;
    update();
}

void PaintedButton::setLampVisible(bool visible)
{
    m_lamp = visible;
    updateGeometry();
    update();
}

void PaintedButton::setIndicator(bool indicator)
{
    m_indicator = indicator;
    setFocusPolicy(indicator ? Qt::NoFocus : Qt::TabFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents, indicator);
    update();
}

bool PaintedButton::event(QEvent* event)
{
    // An indicator takes no clicks, not even through shortcuts or the keyboard.
    if (m_indicator) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Shortcut:
            return true;
        default:
            break;
        }
    }
    return QAbstractButton::event(event);
}

PaintedButton::Look PaintedButton::look() const
{
    if (!isEnabled()) return Look::Disabled;
    if (!m_indicator && isDown()) return Look::Pressed;
    if (isChecked()) return Look::Checked;
    if (!m_indicator && underMouse()) return Look::Hover;
    return Look::Normal;
}

QSize PaintedButton::sizeHint() const
{
    QFontMetrics fm(Theme::instance().font(kFontPixels, true));
    const int lamp = m_lamp ? kLampDiameter + kLampMargin : 0;
    return {fm.horizontalAdvance(text()) + 2 * kTextPadding + lamp, kHeightHint};
}

void PaintedButton::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Look l = look();
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);

    QColor face = theme.buttonFace;
    QColor textColour = theme.text;
    switch (l) {
    case Look::Normal:
        break;
    case Look::Hover:
        face = theme.buttonHover;
        break;
    case Look::Pressed:
        face = isChecked() ? m_checkedColour.darker(140) : theme.buttonPressed;
        break;
    case Look::Disabled:
        face = theme.buttonDisabled;
        textColour = theme.textDisabled;
        break;
    case Look::Checked:
        face = underMouse() && !m_indicator ? m_checkedColour.lighter(112) : m_checkedColour;
        textColour = face.lightness() > 150 ? theme.window : Qt::white;
        break;
    }

    // Drop edge below, then the face with a soft top light (flat when pressed).
    p.setPen(Qt::NoPen);
    p.setBrush(theme.shadow);
    p.drawRoundedRect(r.translated(0, 1), kRadius, kRadius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, l == Look::Pressed ? face : face.lighter(118));
    g.setColorAt(1.0, face);
    p.setBrush(g);
    p.setPen(QPen(l == Look::Checked ? m_checkedColour.darker(150) : theme.shadow, 1.0));
    p.drawRoundedRect(r, kRadius, kRadius);
    if (hasFocus() && l != Look::Disabled) drawFocusRing(p, r, kRadius);

    QRectF textRect = r.adjusted(kTextPadding / 2.0, 0, -kTextPadding / 2.0, 0);
    if (m_lamp) {
        const QRectF lamp(r.left() + kLampMargin, r.center().y() - kLampDiameter / 2.0,
                          kLampDiameter, kLampDiameter);
        const bool lit = isChecked() && isEnabled();
        p.setPen(QPen(theme.shadow, 1.0));
        p.setBrush(lit ? m_checkedColour.lighter(150) : dimmed(m_checkedColour, 30));
        p.drawEllipse(lamp);
        textRect.setLeft(lamp.right() + 2);
    }
    if (l == Look::Pressed) textRect.translate(0, 1);
    p.setFont(theme.font(kFontPixels, true));
    p.setPen(textColour);
    p.drawText(textRect, Qt::AlignCenter, text());
}

} // namespace sonaro::ui
