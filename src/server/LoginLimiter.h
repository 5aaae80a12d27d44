#pragma once

#include <QHash>
#include <QString>

// Failed logins slow a guesser down: after a few failures from one address, every further try
// from it waits a time that doubles with each failure, up to a bound. A success forgets the
// address. The table is bounded: when full, the entry that last failed longest ago goes.
namespace sonaro::server {

class LoginLimiter
{
public:
    static constexpr int kFreeFailures = 5;
    static constexpr qint64 kFirstWaitMs = 2000;
    static constexpr qint64 kLongestWaitMs = 5 * 60 * 1000;
    static constexpr int kMaxEntries = 4096;

    // 0 when a login from this address may be tried now, else the milliseconds to wait.
    qint64 waitMs(const QString& address, qint64 nowMs) const;
    void failed(const QString& address, qint64 nowMs);
    void succeeded(const QString& address);

private:
    struct Entry
    {
        int failures = 0;
        qint64 lastFailureMs = 0;
        qint64 blockedUntilMs = 0;
    };
    QHash<QString, Entry> m_entries;
};

} // namespace sonaro::server
