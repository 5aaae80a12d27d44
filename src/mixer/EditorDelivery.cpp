#include "mixer/EditorDelivery.h"

#include "mixer/ControlSurface.h"

#include <utility>

namespace sonaro {

EditorDelivery::EditorDelivery(ControlSurface& surface, CommandPort& port)
    : QObject(&surface), m_surface(surface), m_port(port)
{
    m_retry.setInterval(kOfflineRetryMs);
    // While changes wait, the retry watches the connection: a change that saw the unit away
    // waits for its state to be read after the login.
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (!pending()) {
            m_retry.stop();
        } else if (!m_surface.connected()) {
            m_waitForState = true;
            m_connectedTicks = 0;
        } else if (m_waitForState && ++m_connectedTicks >= kStateWaitTicks) {
            stateRead();
        }
    });
    // The whole record was read or replaced (state report, preset, factory restore).
    connect(&m_surface, &ControlSurface::refreshNeeded, this, &EditorDelivery::stateRead);
}

EditorDelivery& EditorDelivery::of(ControlSurface& surface, CommandPort& port)
{
    for (EditorDelivery* d : surface.findChildren<EditorDelivery*>(Qt::FindDirectChildrenOnly))
        if (&d->m_port == &port) return *d;
    return *new EditorDelivery(surface, port);
}

void EditorDelivery::noteChange()
{
    if (!m_surface.connected()) {
        m_waitForState = true;
        m_connectedTicks = 0;
    }
    if (!m_retry.isActive()) m_retry.start();
}

void EditorDelivery::markE(int slot)
{
    const std::optional<EqSlotTarget> target = eqSlotOf(slot);
    if (!target) return;
    noteChange();
    std::array<EqBand, kBandsPerBlock> bands{};
    for (int b = 0; b < kBandsPerBlock; ++b)
        bands[static_cast<std::size_t>(b)] =
            target->output
                ? outputEqBand(m_surface.record(), target->channel, target->firstBand + b)
                : inputEqBand(m_surface.record(), target->channel, b);
    m_e[slot] = bands;
}

void EditorDelivery::markB(int output)
{
    if (output < 0 || output >= kOutputCount) return;
    noteChange();
    m_b[output] = dynamicsOf(m_surface.record(), output);
}

void EditorDelivery::markFilters(int input)
{
    if (input < 0 || input >= kInputCount) return;
    noteChange();
    const UnitRecord& r = m_surface.record();
    m_filters[input] = Filters{r.highPassIndex[input], r.lowPassIndex[input]};
}

void EditorDelivery::markLimiterEnable(int output)
{
    if (output < 0 || output >= kOutputCount) return;
    noteChange();
    m_limiterEnable[output] = m_surface.record().limiterEnable[output];
}

void EditorDelivery::restore()
{
    UnitRecord& r = m_surface.record();
    for (const auto& [slot, bands] : m_e) {
        const std::optional<EqSlotTarget> target = eqSlotOf(slot);
        for (int b = 0; b < kBandsPerBlock; ++b) {
            const EqBand& band = bands[static_cast<std::size_t>(b)];
            if (target->output)
                setOutputEqBand(r, target->channel, target->firstBand + b, band);
            else
                setInputEqBand(r, target->channel, b, band);
        }
    }
    for (const auto& [output, settings] : m_b)
        setDynamics(r, output, settings);
    for (const auto& [input, filters] : m_filters) {
        r.highPassIndex[input] = filters.highPass;
        r.lowPassIndex[input] = filters.lowPass;
    }
    for (const auto& [output, flag] : m_limiterEnable)
        r.limiterEnable[output] = flag;
}

void EditorDelivery::recapture()
{
    for (auto& [slot, bands] : m_e)
        markE(slot);
    for (auto& [output, settings] : m_b)
        markB(output);
    for (auto& [input, filters] : m_filters)
        markFilters(input);
    for (auto& [output, flag] : m_limiterEnable)
        markLimiterEnable(output);
}

void EditorDelivery::stateRead()
{
    if (!pending() || !m_surface.connected()) return;
    if (!m_waitForState) {
        // Connected all along: the record was replaced on purpose and is what goes out now.
        recapture();
        return;
    }
    m_waitForState = false;
    restore();
    deliver();
    emit m_surface.refreshNeeded(); // the views show the changes put back
}

QStringList EditorDelivery::waitingChanges() const
{
    QStringList names;
    if (!m_waitForState) return names;
    for (const auto& entry : m_e)
        names << QStringLiteral("eq %1").arg(entry.first);
    for (const auto& entry : m_b)
        names << QStringLiteral("dynamics %1").arg(entry.first);
    for (const auto& entry : m_filters)
        names << QStringLiteral("filters %1").arg(entry.first);
    for (const auto& entry : m_limiterEnable)
        names << QStringLiteral("limiter %1").arg(entry.first);
    return names;
}

void EditorDelivery::restoreWaiting(const QStringList& names)
{
    for (const QString& name : names) {
        const QStringList parts = name.split(QLatin1Char(' '));
        bool ok = false;
        const int index = parts.value(1).toInt(&ok);
        if (parts.size() != 2 || !ok) continue;
        // Each mark checks its index; a name this version does not know is skipped.
        if (parts[0] == QLatin1String("eq"))
            markE(index);
        else if (parts[0] == QLatin1String("dynamics"))
            markB(index);
        else if (parts[0] == QLatin1String("filters"))
            markFilters(index);
        else if (parts[0] == QLatin1String("limiter"))
            markLimiterEnable(index);
    }
}

bool EditorDelivery::deliver()
{
    if (!pending()) {
        m_retry.stop();
        return false;
    }
    if (!m_surface.connected() || m_waitForState) {
        noteChange();
        return false;
    }
    m_retry.stop();
    // A report that came since the change does not win over it.
    restore();
    const auto changedSlots = std::exchange(m_e, {});
    const auto outputs = std::exchange(m_b, {});
    const bool g = hasG();
    m_filters.clear();
    m_limiterEnable.clear();
    const int unit = m_surface.unit();
    std::size_t i = 0;
    for (const auto& entry : changedSlots) {
        CommandRequest e;
        e.kind = 'E';
        e.unit = unit;
        e.index = entry.first;
        e.pauseAfterMs = g && ++i == changedSlots.size() ? kPauseBeforeGMs : 0;
        m_port.submit(e);
    }
    if (g) {
        CommandRequest request;
        request.kind = 'G';
        request.unit = unit;
        m_port.submit(request);
    }
    for (const auto& entry : outputs) {
        CommandRequest b;
        b.kind = 'B';
        b.unit = unit;
        b.index = entry.first;
        m_port.submit(b);
    }
    return true;
}

} // namespace sonaro
