#include "mixer/EditorBase.h"

#include <algorithm>
#include <set>

namespace sonaro {

EditorBase::EditorBase(ControlSurface& surface, CommandPort& port, int sendIntervalMs,
                       QObject* parent)
    : QObject(parent), m_surface(surface), m_port(port)
{
    m_timer.setInterval(sendIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &EditorBase::tick);
}

EditorBase::~EditorBase()
{
    // A window that closes within the tick must not take its last edit with it.
    m_port.sendWaiting();
}

void EditorBase::setSendInterval(int ms)
{
    m_timer.setInterval(std::max(1, ms));
}

std::vector<int> EditorBase::linkedTargets(int own, int count, bool linked) const
{
    std::vector<int> list;
    if (linked)
        for (int ch : m_group.linkedChannels)
            if (ch >= 0 && ch < count && std::find(list.begin(), list.end(), ch) == list.end())
                list.push_back(ch);
    if (list.empty()) list.push_back(own);
    std::sort(list.begin(), list.end());
    return list;
}

Outcome EditorBase::edit(const std::vector<ChangeId>& ids, const std::function<void()>& change,
                         bool now, bool always)
{
    const UnitRecord& r = record();
    std::vector<std::int64_t> before;
    before.reserve(ids.size());
    for (const ChangeId& i : ids)
        before.push_back(SettingCatalogue::row(i.setting).wire(r, i.index));
    change();
    std::set<std::pair<char, int>> frames;
    bool any = false;
    for (std::size_t n = 0; n < ids.size(); ++n) {
        const SettingRow& row = SettingCatalogue::row(ids[n].setting);
        const bool differs = row.wire(r, ids[n].index) != before[n];
        any = any || differs;
        if (differs || always)
            frames.insert({row.frame, SettingCatalogue::frameIndex(row.id, ids[n].index)});
    }
    if (frames.empty()) {
        emit changed(); // the controls show the value they could not change
        return Outcome::Unchanged;
    }
    for (const auto& [kind, index] : frames) {
        CommandRequest request;
        request.kind = kind;
        request.unit = m_surface.unit();
        request.index = index;
        m_port.noteWaiting(request);
    }
    if (now) m_port.sendWaiting();
    emit changed();
    return any ? Outcome::Applied : Outcome::Unchanged;
}

} // namespace sonaro
