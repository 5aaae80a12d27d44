#pragma once

#include <QString>

#include <functional>

namespace sonaro::ui {

// Turns a control's raw integer value into the text it shows.
using ValueFormatter = std::function<QString(int raw)>;
// Turns typed text into a raw value; returns false when the text is not accepted.
using ValueParser = std::function<bool(const QString& text, int& raw)>;

// The read-out formats of the value displays. The raw value is clamped to the control's range
// before it is formatted.
enum class ValueFormat
{
    Plain,         // "%d"
    Threshold,     // "%0.1fdB" of raw x 0.1 - 80.0; raw 1000 and above is "OFF"
    Milliseconds,  // "%dms"
    Ratio,         // "%d:1"
    Percent,       // "%0.1f%%"; 0 and below is "OFF"
    Dbu,           // "%ddBu" of raw - 120; 0 is "OFF"
    SamplesMs,     // "%0.3fms": raw samples at 48 kHz shown in milliseconds
    DecibelTenths, // "%0.1fdB" of raw x 0.1 (EQ gains in 0.1 dB)
    Hertz,         // "%dHz" below 1 kHz, "%0.2fkHz" from 1 kHz
    QTenths,       // "%0.1f" of raw x 0.1 (filter Q in 0.1)
};

QString formatValue(ValueFormat format, int raw);
ValueFormatter makeFormatter(ValueFormat format);

// The leading decimal integer of a text, as the unit's read-outs read typed values: optional
// blanks, an optional sign, digits; anything after them ("dB", "ms") is ignored and a text
// without digits reads as 0. Values beyond the int range saturate.
int leadingInteger(const QString& text);

// Fader positions of a gain fader (0 at the top .. 60 at the bottom) shown as "%ddB" of 10 - p,
// that is the gain (60 - p) minus 50.
QString gainFaderText(int position);
// Typed dB for a gain fader: the leading integer, clamped to -50..10, as a fader position.
bool parseGainFaderText(const QString& text, int& position);

} // namespace sonaro::ui
