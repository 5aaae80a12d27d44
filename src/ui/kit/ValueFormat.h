#pragma once

#include <QString>

#include <functional>

namespace sonaro::ui {

// Turns a control's raw integer value into the text it shows.
using ValueFormatter = std::function<QString(int raw)>;
// Turns typed text into a raw value; returns false when the text is not accepted, and then says
// why in *why (when why is not null). On success *why says what was changed of the typed value
// (clamped, rounded), or is left empty.
using ValueParser = std::function<bool(const QString& text, int& raw, QString* why)>;

// The read-out formats of the value displays. The raw value is clamped to the control's range
// before it is formatted.
enum class ValueFormat
{
    Plain,            // "%d"
    Threshold,        // "%0.1fdB" of raw x 0.1 - 80.0; raw 1000 and above is "OFF"
    Milliseconds,     // "%dms"
    Ratio,            // "%d:1"
    Percent,          // "%0.1f%%"; 0 and below is "OFF"
    Dbu,              // "%ddBu" of raw - 120; 0 is "OFF"
    SamplesMs,        // "%0.3fms": raw samples at 48 kHz shown in milliseconds
    DecibelTenths,    // "%0.1fdB" of raw x 0.1 (EQ gains in 0.1 dB)
    Hertz,            // "%dHz" below 1 kHz, "%0.2fkHz" from 1 kHz
    QTenths,          // "%0.1f" of raw x 0.1 (filter Q in 0.1)
    GainSliderTenths, // "%0.1f" of (150 - raw) x 0.1: EQ gain sliders, +15.0 dB at the top (0)
};

QString formatValue(ValueFormat format, int raw);
ValueFormatter makeFormatter(ValueFormat format);

// Typed text in the unit a format shows ("-6", "-6dB", "1k", "2.5k", "0.7", "10ms", "4:1",
// "inf", "OFF"), turned into the format's raw value and clamped to minimum..maximum. Text that
// is not a value of the format is refused: false, *why says why and raw is left alone. When the
// value was taken but not as typed (clamped to the range, rounded to a step), *why says so.
bool parseFormattedText(ValueFormat format, const QString& text, int minimum, int maximum, int& raw,
                        QString* why = nullptr);
// Frequencies are shown on a logarithmic scale by default.
bool isLogarithmicByDefault(ValueFormat format);

// Fader positions of a gain fader (0 at the top .. 60 at the bottom) shown as "%ddB" of 10 - p,
// that is the gain (60 - p) minus 50.
QString gainFaderText(int position);
// Typed dB for a gain fader ("-6", "-6dB", "+3.4" rounds to 3), clamped to -50..10, as a fader
// position. Empty text and text that is not a value in dB are refused; *why says why, or on
// success what was clamped or rounded.
bool parseGainFaderText(const QString& text, int& position, QString* why = nullptr);

} // namespace sonaro::ui
