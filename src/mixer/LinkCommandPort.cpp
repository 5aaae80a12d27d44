#include "mixer/LinkCommandPort.h"

#include "link/Delivery.h"
#include "link/LinkState.h"

namespace sonaro {

namespace {
constexpr int kProtocolBulkPauseMs = 100; // the bulk pause the timings' bulkPause stands for
}

void LinkCommandPort::submit(const CommandRequest& r)
{
    // The pause comes on top of the link's own pause after every datagram.
    const LinkTimings& t = m_state.timings;
    const int pause =
        r.pauseAfterMs > 0 ? t.sendPause + r.pauseAfterMs * t.bulkPause / kProtocolBulkPauseMs : -1;
    if (r.kind == 'J') {
        m_delivery.sendLinkTable(r.unit, r.linkTable.value_or(LinkTable{}), pause);
        return;
    }
    LinkRequest request;
    request.kind = r.kind;
    request.unit = r.unit;
    request.index = r.index;
    request.times = r.times;
    request.pauseAfter = pause;
    switch (r.kind) {
    case 'L':
        request.frame = buildL(r.index != 0);
        break;
    case 'C':
        request.frame = buildC(r.unit);
        break;
    default:
        break; // V, M, G, E, B are built from the record when they leave
    }
    if (r.renewsLastHeard) {
        LinkState* state = &m_state;
        const int unit = r.unit;
        request.onSent = [state, unit] { state->stampLastHeard(unit); };
    }
    m_delivery.send(std::move(request));
}

void LinkCommandPort::noteWaiting(const CommandRequest& r)
{
    m_delivery.noteWaiting(r.kind, r.unit, r.index);
}

void LinkCommandPort::sendWaiting()
{
    m_delivery.sendWaiting();
}

bool LinkCommandPort::hasWaiting() const
{
    return m_delivery.hasWaiting();
}

QList<ChangeId> LinkCommandPort::unconfirmed() const
{
    return m_delivery.unconfirmed();
}

} // namespace sonaro
