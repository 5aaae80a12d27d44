#include "ui/InputStrip.h"

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "model/ValueConventions.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QVBoxLayout>

namespace sonaro::ui {

InputStrip::InputStrip(ControlSurface& surface, UndoHistory* history, int channel, QWidget* parent)
    : ChannelStrip(surface, history, channel, parent)
{
    const Theme& theme = Theme::instance();
    setObjectName(QStringLiteral("input%1").arg(channel + 1));
    setHeaderText(QString::number(channel + 1));

    m_open = new PaintedButton(this);
    m_open->setIndicator(true);
    m_open->setCheckable(true);
    m_open->setLampVisible(true);
    m_open->setCheckedColour(theme.activeGreen);

    m_line = new PaintedButton(this);
    m_phantom = new PaintedButton(this);
    m_phantom->setCheckable(true);
    m_phantom->setCheckedColour(theme.phantomRed);
    m_priority = new PaintedButton(this);
    m_priority->setCheckable(true);
    m_priority->setCheckedColour(theme.priorityAmber);
    m_mute = new PaintedButton(this);
    m_mute->setCheckable(true);
    m_mute->setCheckedColour(theme.muteRed);

    for (PaintedButton* b : {m_open, m_line, m_phantom, m_priority, m_mute})
        controlsLayout()->addWidget(b);

    // Each button asks for the opposite of what the record holds; the surface repaints the
    // strips it changed (linked ones included).
    connect(m_line, &QAbstractButton::clicked, this, [this] {
        m_surface.setInputLine(m_channel, !record().inputLine[m_channel]);
        undoStep();
        refresh();
    });
    connect(m_phantom, &QAbstractButton::clicked, this, [this] {
        m_surface.setInputPhantom(m_channel, !record().inputPhantom[m_channel]);
        undoStep();
        refresh();
    });
    connect(m_priority, &QAbstractButton::clicked, this, [this] {
        m_surface.setInputPriority(m_channel, !record().inputPriority[m_channel]);
        undoStep();
        refresh();
    });
    connect(m_mute, &QAbstractButton::clicked, this, [this] {
        m_surface.setInputMute(m_channel, !record().inputMute[m_channel]);
        undoStep();
        refresh();
    });
    connect(fader(), &ValueControl::moved, this, [this](int position) {
        m_surface.setInputGain(m_channel, dbForFaderPosition(position), Phase::Dragging);
    });
    connect(fader(), &ValueControl::released, this, [this](int position) {
        m_surface.setInputGain(m_channel, dbForFaderPosition(position), Phase::Committed);
        undoStep();
    });
    connect(fader(), &ValueControl::valueEntered, this, [this](int position) {
        m_surface.setInputGain(m_channel, dbForFaderPosition(position), Phase::Entered);
        undoStep();
        refresh();
    });
    connect(this, &ChannelStrip::curveClicked, this, &InputStrip::eqRequested);
    connect(&m_surface, &ControlSurface::inputStripChanged, this, [this](int ch) {
        if (ch == m_channel) refresh();
    });
    retranslate();
    refresh();
}

QString InputStrip::openStateText(int open)
{
    return open ? tr("ACTIVE") : tr("WAITING");
}

QString InputStrip::sourceText(int line)
{
    return line ? tr("LINE") : tr("MIC");
}

void InputStrip::retranslate()
{
    m_phantom->setText(tr("PHANTOM"));
    m_priority->setText(tr("PRIORITY"));
    m_mute->setText(tr("MUTE"));
    m_phantom->setToolTip(tr("48 V phantom power"));
    m_line->setToolTip(tr("Microphone or line source"));
    const int unit = m_surface.unit();
    const QString number = QString::number(m_channel + 1);
    nameSharedControls({unit, SettingId::InputGain, m_channel},
                       tr("Input %1, %2").arg(number, name()), tr("Input %1 level").arg(number),
                       tr("Input %1 EQ: Enter opens the editor").arg(number));
    m_phantom->setAccessibleName(
        SettingCatalogue::label({unit, SettingId::InputPhantom, m_channel}));
    m_priority->setAccessibleName(
        SettingCatalogue::label({unit, SettingId::InputPriority, m_channel}));
    m_mute->setAccessibleName(SettingCatalogue::label({unit, SettingId::InputMute, m_channel}));
    refresh();
}

void InputStrip::nameStates()
{
    // The two buttons that show a state in words say it in their names too.
    const int unit = m_surface.unit();
    m_line->setAccessibleName(QStringLiteral("%1: %2").arg(
        SettingCatalogue::label({unit, SettingId::InputSource, m_channel}), m_line->text()));
    m_open->setAccessibleName(
        tr("Input %1: %2").arg(QString::number(m_channel + 1), m_open->text()));
}

void InputStrip::refresh()
{
    const UnitRecord& r = record();
    m_line->setText(sourceText(r.inputLine[m_channel]));
    m_phantom->setChecked(r.inputPhantom[m_channel] != 0);
    m_priority->setChecked(r.inputPriority[m_channel] != 0);
    m_mute->setChecked(r.inputMute[m_channel] != 0);
    const bool live = isLive();
    const bool known = showLevelsKnown();
    m_open->setEnabled(known);
    m_openShown = live ? r.inputOpen[m_channel] : 0;
    m_open->setChecked(m_openShown != 0);
    m_open->setText(known ? openStateText(m_openShown) : tr("NO LIVE LEVELS"));
    nameStates();
    if (!live) showMeter(0);
    setFaderPosition(faderPositionForGain(r.inputGain[m_channel]));
    InputCurves curves;
    computeInputCurves(inputEqBands(r, m_channel), r.highPassIndex[m_channel],
                       r.lowPassIndex[m_channel], curves);
    setCurve(curves.total, curves.lowPass, curves.highPass);
}

void InputStrip::meterTick()
{
    // Levels and open states stream only from a connected unit 1; without it the strip falls
    // silent and its lamp goes dark.
    const bool live = isLive();
    UnitRecord& r = m_surface.table().current();
    const int open = live ? r.inputOpen[m_channel] : 0;
    if (open != m_openShown) {
        m_openShown = open;
        m_open->setChecked(m_openShown != 0);
        m_open->setText(openStateText(m_openShown));
        nameStates();
    }
    showMeter(live ? meterPushValue(r.inputLevel[m_channel]) : 0);
}

} // namespace sonaro::ui
