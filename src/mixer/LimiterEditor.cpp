#include "mixer/LimiterEditor.h"

#include "dsp/ReadoutFormat.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

LimiterEditor::LimiterEditor(ControlSurface& surface, CommandPort& port, QObject* parent)
    : EditorBase(surface, port, kDefaultSendIntervalMs, parent)
{
}

bool LimiterEditor::linked() const
{
    return links(m_group, kLimiterLink);
}

std::vector<int> LimiterEditor::targets() const
{
    if (linked()) return {0, 1};
    return {m_output};
}

DynamicsSettings LimiterEditor::settings() const
{
    return dynamicsOf(record(), m_output);
}

bool LimiterEditor::enabled() const
{
    return record().limiterEnable[m_output] != 0;
}

int LimiterEditor::thresholdRaw() const
{
    return std::clamp(thresholdReadoutRaw(settings().threshold), kThresholdReadoutRange.min,
                      kThresholdReadoutRange.max);
}

int LimiterEditor::attackRaw() const
{
    return std::clamp(settings().attack, kAttackReadoutRange.min, kAttackReadoutRange.max);
}

int LimiterEditor::releaseRaw() const
{
    return std::clamp(settings().release, kReleaseReadoutRange.min, kReleaseReadoutRange.max);
}

int LimiterEditor::ratioRaw() const
{
    // Read as the list reads it, so that both always show the same ratio.
    const double ratio = settings().ratio;
    if (!(ratio < kRatioReadoutInfinite)) return kRatioReadoutInfinite; // also NaN
    return std::clamp(static_cast<int>(std::max(ratio, 0.0)), kRatioReadoutRange.min,
                      kRatioReadoutInfinite);
}

int LimiterEditor::attackListIndex() const
{
    return sonaro::attackListIndex(settings().attack);
}

int LimiterEditor::releaseListIndex() const
{
    return sonaro::releaseListIndex(settings().release);
}

int LimiterEditor::ratioListIndex() const
{
    return sonaro::ratioListIndex(settings().ratio);
}

void LimiterEditor::selectOutput(int output)
{
    m_output = std::clamp(output, 0, kOutputCount - 1);
    reloadLinks();
    emit changed();
}

void LimiterEditor::reloadLinks()
{
    m_group = m_surface.stripGroups().outputs[static_cast<std::size_t>(m_output)];
}

std::vector<ChangeId> LimiterEditor::dynamicsIds(const std::vector<int>& outputs) const
{
    std::vector<ChangeId> ids;
    for (int out : outputs)
        for (SettingId field : {SettingId::LimiterThreshold, SettingId::LimiterRatio,
                                SettingId::LimiterAttack, SettingId::LimiterRelease})
            ids.push_back(id(field, out));
    return ids;
}

template <typename Edit> Outcome LimiterEditor::apply(const std::vector<int>& outputs, Edit change)
{
    return edit(
        dynamicsIds(outputs),
        [&] {
            for (int out : outputs) {
                DynamicsSettings s = dynamicsOf(record(), out);
                change(s);
                setDynamics(record(), out, s);
            }
        },
        false);
}

Outcome LimiterEditor::setValue(SettingId field, double value)
{
    const SettingRow& row = SettingCatalogue::row(field);
    if (row.scope != SettingScope::Output || std::isnan(value)) return Outcome::Inapplicable;
    value = std::clamp(value, row.min, row.max);
    switch (field) {
    case SettingId::LimiterEnable:
        return enabled() == (value != 0) ? Outcome::Unchanged : toggleEnable();
    case SettingId::LimiterThreshold:
        return apply(targets(), [value](DynamicsSettings& s) { s.threshold = value; });
    case SettingId::LimiterRatio:
        // Ratios beyond the list's last whole ratio act as "INF:1", as the read-out reads them.
        return ratioReadoutChanged(value > kRatioMaxListed ? kRatioReadoutInfinite
                                                           : static_cast<int>(value));
    case SettingId::LimiterAttack:
        return attackReadoutChanged(static_cast<int>(value));
    case SettingId::LimiterRelease:
        return releaseReadoutChanged(static_cast<int>(value));
    default:
        return Outcome::Inapplicable;
    }
}

Outcome LimiterEditor::thresholdReadoutChanged(int raw)
{
    raw = std::clamp(raw, kThresholdReadoutRange.min, kThresholdReadoutRange.max);
    return apply(targets(),
                 [raw](DynamicsSettings& s) { s.threshold = thresholdFromReadoutRaw(raw); });
}

Outcome LimiterEditor::attackReadoutChanged(int raw)
{
    raw = std::clamp(raw, kAttackReadoutRange.min, kAttackReadoutRange.max);
    return apply(targets(), [raw](DynamicsSettings& s) { s.attack = raw; });
}

Outcome LimiterEditor::releaseReadoutChanged(int raw)
{
    raw = std::clamp(raw, kReleaseReadoutRange.min, kReleaseReadoutRange.max);
    return apply(targets(), [raw](DynamicsSettings& s) { s.release = raw; });
}

Outcome LimiterEditor::ratioReadoutChanged(int raw)
{
    raw = std::clamp(raw, kRatioReadoutRange.min, kRatioReadoutRange.max);
    const double ratio = raw >= kRatioReadoutInfinite ? kRatioInfinite : raw;
    return apply(targets(), [ratio](DynamicsSettings& s) { s.ratio = ratio; });
}

Outcome LimiterEditor::attackListSelected(int index)
{
    const int attack = attackForListIndex(index);
    return apply(targets(), [attack](DynamicsSettings& s) { s.attack = attack; });
}

Outcome LimiterEditor::releaseListSelected(int index)
{
    const int release = releaseForListIndex(index);
    return apply(targets(), [release](DynamicsSettings& s) { s.release = release; });
}

Outcome LimiterEditor::ratioListSelected(int index)
{
    const double ratio = ratioForListIndex(index);
    // The ratio list follows the grouping alone, not the limiter link.
    const std::vector<int> outputs = m_group.grouped ? std::vector<int>{0, 1} : targets();
    return apply(outputs, [ratio](DynamicsSettings& s) { s.ratio = ratio; });
}

Outcome LimiterEditor::kneeDragged(double x)
{
    if (std::isnan(x)) return Outcome::Inapplicable;
    // The graph reaches down to -140 dB, the threshold only to -80 dB.
    x = std::clamp(x, kThresholdMin, kThresholdOff);
    return apply(targets(), [x](DynamicsSettings& s) { dragKnee(s, x); });
}

Outcome LimiterEditor::endPointDragged(double y)
{
    if (std::isnan(y)) return Outcome::Inapplicable;
    y = std::clamp(y, kDynamicsGraphMin, kDynamicsGraphMax);
    return apply(targets(), [y](DynamicsSettings& s) { dragEndPoint(s, y); });
}

Outcome LimiterEditor::toggleEnable()
{
    const int output = m_output;
    return edit(
        {id(SettingId::LimiterEnable, output)},
        [&] {
            std::int32_t& flag = record().limiterEnable[output];
            flag = flag ? 0 : 1;
        },
        true);
}

Outcome LimiterEditor::reset()
{
    const std::vector<int> outputs = targets();
    return edit(
        dynamicsIds(outputs),
        [&] {
            for (int out : outputs)
                setDynamics(record(), out, DynamicsSettings{});
        },
        true, true);
}

} // namespace sonaro
