#pragma once

#include "protocol/Commands.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace sonaro {

// One command the control surface asks the link to send. The frame is built from the unit's
// record when the datagram leaves, so a request that is already waiting is not queued again.
struct CommandRequest
{
    char kind = 0; // 'L', 'C', 'V', 'M', 'G', 'E', 'B', 'J', ...
    int unit = 1;
    int index = 0; // EQ slot for E, output for B and T, 1/0 for L on/off
    int times = 1; // sent this many times in a row on purpose; such requests are never merged
    int pauseAfterMs = 0;               // a pause on the wire after the last datagram
    bool renewsLastHeard = false;       // bulk sequences and drags keep the watchdog quiet
    std::optional<LinkTable> linkTable; // the table of a J request
};

// What the control surface needs from the device link.
class CommandPort
{
public:
    virtual ~CommandPort() = default;
    virtual void submit(const CommandRequest& request) = 0;
    // A change made while no unit is connected: nothing is sent, the change waits for the next
    // login (V, M, G and the link table J; other kinds are not kept).
    virtual void hold(const CommandRequest& request) { (void)request; }
    // The operator's changes the unit has not confirmed yet, by name.
    virtual QStringList unconfirmedChanges() const { return {}; }
};

} // namespace sonaro
