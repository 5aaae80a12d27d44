#pragma once

#include "model/LinkTable.h"
#include "model/SettingCatalogue.h"

#include <QList>

#include <optional>

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

// What the control surface and the editors need from the device link and its delivery.
class CommandPort
{
public:
    virtual ~CommandPort() = default;
    // The record holds the operator's change of what the request's frame carries: it waits for
    // the unit's confirmation and goes now while the unit is logged in (otherwise at the next
    // login). Fixed frames (L, C) go only while a unit is logged in.
    virtual void submit(const CommandRequest& request) = 0;
    // The same, but the frame goes with the next sendWaiting (the editors' send tick).
    virtual void noteWaiting(const CommandRequest& request) { submit(request); }
    virtual void sendWaiting() {}
    virtual bool hasWaiting() const { return false; }
    // The operator's changes the unit has not confirmed yet.
    virtual QList<ChangeId> unconfirmed() const { return {}; }
};

} // namespace sonaro
