#pragma once

#include "mixer/CommandPort.h"

#include <vector>

namespace sonaro {

// Keeps the requests in order instead of sending them. For tests and dry runs.
class RecordingCommandPort : public CommandPort
{
public:
    void submit(const CommandRequest& request) override { requests.push_back(request); }
    std::vector<char> kinds() const
    {
        std::vector<char> list;
        for (const CommandRequest& r : requests)
            for (int i = 0; i < r.times; ++i)
                list.push_back(r.kind);
        return list;
    }
    std::vector<CommandRequest> requests;
};

} // namespace sonaro
