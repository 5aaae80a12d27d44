#include "ui/OutputStrip.h"

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "model/ValueConventions.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QVBoxLayout>

namespace sonaro::ui {

OutputStrip::OutputStrip(ControlSurface& surface, UndoHistory* history, int channel,
                         QWidget* parent)
    : ChannelStrip(surface, history, channel, parent)
{
    const Theme& theme = Theme::instance();
    setObjectName(QStringLiteral("output%1").arg(channel + 1));
    setHeaderText(QStringLiteral("M %1").arg(channel + 1));

    m_level = new PaintedButton(this);
    m_mute = new PaintedButton(this);
    m_mute->setCheckable(true);
    m_mute->setCheckedColour(theme.muteRed);
    m_limiter = new PaintedButton(this);
    m_limiter->setCheckable(true);
    m_limiter->setCheckedColour(theme.accent);
    m_eq = new PaintedButton(this);
    for (PaintedButton* b : {m_level, m_mute, m_limiter, m_eq})
        controlsLayout()->addWidget(b);

    connect(m_level, &QAbstractButton::clicked, this, [this] {
        const bool mic = record().outputLevelType[m_channel] != 0;
        m_surface.setOutputLevelType(m_channel, mic ? OutputLevel::Line : OutputLevel::Mic);
        undoStep();
        refresh();
    });
    connect(m_mute, &QAbstractButton::clicked, this, [this] {
        m_surface.setOutputMute(m_channel, !record().outputMute[m_channel]);
        undoStep();
        refresh();
    });
    connect(m_limiter, &QAbstractButton::clicked, this, [this] {
        refresh(); // the lamp follows the record, not the click
        emit limiterRequested(m_channel);
    });
    connect(m_eq, &QAbstractButton::clicked, this, [this] {
        m_eqOn = true; // the equaliser is open for this output from now on
        emit eqRequested(m_channel);
    });
    // The curve opens the editor only once the equaliser is on.
    connect(this, &ChannelStrip::curveClicked, this, [this] {
        if (m_surface.requestOutputEq(m_channel, m_eqOn) == Outcome::Applied)
            emit eqRequested(m_channel);
    });
    connect(fader(), &ValueControl::moved, this, [this](int position) {
        m_surface.setOutputGain(m_channel, dbForFaderPosition(position), Phase::Dragging);
    });
    connect(fader(), &ValueControl::released, this, [this](int position) {
        m_surface.setOutputGain(m_channel, dbForFaderPosition(position), Phase::Committed);
        undoStep();
    });
    connect(fader(), &ValueControl::valueEntered, this, [this](int position) {
        m_surface.setOutputGain(m_channel, dbForFaderPosition(position), Phase::Entered);
        undoStep();
        refresh();
    });
    connect(&m_surface, &ControlSurface::outputStripChanged, this, [this](int out) {
        if (out == m_channel) refresh();
    });
    retranslate();
    refresh();
}

QString OutputStrip::levelText(int levelType)
{
    return levelType ? tr("MIC") : tr("LINE");
}

void OutputStrip::retranslate()
{
    m_mute->setText(tr("MUTE"));
    m_limiter->setText(tr("LIMITER"));
    m_eq->setText(tr("MASTER EQ"));
    const int unit = m_surface.unit();
    const QString number = QString::number(m_channel + 1);
    nameSharedControls({unit, SettingId::OutputGain, m_channel},
                       tr("Output %1, %2").arg(number, name()), tr("Output %1 level").arg(number),
                       tr("Output %1 EQ: Enter opens the editor").arg(number));
    m_mute->setAccessibleName(SettingCatalogue::label({unit, SettingId::OutputMute, m_channel}));
    m_limiter->setAccessibleName(tr("Output %1 limiter...").arg(number));
    m_eq->setAccessibleName(tr("Output %1 EQ...").arg(number));
    refresh();
}

void OutputStrip::refresh()
{
    const UnitRecord& r = record();
    // The caption follows this output's own level type.
    m_level->setText(levelText(r.outputLevelType[m_channel]));
    m_level->setAccessibleName(QStringLiteral("%1: %2").arg(
        SettingCatalogue::label({m_surface.unit(), SettingId::OutputLevel, m_channel}),
        m_level->text()));
    m_mute->setChecked(r.outputMute[m_channel] != 0);
    m_limiter->setChecked(r.limiterEnable[m_channel] != 0);
    // A muted output shows its fader at the bottom (-50 dB); the stored gain is kept.
    setFaderPosition(r.outputMute[m_channel] ? kGainMax
                                             : faderPositionForGain(r.outputGain[m_channel]));
    showLevelsKnown();
    if (!isLive()) showMeter(0);
    ResponseCurve curve;
    outputChannelCurve(outputEqBands(r, m_channel), curve);
    setCurve(curve);
}

void OutputStrip::meterTick()
{
    const bool live = isLive();
    UnitRecord& r = m_surface.table().current();
    showMeter(live ? meterPushValue(r.outputLevel[m_channel]) : 0);
}

} // namespace sonaro::ui
