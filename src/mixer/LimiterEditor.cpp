#include "mixer/LimiterEditor.h"

#include "dsp/ReadoutFormat.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

LimiterEditor::LimiterEditor(ControlSurface& surface, CommandPort& port, QObject* parent)
    : QObject(parent), m_surface(surface), m_port(port)
{
    m_timer.setInterval(kDefaultSendIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LimiterEditor::tick);
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
    const double ratio = settings().ratio;
    if (!std::isfinite(ratio)) return kRatioReadoutRange.max;
    return std::clamp(static_cast<int>(std::clamp(ratio, -1e6, 1e6)), kRatioReadoutRange.min,
                      kRatioReadoutRange.max);
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
        if (std::find(m_dirty.begin(), m_dirty.end(), out) == m_dirty.end()) m_dirty.push_back(out);
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
    apply(targets(), [raw](DynamicsSettings& s) { s.ratio = raw; });
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
    if (m_surface.connected()) {
        CommandRequest g;
        g.kind = 'G';
        g.unit = m_surface.unit();
        m_port.submit(g);
    }
    emit changed();
}

void LimiterEditor::reset()
{
    const std::vector<int> outputs = targets();
    for (int out : outputs)
        setDynamics(record(), out, DynamicsSettings{});
    sendB(outputs);
    emit changed();
}

void LimiterEditor::sendB(const std::vector<int>& outputs)
{
    if (!m_surface.connected()) return;
    for (int out : outputs) {
        CommandRequest b;
        b.kind = 'B';
        b.unit = m_surface.unit();
        b.index = out;
        m_port.submit(b);
    }
}

void LimiterEditor::tick()
{
    // An edit made while the unit is away waits for it (the dynamics are not read back after
    // a login that follows a silence).
    if (m_dirty.empty() || !m_surface.connected()) return;
    std::vector<int> outputs;
    outputs.swap(m_dirty);
    std::sort(outputs.begin(), outputs.end());
    sendB(outputs);
}

void LimiterEditor::setSendInterval(int ms)
{
    m_timer.setInterval(std::max(1, ms));
}

} // namespace sonaro
