#pragma once

#include "mixer/CommandPort.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace sonaro {

// Keeps the requests in order instead of sending them; noted requests join at sendWaiting, as
// the link would send them. For tests and dry runs.
class RecordingCommandPort : public CommandPort
{
public:
    void submit(const CommandRequest& request) override { requests.push_back(request); }
    void noteWaiting(const CommandRequest& request) override
    {
        for (const CommandRequest& w : waiting)
            if (w.kind == request.kind && w.unit == request.unit && w.index == request.index)
                return;
        waiting.push_back(request);
    }
    // E by slot, then G, then B, as the delivery sends them.
    void sendWaiting() override
    {
        const std::vector<CommandRequest> noted = std::exchange(waiting, {});
        for (char kind : {'E', 'V', 'M', 'G', 'B'}) {
            std::vector<CommandRequest> ofKind;
            for (const CommandRequest& w : noted)
                if (w.kind == kind) ofKind.push_back(w);
            std::sort(ofKind.begin(), ofKind.end(),
                      [](const auto& a, const auto& b) { return a.index < b.index; });
            for (const CommandRequest& r : ofKind)
                submit(r);
        }
    }
    bool hasWaiting() const override { return !waiting.empty(); }
    std::vector<char> kinds() const
    {
        std::vector<char> list;
        for (const CommandRequest& r : requests)
            for (int i = 0; i < r.times; ++i)
                list.push_back(r.kind);
        return list;
    }
    std::vector<CommandRequest> requests;
    std::vector<CommandRequest> waiting;
};

} // namespace sonaro
