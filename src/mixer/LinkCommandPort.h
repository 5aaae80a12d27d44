#pragma once

#include "mixer/CommandPort.h"

namespace sonaro {

class Delivery;
class LinkState;

// Hands the control surface's requests to the delivery, which notes what they change and queues
// them on the link. Pauses are scaled with the link's timings so that tests that shrink the
// timings shrink the bulk sequences too.
class LinkCommandPort : public CommandPort
{
public:
    LinkCommandPort(Delivery& delivery, LinkState& state) : m_delivery(delivery), m_state(state) {}
    void submit(const CommandRequest& request) override;
    void noteWaiting(const CommandRequest& request) override;
    void sendWaiting() override;
    bool hasWaiting() const override;
    QList<ChangeId> unconfirmed() const override;

private:
    Delivery& m_delivery;
    LinkState& m_state;
};

} // namespace sonaro
