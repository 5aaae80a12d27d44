#include "server/LoginLimiter.h"

#include <algorithm>

namespace sonaro::server {

qint64 LoginLimiter::waitMs(const QString& address, qint64 nowMs) const
{
    const auto it = m_entries.constFind(address);
    if (it == m_entries.cend()) return 0;
    return std::max<qint64>(0, it->blockedUntilMs - nowMs);
}

void LoginLimiter::failed(const QString& address, qint64 nowMs)
{
    if (!m_entries.contains(address) && m_entries.size() >= kMaxEntries) {
        auto oldest = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->lastFailureMs < oldest->lastFailureMs) oldest = it;
        m_entries.erase(oldest);
    }
    Entry& e = m_entries[address];
    // A long quiet time since the last failure starts the count again.
    if (e.failures > 0 && nowMs - e.lastFailureMs > kLongestWaitMs * 2) e.failures = 0;
    ++e.failures;
    e.lastFailureMs = nowMs;
    if (e.failures >= kFreeFailures) {
        const int doublings = std::min(e.failures - kFreeFailures, 20);
        e.blockedUntilMs = nowMs + std::min(kFirstWaitMs << doublings, kLongestWaitMs);
    }
}

void LoginLimiter::succeeded(const QString& address)
{
    m_entries.remove(address);
}

} // namespace sonaro::server
