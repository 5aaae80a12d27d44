#include "ui/EditorWindowParts.h"

#include "dsp/EqModel.h"
#include "dsp/ResponseGrid.h"
#include "ui/kit/Knob.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>

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
    knob->setFormatter([](int raw) { return QString::number(raw); });
    return knob;
}

Knob* makeGainKnob(QWidget* parent)
{
    auto* knob = new Knob(parent);
    knob->setRange(tenths(kEqMinGain), tenths(kEqMaxGain));
    knob->setArcOrigin(0);
    knob->setDefaultValue(0);
    knob->setFormatter(oneDecimal);
    return knob;
}

Knob* makeQKnob(QWidget* parent)
{
    auto* knob = new Knob(parent);
    knob->setRange(tenths(kEqMinQ), tenths(kEqMaxQ));
    knob->setDefaultValue(tenths(kEqResetQ));
    knob->setFormatter(oneDecimal);
    return knob;
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
    QObject::connect(&core.dispatcher(), &Dispatcher::eqReceived, window, [refresh] { refresh(); });
    QObject::connect(&core.dispatcher(), &Dispatcher::dynamicsReceived, window,
                     [refresh] { refresh(); });
    QObject::connect(&core, &SonaroCore::aboutToLeaveUnit, &editor, &EditorBase::flush);
}

} // namespace sonaro::ui
