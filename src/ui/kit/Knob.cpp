#include "ui/kit/Knob.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace sonaro::ui {

namespace {
constexpr int kCaptionHeight = 15;
constexpr int kReadoutHeight = 18;
constexpr int kGap = 3;
constexpr double kArcWidth = 3.5;
constexpr double kArcInset = 3.0; // between the arc and the knob body
constexpr double kStartAngle = 225.0;
constexpr double kSweep = 270.0;
} // namespace

Knob::Knob(QWidget* parent) : ValueControl(parent) {}

void Knob::setCaption(const QString& caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void Knob::setArcOrigin(int value)
{
    m_arcOrigin = value;
    update();
}

QRect Knob::captionRect() const
{
    return m_caption.isEmpty() ? QRect() : QRect(0, 0, width(), kCaptionHeight);
}

QRect Knob::readoutRect() const
{
    const QRect r = rect();
    const int w = std::min(r.width() - 4, 72);
    return QRect(r.center().x() - w / 2 + 1, r.bottom() - kReadoutHeight + 1, w, kReadoutHeight);
}

QRectF Knob::dialRect() const
{
    const int top = m_caption.isEmpty() ? kGap : kCaptionHeight + kGap;
    const int bottom = readoutRect().top() - kGap;
    const double side = std::max(8, std::min(width() - 4, bottom - top));
    return QRectF((width() - side) / 2.0, top + (bottom - top - side) / 2.0, side, side);
}

double Knob::angleFor(int value) const
{
    return kStartAngle - fractionOf(value) * kSweep;
}

void Knob::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();

    if (!m_caption.isEmpty()) {
        p.setFont(theme.font(10, true));
        p.setPen(enabled ? theme.textDim : theme.textDisabled);
        p.drawText(captionRect(), Qt::AlignCenter, m_caption);
    }

    const QRectF dial = dialRect();
    const QRectF arcRect =
        dial.adjusted(kArcWidth / 2, kArcWidth / 2, -kArcWidth / 2, -kArcWidth / 2);
    // drawArc takes sixteenths of a degree.
    const auto arc = [&](double from, double to, const QColor& colour) {
        p.setPen(QPen(colour, kArcWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(arcRect, int(std::lround(from * 16)), int(std::lround((to - from) * 16)));
    };
    arc(kStartAngle, kStartAngle - kSweep, theme.knobTrack);
    const int origin = m_arcOrigin == INT_MIN ? minimum() : m_arcOrigin;
    if (enabled && value() != origin) arc(angleFor(origin), angleFor(value()), theme.accent);

    // Body: a shaded disc with a rim, and the pointer.
    const double inset = kArcWidth + kArcInset;
    const QRectF body = dial.adjusted(inset, inset, -inset, -inset);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(body.translated(0, 1.5));
    QRadialGradient shade(body.center() - QPointF(0, body.height() * 0.3), body.width() * 0.8);
    shade.setColorAt(0.0, enabled ? theme.knobBody.lighter(135) : theme.buttonDisabled);
    shade.setColorAt(1.0, enabled ? theme.knobBodyDark : theme.buttonDisabled);
    p.setBrush(shade);
    p.setPen(QPen(theme.shadow, 1.0));
    p.drawEllipse(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
    p.drawEllipse(body.adjusted(1.5, 1.5, -1.5, -1.5));

    const double radians = angleFor(value()) * std::numbers::pi / 180.0;
    const QPointF direction(std::cos(radians), -std::sin(radians));
    const double radius = body.width() / 2.0;
    p.setPen(QPen(enabled ? theme.text : theme.textDisabled, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(body.center() + direction * radius * 0.35,
               body.center() + direction * radius * 0.85);

    // Read-out.
    const QRectF box = QRectF(readoutRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(theme.panelEdge, 1.0));
    p.setBrush(theme.well);
    p.drawRoundedRect(box, 3, 3);
    if (!isEditing()) {
        p.setFont(theme.readoutFont(10));
        p.setPen(enabled ? theme.readoutText : theme.textDisabled);
        p.drawText(box, Qt::AlignCenter, text());
    }
    if (hasFocus()) drawFocusRing(p, rect(), 4);
}

} // namespace sonaro::ui
