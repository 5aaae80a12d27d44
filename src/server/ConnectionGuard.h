#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

// Bounds on the TCP connections of the HTTP server (Qt's HTTP server sets none): how many may be
// open at once, how much of a request is buffered, and how long a connection may stay silent.
// A request larger than the buffer stalls and is cut off as silent, so no request can fill the
// memory; WebSocket clients are pinged by the API and so never fall silent while alive.
namespace sonaro::server {

class ConnectionGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kRequestBuffer = 32 * 1024;
    static constexpr int kSilentMs = 45000;

    ConnectionGuard(int maxConnections, int silentMs = kSilentMs, QObject* parent = nullptr);

    bool admit() const { return m_open < m_max; }
    // Counts the socket until it is destroyed, bounds its buffer and watches its silence.
    void watch(QTcpSocket* socket);
    int open() const { return m_open; }

private:
    int m_max;
    int m_silentMs;
    int m_open = 0;
};

// A TCP server whose connections pass the guard; over the bound they are closed at once.
class GuardedTcpServer : public QTcpServer
{
public:
    GuardedTcpServer(ConnectionGuard& guard, QObject* parent = nullptr)
        : QTcpServer(parent), m_guard(guard)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConnectionGuard& m_guard;
};

// The same for HTTPS and WSS.
class GuardedSslServer : public QSslServer
{
public:
    GuardedSslServer(ConnectionGuard& guard, QObject* parent = nullptr)
        : QSslServer(parent), m_guard(guard)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConnectionGuard& m_guard;
};

} // namespace sonaro::server
