#include "ui/OutputEqWindow.h"

#include "dsp/EqCurves.h"
#include "store/DeviceRegistry.h"
#include "ui/EditorWindowParts.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace sonaro::ui {

namespace {

constexpr int kMargin = 12;
constexpr int kSpacing = 8;

} // namespace

OutputEqWindow::OutputEqWindow(SonaroCore& core, int output, QWidget* parent)
    : QDialog(parent), m_core(core), m_port(core.commandPort()), m_editor(core.surface(), m_port)
{
    const Theme& theme = Theme::instance();
    setUpEditorWindow(this, QStringLiteral("outputEqEditor"), false);

    m_heading = new QLabel(this);
    m_heading->setFont(theme.font(16, true));
    QPalette hp = m_heading->palette();
    hp.setColor(QPalette::WindowText, theme.text);
    m_heading->setPalette(hp);

    m_bypass = new PaintedButton(this);
    m_bypass->setCheckable(true);
    m_bypass->setCheckedColour(theme.priorityAmber);
    m_bypass->setLampVisible(true);
    connect(m_bypass, &QAbstractButton::clicked, this, [this] {
        m_editor.toggleBypass();
        refresh();
    });
    m_reset = new PaintedButton(this);
    connect(m_reset, &QAbstractButton::clicked, this, [this] { m_editor.reset(); });
    auto* header = new QHBoxLayout;
    header->addWidget(m_heading, 1);
    header->addWidget(m_bypass);
    header->addWidget(m_reset);

    m_graph = makeEqGraph(this, kOutputEqBands);
    connectEqGraph(m_graph, m_editor, kOutputEqBands, this);

    QFrame* bandPanel = makePanel(this);
    auto* grid = new QGridLayout(bandPanel);
    grid->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    grid->setHorizontalSpacing(2);
    for (QLabel*& label : m_rowCaptions)
        label = makeCaption(bandPanel);
    grid->addWidget(m_rowCaptions[0], 1, 0);
    grid->addWidget(m_rowCaptions[1], 2, 0);
    for (int band = 0; band < kOutputEqBands; ++band) {
        auto* number = new QLabel(QString::number(band + 1), bandPanel);
        number->setAlignment(Qt::AlignCenter);
        number->setFont(theme.font(11, true));
        grid->addWidget(number, 0, band + 1);
        Knob* f = makeFrequencyKnob(bandPanel, kOutputEqFactoryFrequency[band]);
        Knob* g = makeGainKnob(bandPanel);
        Knob* q = makeQKnob(bandPanel);
        for (Knob* k : {f, g, q}) {
            k->setMinimumSize(52, 72);
            onKnobEdited(k, this, [this, band] { knobMoved(band); });
        }
        grid->addWidget(f, 1, band + 1);
        grid->addWidget(g, 2, band + 1);
        grid->addWidget(q, 3, band + 1);
        m_frequency[std::size_t(band)] = f;
        m_gain[std::size_t(band)] = g;
        m_q[std::size_t(band)] = q;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSpacing);
    layout->addLayout(header);
    layout->addWidget(m_graph, 1);
    layout->addWidget(bandPanel);

    connect(&m_editor, &OutputEqEditor::changed, this, &OutputEqWindow::refresh);
    connect(&m_editor, &OutputEqEditor::stripChanged, &core.surface(),
            &ControlSurface::outputStripChanged);
    followCore(
        core, m_editor, this, [this] { refresh(); }, [this] { loadName(); });

    resize(1240, 720);
    openOutput(output);
    retranslate();
    recordUndoSteps(this, core);
    m_editor.start();
}

void OutputEqWindow::openOutput(int output)
{
    m_editor.selectOutput(output);
    loadName();
}

void OutputEqWindow::loadName()
{
    // The heading names the output as the database knows it.
    m_name = m_core.channelName(ChannelKind::Output, m_editor.output()).value_or(QString());
    retranslate();
}

void OutputEqWindow::knobMoved(int band)
{
    const std::size_t b = std::size_t(band);
    m_editor.knobChanged(band, m_frequency[b]->value(), m_gain[b]->value() / 10.0,
                         m_q[b]->value() / 10.0);
}

void OutputEqWindow::refresh()
{
    const auto bands = m_editor.bands();
    const bool bypassed = m_editor.bypassed();
    for (int band = 0; band < kOutputEqBands; ++band) {
        const std::size_t b = std::size_t(band);
        const EqBand& e = bands[b];
        QSignalBlocker b1(m_frequency[b]), b2(m_gain[b]), b3(m_q[b]);
        m_frequency[b]->setValue(static_cast<int>(e.frequency));
        m_gain[b]->setValue(tenths(e.gain));
        m_q[b]->setValue(tenths(e.q));
        for (Knob* k : {m_frequency[b], m_gain[b], m_q[b]})
            k->setEnabled(!bypassed);
    }
    ResponseCurve curve;
    m_editor.computeCurve(curve);
    m_graph->setSeries(1, curve);
    ResponseCurve band;
    const bool banded = m_editor.computeSelectedBandCurve(band);
    showBandsOnGraph(
        m_graph, bands, m_editor.selectedBand(), banded ? &band : nullptr,
        [&](double f) { return outputChannelResponseAt(bands, f); }, !bypassed);
    m_bypass->setChecked(bypassed);
}

void OutputEqWindow::retranslate()
{
    if (!m_bypass) return;
    setWindowTitle(tr("Edit EQ"));
    m_heading->setText(tr("Edit ") + m_name);
    m_bypass->setText(tr("BYPASS"));
    m_reset->setText(tr("RESET"));
    m_rowCaptions[0]->setText(tr("f (Hz)"));
    m_rowCaptions[1]->setText(tr("GAIN (dB)"));
    const int unit = m_core.table().currentUnit();
    const int output = m_editor.output();
    for (int band = 0; band < kOutputEqBands; ++band) {
        const std::size_t b = std::size_t(band);
        m_frequency[b]->setCaption(tr("FC(Hz)"));
        m_gain[b]->setCaption(tr("Gain(dB)"));
        m_q[b]->setCaption(tr("Q_Value"));
        // Assistive technology hears which output and band a knob edits.
        const int index = output * kOutputEqBands + band;
        m_frequency[b]->setAccessibleName(
            SettingCatalogue::label({unit, SettingId::OutputEqFrequency, index}));
        m_gain[b]->setAccessibleName(
            SettingCatalogue::label({unit, SettingId::OutputEqGain, index}));
        m_q[b]->setAccessibleName(SettingCatalogue::label({unit, SettingId::OutputEqQ, index}));
    }
    m_graph->setAccessibleName(tr("Output %1 EQ response").arg(output + 1));
    m_bypass->setAccessibleName(tr("Output %1 EQ bypass").arg(output + 1));
}

void OutputEqWindow::hideEvent(QHideEvent* event)
{
    m_editor.flush(); // closing the window sends what the tick has not sent yet
    QDialog::hideEvent(event);
}

void OutputEqWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
