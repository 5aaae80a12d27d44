#include "ui/GroupTabBar.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace sonaro::ui {

namespace {
constexpr int kTabWidth = 118;
constexpr int kTabHeight = 30;
constexpr int kCorner = 6;
constexpr int kFontPixels = 12;
const char* const kColourProperty = "tabColour";
} // namespace

GroupTabBar::GroupTabBar(QWidget* parent) : QTabBar(parent)
{
    setMovable(true);
    setDrawBase(false);
    setExpanding(false);
    setFocusPolicy(Qt::TabFocus);
    setFixedHeight(kTabHeight + 2);
}

void GroupTabBar::setTabColour(int index, const QColor& colour)
{
    setProperty(QByteArray(kColourProperty).append(QByteArray::number(pageAt(index))), colour);
    update();
}

QColor GroupTabBar::tabColour(int index) const
{
    const QVariant v =
        property(QByteArray(kColourProperty).append(QByteArray::number(pageAt(index))));
    return v.isValid() ? v.value<QColor>() : Theme::instance().matrixLegendClosed;
}

int GroupTabBar::indexOfPage(int page) const
{
    for (int i = 0; i < count(); ++i)
        if (pageAt(i) == page) return i;
    return -1;
}

QSize GroupTabBar::tabSizeHint(int) const
{
    return {kTabWidth, kTabHeight};
}

void GroupTabBar::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count(); ++i) {
        const QRectF r = QRectF(tabRect(i)).adjusted(2, 3, -2, 0);
        const bool current = i == currentIndex();
        QColor fill = tabColour(i);
        if (!current) fill = fill.darker(150);
        QPainterPath path;
        path.addRoundedRect(r.adjusted(0, 0, 0, kCorner), kCorner, kCorner);
        p.save();
        p.setClipRect(r);
        p.fillPath(path, fill);
        p.restore();
        if (current) {
            p.setPen(QPen(theme.text, 1));
            p.drawLine(r.bottomLeft(), r.bottomRight());
        }
        QFont font = theme.font(kFontPixels, current);
        p.setFont(font);
        p.setPen(current ? QColor(Qt::black) : theme.text);
        p.drawText(r, Qt::AlignCenter, tabText(i));
        if (hasFocus() && current) drawFocusRing(p, r, kCorner);
    }
}

} // namespace sonaro::ui
