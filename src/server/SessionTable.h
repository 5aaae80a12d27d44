#pragma once

#include "server/Identity.h"

#include <QByteArray>
#include <QHash>

#include <optional>

// The page's logins: a session is a random identifier in an HttpOnly cookie. It ends when the
// user logs out, after a long idle time or a longer absolute time, or when the user is removed;
// the server keeps them in memory only, so a restart asks everybody to log in again.
namespace sonaro::server {

class SessionTable
{
public:
    static constexpr const char* kCookieName = "sonaro_session";
    static constexpr qint64 kIdleMs = 12LL * 60 * 60 * 1000;
    static constexpr qint64 kLifetimeMs = 7LL * 24 * 60 * 60 * 1000;
    static constexpr int kMaxSessions = 1000;

    QByteArray create(const Identity& who, qint64 nowMs);
    // The session's identity, renewing its idle time; nullopt when unknown or expired.
    std::optional<Identity> find(const QByteArray& id, qint64 nowMs);
    void remove(const QByteArray& id);
    void removeUser(const QString& name);
    int size() const { return static_cast<int>(m_sessions.size()); }

    // The Set-Cookie value that starts a session (Secure under TLS) or ends it (id empty).
    static QByteArray setCookie(const QByteArray& id, bool secure);
    // The session identifier in a Cookie header; empty when there is none.
    static QByteArray fromCookieHeader(const QByteArray& header);

private:
    struct Session
    {
        Identity who;
        qint64 createdMs = 0;
        qint64 lastSeenMs = 0;
    };
    void expire(qint64 nowMs);
    QHash<QByteArray, Session> m_sessions;
};

} // namespace sonaro::server
