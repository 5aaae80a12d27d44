#include "ui/ChannelStrip.h"

#include "dsp/EqModel.h"
#include "dsp/ResponseGrid.h"
#include "mixer/SonaroCore.h"
#include "mixer/UndoHistory.h"
#include "model/ValueConventions.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace sonaro::ui {

namespace {
constexpr int kMargin = 6;
constexpr int kSpacing = 5;
constexpr int kCorner = 6;
constexpr int kMeterMax = 50; // the push value of the meter timer runs 0..50
constexpr int kCurveHeight = 46;
} // namespace

ChannelStrip::ChannelStrip(ControlSurface& surface, UndoHistory* history, int channel,
                           QWidget* parent)
    : QFrame(parent), m_surface(surface), m_history(history), m_channel(channel)
{
    const Theme& theme = Theme::instance();
    setMinimumWidth(kStripMinWidth);
    setMaximumWidth(kStripMaxWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAttribute(Qt::WA_StyledBackground, false);

    m_number = new QLabel(this);
    m_number->setAlignment(Qt::AlignCenter);
    m_number->setFont(theme.font(18, true));
    m_name = new QLabel(this);
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setFont(theme.font(12));
    QPalette dim = m_name->palette();
    dim.setColor(QPalette::WindowText, theme.textDim);
    m_name->setPalette(dim);

    m_curve = new ResponseGraph(this);
    m_curve->setCompact(true);
    m_curve->setLogarithmicX(true);
    m_curve->setYRange(kEqMinGain, kEqMaxGain);
    m_curve->setXRange(kEqMinFrequency, kEqMaxFrequency);
    m_curve->setXValues(ResponseGrid);
    m_curve->setFixedHeight(kCurveHeight);
    m_curve->setCursor(Qt::PointingHandCursor);
    connect(m_curve, &ResponseGraph::clicked, this, [this] { emit curveClicked(m_channel); });

    m_controls = new QVBoxLayout;
    m_controls->setSpacing(kSpacing);

    m_fader = new Fader(this);
    m_fader->useGainScale();
    m_meter = new LevelMeter(this);
    m_meter->setRange(0, kMeterMax);
    m_meter->setCaption(QStringLiteral("signal level"));
    setFocusPolicy(Qt::NoFocus);

    auto* faderRow = new QHBoxLayout;
    faderRow->setSpacing(4);
    faderRow->addWidget(m_fader, 1);
    faderRow->addWidget(m_meter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSpacing);
    layout->addWidget(m_number);
    layout->addWidget(m_name);
    layout->addWidget(m_curve);
    layout->addLayout(m_controls);
    layout->addLayout(faderRow, 1);

    m_timer.setInterval(kMeterTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { meterTick(); });
}

int ChannelStrip::meterPushValue(std::int32_t& level)
{
    constexpr int kMeterMin = 80;
    constexpr int kMeterMax = 191;
    level = std::clamp(level, kMeterMin, kMeterMax);
    return ((5 * level - 400) * 10) / 110;
}

bool ChannelStrip::isLive()
{
    return record().connected != 0 && SonaroCore::hasLiveLevels(m_surface.unit());
}

bool ChannelStrip::showLevelsKnown()
{
    const bool known = SonaroCore::hasLiveLevels(m_surface.unit());
    m_meter->setUnavailable(
        known ? QString()
              : tr("No live levels: the level stream describes unit 1 of the chain only."));
    return known;
}

void ChannelStrip::showMeter(int push)
{
    if (push == m_meterShown) return;
    m_meterShown = push;
    m_meter->setLevel(push);
}

void ChannelStrip::undoStep()
{
    if (m_history) m_history->commit();
}

int ChannelStrip::dbForFaderPosition(int position)
{
    return gainToDb(gainForFaderPosition(std::clamp(position, 0, kGainMax)));
}

QString ChannelStrip::name() const
{
    return m_name->text();
}

void ChannelStrip::setName(const QString& name)
{
    if (m_name->text() == name) return;
    m_name->setText(name);
    retranslate(); // the strip's accessible name carries it
}

void ChannelStrip::setHeaderText(const QString& text)
{
    m_number->setText(text);
}

void ChannelStrip::setFaderPosition(int position)
{
    if (!m_fader->isEditing()) m_fader->setValue(position);
}

void ChannelStrip::setCurve(std::span<const double> values, std::span<const double> lowPass,
                            std::span<const double> highPass)
{
    m_curve->setSeries(1, values);
    if (!lowPass.empty()) m_curve->setSeries(2, lowPass);
    if (!highPass.empty()) m_curve->setSeries(3, highPass);
}

void ChannelStrip::nameSharedControls(ChangeId gain, const QString& stripTitle,
                                      const QString& level, const QString& curve)
{
    setAccessibleName(stripTitle);
    m_fader->setAccessibleName(SettingCatalogue::label(gain));
    m_meter->setAccessibleName(level);
    m_curve->setAccessibleName(curve);
    m_curve->setToolTip(curve);
    m_name->setToolTip(tr("Double-click or F2 to rename"));
}

void ChannelStrip::contextMenuEvent(QContextMenuEvent* event)
{
    emit commandsRequested(event->globalPos());
    event->accept();
}

void ChannelStrip::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit renameRequested(m_channel);
    QFrame::mouseDoubleClickEvent(event);
}

void ChannelStrip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QFrame::changeEvent(event);
}

void ChannelStrip::showEvent(QShowEvent* event)
{
    m_timer.start();
    QFrame::showEvent(event);
}

void ChannelStrip::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QFrame::hideEvent(event);
}

void ChannelStrip::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0, theme.panelRaised);
    face.setColorAt(1, theme.panel);
    p.setPen(QPen(theme.panelEdge, 1));
    p.setBrush(face);
    p.drawRoundedRect(r, kCorner, kCorner);
}

} // namespace sonaro::ui
