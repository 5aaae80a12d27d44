#pragma once

#include "dsp/DspCommands.h"
#include "mixer/RecordingCommandPort.h"
#include "model/UnitTable.h"
#include "protocol/Commands.h"

#include <string>
#include <vector>

namespace sonaro::testing {

// A command port for tests of the surface and the editors: keeps each request with the frame it
// would carry if it left at that moment. With holdWaiting, noted requests wait for sendWaiting()
// as they do at the delivery; without, they are submitted at once.
class FramePort : public RecordingCommandPort
{
public:
    explicit FramePort(UnitTable& table, bool holdWaiting = true)
        : m_table(table), m_holdWaiting(holdWaiting)
    {
    }
    void submit(const CommandRequest& r) override
    {
        RecordingCommandPort::submit(r);
        const UnitRecord& rec = m_table.record(r.unit);
        switch (r.kind) {
        case 'V':
            frames.push_back(buildV(rec, r.unit));
            break;
        case 'M':
            frames.push_back(buildM(rec, r.unit));
            break;
        case 'G':
            frames.push_back(buildG(rec, r.unit));
            break;
        case 'E':
            frames.push_back(buildE(rec, r.unit, r.index));
            break;
        case 'B':
            frames.push_back(buildB(rec, r.unit, r.index));
            break;
        default:
            frames.push_back(std::string(1, r.kind));
            break;
        }
    }
    void noteWaiting(const CommandRequest& r) override
    {
        if (m_holdWaiting)
            RecordingCommandPort::noteWaiting(r);
        else
            submit(r);
    }
    QList<ChangeId> unconfirmed() const override { return unconfirmedIds; }

    // The kind letters of every request, a request sent n times n times.
    std::string kindText() const
    {
        const std::vector<char> list = kinds();
        return std::string(list.begin(), list.end());
    }
    std::vector<int> indexes(char kind) const
    {
        std::vector<int> list;
        for (const CommandRequest& r : requests)
            if (r.kind == kind) list.push_back(r.index);
        return list;
    }
    void clear()
    {
        requests.clear();
        frames.clear();
    }

    std::vector<std::string> frames;
    QList<ChangeId> unconfirmedIds;

private:
    UnitTable& m_table;
    bool m_holdWaiting;
};

} // namespace sonaro::testing
