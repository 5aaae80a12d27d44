#include "ui/kit/ValueFormat.h"

#include "dsp/ReadoutFormat.h"
#include "model/ValueConventions.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace sonaro::ui {

namespace {

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
    }
    return QStringLiteral("NULL"); // a format code outside the list
}

ValueFormatter makeFormatter(ValueFormat format)
{
    return [format](int raw) { return formatValue(format, raw); };
}

int leadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

QString gainFaderText(int position)
{
    return QString::fromStdString(gainText(gainForFaderPosition(position)));
}

bool parseGainFaderText(const QString& text, int& position)
{
    const int db = std::clamp(leadingInteger(text), -kGainOffsetDb, kGainMax - kGainOffsetDb);
    position = faderPositionForGain(dbToGain(db));
    return true;
}

} // namespace sonaro::ui
