#pragma once

#include <QtGlobal>

// A client's allowance of requests: a bucket of a burst's size that refills at a steady rate.
// A request takes one from it; an empty bucket refuses.
namespace sonaro::server {

class RequestBudget
{
public:
    RequestBudget(double perSecond, double burst)
        : m_rate(perSecond), m_burst(burst), m_level(burst)
    {
    }

    // True when a request may run now (and takes its share).
    bool take(qint64 nowMs, double count = 1.0);
    double level() const { return m_level; }

private:
    double m_rate;
    double m_burst;
    double m_level;
    qint64 m_lastMs = -1;
};

} // namespace sonaro::server
