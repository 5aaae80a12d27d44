#pragma once

#include "server/FakeBackend.h"
#include "server/RemoteServer.h"
#include "support/EventLoop.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace sonaro::testing {

// One API client on loopback that keeps every message it receives.
class WsClient
{
public:
    explicit WsClient(quint16 port, const QByteArray& cookie = {}, const QByteArray& origin = {},
                      const QString& path = QStringLiteral("/api/ws"))
    {
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(path)));
        if (!cookie.isEmpty()) request.setRawHeader("Cookie", cookie);
        if (!origin.isEmpty()) request.setRawHeader("Origin", origin);
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
                for (qsizetype i = from; i < messages.size(); ++i)
                    if (match(messages[i])) {
                        found = messages[i];
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }
    QJsonObject waitForOp(const QString& op, int timeoutMs = 3000)
    {
        return waitFor([&](const QJsonObject& m) { return m.value("op").toString() == op; },
                       timeoutMs);
    }
    QJsonObject response(const QString& id, int timeoutMs = 3000)
    {
        return waitFor(
            [&](const QJsonObject& m) {
                return m.value("op").toString() == QLatin1String("response") &&
                       m.value("id").toString() == id;
            },
            timeoutMs);
    }
    bool identify(const QJsonObject& extra = {})
    {
        QJsonObject m = extra;
        m.insert("op", QStringLiteral("identify"));
        if (!m.contains("schemaVersion")) m.insert("schemaVersion", 1);
        send(m);
        return !waitForOp(QStringLiteral("identified")).isEmpty();
    }
    QJsonObject request(const QString& id, const QString& type, QJsonObject fields = {},
                        int timeoutMs = 3000)
    {
        fields.insert("op", QStringLiteral("request"));
        fields.insert("id", id);
        fields.insert("type", type);
        send(fields);
        return response(id, timeoutMs);
    }
    bool waitClosed(int timeoutMs = 3000)
    {
        return sonaro::testing::waitFor([this] { return closed; }, timeoutMs);
    }

    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
};

// The API's own close codes (4000 and up) lie outside Qt's enumeration: read as a number.
inline int closeCode(const QWebSocket& socket)
{
    return static_cast<int>(socket.closeCode());
}

inline int statusCode(const QJsonObject& message)
{
    return message.value("status").toObject().value("code").toInt();
}

// A server on 127.0.0.1 (a free port) over a fake backend, with an administrator "ada", an
// operator "otto" (both with the password "secret") and a token for "ctl" (operator).
class ServerHarness : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        server::ServerConfig config;
        config.path = folder.filePath("server.conf");
        config.listenPort = 0;
        config.users = folder.filePath("users.json");
        config.presets = folder.filePath("presets");
        config.maxClients = maxClients();
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
    virtual int maxClients() const { return 100; }

    // An identified client: with the operator's or the administrator's token.
    std::unique_ptr<WsClient> connected(bool administrator = false, const QJsonObject& extra = {})
    {
        auto client = std::make_unique<WsClient>(port);
        QJsonObject m = extra;
        m.insert("token", administrator ? adminToken : token);
        EXPECT_TRUE(client->identify(m));
        return client;
    }

    QTemporaryDir folder;
    FakeBackend backend;
    std::unique_ptr<server::RemoteServer> remote;
    quint16 port = 0;
    QString token;
    QString adminToken;
};

} // namespace sonaro::testing
