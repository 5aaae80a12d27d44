#pragma once

#include <optional>
#include <string_view>

// Values typed by the operator in the units the controls show: "-6", "-6 dB", "1k", "2.5kHz",
// "0.7", "10ms", "0.5s", "4", "4:1", "inf", "OFF". Pure text handling shared by the widget kit
// and the command line; the caller turns the value into its control's raw form and clamps it to
// the control's range.
namespace sonaro {

enum class ValueUnit
{
    Number,       // a bare number
    Decibel,      // "dB"; "OFF" where the control has an off position
    Hertz,        // "Hz"; "k" or "kHz" multiplies by 1000
    Q,            // a bare number
    Milliseconds, // "ms"; "s" multiplies by 1000
    Ratio,        // n or "n:1"; "inf", "INF:1" or the infinity sign
    Percent,      // "%"; "OFF"
    Dbu,          // "dBu" (or "dB"); "OFF"
};

struct TypedValue
{
    enum class Kind
    {
        Number,   // value holds the number in the unit's base (dB, Hz, ms, n of n:1, %)
        Infinite, // a ratio typed as "inf"
        Off,      // "OFF"
    };
    Kind kind = Kind::Number;
    double value = 0.0;
};

enum class ValueTextError
{
    None,
    Empty,      // nothing but blanks
    NotANumber, // no number where one was expected
    WrongUnit,  // a number followed by something that is not this unit
};

struct ValueTextResult
{
    std::optional<TypedValue> value;
    ValueTextError error = ValueTextError::None;
};

// Blanks around the text and between the number and its unit are allowed; letters are matched
// without regard to case; the decimal mark is ".". Numbers beyond the double range come back as
// the largest double of their sign, so that the caller's clamp takes them to the range's end.
ValueTextResult parseValueText(ValueUnit unit, std::string_view text);

} // namespace sonaro
