#include "mixer/EditorBase.h"

#include <algorithm>

namespace sonaro {

EditorBase::EditorBase(ControlSurface& surface, CommandPort& port, int sendIntervalMs,
                       QObject* parent)
    : QObject(parent), m_surface(surface), m_delivery(EditorDelivery::of(surface, port))
{
    m_timer.setInterval(sendIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &EditorBase::tick);
}

EditorBase::~EditorBase()
{
    // A window that closes within the tick must not take its last edit with it.
    m_delivery.deliver();
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

} // namespace sonaro
