#include "server/RequestBudget.h"

#include <algorithm>

namespace sonaro::server {

bool RequestBudget::take(qint64 nowMs, double count)
{
    if (m_lastMs >= 0 && nowMs > m_lastMs)
        m_level = std::min(m_burst, m_level + (nowMs - m_lastMs) * m_rate / 1000.0);
    m_lastMs = std::max(m_lastMs, nowMs);
    if (m_level < count) return false;
    m_level -= count;
    return true;
}

} // namespace sonaro::server
