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

template <typename Edit> void LimiterEditor::apply(const std::vector<int>& outputs, Edit edit)
{
    for (int out : outputs) {
        DynamicsSettings s = dynamicsOf(record(), out);
        edit(s);
        setDynamics(record(), out, s);
        m_delivery.markB(out);
    }
    emit changed();
}

void LimiterEditor::thresholdReadoutChanged(int raw)
{
    raw = std::clamp(raw, kThresholdReadoutRange.min, kThresholdReadoutRange.max);
    apply(targets(), [raw](DynamicsSettings& s) { s.threshold = thresholdFromReadoutRaw(raw); });
}

void LimiterEditor::attackReadoutChanged(int raw)
{
    raw = std::clamp(raw, kAttackReadoutRange.min, kAttackReadoutRange.max);
    apply(targets(), [raw](DynamicsSettings& s) { s.attack = raw; });
}

void LimiterEditor::releaseReadoutChanged(int raw)
{
    raw = std::clamp(raw, kReleaseReadoutRange.min, kReleaseReadoutRange.max);
    apply(targets(), [raw](DynamicsSettings& s) { s.release = raw; });
}

void LimiterEditor::ratioReadoutChanged(int raw)
{
    raw = std::clamp(raw, kRatioReadoutRange.min, kRatioReadoutRange.max);
    const double ratio = raw >= kRatioReadoutInfinite ? kRatioInfinite : raw;
    apply(targets(), [ratio](DynamicsSettings& s) { s.ratio = ratio; });
}

void LimiterEditor::attackListSelected(int index)
{
    const int attack = attackForListIndex(index);
    apply(targets(), [attack](DynamicsSettings& s) { s.attack = attack; });
}

void LimiterEditor::releaseListSelected(int index)
{
    const int release = releaseForListIndex(index);
    apply(targets(), [release](DynamicsSettings& s) { s.release = release; });
}

void LimiterEditor::ratioListSelected(int index)
{
    const double ratio = ratioForListIndex(index);
    // The ratio list follows the grouping alone, not the limiter link.
    const std::vector<int> outputs = m_group.grouped ? std::vector<int>{0, 1} : targets();
    apply(outputs, [ratio](DynamicsSettings& s) { s.ratio = ratio; });
}

void LimiterEditor::kneeDragged(double x)
{
    if (std::isnan(x)) return;
    // The graph reaches down to -140 dB, the threshold only to -80 dB.
    x = std::clamp(x, kThresholdMin, kThresholdOff);
    apply(targets(), [x](DynamicsSettings& s) { dragKnee(s, x); });
}

void LimiterEditor::endPointDragged(double y)
{
    if (std::isnan(y)) return;
    y = std::clamp(y, kDynamicsGraphMin, kDynamicsGraphMax);
    apply(targets(), [y](DynamicsSettings& s) { dragEndPoint(s, y); });
}

void LimiterEditor::toggleEnable()
{
    std::int32_t& flag = record().limiterEnable[m_output];
    flag = flag ? 0 : 1;
    m_delivery.markLimiterEnable(m_output);
    m_delivery.deliver();
    emit changed();
}

void LimiterEditor::reset()
{
    const std::vector<int> outputs = targets();
    for (int out : outputs) {
        setDynamics(record(), out, DynamicsSettings{});
        m_delivery.markB(out);
    }
    m_delivery.deliver();
    emit changed();
}

} // namespace sonaro
