#pragma once

#include "dsp/EqModel.h"
#include "dsp/ResponseGrid.h"
#include "mixer/EditorBase.h"
#include "mixer/SonaroCore.h"
#include "ui/kit/ResponseGraph.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>

class QDialog;
class QFrame;
class QLabel;
class QWidget;

namespace sonaro::ui {

class Knob;
class ResponseGraph;

// Construction helpers the three editor windows share.

// Knobs hold whole hertz, and gain and Q in tenths.
int tenths(double value);
QString oneDecimal(int tenths);

// The editors' dark window: object name, modality, the theme's window colour.
void setUpEditorWindow(QDialog* window, const QString& objectName, bool modal);
// A caption in the caption font, dim or in the text colour.
QLabel* makeCaption(QWidget* parent, bool dim = true);
// A filled panel in the theme's panel colour.
QFrame* makePanel(QWidget* parent);
// The EQ response graph: logarithmic 20 Hz..20 kHz, -15..+15 dB, one numbered handle per band.
ResponseGraph* makeEqGraph(QWidget* parent, int bands);
// The knobs of one EQ band; each reports a move, a typed value and a release through `edited`.
Knob* makeFrequencyKnob(QWidget* parent, double factoryFrequency);
Knob* makeGainKnob(QWidget* parent);
Knob* makeQKnob(QWidget* parent);
// A wheel over a band's handle: Q turned by `steps` notches (finer with Shift), kept in tenths
// within the Q range.
double wheeledQ(double q, int steps, bool fine);
// The graph handles of the bands: at each band's frequency, on its own curve (a shelf's handle at
// half its gain).
QList<QPointF> handlePoints(std::span<const EqBand> bands);
// The gain to store for a handle dragged to `level`: the inverse of where the handle sits, in
// tenths of a dB; a drag that left the level alone keeps the stored gain.
double draggedGain(const EqBand& shown, double level);
// The bands on an EQ graph whose series 1 is the channel total: a point on the total at each
// band's frequency (`totalAt`), the selected band's own curve (when `selectedCurve` is given) with
// its point, every handle with its gain and Q, the selection, and whether the graph takes edits.
void showBandsOnGraph(ResponseGraph* graph, std::span<const EqBand> bands, int selectedBand,
                      const ResponseCurve* selectedCurve,
                      const std::function<double(double)>& totalAt, bool enabled);
void onKnobEdited(Knob* knob, QObject* context, const std::function<void()>& edited);

// Keeps an editor window on the unit's state and its edits on their way to the unit: the window
// refreshes when the record changes under it (a report, a preset, a factory restore, a rename)
// and when the groups change (after the editor took its links again), and the editor hands over
// what it still holds when the program closes.
void followCore(SonaroCore& core, EditorBase& editor, QWidget* window,
                const std::function<void()>& refresh, const std::function<void()>& reloadNames);

// Makes every final operator action on the window's controls one step of the core's undo
// history: a knob, slider or read-out let go or given a value, a knob turned by keys or the wheel
// once it rests, a handle let go, a button, a list choice. Call it after the controls' own
// handlers are connected, so the step holds their change.
void recordUndoSteps(QWidget* window, SonaroCore& core);

// The EQ graph's handles drive the editor: a drag moves the band, a press selects it, the wheel
// turns its Q and a double-click resets its gain, each through the same path as the knobs.
template <typename Editor>
void connectEqGraph(ResponseGraph* graph, Editor& editor, int bandCount, QObject* context)
{
    // The band as the editor holds it now (a copy: the editor reads it from the record).
    auto bandOf = [&editor, bandCount](int band) -> std::optional<EqBand> {
        if (band < 0 || band >= bandCount) return std::nullopt;
        return editor.bands()[std::size_t(band)];
    };
    QObject::connect(graph, &ResponseGraph::pointDragged, context,
                     [graph, &editor, bandOf](int band) {
                         const std::optional<EqBand> e = bandOf(band);
                         if (!e) return;
                         const QPointF p = graph->handle(band);
                         editor.bandDragged(band, p.x(), draggedGain(*e, p.y()));
                     });
    QObject::connect(graph, &ResponseGraph::pointPressed, context,
                     [&editor](int band) { editor.selectBand(band); });
    QObject::connect(graph, &ResponseGraph::handleWheel, context,
                     [&editor, bandOf](int band, int steps, bool fine) {
                         const std::optional<EqBand> e = bandOf(band);
                         if (!e) return;
                         const EqBand b = *e;
                         editor.knobChanged(band, b.frequency, b.gain, wheeledQ(b.q, steps, fine));
                     });
    QObject::connect(graph, &ResponseGraph::handleResetRequested, context,
                     [&editor, bandOf](int band) {
                         const std::optional<EqBand> e = bandOf(band);
                         if (!e) return;
                         const EqBand b = *e;
                         editor.knobChanged(band, b.frequency, 0.0, b.q);
                     });
}

} // namespace sonaro::ui
