#include "model/ValueText.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

namespace sonaro {

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text)
{
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    return s;
}

bool hasOff(ValueUnit unit)
{
    return unit == ValueUnit::Decibel || unit == ValueUnit::Percent || unit == ValueUnit::Dbu;
}

// The multiplier of a unit suffix (already lower case, blanks removed); 0 when the suffix is not
// one of the unit's.
double suffixFactor(ValueUnit unit, std::string_view suffix)
{
    if (suffix.empty()) return 1.0;
    switch (unit) {
    case ValueUnit::Number:
    case ValueUnit::Q:
        return 0.0;
    case ValueUnit::Decibel:
        return suffix == "db" ? 1.0 : 0.0;
    case ValueUnit::Dbu:
        return suffix == "dbu" || suffix == "db" ? 1.0 : 0.0;
    case ValueUnit::Hertz:
        if (suffix == "hz") return 1.0;
        return suffix == "k" || suffix == "khz" ? 1000.0 : 0.0;
    case ValueUnit::Milliseconds:
        if (suffix == "ms") return 1.0;
        return suffix == "s" ? 1000.0 : 0.0;
    case ValueUnit::Ratio:
        return suffix == ":1" ? 1.0 : 0.0;
    case ValueUnit::Percent:
        return suffix == "%" ? 1.0 : 0.0;
    }
    return 0.0;
}

ValueTextResult refused(ValueTextError error)
{
    return ValueTextResult{std::nullopt, error};
}

ValueTextResult accepted(TypedValue::Kind kind, double value = 0.0)
{
    return ValueTextResult{TypedValue{kind, value}, ValueTextError::None};
}

} // namespace

ValueTextResult parseValueText(ValueUnit unit, std::string_view text)
{
    text = trimmed(text);
    if (text.empty()) return refused(ValueTextError::Empty);
    const std::string lower = lowered(text);

    if (hasOff(unit) && lower == "off") return accepted(TypedValue::Kind::Off);
    if (unit == ValueUnit::Ratio) {
        for (std::string_view infinite : {"inf", "inf:1", "infinity", "\u221e", "\u221e:1"})
            if (lower == infinite) return accepted(TypedValue::Kind::Infinite);
    }

    // Sign, digits, an optional decimal mark and digits: at least one digit.
    std::size_t i = 0;
    bool negative = false;
    if (lower[i] == '+' || lower[i] == '-') {
        negative = lower[i] == '-';
        ++i;
    }
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    while (i < lower.size() && lower[i] >= '0' && lower[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < lower.size() && lower[i] == '.') {
        ++i;
        while (i < lower.size() && lower[i] >= '0' && lower[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return refused(ValueTextError::NotANumber);

    double value = 0.0;
    const char* first = lower.data() + numberStart;
    const char* last = lower.data() + i;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        value = DBL_MAX; // only a huge number gets here: tiny ones have no digits to lose
    } else if (ec != std::errc() || end != last) {
        return refused(ValueTextError::NotANumber);
    }
    if (negative) value = -value;

    std::string suffix;
    for (std::size_t k = i; k < lower.size(); ++k)
        if (!blank(lower[k])) suffix += lower[k];
    const double factor = suffixFactor(unit, suffix);
    if (factor == 0.0) return refused(ValueTextError::WrongUnit);
    value = std::clamp(value * factor, -DBL_MAX, DBL_MAX);
    return accepted(TypedValue::Kind::Number, value);
}

} // namespace sonaro
