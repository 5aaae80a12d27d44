#pragma once

#include "mixer/EditorBase.h"
#include "mixer/SonaroCore.h"

#include <QString>
#include <QStringList>

#include <functional>

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
void onKnobEdited(Knob* knob, QObject* context, const std::function<void()>& edited);

// Keeps an editor window on the unit's state and its edits on their way to the unit: the window
// refreshes when the record changes under it (a report, a preset, a factory restore, a rename)
// and when the groups change (after the editor took its links again), and the editor hands over
// what it still holds when the program closes.
void followCore(SonaroCore& core, EditorBase& editor, QWidget* window,
                const std::function<void()>& refresh, const std::function<void()>& reloadNames);

} // namespace sonaro::ui
