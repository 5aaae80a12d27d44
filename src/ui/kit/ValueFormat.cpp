#include "ui/kit/ValueFormat.h"

#include "dsp/ReadoutFormat.h"
#include "model/ValueConventions.h"
#include "model/ValueText.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cmath>

namespace sonaro::ui {

namespace {

constexpr int kGainSliderCentre = 150;

// "%0.1f" without a "-0.0" for values that round to zero.
QString oneDecimal(double value)
{
    if (std::abs(value) < 0.05) value = 0.0;
    return QString::asprintf("%0.1f", value);
}

} // namespace

QString formatValue(ValueFormat format, int raw)
{
    // The unit's own read-out formats come from one place; the control clamps beforehand.
    const auto device = [raw](ReadoutFormat f) {
        return QString::fromStdString(formatReadout(f, raw, {INT_MIN, INT_MAX}));
    };
    switch (format) {
    case ValueFormat::Plain:
        return QString::number(raw);
    case ValueFormat::Threshold:
        return device(ReadoutFormat::Threshold);
    case ValueFormat::Milliseconds:
        return device(ReadoutFormat::Milliseconds);
    case ValueFormat::Ratio:
        return device(ReadoutFormat::Ratio);
    case ValueFormat::Percent:
        return device(ReadoutFormat::Percent);
    case ValueFormat::Dbu:
        return device(ReadoutFormat::Dbu);
    case ValueFormat::SamplesMs:
        return device(ReadoutFormat::Samples);
    case ValueFormat::DecibelTenths:
        return oneDecimal(raw * 0.1) + QStringLiteral("dB");
    case ValueFormat::Hertz:
        if (raw < 1000) return QString::asprintf("%dHz", raw);
        return QString::asprintf("%0.2fkHz", raw / 1000.0);
    case ValueFormat::QTenths:
        return oneDecimal(raw * 0.1);
    case ValueFormat::GainSliderTenths:
        return oneDecimal((kGainSliderCentre - raw) * 0.1);
    }
    return QStringLiteral("NULL"); // a format code outside the list
}

ValueFormatter makeFormatter(ValueFormat format)
{
    return [format](int raw) { return formatValue(format, raw); };
}

namespace {

QString localized(const char* text)
{
    return QCoreApplication::translate("sonaro::ui::ValueFormat", text);
}

ValueUnit unitOf(ValueFormat format)
{
    switch (format) {
    case ValueFormat::Plain:
        return ValueUnit::Number;
    case ValueFormat::Threshold:
    case ValueFormat::DecibelTenths:
    case ValueFormat::GainSliderTenths:
        return ValueUnit::Decibel;
    case ValueFormat::Milliseconds:
    case ValueFormat::SamplesMs:
        return ValueUnit::Milliseconds;
    case ValueFormat::Ratio:
        return ValueUnit::Ratio;
    case ValueFormat::Percent:
        return ValueUnit::Percent;
    case ValueFormat::Dbu:
        return ValueUnit::Dbu;
    case ValueFormat::Hertz:
        return ValueUnit::Hertz;
    case ValueFormat::QTenths:
        return ValueUnit::Q;
    }
    return ValueUnit::Number;
}

// What the operator may type, for the refusal's tooltip.
QString expected(ValueUnit unit, bool off)
{
    QString hint;
    switch (unit) {
    case ValueUnit::Number:
    case ValueUnit::Q:
        hint = localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a number, such as 0.7"));
        break;
    case ValueUnit::Decibel:
        hint = localized(
            QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a level in dB, such as -6 or -6dB"));
        break;
    case ValueUnit::Hertz:
        hint = localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat",
                                           "a frequency in Hz, such as 250, 1k or 2.5k"));
        break;
    case ValueUnit::Milliseconds:
        hint = localized(
            QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a time in ms, such as 10 or 10ms"));
        break;
    case ValueUnit::Ratio:
        hint = localized(
            QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a ratio, such as 4, 4:1 or inf"));
        break;
    case ValueUnit::Percent:
        hint = localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a percentage, such as 50"));
        break;
    case ValueUnit::Dbu:
        hint =
            localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "a level in dBu, such as -10"));
        break;
    }
    if (off) hint += localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", ", or OFF"));
    return hint;
}

QString refusal(ValueTextError error, const QString& text, ValueUnit unit, bool off)
{
    const QString want = expected(unit, off);
    if (error == ValueTextError::Empty)
        return localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "Nothing typed: type %1."))
            .arg(want);
    return localized(
               QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "\"%1\" is not a value here: type %2."))
        .arg(text.trimmed(), want);
}

// What became of a typed number that the control could not take as it was: held to the range,
// or rounded to the control's step. Empty when it was taken as typed.
QString adjustmentNote(const QString& text, double typed, double held, int raw,
                       const QString& lowest, const QString& highest, const QString& taken,
                       bool number)
{
    constexpr double kSame = 1e-6;
    if (!number) return {};
    const QString given = text.trimmed();
    if (std::abs(typed - held) > kSame)
        return localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat",
                                           "%1 is outside %2 … %3: %4 is set."))
            .arg(given, lowest, highest, taken);
    if (std::abs(held - raw) > kSame)
        return localized(QT_TRANSLATE_NOOP("sonaro::ui::ValueFormat", "%1 is rounded to %2."))
            .arg(given, taken);
    return {};
}

bool formatHasOff(ValueFormat format)
{
    return format == ValueFormat::Threshold || format == ValueFormat::Percent ||
           format == ValueFormat::Dbu;
}

// The raw value of a typed value, before the control's clamp.
double rawOf(ValueFormat format, const TypedValue& typed, int maximum)
{
    if (typed.kind == TypedValue::Kind::Infinite) return maximum; // INF:1 is the ratio's top
    if (typed.kind == TypedValue::Kind::Off)
        return format == ValueFormat::Threshold ? kThresholdReadoutOff : 0.0;
    const double v = typed.value;
    switch (format) {
    case ValueFormat::Plain:
    case ValueFormat::Milliseconds:
    case ValueFormat::Ratio:
    case ValueFormat::Percent:
    case ValueFormat::Hertz:
        return v;
    case ValueFormat::Threshold:
        return (v + 80.0) * 10.0;
    case ValueFormat::Dbu:
        return v + 120.0;
    case ValueFormat::SamplesMs:
        return v * 48.0; // samples at 48 kHz
    case ValueFormat::DecibelTenths:
    case ValueFormat::QTenths:
        return v * 10.0;
    case ValueFormat::GainSliderTenths:
        return kGainSliderCentre - v * 10.0;
    }
    return v;
}

} // namespace

bool parseFormattedText(ValueFormat format, const QString& text, int minimum, int maximum, int& raw,
                        QString* why)
{
    if (minimum > maximum) std::swap(minimum, maximum);
    const ValueUnit unit = unitOf(format);
    const bool off = formatHasOff(format);
    ValueTextResult result = parseValueText(unit, text.toStdString());
    // OFF is a value only where the format shows it.
    if (result.value && result.value->kind == TypedValue::Kind::Off && !off)
        result = ValueTextResult{std::nullopt, ValueTextError::NotANumber};
    if (!result.value) {
        if (why) *why = refusal(result.error, text, unit, off);
        return false;
    }
    const double typed = rawOf(format, *result.value, maximum);
    const double held = std::clamp(typed, double(minimum), double(maximum));
    raw = static_cast<int>(std::lround(held));
    if (why)
        *why = adjustmentNote(text, typed, held, raw, formatValue(format, minimum),
                              formatValue(format, maximum), formatValue(format, raw),
                              result.value->kind == TypedValue::Kind::Number);
    return true;
}

bool isLogarithmicByDefault(ValueFormat format)
{
    return format == ValueFormat::Hertz;
}

QString gainFaderText(int position)
{
    return QString::fromStdString(gainText(gainForFaderPosition(position)));
}

bool parseGainFaderText(const QString& text, int& position, QString* why)
{
    const ValueTextResult result = parseValueText(ValueUnit::Decibel, text.toStdString());
    if (!result.value || result.value->kind != TypedValue::Kind::Number) {
        if (why)
            *why = refusal(result.value ? ValueTextError::NotANumber : result.error, text,
                           ValueUnit::Decibel, false);
        return false;
    }
    // The fader moves in whole dB.
    const double typed = result.value->value;
    const double db = std::clamp(typed, double(-kGainOffsetDb), double(kGainMax - kGainOffsetDb));
    const int whole = static_cast<int>(std::lround(db));
    position = faderPositionForGain(dbToGain(whole));
    if (why)
        *why = adjustmentNote(text, typed, db, whole, gainFaderText(kGainMax), gainFaderText(0),
                              gainFaderText(position), true);
    return true;
}

} // namespace sonaro::ui
