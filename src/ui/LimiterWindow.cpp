#include "ui/LimiterWindow.h"

#include "dsp/ReadoutFormat.h"
#include "ui/EditorWindowParts.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueReadout.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>

namespace sonaro::ui {

namespace {

constexpr int kMargin = 12;
constexpr int kSpacing = 8;
constexpr int kPanelWidth = 260;
constexpr int kKnee = 0;
constexpr int kEndPoint = 1;

// The transfer curve is drawn over a linear input axis of as many points as every graph has.
const std::array<double, ResponseGraph::kPoints>& inputLevels()
{
    static const std::array<double, ResponseGraph::kPoints> levels = [] {
        std::array<double, ResponseGraph::kPoints> x{};
        const double step = (kDynamicsGraphMax - kDynamicsGraphMin) / (x.size() - 1);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = kDynamicsGraphMin + step * double(i);
        return x;
    }();
    return levels;
}

QComboBox* makeList(QWidget* parent, std::span<const DynamicsListEntry> entries)
{
    auto* combo = new QComboBox(parent);
    for (const DynamicsListEntry& e : entries)
        combo->addItem(QString::fromLatin1(e.label));
    combo->setMaxVisibleItems(int(entries.size()));
    return combo;
}

} // namespace

LimiterWindow::LimiterWindow(SonaroCore& core, int output, QWidget* parent)
    : QDialog(parent), m_core(core), m_port(core.commandPort()), m_editor(core.surface(), m_port)
{
    const Theme& theme = Theme::instance();
    setUpEditorWindow(this, QStringLiteral("limiterEditor"), true);

    m_graph = new ResponseGraph(this);
    m_graph->setLogarithmicX(false);
    m_graph->setYRange(kDynamicsGraphMin, kDynamicsGraphMax);
    m_graph->setXRange(kDynamicsGraphMin, kDynamicsGraphMax);
    m_graph->setXValues(inputLevels());
    m_graph->setFillCurves(false);
    m_graph->setScaleOptions(QStringLiteral(" :db"), -500.0, 500.0, {2, 15, 4, 1});
    m_graph->setHandles({QPointF(0, 0), QPointF(kDynamicsGraphMax, kDynamicsGraphMax)});
    m_graph->setHandleAxes(kKnee, ResponseGraph::Axes::Horizontal);
    m_graph->setHandleAxes(kEndPoint, ResponseGraph::Axes::Vertical);
    m_graph->setMinimumSize(420, 380);
    connect(m_graph, &ResponseGraph::pointDragged, this, [this](int index) {
        const QPointF p = m_graph->handle(index);
        if (index == kKnee)
            m_editor.kneeDragged(p.x());
        else if (index == kEndPoint)
            m_editor.endPointDragged(p.y());
    });

    QFrame* panel = makePanel(this);
    panel->setFixedWidth(kPanelWidth);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(kSpacing * 2, kSpacing * 2, kSpacing * 2, kSpacing * 2);
    grid->setVerticalSpacing(kSpacing);

    m_threshold = new ValueReadout(panel);
    m_threshold->setRange(kThresholdReadoutRange.min, kThresholdReadoutRange.max);
    m_threshold->setDefaultValue(thresholdReadoutRaw(0.0));
    m_threshold->setPageStep(10);
    m_threshold->setFormat(ValueFormat::Threshold);
    m_attack = new ValueReadout(panel);
    m_attack->setRange(kAttackReadoutRange.min, kAttackReadoutRange.max);
    m_attack->setDefaultValue(1);
    m_attack->setFormat(ValueFormat::Milliseconds);
    m_release = new ValueReadout(panel);
    m_release->setRange(kReleaseReadoutRange.min, kReleaseReadoutRange.max);
    m_release->setDefaultValue(DynamicsSettings{}.release);
    m_release->setFormat(ValueFormat::Milliseconds);
    m_ratio = new ValueReadout(panel);
    m_ratio->setRange(kRatioReadoutRange.min, kRatioReadoutRange.max);
    m_ratio->setDefaultValue(1);
    m_ratio->setPageStep(1);
    m_ratio->setFormat(ValueFormat::Ratio);
    const auto hook = [this](ValueReadout* readout, Outcome (LimiterEditor::*apply)(int)) {
        for (auto signal :
             {&ValueControl::moved, &ValueControl::valueEntered, &ValueControl::released})
            connect(readout, signal, this, [this, apply](int raw) { (m_editor.*apply)(raw); });
    };
    hook(m_threshold, &LimiterEditor::thresholdReadoutChanged);
    hook(m_attack, &LimiterEditor::attackReadoutChanged);
    hook(m_release, &LimiterEditor::releaseReadoutChanged);
    hook(m_ratio, &LimiterEditor::ratioReadoutChanged);

    m_attackList = makeList(panel, sonaro::attackList());
    m_releaseList = makeList(panel, sonaro::releaseList());
    m_ratioList = makeList(panel, sonaro::ratioList());
    connect(m_attackList, &QComboBox::activated, this,
            [this](int i) { m_editor.attackListSelected(i); });
    connect(m_releaseList, &QComboBox::activated, this,
            [this](int i) { m_editor.releaseListSelected(i); });
    connect(m_ratioList, &QComboBox::activated, this,
            [this](int i) { m_editor.ratioListSelected(i); });

    for (QLabel*& caption : m_captions)
        caption = makeCaption(panel);
    int row = 0;
    const std::array<QWidget*, 4> readouts{m_threshold, m_attack, m_release, m_ratio};
    const std::array<QWidget*, 4> lists{nullptr, m_attackList, m_releaseList, m_ratioList};
    for (std::size_t i = 0; i < readouts.size(); ++i) {
        grid->addWidget(m_captions[i], row++, 0, 1, 2);
        grid->addWidget(readouts[i], row, 0);
        if (lists[i]) grid->addWidget(lists[i], row, 1);
        ++row;
        grid->setRowMinimumHeight(row++, kSpacing);
    }
    m_captions[0]->setBuddy(m_threshold);
    m_captions[1]->setBuddy(m_attack);
    m_captions[2]->setBuddy(m_release);
    m_captions[3]->setBuddy(m_ratio);

    m_drc = new PaintedButton(panel);
    m_drc->setCheckable(true);
    m_drc->setCheckedColour(theme.accent);
    m_drc->setLampVisible(true);
    connect(m_drc, &QAbstractButton::clicked, this, [this] {
        m_editor.toggleEnable();
        emit m_core.surface().outputStripChanged(m_editor.output());
    });
    m_reset = new PaintedButton(panel);
    connect(m_reset, &QAbstractButton::clicked, this, [this] { m_editor.reset(); });
    grid->setRowStretch(row++, 1);
    grid->addWidget(m_drc, row++, 0, 1, 2);
    grid->addWidget(m_reset, row++, 0, 1, 2);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSpacing);
    layout->addWidget(m_graph, 1);
    layout->addWidget(panel);

    connect(&m_editor, &LimiterEditor::changed, this, &LimiterWindow::refresh);
    followCore(
        core, m_editor, this, [this] { refresh(); }, [] {});
    resize(860, 520);
    m_editor.selectOutput(output);
    retranslate();
    recordUndoSteps(this, core);
    m_editor.start();
}

void LimiterWindow::refresh()
{
    for (ValueReadout* r : {m_threshold, m_attack, m_release, m_ratio})
        r->blockSignals(true);
    m_threshold->setValue(m_editor.thresholdRaw());
    m_attack->setValue(m_editor.attackRaw());
    m_release->setValue(m_editor.releaseRaw());
    m_ratio->setValue(m_editor.ratioRaw());
    for (ValueReadout* r : {m_threshold, m_attack, m_release, m_ratio})
        r->blockSignals(false);
    {
        QSignalBlocker b1(m_attackList), b2(m_releaseList), b3(m_ratioList);
        m_attackList->setCurrentIndex(m_editor.attackListIndex());
        m_releaseList->setCurrentIndex(m_editor.releaseListIndex());
        m_ratioList->setCurrentIndex(m_editor.ratioListIndex());
    }

    const TransferCurve curve = m_editor.curve();
    const auto& x = inputLevels();
    std::array<double, ResponseGraph::kPoints> y{};
    for (std::size_t i = 0; i < x.size(); ++i)
        y[i] = curve.outputFor(x[i]);
    m_graph->setSeries(1, y);
    const CurvePoint knee = curve.knee();
    const CurvePoint end = curve.endPoint();
    m_graph->setHandle(kKnee, QPointF(knee.input, knee.output));
    m_graph->setHandle(kEndPoint, QPointF(end.input, end.output));
    m_drc->setChecked(m_editor.enabled());
}

void LimiterWindow::retranslate()
{
    setWindowTitle(tr("LIMITER"));
    m_drc->setText(tr("DRC"));
    m_reset->setText(tr("RESET"));
    m_captions[0]->setText(tr("THRESHOLD"));
    m_captions[1]->setText(tr("ATTACK"));
    m_captions[2]->setText(tr("RELEASE"));
    m_captions[3]->setText(tr("RATIO"));
    // Assistive technology hears which output a control edits; each list beside its read-out.
    const int unit = m_core.table().currentUnit();
    const int output = m_editor.output();
    const auto label = [unit, output](SettingId id) {
        return SettingCatalogue::label({unit, id, output});
    };
    m_threshold->setAccessibleName(label(SettingId::LimiterThreshold));
    m_attack->setAccessibleName(label(SettingId::LimiterAttack));
    m_release->setAccessibleName(label(SettingId::LimiterRelease));
    m_ratio->setAccessibleName(label(SettingId::LimiterRatio));
    m_attackList->setAccessibleName(tr("%1, list").arg(label(SettingId::LimiterAttack)));
    m_releaseList->setAccessibleName(tr("%1, list").arg(label(SettingId::LimiterRelease)));
    m_ratioList->setAccessibleName(tr("%1, list").arg(label(SettingId::LimiterRatio)));
    m_drc->setAccessibleName(label(SettingId::LimiterEnable));
    m_graph->setAccessibleName(tr("Output %1 limiter curve").arg(output + 1));
}

void LimiterWindow::done(int result)
{
    m_editor.flush(); // closing within the tick still sends the last edit
    QDialog::done(result);
}

void LimiterWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
