#pragma once

#include "mixer/CommandPort.h"

namespace sonaro {

class Link;
class LinkState;

// Hands the control surface's requests to the link's paced queue. Pauses are scaled with the
// link's timings so that tests that shrink the timings shrink the bulk sequences too.
class LinkCommandPort : public CommandPort
{
public:
    LinkCommandPort(Link& link, LinkState& state) : m_link(link), m_state(state) {}
    void submit(const CommandRequest& request) override;

private:
    Link& m_link;
    LinkState& m_state;
};

} // namespace sonaro
