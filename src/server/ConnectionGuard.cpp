#include "server/ConnectionGuard.h"

#include <QSslSocket>
#include <QTimer>

namespace sonaro::server {

namespace {

void refuse(qintptr descriptor)
{
    QTcpSocket socket;
    socket.setSocketDescriptor(descriptor);
    socket.abort();
}

constexpr const char* kWatched = "sonaroWatched";

} // namespace

ConnectionGuard::ConnectionGuard(int maxConnections, int silentMs, QObject* parent)
    : QObject(parent), m_max(maxConnections), m_silentMs(silentMs)
{
}

void ConnectionGuard::watch(QTcpSocket* socket)
{
    socket->setProperty(kWatched, true);
    socket->setReadBufferSize(kRequestBuffer);
    ++m_open;
    connect(socket, &QObject::destroyed, this, [this] { --m_open; });
    auto* silence = new QTimer(socket);
    silence->setSingleShot(true);
    silence->setInterval(m_silentMs);
    connect(silence, &QTimer::timeout, socket, &QTcpSocket::abort);
    auto heard = [silence] { silence->start(); };
    connect(socket, &QIODevice::readyRead, silence, heard);
    connect(socket, &QIODevice::bytesWritten, silence, heard);
    // A closed connection goes at once, also one the HTTP server never took.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    silence->start();
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    if (!m_guard.admit()) return refuse(descriptor);
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    m_guard.watch(socket);
    addPendingConnection(socket);
}

void GuardedSslServer::incomingConnection(qintptr descriptor)
{
    if (!m_guard.admit()) return refuse(descriptor);
    QSslServer::incomingConnection(descriptor);
    // QSslServer made the socket (a child of ours) and started its handshake.
    for (QSslSocket* socket : findChildren<QSslSocket*>(Qt::FindDirectChildrenOnly))
        if (!socket->property(kWatched).toBool()) m_guard.watch(socket);
}

} // namespace sonaro::server
