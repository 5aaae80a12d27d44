#include "server/SetMerger.h"

#include <algorithm>
#include <limits>

namespace sonaro::server {

SetMerger::SetMerger(Apply apply, Superseded superseded, QObject* parent, int intervalMs)
    : QObject(parent), m_apply(std::move(apply)), m_superseded(std::move(superseded)),
      m_intervalMs(intervalMs)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SetMerger::flush);
}

void SetMerger::submit(const ChangeId& id, double stored, quint64 ticket)
{
    const qint64 now = m_clock.elapsed();
    Slot& slot = m_slots[id];
    if (!slot.pending && (slot.lastAppliedMs < 0 || now - slot.lastAppliedMs >= m_intervalMs)) {
        slot.lastAppliedMs = now;
        m_apply(id, stored, ticket);
        return;
    }
    if (slot.pending) m_superseded(slot.ticket, stored);
    slot.pending = true;
    slot.value = stored;
    slot.ticket = ticket;
    const qint64 due = slot.lastAppliedMs + m_intervalMs - now;
    const int remaining = static_cast<int>(std::clamp<qint64>(due, 0, m_intervalMs));
    if (!m_timer.isActive() || m_timer.remainingTime() > remaining) m_timer.start(remaining);
}

int SetMerger::waiting() const
{
    return static_cast<int>(
        std::count_if(m_slots.cbegin(), m_slots.cend(), [](const Slot& s) { return s.pending; }));
}

void SetMerger::flush()
{
    const qint64 now = m_clock.elapsed();
    qint64 next = std::numeric_limits<qint64>::max();
    QList<std::pair<ChangeId, Slot>> due;
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        if (it->pending && now - it->lastAppliedMs >= m_intervalMs) {
            it->pending = false;
            it->lastAppliedMs = now;
            due.append({it.key(), *it});
        } else if (it->pending) {
            next = std::min(next, it->lastAppliedMs + m_intervalMs - now);
        } else if (now - it->lastAppliedMs >= m_intervalMs) {
            it = m_slots.erase(it); // idle settings are forgotten
            continue;
        }
        ++it;
    }
    if (next != std::numeric_limits<qint64>::max())
        m_timer.start(static_cast<int>(std::max<qint64>(next, 0)));
    // Applied last: apply() may submit again.
    for (const auto& [id, slot] : due)
        m_apply(id, slot.value, slot.ticket);
}

} // namespace sonaro::server
