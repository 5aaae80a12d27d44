#pragma once

#include "server/ApiHub.h"
#include "server/ConnectionGuard.h"
#include "server/LoginLimiter.h"
#include "server/ServerConfig.h"
#include "server/SessionTable.h"
#include "server/UserStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHttpServer>
#include <QObject>

#include <memory>
#include <optional>

class QHttpServerRequest;
class QHttpServerResponse;

// The web remote and the control API on one port: the page and its files, the login, the
// health check, the state over plain HTTP and the API's WebSocket. Every request but the login
// page (with its files) and the health check needs a session cookie or an API token; every
// response carries the security headers; the WebSocket upgrade is checked for its path, its
// origin and its session before the API takes it.
namespace sonaro::server {

class ServerBackend;

class RemoteServer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int silentMs = ConnectionGuard::kSilentMs;
        int pingMs = 15000;
    };

    RemoteServer(ServerBackend& backend, ServerConfig config, Options options,
                 QObject* parent = nullptr);
    RemoteServer(ServerBackend& backend, ServerConfig config, QObject* parent = nullptr)
        : RemoteServer(backend, std::move(config), Options{}, parent)
    {
    }
    ~RemoteServer() override;

    // Reads the users, sets up TLS and listens; problem says why when false.
    bool start(QString* problem);
    quint16 port() const { return m_port; }
    const ServerConfig& config() const { return m_config; }
    ApiHub& hub() { return m_hub; }
    UserStore& users() { return m_users; }

private:
    void addRoutes();
    // Users and tokens added or removed by `sonaro-server user ...` while the server runs.
    void reloadUsersWhenChanged();
    void acceptWebSockets();
    std::optional<Identity> authenticate(const QHttpServerRequest& request);
    std::optional<Identity> authenticate(const QByteArray& cookie, const QByteArray& authorization);
    bool hostAllowed(const QByteArray& host) const;
    bool originAllowed(const QByteArray& origin, const QByteArray& host) const;
    // The refusal of a request that may not reach its route; nullopt when it may.
    std::optional<QHttpServerResponse> screen(const QHttpServerRequest& request, bool needsLogin,
                                              std::optional<Identity>* who = nullptr);
    QHttpServerResponse staticFile(const QString& name, const QHttpServerRequest& request);
    QHttpServerResponse page(const QHttpServerRequest& request);
    QHttpServerResponse logout(const QHttpServerRequest& request);
    void login(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    QHttpServerResponse health();
    QHttpServerResponse respond(QHttpServerResponse&& response) const;
    qint64 now() const { return m_clock.elapsed(); }

    ServerBackend& m_backend;
    ServerConfig m_config;
    Options m_options;
    UserStore m_users;
    SessionTable m_sessions;
    LoginLimiter m_limiter;
    ConnectionGuard m_guard;
    ApiHub m_hub;
    QHttpServer m_http;
    QElapsedTimer m_clock;
    quint16 m_port = 0;
    int m_loginsRunning = 0;
    QTimer m_usersWatch;
    QDateTime m_usersChanged;
};

} // namespace sonaro::server
