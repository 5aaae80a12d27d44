#include "ui/kit/Fader.h"

#include "ui/kit/Theme.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace sonaro::ui {

namespace {
constexpr int kReadoutHeight = 20;
constexpr int kReadoutGap = 8;
constexpr int kCapHeight = 34;
constexpr int kCapMaxWidth = 34;
constexpr int kTopMargin = 2;
constexpr int kSlotWidth = 6;
constexpr int kScaleLabelWidth = 20; // labels to the left of the slot
constexpr int kTickLength = 7;
constexpr int kLabelPixelSize = 9;
constexpr int kGainMarkStep = 10;
} // namespace

Fader::Fader(QWidget* parent) : ValueControl(parent)
{
    setRange(0, 60);
    setPageStep(kGainMarkStep);
}

void Fader::useGainScale()
{
    setRange(0, 60);
    setDefaultValue(10);
    setPageStep(kGainMarkStep);
    setFormatter(gainFaderText);
    setParser(parseGainFaderText);
    QList<int> marks;
    for (int p = 0; p <= 60; p += kGainMarkStep)
        marks.append(p);
    setScaleMarks(marks, [](int p) { return QString::number(10 - p); });
    setUnityPosition(10);
}

void Fader::setScaleMarks(QList<int> positions, ValueFormatter label)
{
    m_marks = std::move(positions);
    m_markLabel = std::move(label);
    update();
}

QRect Fader::readoutRect() const
{
    const QRect r = rect();
    return QRect(r.left() + 2, r.bottom() - kReadoutHeight + 1, r.width() - 4, kReadoutHeight);
}

double Fader::travelTop() const
{
    return kTopMargin + kCapHeight / 2.0;
}

double Fader::travelBottom() const
{
    return std::max(travelTop() + 1.0, readoutRect().top() - kReadoutGap - kCapHeight / 2.0);
}

double Fader::slotX() const
{
    // The slot sits right of centre when there is room for the scale labels on its left.
    const double centre = width() / 2.0;
    return width() >= kCapMaxWidth + kScaleLabelWidth + kTickLength
               ? centre + (kScaleLabelWidth + kTickLength) / 2.0
               : centre;
}

double Fader::yForValue(int value) const
{
    return travelTop() + (travelBottom() - travelTop()) * fractionOf(value);
}

QRectF Fader::capRect() const
{
    const double capWidth = std::min<double>(kCapMaxWidth, width() - 4);
    const double y = yForValue(value());
    return QRectF(slotX() - capWidth / 2.0, y - kCapHeight / 2.0, capWidth, kCapHeight);
}

double Fader::valuePerPixelDown() const
{
    return (maximum() - minimum()) / std::max(1.0, travelBottom() - travelTop());
}

bool Fader::valueAtPoint(const QPointF& point, int& value) const
{
    const QRectF cap = capRect();
    if (cap.contains(point) || point.y() > readoutRect().top() - kReadoutGap / 2.0) return false;
    if (std::abs(point.x() - slotX()) > cap.width() / 2.0) return false;
    const double t = (point.y() - travelTop()) / std::max(1.0, travelBottom() - travelTop());
    value = valueAtFraction(t);
    return true;
}

void Fader::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const double x = slotX();
    const double capHalf = std::min<double>(kCapMaxWidth, width() - 4) / 2.0;

    // Scale: ticks on both sides of the slot, labels on the left.
    p.setFont(theme.font(kLabelPixelSize));
    for (int mark : m_marks) {
        const double y = std::round(yForValue(mark)) + 0.5;
        const bool unity = mark == m_unity;
        p.setPen(QPen(unity ? theme.textDim : theme.scaleTick, 1.0));
        const double len = unity ? kTickLength + 3 : kTickLength;
        p.drawLine(QPointF(x - capHalf + 2 - len, y), QPointF(x - capHalf + 2, y));
        p.drawLine(QPointF(x + capHalf - 2, y), QPointF(x + capHalf - 2 + len, y));
        if (m_markLabel && x - capHalf - kTickLength >= kScaleLabelWidth - 2) {
            p.setPen(enabled ? (unity ? theme.text : theme.textDim) : theme.textDisabled);
            const QRectF label(0, y - 7, x - capHalf - kTickLength + 1, 14);
            p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, m_markLabel(mark));
        }
    }

    // Slot, with a lit line from the bottom of the travel up to the cap.
    const QRectF slot(x - kSlotWidth / 2.0, travelTop() - 4, kSlotWidth,
                      travelBottom() - travelTop() + 8);
    p.setPen(QPen(theme.panelEdge, 1.0));
    p.setBrush(theme.faderSlot);
    p.drawRoundedRect(slot, kSlotWidth / 2.0, kSlotWidth / 2.0);
    const QRectF cap = capRect();
    if (enabled) {
        p.setPen(Qt::NoPen);
        p.setBrush(theme.accent);
        p.drawRoundedRect(
            QRectF(x - 1.5, cap.center().y(), 3, slot.bottom() - 2 - cap.center().y()), 1.5, 1.5);
    }

    // Cap: a drop shadow, a brushed face, grip lines and the index line.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawRoundedRect(cap.translated(0, 2), 3, 3);
    QLinearGradient face(cap.topLeft(), cap.bottomLeft());
    face.setColorAt(0.0, enabled ? theme.faderCapTop : theme.buttonDisabled);
    face.setColorAt(0.48, enabled ? theme.faderCapBottom : theme.buttonDisabled);
    face.setColorAt(0.52, enabled ? theme.faderCapBottom.darker(115) : theme.buttonDisabled);
    face.setColorAt(1.0, enabled ? theme.faderCapTop.darker(130) : theme.buttonDisabled);
    p.setBrush(face);
    p.setPen(QPen(theme.shadow, 1.0));
    p.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1.0));
    for (int i : {-10, -6, 6, 10}) {
        const double gy = std::round(cap.center().y()) + i + 0.5;
        p.drawLine(QPointF(cap.left() + 5, gy), QPointF(cap.right() - 5, gy));
    }
    p.setPen(QPen(theme.faderCapLine, 2.0));
    p.drawLine(QPointF(cap.left() + 2, cap.center().y()),
               QPointF(cap.right() - 2, cap.center().y()));

    // Read-out.
    const QRectF box = QRectF(readoutRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(theme.panelEdge, 1.0));
    p.setBrush(theme.well);
    p.drawRoundedRect(box, 3, 3);
    if (!isEditing()) {
        p.setFont(theme.readoutFont(11));
        p.setPen(enabled ? theme.readoutText : theme.textDisabled);
        p.drawText(box, Qt::AlignCenter, text());
    }
    if (hasFocus()) drawFocusRing(p, rect(), 4);
}

} // namespace sonaro::ui
