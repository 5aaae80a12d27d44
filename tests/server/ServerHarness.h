#pragma once

#include "server/FakeBackend.h"
#include "server/RemoteServer.h"
#include "support/EventLoop.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace sonaro::testing {

using Headers = QList<std::pair<QByteArray, QByteArray>>;

// One API client on loopback that keeps every message it receives.
class WsClient
{
public:
    explicit WsClient(quint16 port, const Headers& headers = {},
                      const QString& path = QStringLiteral("/api/ws"))
    {
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(path)));
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        socket.open(request);
    }

    // Messages given before the handshake is done would be lost: waits for it first.
    void send(const QJsonObject& message)
    {
        sonaro::testing::waitFor(
            [this] { return socket.state() == QAbstractSocket::ConnectedState || closed; }, 3000);
        socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    }
    // The first message received (from `from` on) that matches; empty after the time-out.
    QJsonObject waitFor(const std::function<bool(const QJsonObject&)>& match, int timeoutMs = 3000,
                        qsizetype from = 0)
    {
        QJsonObject found;
        sonaro::testing::waitFor(
            [&] {
                const auto it = std::find_if(messages.cbegin() + from, messages.cend(), match);
                if (it != messages.cend()) found = *it;
                return it != messages.cend();
            },
            timeoutMs);
        return found;
    }
    // The first message with this value in this field ("op", "type", "id").
    QJsonObject waitFor(const char* field, const QJsonValue& value, int timeoutMs = 3000,
                        qsizetype from = 0)
    {
        return waitFor([&](const QJsonObject& m) { return m.value(field) == value; }, timeoutMs,
                       from);
    }
    // The server's answer ("identified"); empty when there was none.
    QJsonObject identify(QJsonObject m = {})
    {
        m.insert("op", "identify");
        m.insert("schemaVersion", 1);
        send(m);
        return waitFor("op", "identified");
    }
    QJsonObject request(const QString& id, const QString& type, QJsonObject fields = {},
                        int timeoutMs = 3000)
    {
        fields.insert("op", "request");
        fields.insert("id", id);
        fields.insert("type", type);
        const qsizetype from = messages.size();
        send(fields);
        return waitFor("id", id, timeoutMs, from);
    }
    // A set whose id is its key; with wait, answered once the unit confirmed or lost it.
    QJsonObject set(const QString& key, const QJsonValue& value, bool wait = false,
                    int timeoutMs = 3000)
    {
        return request(key, "set", {{"key", key}, {"value", value}, {"wait", wait}}, timeoutMs);
    }
    bool waitClosed(int timeoutMs = 3000)
    {
        return sonaro::testing::waitFor([this] { return closed; }, timeoutMs);
    }
    // The first "changed" event that gives this setting this value.
    QJsonObject changed(const QString& key, const QJsonValue& value)
    {
        return waitFor([&](const QJsonObject& m) { return m["changes"][key] == value; });
    }
    // How many of the messages received have this value in this field ("op", "type").
    qsizetype count(const char* field, const char* value) const
    {
        return std::count_if(messages.cbegin(), messages.cend(),
                             [&](const QJsonObject& m) { return m.value(field) == value; });
    }
    // The API's own close codes (4000 and up) lie outside Qt's enumeration: read as a number.
    int closeCode() const { return static_cast<int>(socket.closeCode()); }

    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
};

inline int statusCode(const QJsonObject& m)
{
    return m["status"]["code"].toInt();
}
inline QString comment(const QJsonObject& m)
{
    return m["status"]["comment"].toString();
}

struct Answer
{
    int status = 0;
    QHash<QByteArray, QByteArray> headers; // by their names in lower case
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// A server on 127.0.0.1 (a free port) over a backend, in a folder of its own, with an
// administrator "ada", an operator "otto" (both with the password "secret"), a token for "ctl"
// (operator) and one for "root" (administrator).
class ServerTest : public ::testing::Test
{
protected:
    void TearDown() override { remote.reset(); } // before the backend it serves goes

    // Again with another bound on clients: the server before is closed first.
    void startServer(server::ServerBackend& backend, int maxClients = 100)
    {
        remote.reset();
        ASSERT_TRUE(folder.isValid());
        server::ServerConfig config;
        config.path = folder.filePath("server.conf");
        config.listenPort = 0;
        config.users = folder.filePath("users.json");
        config.presets = folder.filePath("presets");
        config.maxClients = maxClients;
        server::UserStore users(config.users);
        QString problem;
        ASSERT_TRUE(users.setUser("ada", server::Role::Administrator, "secret", &problem, 1000));
        ASSERT_TRUE(users.setUser("otto", server::Role::Operator, "secret", &problem, 1000));
        token = users.addToken("ctl", server::Role::Operator, &problem).value_or(QString());
        adminToken =
            users.addToken("root", server::Role::Administrator, &problem).value_or(QString());
        ASSERT_TRUE(users.save(&problem)) << problem.toStdString();
        server::RemoteServer::Options options;
        options.pingMs = 1000;
        options.silentMs = 2000;
        remote = std::make_unique<server::RemoteServer>(backend, config, options);
        ASSERT_TRUE(remote->start(&problem)) << problem.toStdString();
        port = remote->port();
    }

    // An identified client: with the operator's or the administrator's token.
    std::unique_ptr<WsClient> connected(bool administrator = false, QJsonObject extra = {})
    {
        auto client = std::make_unique<WsClient>(port);
        extra.insert("token", administrator ? adminToken : token);
        EXPECT_FALSE(client->identify(extra).isEmpty());
        return client;
    }

    Answer fetch(const QByteArray& method, const QString& path, const QByteArray& body = {},
                 const Headers& headers = {})
    {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        std::unique_ptr<QNetworkReply> reply(manager.sendCustomRequest(request, method, body));
        if (!waitFor([&] { return reply->isFinished(); }, 5000)) return {};
        Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), {}};
        for (const auto& [name, value] : reply->rawHeaderPairs())
            answer.headers.insert(name.toLower(), value);
        return answer;
    }
    // A login's answer: its session cookie ("sonaro_session=...; HttpOnly; ...") when taken.
    Answer login(const char* user = "ada", const char* password = "secret", const Headers& h = {})
    {
        const QJsonObject body{{"user", user}, {"password", password}};
        return fetch("POST", "/login", QJsonDocument(body).toJson(), h);
    }

    QTemporaryDir folder;
    std::unique_ptr<server::RemoteServer> remote;
    quint16 port = 0;
    QString token;
    QString adminToken;
};

class ServerHarness : public ServerTest
{
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startServer(backend)); }
    FakeBackend backend;
};

} // namespace sonaro::testing
