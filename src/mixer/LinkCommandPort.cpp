#include "mixer/LinkCommandPort.h"

#include "link/DeliveryTracker.h"
#include "link/Link.h"
#include "link/LinkState.h"

namespace sonaro {

namespace {
constexpr int kProtocolBulkPauseMs = 100; // the bulk pause the timings' bulkPause stands for
}

void LinkCommandPort::hold(const CommandRequest& r)
{
    if (!m_tracker) return;
    if (r.kind == 'J')
        m_tracker->noteLinkTable(r.unit, r.linkTable.value_or(LinkTable{}), false);
    else
        m_tracker->noteChange(r.kind, r.unit);
}

QStringList LinkCommandPort::unconfirmedChanges() const
{
    return m_tracker ? m_tracker->unconfirmedChanges() : QStringList();
}

void LinkCommandPort::submit(const CommandRequest& r)
{
    // Noted before it is queued: the frame is built from the record when it leaves.
    if (m_tracker) {
        if (r.kind == 'J')
            m_tracker->noteLinkTable(r.unit, r.linkTable.value_or(LinkTable{}), true);
        else
            m_tracker->noteChange(r.kind, r.unit);
    }
    LinkRequest request;
    request.kind = r.kind;
    request.unit = r.unit;
    request.index = r.index;
    request.times = r.times;
    switch (r.kind) {
    case 'L':
        request.frame = buildL(r.index != 0);
        break;
    case 'C':
        request.frame = buildC(r.unit);
        break;
    case 'J':
        request.frame = buildJ(r.unit, r.linkTable.value_or(LinkTable{}));
        break;
    default:
        break; // V, M, G, E, B are built from the record when they leave
    }
    if (r.pauseAfterMs > 0) {
        // The pause comes on top of the link's own pause after every datagram.
        const LinkTimings& t = m_state.timings;
        request.pauseAfter = t.sendPause + r.pauseAfterMs * t.bulkPause / kProtocolBulkPauseMs;
    }
    if (r.renewsLastHeard) {
        LinkState* state = &m_state;
        const int unit = r.unit;
        request.onSent = [state, unit] { state->stampLastHeard(unit); };
    }
    m_link.enqueue(std::move(request));
}

} // namespace sonaro
