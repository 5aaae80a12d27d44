#include "ui/kit/ValueFormat.h"

#include "dsp/ValueReadout.h"
#include "mixer/ValueConventions.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace sonaro::ui {

namespace {

// "%0.1f" without a "-0.0" for values that round to zero.
QString OneDecimal(double value)
{
    if (std::abs(value) < 0.05) value = 0.0;
    return QString::asprintf("%0.1f", value);
}

} // namespace

QString FormatValue(ValueFormat format, int raw)
{
    // The unit's own read-out formats come from one place; the control clamps beforehand.
    const auto device = [raw](ReadoutFormat f) {
        return QString::fromStdString(FormatReadout(f, raw, {INT_MIN, INT_MAX}));
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
        return OneDecimal(raw * 0.1) + QStringLiteral("dB");
    case ValueFormat::Hertz:
        if (raw < 1000) return QString::asprintf("%dHz", raw);
        return QString::asprintf("%0.2fkHz", raw / 1000.0);
    case ValueFormat::QTenths:
        return OneDecimal(raw * 0.1);
    }
    return QStringLiteral("NULL"); // a format code outside the list
}

ValueFormatter MakeFormatter(ValueFormat format)
{
    return [format](int raw) { return FormatValue(format, raw); };
}

int LeadingInteger(const QString& text)
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

QString GainFaderText(int position)
{
    return QString::fromStdString(GainText(GainForFaderPosition(position)));
}

bool ParseGainFaderText(const QString& text, int& position)
{
    const int db = std::clamp(LeadingInteger(text), -kGainOffsetDb, kGainMax - kGainOffsetDb);
    position = FaderPositionForGain(DbToGain(db));
    return true;
}

} // namespace sonaro::ui
