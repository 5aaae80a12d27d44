// Who may reach the server and how much: credentials on every path and on the API, the login,
// other sites, and the bounds on size, rate and clients; clients that get things wrong are
// answered without harming others.
#include "ServerHarness.h"

using namespace sonaro;
using namespace sonaro::testing;

using Access = ServerHarness;

TEST_F(Access, AllButTheLoginPageAndHealthNeedAValidTokenOrSession)
{
    const QByteArray cookie = login("otto").header("Set-Cookie");
    // Out of scripts' reach and other sites' requests; not marked Secure without TLS.
    EXPECT_TRUE(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict"));
    EXPECT_FALSE(cookie.contains("Secure"));
    const QByteArray session = cookie.split(';').first();
    ASSERT_TRUE(session.startsWith("sonaro_session="));
    // A credential, and what the API's greeting says of it ("required" when not valid).
    const std::pair<Headers, const char*> credentials[] = {
        {{}, "required"},
        {{{"Authorization", "Bearer sonaro_guess"}}, "required"},
        {{{"Cookie", "sonaro_session=forged"}}, "required"},
        {{{"Authorization", "Bearer " + token.toUtf8()}}, "token"},
        {{{"Cookie", session}}, "session"},
    };
    for (const auto& [headers, api] : credentials) {
        const bool valid = QByteArray(api) != "required";
        const std::string name = headers.isEmpty() ? "none" : headers[0].second.toStdString();
        const auto expect = [&](const char* path, int status) {
            SCOPED_TRACE(name + " on " + path);
            const Answer a = fetch("GET", path, {}, headers);
            EXPECT_EQ(a.status, status);
            // Every answer keeps the page out of other sites' frames and scripts.
            EXPECT_EQ(a.header("X-Frame-Options"), "DENY");
            EXPECT_EQ(a.header("X-Content-Type-Options"), "nosniff");
            const QByteArray policy = a.header("Content-Security-Policy");
            EXPECT_TRUE(policy.contains("script-src 'self'") &&
                        policy.contains("frame-ancestors 'none'"));
            EXPECT_FALSE(policy.contains("unsafe-inline"));
        };
        for (const char* path : {"/health", "/login", "/static/login.js", "/static/style.css"})
            expect(path, 200);
        expect("/nothing", 404);
        expect("/static/../users.json", 404);
        expect("/", valid ? 200 : 303);
        for (const char* path : {"/static/app.js", "/api/state", "/api/catalogue"})
            expect(path, valid ? 200 : 401);

        SCOPED_TRACE(name + " on the API");
        WsClient client(port, headers);
        EXPECT_EQ(client.waitFor("op", "hello").value("authentication"), api);
        if (valid) {
            EXPECT_EQ(client.identify().value("role"), "operator");
            EXPECT_EQ(statusCode(client.request("1", "getState")), 100);
        } else {
            client.send({{"op", "identify"}, {"schemaVersion", 1}});
            ASSERT_TRUE(client.waitClosed());
            EXPECT_EQ(client.closeCode(), 4001);
        }
    }
    EXPECT_EQ(fetch("POST", "/logout", {}, {{"Cookie", session}}).status, 200);
    EXPECT_EQ(fetch("GET", "/api/state", {}, {{"Cookie", session}}).status, 401);
}

TEST_F(Access, TheApiAnswersNothingBeforeAnIdentityOfItsVersion)
{
    const std::pair<QJsonObject, int> attempts[] = {
        {{{"op", "request"}, {"id", "1"}, {"type", "getState"}}, 4000},
        {{{"op", "identify"}, {"schemaVersion", 1}, {"token", "sonaro_guess"}}, 4001},
        {{{"op", "identify"}, {"schemaVersion", 99}, {"token", token}}, 4002}};
    for (const auto& [message, code] : attempts) {
        SCOPED_TRACE(code);
        WsClient client(port);
        client.send(message);
        ASSERT_TRUE(client.waitClosed());
        EXPECT_EQ(client.closeCode(), code);
    }
}

TEST_F(Access, FailedLoginsAreSlowedDown)
{
    for (int i = 0; i < server::LoginLimiter::kFreeFailures; ++i)
        EXPECT_EQ(login("ada", "guess").status, 401);
    const Answer blocked = login();
    EXPECT_EQ(blocked.status, 429);
    EXPECT_FALSE(blocked.header("Retry-After").isEmpty());
    EXPECT_EQ(login("nobody", "x").status, 429);
}

TEST_F(Access, OtherSitesAreTurnedAway)
{
    // A page of another site that posts a login, or reaches us under another name or address.
    EXPECT_EQ(login("ada", "secret", {{"Origin", "http://evil.example"}}).status, 403);
    for (const char* host : {"evil.example:8080", "192.168.1.20"})
        EXPECT_EQ(fetch("GET", "/health", {}, {{"Host", host}}).status, 421) << host;
    EXPECT_EQ(fetch("GET", "/login", {}, {{"Host", "localhost:8080"}}).status, 200);
    // The same for the API: another origin, or a WebSocket at another path.
    WsClient foreign(port, {{"Origin", "http://evil.example"}});
    ASSERT_TRUE(foreign.waitClosed());
    EXPECT_EQ(foreign.closeCode(), int(QWebSocketProtocol::CloseCodePolicyViolated));
    WsClient sameSite(port, {{"Origin", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8()}});
    EXPECT_FALSE(sameSite.waitFor("op", "hello").isEmpty());
    WsClient elsewhere(port, {}, "/elsewhere");
    EXPECT_TRUE(elsewhere.waitClosed());
    EXPECT_TRUE(elsewhere.messages.isEmpty());
}

TEST_F(Access, UsersAddedOrRemovedWhileRunningAreTakenUp)
{
    const QByteArray otto = login("otto").header("Set-Cookie").split(';').first();
    ASSERT_TRUE(otto.startsWith("sonaro_session="));
    server::UserStore users(folder.filePath("users.json"));
    QString problem;
    ASSERT_TRUE(users.load(&problem));
    users.removeUser("otto");
    ASSERT_TRUE(users.setUser("nina", server::Role::Operator, "fresh", &problem, 1000));
    ASSERT_TRUE(users.save(&problem));
    // Some file systems keep whole seconds: the file is dated clearly later.
    QFile file(folder.filePath("users.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    file.close();
    // The server looks every 2 s.
    const auto ottoRefused = [&] {
        return fetch("GET", "/api/state", {}, {{"Cookie", otto}}).status == 401;
    };
    EXPECT_TRUE(waitFor(ottoRefused, 6000));
    EXPECT_EQ(login("nina", "fresh").status, 200);
}

TEST_F(Access, MalformedMessagesAreAnsweredWithTheProblemAndTheConnectionKept)
{
    const auto set = [](const char* key, const char* value) {
        return QByteArray(R"({"op": "request", "id": "x", "type": "set", "key": ")") + key +
               R"(", "value": )" + value + "}";
    };
    const std::tuple<QByteArray, int, const char*> bad[] = {
        // text, status code, a word the comment must contain
        {"{\"op\": \"request\",", 200, "not JSON"},
        {"[1, 2]", 200, "object"},
        {R"({"op": "shout"})", 201, "shout"},
        {R"({"op": "request", "id": "x", "type": "explode"})", 202, "explode"},
        {R"({"op": "request", "id": "x", "type": "set", "value": 0})", 203, "key"},
        {set("input.9.gain", "0"), 205, "input.9.gain"},
        {set("input.1.gain", "11"), 206, "outside"},
        {set("input.1.mute", R"("maybe")"), 206, "maybe"},
        {set("input.1.gain", "[1]"), 204, "list"},
        {set("input.1.name", "5"), 204, "text"},
        {set("input.1.lowCut", R"("on")"), 207, "input.1.lowCut"},
        {R"({"op": "request", "id": "x", "type": "subscribe", "events": ["gossip"]})", 206,
         "gossip"},
    };
    auto client = connected(true);
    for (const auto& [text, code, named] : bad) {
        SCOPED_TRACE(text.toStdString());
        const qsizetype before = client->messages.size();
        client->socket.sendTextMessage(QString::fromUtf8(text));
        const QJsonObject answer = client->waitFor(
            [](const QJsonObject& m) { return m.contains("status"); }, 3000, before);
        EXPECT_EQ(statusCode(answer), code);
        EXPECT_TRUE(comment(answer).contains(QLatin1String(named)))
            << comment(answer).toStdString();
    }
    EXPECT_TRUE(backend.sets.isEmpty());
    EXPECT_EQ(statusCode(client->request("ok", "get", {{"key", "input.1.gain"}})), 100);
    EXPECT_FALSE(client->closed);
}

TEST_F(Access, OversizedAndFloodingClientsAreCutOffAndOthersServed)
{
    EXPECT_NE(fetch("POST", "/login", QByteArray(4 * 1024 * 1024, 'x')).status, 200);
    EXPECT_EQ(fetch("GET", "/health").status, 200);

    auto big = connected();
    auto flood = connected();
    auto other = connected();
    big->socket.sendTextMessage(QString(server::ApiHub::kMaxMessageBytes + 10, QLatin1Char(' ')));
    ASSERT_TRUE(big->waitClosed());
    EXPECT_EQ(big->closeCode(), int(QWebSocketProtocol::CloseCodeTooMuchData));
    // A large message within the bound is read whole.
    const QJsonObject padded{{"key", "input.1.gain"}, {"padding", QString(60000, 'p')}};
    EXPECT_EQ(statusCode(other->request("2", "get", padded)), 100);

    // Far beyond the budget, in a bounded loop.
    for (int i = 0; i < 3000 && !flood->closed; ++i) {
        flood->send({{"op", "request"}, {"id", "f"}, {"type", "get"}, {"key", "input.1.gain"}});
        if (i % 200 == 0) spin(1);
    }
    ASSERT_TRUE(flood->waitClosed(5000));
    EXPECT_EQ(flood->closeCode(), 4003);
    EXPECT_FALSE(
        flood->waitFor([](const QJsonObject& m) { return statusCode(m) == 429; }, 100).isEmpty());
    EXPECT_EQ(statusCode(other->request("1", "get", {{"key", "input.1.gain"}})), 100);
}

TEST_F(Access, ClientsPastTheBoundAreRefused)
{
    ASSERT_NO_FATAL_FAILURE(startServer(backend, 3));
    auto first = connected(), second = connected(), third = connected();
    WsClient late(port);
    ASSERT_TRUE(late.waitClosed());
    EXPECT_EQ(late.closeCode(), 4005);
    third.reset();
    ASSERT_TRUE(waitFor([&] { return remote->hub().clientCount() == 2; }, 3000));
    WsClient next(port);
    EXPECT_FALSE(next.waitFor("op", "hello").isEmpty());
}
