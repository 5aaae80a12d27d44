// The HTTP side of the server: its routes, the login and the page's files.
#include "server/RemoteServer.h"

#include "server/ServerBackend.h"
#include "server/StateJson.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QtConcurrent/QtConcurrentRun>

namespace sonaro::server {

namespace {

using Status = QHttpServerResponse::StatusCode;
using Method = QHttpServerRequest::Method;

constexpr int kMaxLoginsAtOnce = 4;

struct WebFile
{
    const char* name;
    const char* type;
    bool open; // served without a login (the login page needs it)
};

constexpr WebFile kFiles[] = {
    {"index.html", "text/html; charset=utf-8", false},
    {"app.js", "text/javascript; charset=utf-8", false},
    {"login.html", "text/html; charset=utf-8", true},
    {"login.js", "text/javascript; charset=utf-8", true},
    {"strings.js", "text/javascript; charset=utf-8", true},
    {"style.css", "text/css; charset=utf-8", true},
    {"icon.svg", "image/svg+xml", true},
};

const WebFile* webFile(const QString& name)
{
    for (const WebFile& f : kFiles)
        if (name == QLatin1String(f.name)) return &f;
    return nullptr;
}

QHttpServerResponse jsonResponse(const QJsonObject& body, Status status = Status::Ok)
{
    return QHttpServerResponse("application/json",
                               QJsonDocument(body).toJson(QJsonDocument::Compact), status);
}

QHttpServerResponse problemResponse(const QString& text, Status status)
{
    return jsonResponse(QJsonObject{{"ok", false}, {"error", text}}, status);
}

} // namespace

void RemoteServer::addRoutes()
{
    m_http.route("/health", Method::Get, [this](const QHttpServerRequest& r) {
        if (auto refusal = screen(r, false)) return std::move(*refusal);
        return health();
    });
    m_http.route("/", Method::Get, [this](const QHttpServerRequest& r) { return page(r); });
    m_http.route("/login", Method::Get, [this](const QHttpServerRequest& r) {
        if (auto refusal = screen(r, false)) return std::move(*refusal);
        return staticFile(QStringLiteral("login.html"), r);
    });
    m_http.route("/login", Method::Post,
                 [this](const QHttpServerRequest& r, QHttpServerResponder&& responder) {
                     login(r, std::move(responder));
                 });
    m_http.route("/logout", Method::Post,
                 [this](const QHttpServerRequest& r) { return logout(r); });
    m_http.route(
        "/static/<arg>", Method::Get, [this](const QString& name, const QHttpServerRequest& r) {
            const WebFile* file = webFile(name);
            if (auto refusal = screen(r, !file || !file->open)) return std::move(*refusal);
            if (!file)
                return respond(problemResponse(QStringLiteral("no such file"), Status::NotFound));
            return staticFile(name, r);
        });
    m_http.route("/api/state", Method::Get, [this](const QHttpServerRequest& r) {
        if (auto refusal = screen(r, true)) return std::move(*refusal);
        return respond(jsonResponse(StateJson::state(m_backend)));
    });
    m_http.route("/api/catalogue", Method::Get, [this](const QHttpServerRequest& r) {
        if (auto refusal = screen(r, true)) return std::move(*refusal);
        return respond(jsonResponse(QJsonObject{{"schemaVersion", StateJson::kSchemaVersion},
                                                {"catalogue", StateJson::catalogue()}}));
    });
    // The upgrade itself: Qt's server hands the socket over once a route took the request.
    // Path, origin and session are checked on the new socket (acceptWebSockets).
    m_http.route("/api/ws", Method::Get, [](QHttpServerResponder&&) {});
    m_http.setMissingHandler([this](const QHttpServerRequest&, QHttpServerResponder&& responder) {
        respond(problemResponse(QStringLiteral("not found"), Status::NotFound))
            .write(std::move(responder));
    });
}

std::optional<QHttpServerResponse> RemoteServer::screen(const QHttpServerRequest& request,
                                                        bool needsLogin,
                                                        std::optional<Identity>* who)
{
    const QByteArray host = request.value("Host");
    if (!hostAllowed(host))
        return respond(problemResponse(QStringLiteral("use the address the server listens on"),
                                       Status::MisdirectedRequest));
    if (request.method() == Method::Post && !originAllowed(request.value("Origin"), host))
        return respond(problemResponse(QStringLiteral("pages of this origin may not post here"),
                                       Status::Forbidden));
    if (!needsLogin) return std::nullopt;
    const auto identity = authenticate(request);
    if (!identity)
        return respond(problemResponse(QStringLiteral("log in first"), Status::Unauthorized));
    if (who) *who = identity;
    return std::nullopt;
}

QHttpServerResponse RemoteServer::staticFile(const QString& name, const QHttpServerRequest& request)
{
    const WebFile* file = webFile(name);
    QFile resource(QStringLiteral(":/sonaro/web/") + name);
    if (!file || !resource.open(QIODevice::ReadOnly))
        return respond(problemResponse(QStringLiteral("no such file"), Status::NotFound));
    const QByteArray bytes = resource.readAll();
    // The files change only with the program; a reload asks whether they did.
    const QByteArray tag =
        '"' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(20) + '"';
    QHttpServerResponse response = request.value("If-None-Match") == tag
                                       ? QHttpServerResponse(Status::NotModified)
                                       : QHttpServerResponse(QByteArray(file->type), bytes);
    response.setHeader("ETag", tag);
    response.setHeader("Cache-Control", "no-cache");
    return respond(std::move(response));
}

QHttpServerResponse RemoteServer::page(const QHttpServerRequest& request)
{
    if (!hostAllowed(request.value("Host")))
        return respond(problemResponse(QStringLiteral("use the address the server listens on"),
                                       Status::MisdirectedRequest));
    if (!authenticate(request)) {
        QHttpServerResponse redirect(Status::SeeOther);
        redirect.setHeader("Location", "/login");
        return respond(std::move(redirect));
    }
    return staticFile(QStringLiteral("index.html"), request);
}

QHttpServerResponse RemoteServer::health()
{
    return respond(jsonResponse(QJsonObject{{"schemaVersion", StateJson::kSchemaVersion},
                                            {"status", QStringLiteral("ok")},
                                            {"link", m_backend.linkState()},
                                            {"clients", m_hub.clientCount()}}));
}

QHttpServerResponse RemoteServer::logout(const QHttpServerRequest& request)
{
    if (auto refusal = screen(request, false)) return std::move(*refusal);
    m_sessions.remove(SessionTable::fromCookieHeader(request.value("Cookie")));
    QHttpServerResponse response = jsonResponse(QJsonObject{{"ok", true}});
    response.setHeader("Set-Cookie", SessionTable::setCookie({}, m_config.tls()));
    return respond(std::move(response));
}

void RemoteServer::login(const QHttpServerRequest& request, QHttpServerResponder&& responder)
{
    if (auto refusal = screen(request, false)) return refusal->write(std::move(responder));
    const QString address = request.remoteAddress().toString();
    if (const qint64 wait = m_limiter.waitMs(address, now()); wait > 0) {
        QHttpServerResponse response = problemResponse(
            QStringLiteral("too many failed logins: try again in %1 s").arg((wait + 999) / 1000),
            Status::TooManyRequests);
        response.setHeader("Retry-After", QByteArray::number((wait + 999) / 1000));
        return respond(std::move(response)).write(std::move(responder));
    }
    if (m_loginsRunning >= kMaxLoginsAtOnce)
        return respond(
                   problemResponse(QStringLiteral("busy: try again"), Status::ServiceUnavailable))
            .write(std::move(responder));
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    const QString name = body.value("user").toString();
    const QString password = body.value("password").toString();
    if (name.isEmpty() || password.isEmpty())
        return respond(problemResponse(QStringLiteral("give a user and a password"),
                                       Status::BadRequest))
            .write(std::move(responder));
    const auto known = m_users.user(name);
    // An unknown name costs the same time as a wrong password.
    const Credential credential = known.value_or(UserStore::decoy());
    ++m_loginsRunning;
    // The hash takes a good part of a second: it runs beside the event loop, and the answer goes
    // out from the loop once it is known, unless the client went away meanwhile.
    auto pending = std::make_shared<QHttpServerResponder>(std::move(responder));
    QPointer<QTcpSocket> socket = pending->socket();
    QtConcurrent::run([credential, password] {
        return UserStore::passwordMatches(credential, password);
    }).then(this, [this, known, address, pending, socket](bool matches) {
        --m_loginsRunning;
        const bool accepted = known && matches;
        if (accepted)
            m_limiter.succeeded(address);
        else
            m_limiter.failed(address, now());
        if (!socket) return;
        if (!accepted)
            return respond(problemResponse(QStringLiteral("wrong user or password"),
                                           Status::Unauthorized))
                .write(std::move(*pending));
        const Identity who{known->name, known->role, false};
        QHttpServerResponse response = jsonResponse(
            QJsonObject{{"ok", true}, {"user", who.name}, {"role", roleName(who.role)}});
        response.setHeader("Set-Cookie",
                           SessionTable::setCookie(m_sessions.create(who, now()), m_config.tls()));
        respond(std::move(response)).write(std::move(*pending));
    });
}

} // namespace sonaro::server
