#pragma once

#include "mixer/ControlSurface.h"
#include "model/RecordingOperator.h"
#include "support/FramePort.h"

#include <initializer_list>
#include <vector>

namespace sonaro::testing {

// A control surface on a factory record of a connected unit, with a frame port and an operator
// that keep what they were given: the surface and the editors tested without a network.
struct SurfaceBench
{
    explicit SurfaceBench(bool holdWaiting = true)
        : port(table, holdWaiting), surface(table, port, op)
    {
        applyFactoryValues(table.current());
        table.current().connected = 1;
    }
    UnitRecord& rec() { return table.current(); }

    // Links the given inputs (or outputs) in one group with exactly these flags.
    void link(std::vector<int> channels, std::initializer_list<LinkFlag> flags,
              bool outputs = false)
    {
        StripGroups groups = surface.stripGroups();
        for (int ch : channels) {
            StripGroupData& g =
                outputs ? groups.outputs[std::size_t(ch)] : groups.inputs[std::size_t(ch)];
            g.grouped = true;
            g.linkedChannels = channels;
            g.flags = {};
            for (LinkFlag f : flags)
                g.flags[std::size_t(f)] = true;
        }
        surface.setStripGroups(groups);
    }

    UnitTable table;
    RecordingOperator op;
    FramePort port;
    ControlSurface surface;
};

} // namespace sonaro::testing
