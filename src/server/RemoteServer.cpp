#include "server/RemoteServer.h"

#include "server/ServerBackend.h"
#include "server/StateJson.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QUrl>
#include <QWebSocket>

// Resources of a static library are registered by hand.
static void initWebResources()
{
    Q_INIT_RESOURCE(web);
}

namespace sonaro::server {

namespace {

ApiHub::Options hubOptions(const ServerConfig& config, const RemoteServer::Options& options)
{
    ApiHub::Options o;
    o.maxClients = config.maxClients;
    o.presetFolder = config.presets;
    o.pingMs = options.pingMs;
    return o;
}

bool loadTls(const ServerConfig& config, QSslConfiguration& tls, QString* problem)
{
    QFile certificateFile(config.certificate);
    QFile keyFile(config.key);
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read the certificate %1 or the key %2")
                       .arg(config.certificate, config.key);
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromDevice(&certificateFile, QSsl::Pem);
    QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) {
        keyFile.seek(0);
        key = QSslKey(&keyFile, QSsl::Ec, QSsl::Pem);
    }
    if (chain.isEmpty() || key.isNull()) {
        *problem = QStringLiteral("%1 holds no PEM certificate or %2 no PEM key (RSA or EC)")
                       .arg(config.certificate, config.key);
        return false;
    }
    tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    return true;
}

} // namespace

RemoteServer::RemoteServer(ServerBackend& backend, ServerConfig config, Options options,
                           QObject* parent)
    : QObject(parent), m_backend(backend), m_config(std::move(config)), m_options(options),
      m_users(m_config.users), m_guard(m_config.maxClients * 2 + 32, options.silentMs),
      m_hub(backend, m_users, hubOptions(m_config, options))
{
    initWebResources();
    m_clock.start();
    addRoutes();
    connect(&m_http, &QAbstractHttpServer::newWebSocketConnection, this,
            &RemoteServer::acceptWebSockets);
}

RemoteServer::~RemoteServer()
{
    m_hub.closeAll(ApiClose::ServerStopping, QStringLiteral("the server stops"));
}

bool RemoteServer::start(QString* problem)
{
    if (!m_users.load(problem)) return false;
    m_usersChanged = QFileInfo(m_config.users).lastModified();
    connect(&m_usersWatch, &QTimer::timeout, this, &RemoteServer::reloadUsersWhenChanged);
    m_usersWatch.start(2000);
    QTcpServer* server = nullptr;
    if (m_config.tls()) {
        QSslConfiguration tls;
        if (!loadTls(m_config, tls, problem)) return false;
        auto* ssl = new GuardedSslServer(m_guard, this);
        ssl->setSslConfiguration(tls);
        server = ssl;
    } else {
        server = new GuardedTcpServer(m_guard, this);
    }
    if (!server->listen(m_config.listenAddress, m_config.listenPort)) {
        *problem = QStringLiteral("cannot listen on %1:%2: %3")
                       .arg(m_config.listenAddress.toString())
                       .arg(m_config.listenPort)
                       .arg(server->errorString());
        delete server;
        return false;
    }
    m_port = server->serverPort();
    m_http.bind(server);
    return true;
}

void RemoteServer::reloadUsersWhenChanged()
{
    const QDateTime changed = QFileInfo(m_config.users).lastModified();
    if (changed == m_usersChanged) return;
    UserStore fresh(m_config.users);
    QString problem;
    if (!fresh.load(&problem)) {
        qWarning("sonaro-server: the users file was not read again: %s", qPrintable(problem));
        return;
    }
    m_usersChanged = changed;
    // A removed user, or one whose role changed, logs in again.
    for (const Credential& old : m_users.users()) {
        const auto now = fresh.user(old.name);
        if (!now || now->role != old.role) m_sessions.removeUser(old.name);
    }
    m_users = fresh;
}

void RemoteServer::acceptWebSockets()
{
    while (m_http.hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_http.nextPendingWebSocketConnection();
        if (!socket) continue;
        const QNetworkRequest& upgrade = socket->request();
        const QByteArray host = upgrade.rawHeader("Host");
        QString refusal;
        if (socket->requestUrl().path() != QLatin1String("/api/ws"))
            refusal = QStringLiteral("no WebSocket at this path");
        else if (!hostAllowed(host))
            refusal = QStringLiteral("use the address the server listens on");
        else if (!originAllowed(socket->origin().toUtf8(), host))
            refusal = QStringLiteral("pages of this origin may not use the API");
        if (!refusal.isEmpty()) {
            QWebSocket* refused = socket.release();
            connect(refused, &QWebSocket::disconnected, refused, &QObject::deleteLater);
            refused->close(QWebSocketProtocol::CloseCodePolicyViolated, refusal);
            QTimer::singleShot(2000, refused, &QObject::deleteLater);
            continue;
        }
        const auto who =
            authenticate(upgrade.rawHeader("Cookie"), upgrade.rawHeader("Authorization"));
        m_hub.addClient(std::move(socket), who);
    }
}

std::optional<Identity> RemoteServer::authenticate(const QByteArray& cookie,
                                                   const QByteArray& authorization)
{
    if (authorization.startsWith("Bearer "))
        return m_users.identifyToken(QString::fromUtf8(authorization.mid(7).trimmed()));
    const QByteArray session = SessionTable::fromCookieHeader(cookie);
    if (session.isEmpty()) return std::nullopt;
    return m_sessions.find(session, now());
}

std::optional<Identity> RemoteServer::authenticate(const QHttpServerRequest& request)
{
    return authenticate(request.value("Cookie"), request.value("Authorization"));
}

bool RemoteServer::hostAllowed(const QByteArray& host) const
{
    // Listening on loopback, only loopback names are believed: a page of another site whose
    // name was pointed at 127.0.0.1 is turned away.
    if (!m_config.loopbackOnly()) return true;
    const QString name = QUrl(QStringLiteral("http://") + QString::fromLatin1(host)).host();
    if (name.isEmpty()) return false;
    return name == QLatin1String("localhost") || QHostAddress(name).isLoopback();
}

bool RemoteServer::originAllowed(const QByteArray& origin, const QByteArray& host) const
{
    // Programs other than browsers send no origin; a browser always does.
    if (origin.isEmpty()) return true;
    const QByteArray own = (m_config.tls() ? "https://" : "http://") + host;
    if (origin.compare(own, Qt::CaseInsensitive) == 0) return true;
    return m_config.origins.contains(QString::fromUtf8(origin), Qt::CaseInsensitive);
}

QHttpServerResponse RemoteServer::respond(QHttpServerResponse&& response) const
{
    response.setHeader("Content-Security-Policy",
                       "default-src 'none'; script-src 'self'; style-src 'self'; "
                       "img-src 'self' data:; connect-src 'self'; font-src 'self'; "
                       "manifest-src 'self'; base-uri 'none'; form-action 'self'; "
                       "frame-ancestors 'none'");
    response.setHeader("X-Frame-Options", "DENY");
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("Cross-Origin-Opener-Policy", "same-origin");
    response.setHeader("Cross-Origin-Resource-Policy", "same-origin");
    response.setHeader("Permissions-Policy", "camera=(), microphone=(), geolocation=()");
    if (!response.hasHeader("Cache-Control")) response.setHeader("Cache-Control", "no-store");
    if (m_config.tls()) response.setHeader("Strict-Transport-Security", "max-age=31536000");
    return std::move(response);
}

} // namespace sonaro::server
