#include "server/SessionTable.h"

#include <QList>
#include <QRandomGenerator>

namespace sonaro::server {

namespace {

constexpr int kIdBytes = 32;

QByteArray newId()
{
    QByteArray bytes(kIdBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), kIdBytes / 4);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

} // namespace

QByteArray SessionTable::create(const Identity& who, qint64 nowMs)
{
    expire(nowMs);
    if (m_sessions.size() >= kMaxSessions) {
        auto oldest = m_sessions.begin();
        for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
            if (it->lastSeenMs < oldest->lastSeenMs) oldest = it;
        m_sessions.erase(oldest);
    }
    const QByteArray id = newId();
    m_sessions.insert(id, Session{who, nowMs, nowMs});
    return id;
}

std::optional<Identity> SessionTable::find(const QByteArray& id, qint64 nowMs)
{
    const auto it = m_sessions.find(id);
    if (id.isEmpty() || it == m_sessions.end()) return std::nullopt;
    if (nowMs - it->lastSeenMs > kIdleMs || nowMs - it->createdMs > kLifetimeMs) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    it->lastSeenMs = nowMs;
    return it->who;
}

void SessionTable::remove(const QByteArray& id)
{
    m_sessions.remove(id);
}

void SessionTable::removeUser(const QString& name)
{
    m_sessions.removeIf([&](const auto& it) { return it.value().who.name == name; });
}

void SessionTable::expire(qint64 nowMs)
{
    m_sessions.removeIf([&](const auto& it) {
        return nowMs - it.value().lastSeenMs > kIdleMs ||
               nowMs - it.value().createdMs > kLifetimeMs;
    });
}

QByteArray SessionTable::setCookie(const QByteArray& id, bool secure)
{
    QByteArray cookie = QByteArray(kCookieName) + '=' + id + "; Path=/; HttpOnly; SameSite=Strict";
    if (id.isEmpty()) cookie += "; Max-Age=0";
    if (secure) cookie += "; Secure";
    return cookie;
}

QByteArray SessionTable::fromCookieHeader(const QByteArray& header)
{
    const QByteArray prefix = QByteArray(kCookieName) + '=';
    for (const QByteArray& part : header.split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith(prefix)) return item.mid(prefix.size());
    }
    return {};
}

} // namespace sonaro::server
