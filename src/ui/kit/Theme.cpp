#include "ui/kit/Theme.h"

#include "ui/kit/FocusStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyleFactory>

#include <algorithm>

namespace sonaro::ui {

const Theme& Theme::instance()
{
    static const Theme theme;
    return theme;
}

QFont Theme::font(int pixelSize, bool bold) const
{
    QFont f;
    // Our own face first; the others are what a Linux or Windows desktop usually has.
    f.setFamilies({QStringLiteral("HelveticaNeueLT Std Med"), QStringLiteral("Helvetica Neue"),
                   QStringLiteral("Inter"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Arial")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QFont Theme::readoutFont(int pixelSize) const
{
    QFont f = font(pixelSize, true);
    f.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"),
                   QStringLiteral("Menlo"), QStringLiteral("monospace")});
    f.setStyleHint(QFont::Monospace);
    return f;
}

void Theme::applyTo(QApplication& app)
{
    const Theme& t = instance();
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(new FocusStyle(fusion));
    QPalette p;
    p.setColor(QPalette::Window, t.window);
    p.setColor(QPalette::WindowText, t.text);
    p.setColor(QPalette::Base, t.well);
    p.setColor(QPalette::AlternateBase, t.panel);
    p.setColor(QPalette::ToolTipBase, t.panelRaised);
    p.setColor(QPalette::ToolTipText, t.text);
    p.setColor(QPalette::PlaceholderText, t.textDim);
    p.setColor(QPalette::Text, t.text);
    p.setColor(QPalette::Button, t.buttonFace);
    p.setColor(QPalette::ButtonText, t.text);
    p.setColor(QPalette::BrightText, t.accentBright);
    p.setColor(QPalette::Highlight, t.accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, t.accentBright);
    p.setColor(QPalette::Light, t.panelEdge);
    p.setColor(QPalette::Midlight, t.panelRaised);
    p.setColor(QPalette::Mid, t.panel);
    p.setColor(QPalette::Dark, t.shadow);
    p.setColor(QPalette::Shadow, t.shadow);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, t.textDisabled);
    app.setPalette(p);
    app.setFont(t.font(12));
}

void drawFocusRing(QPainter& p, const QRectF& r, qreal radius)
{
    const Theme& theme = Theme::instance();
    // On whole pixels, so that neither line is blurred into the face.
    const QRectF outline(r.toAlignedRect());
    const qreal w = theme.focusRingWidth;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(theme.focusRing, w));
    p.drawRoundedRect(outline.adjusted(w / 2, w / 2, -w / 2, -w / 2), radius, radius);
    const qreal in = w + 0.5;
    p.setPen(QPen(theme.focusHalo, 1.0));
    p.drawRoundedRect(outline.adjusted(in, in, -in, -in), std::max<qreal>(0, radius - in),
                      std::max<qreal>(0, radius - in));
    p.restore();
}

QColor dimmed(const QColor& lit, int percent)
{
    const QColor& base = Theme::instance().well;
    const auto mix = [percent](int a, int b) { return b + (a - b) * percent / 100; };
    return QColor(mix(lit.red(), base.red()), mix(lit.green(), base.green()),
                  mix(lit.blue(), base.blue()));
}

} // namespace sonaro::ui
