#include "ui/EditorWindowParts.h"

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "dsp/ResponseGrid.h"
#include "mixer/UndoHistory.h"
#include "ui/kit/Knob.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueControl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace sonaro::ui {

int tenths(double value)
{
    return static_cast<int>(std::lround(value * 10.0));
}

QString oneDecimal(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1);
}

void setUpEditorWindow(QDialog* window, const QString& objectName, bool modal)
{
    window->setObjectName(objectName);
    window->setModal(modal);
    window->setAutoFillBackground(true);
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, Theme::instance().window);
    window->setPalette(pal);
}

QLabel* makeCaption(QWidget* parent, bool dim)
{
    auto* label = new QLabel(parent);
    const Theme& theme = Theme::instance();
    label->setFont(theme.font(11, true));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, dim ? theme.textDim : theme.text);
    label->setPalette(p);
    return label;
}

QFrame* makePanel(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setAutoFillBackground(true);
    QPalette p = frame->palette();
    p.setColor(QPalette::Window, Theme::instance().panel);
    frame->setPalette(p);
    return frame;
}

ResponseGraph* makeEqGraph(QWidget* parent, int bands)
{
    auto* graph = new ResponseGraph(parent);
    graph->setLogarithmicX(true);
    graph->setYRange(kEqMinGain, kEqMaxGain);
    graph->setXRange(kEqMinFrequency, kEqMaxFrequency);
    graph->setXValues(ResponseGrid);
    graph->setScaleOptions(QStringLiteral(" :db"), -500.0, 500.0, {2, 15, 4, 1});
    QStringList labels;
    for (int b = 0; b < bands; ++b)
        labels << QString::number(b + 1);
    graph->setHandleLabels(labels);
    graph->setMinimumHeight(260);
    return graph;
}

Knob* makeFrequencyKnob(QWidget* parent, double factoryFrequency)
{
    auto* knob = new Knob(parent);
    knob->setRange(int(kEqMinFrequency), int(kEqMaxFrequency));
    knob->setDefaultValue(int(factoryFrequency));
    knob->setPageStep(100);
    knob->setFormat(ValueFormat::Hertz); // typed "1k", "2.5k"; turned on a logarithmic scale
    return knob;
}

Knob* makeGainKnob(QWidget* parent)
{
    auto* knob = new Knob(parent);
    knob->setRange(tenths(kEqMinGain), tenths(kEqMaxGain));
    knob->setArcOrigin(0);
    knob->setDefaultValue(0);
    knob->setFormat(ValueFormat::DecibelTenths);
    return knob;
}

Knob* makeQKnob(QWidget* parent)
{
    auto* knob = new Knob(parent);
    knob->setRange(tenths(kEqMinQ), tenths(kEqMaxQ));
    knob->setDefaultValue(tenths(kEqResetQ));
    knob->setFormat(ValueFormat::QTenths);
    return knob;
}

double wheeledQ(double q, int steps, bool fine)
{
    if (std::isnan(q)) q = kEqResetQ;
    // Six notches an octave, twenty-four with Shift; at least one tenth a notch, so a fine step
    // at a low Q still moves.
    const double factor = std::exp2(double(steps) / (fine ? 24.0 : 6.0));
    double next = std::round(q * factor * 10.0) / 10.0;
    if (steps > 0 && next <= q) next = std::round(q * 10.0 + 1.0) / 10.0;
    if (steps < 0 && next >= q) next = std::round(q * 10.0 - 1.0) / 10.0;
    return std::clamp(next, kEqMinQ, kEqMaxQ);
}

QList<QPointF> handlePoints(std::span<const EqBand> bands)
{
    QList<QPointF> points;
    for (const EqBand& band : bands)
        points << QPointF(band.frequency, bandHandleLevel(band));
    return points;
}

double draggedGain(const EqBand& shown, double level)
{
    // A drag along the frequency alone keeps the stored gain exactly.
    if (std::abs(level - bandHandleLevel(shown)) < 1e-9) return shown.gain;
    return std::round(gainForHandleLevel(shown.type, level) * 10.0) / 10.0;
}

void showBandsOnGraph(ResponseGraph* graph, std::span<const EqBand> bands, int selectedBand,
                      const ResponseCurve* selectedCurve,
                      const std::function<double(double)>& totalAt, bool enabled)
{
    QList<QPointF> onTotal;
    for (const EqBand& e : bands)
        onTotal << QPointF(e.frequency, totalAt(e.frequency));
    graph->setSeriesExtraPoints(1, onTotal);
    if (selectedCurve && selectedBand >= 0 && selectedBand < int(bands.size())) {
        graph->setBandCurve(*selectedCurve);
        const EqBand& selected = bands[std::size_t(selectedBand)];
        graph->setBandCurveExtraPoints(
            {QPointF(selected.frequency, bandResponseAt(selected, selected.frequency))});
    } else {
        graph->clearBandCurve();
    }
    graph->setHandles(handlePoints(bands));
    for (std::size_t b = 0; b < bands.size(); ++b)
        graph->setHandleInfo(int(b), bands[b].gain, bands[b].q);
    graph->selectBand(selectedBand);
    graph->setEnabled(enabled);
}

void onKnobEdited(Knob* knob, QObject* context, const std::function<void()>& edited)
{
    QObject::connect(knob, &ValueControl::moved, context, [edited] { edited(); });
    QObject::connect(knob, &ValueControl::valueEntered, context, [edited] { edited(); });
    QObject::connect(knob, &ValueControl::released, context, [edited] { edited(); });
}

void followCore(SonaroCore& core, EditorBase& editor, QWidget* window,
                const std::function<void()>& refresh, const std::function<void()>& reloadNames)
{
    ControlSurface& surface = core.surface();
    QObject::connect(&surface, &ControlSurface::refreshNeeded, window, [reloadNames, refresh] {
        reloadNames();
        refresh();
    });
    QObject::connect(&surface, &ControlSurface::groupsChanged, window,
                     [&editor, reloadNames, refresh] {
                         editor.reloadLinks();
                         reloadNames();
                         refresh();
                     });
    // Reports of one EQ block or one limiter: only the record changed, the names did not.
    QObject::connect(&core, &SonaroCore::eqReceived, window, [refresh] { refresh(); });
    QObject::connect(&core, &SonaroCore::dynamicsReceived, window, [refresh] { refresh(); });
    QObject::connect(&core, &SonaroCore::aboutToLeaveUnit, &editor, &EditorBase::flush);

    // Undo and redo reach every window; the window shows what they put back.
    UndoHistory& history = core.undo();
    QObject::connect(&history, &UndoHistory::restored, window, [refresh] { refresh(); });
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), window);
    QObject::connect(undo, &QShortcut::activated, &history, [&history] { history.undo(); });
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), window);
    QObject::connect(redo, &QShortcut::activated, &history, [&history] { history.redo(); });
}

void recordUndoSteps(QWidget* window, SonaroCore& core)
{
    UndoHistory* history = &core.undo();
    const auto step = [history] { history->commit(); };
    for (ValueControl* control : window->findChildren<ValueControl*>()) {
        QObject::connect(control, &ValueControl::released, history, step);
        QObject::connect(control, &ValueControl::valueEntered, history, step);
        // Moves without a mouse button are keys or the wheel: the step ends at rest.
        QObject::connect(control, &ValueControl::moved, history, [history] {
            if (QGuiApplication::mouseButtons() == Qt::NoButton) history->commitSoon();
        });
    }
    for (ResponseGraph* graph : window->findChildren<ResponseGraph*>()) {
        QObject::connect(graph, &ResponseGraph::pointReleased, history, step);
        QObject::connect(graph, &ResponseGraph::handleResetRequested, history, step);
        QObject::connect(graph, &ResponseGraph::handleWheel, history,
                         [history] { history->commitSoon(); });
    }
    for (QSlider* slider : window->findChildren<QSlider*>()) {
        QObject::connect(slider, &QSlider::sliderReleased, history, step);
        QObject::connect(slider, &QSlider::valueChanged, history, [history, slider] {
            if (!slider->isSliderDown()) history->commitSoon();
        });
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        QObject::connect(button, &QAbstractButton::clicked, history, step);
    for (QComboBox* list : window->findChildren<QComboBox*>())
        QObject::connect(list, &QComboBox::activated, history, step);
}

} // namespace sonaro::ui
