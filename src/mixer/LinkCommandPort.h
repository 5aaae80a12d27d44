#pragma once

#include "mixer/CommandPort.h"

namespace sonaro {

class DeliveryTracker;
class Link;
class LinkState;

// Hands the control surface's requests to the link's paced queue. Pauses are scaled with the
// link's timings so that tests that shrink the timings shrink the bulk sequences too. With a
// delivery tracker, every V, M and G (sent or held) is a change that waits for the unit's
// confirmation.
class LinkCommandPort : public CommandPort
{
public:
    LinkCommandPort(Link& link, LinkState& state, DeliveryTracker* tracker = nullptr)
        : m_link(link), m_state(state), m_tracker(tracker)
    {
    }
    void submit(const CommandRequest& request) override;
    void hold(const CommandRequest& request) override;
    QStringList unconfirmedChanges() const override;

private:
    Link& m_link;
    LinkState& m_state;
    DeliveryTracker* m_tracker;
};

} // namespace sonaro
