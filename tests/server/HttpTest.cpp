// The HTTP side: what answers without a login, the login itself and the headers of every answer.
#include "ServerHarness.h"
#include "server/StateJson.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

struct Answer
{
    int status = 0;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
        return {};
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

class Http : public ServerHarness
{
protected:
    Answer fetch(const QByteArray& method, const QString& path, const QByteArray& body = {},
                 const QList<std::pair<QByteArray, QByteArray>>& headers = {})
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
        QNetworkReply* reply = manager.sendCustomRequest(request, method, body);
        Answer answer;
        if (!waitFor([&] { return reply->isFinished(); }, 5000)) return answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
        answer.headers = reply->rawHeaderPairs();
        delete reply;
        return answer;
    }
    QByteArray loginCookie(const char* user = "ada", const char* password = "secret")
    {
        const Answer a =
            fetch("POST", "/login",
                  QJsonDocument(QJsonObject{{"user", user}, {"password", password}}).toJson());
        const QByteArray cookie = a.header("Set-Cookie");
        return cookie.left(cookie.indexOf(';'));
    }
};

struct Guarded
{
    const char* method;
    const char* path;
    int withoutLogin;
};

const Guarded kPaths[] = {
    {"GET", "/health", 200},
    {"GET", "/login", 200},
    {"GET", "/static/login.js", 200},
    {"GET", "/static/style.css", 200},
    {"GET", "/", 303},
    {"GET", "/static/app.js", 401},
    {"GET", "/api/state", 401},
    {"GET", "/api/catalogue", 401},
    {"GET", "/static/../users.json", 404},
    {"GET", "/nothing", 404},
};

class Paths : public Http, public ::testing::WithParamInterface<Guarded>
{
};

} // namespace

TEST_P(Paths, WithoutALoginOnlyTheLoginPageAndHealthAnswer)
{
    const Guarded& g = GetParam();
    const Answer a = fetch(g.method, g.path);
    EXPECT_EQ(a.status, g.withoutLogin) << g.path;
    EXPECT_EQ(a.header("X-Frame-Options"), "DENY") << g.path;
    const QByteArray policy = a.header("Content-Security-Policy");
    EXPECT_TRUE(policy.contains("script-src 'self'") && policy.contains("frame-ancestors 'none'"))
        << g.path;
    EXPECT_FALSE(policy.contains("unsafe-inline")) << g.path;
    EXPECT_EQ(a.header("X-Content-Type-Options"), "nosniff") << g.path;
}

INSTANTIATE_TEST_SUITE_P(Http, Paths, ::testing::ValuesIn(kPaths));

TEST_F(Http, HealthTellsTheLink)
{
    backend.setConnection("offline");
    const QJsonObject health = fetch("GET", "/health").json();
    EXPECT_EQ(health.value("link").toObject().value("connection"), "offline");
    EXPECT_EQ(health.value("schemaVersion"), 1);
}

TEST_F(Http, ALoginGivesAStrictHttpOnlySessionForPageStateAndWebSocket)
{
    const Answer a = fetch("POST", "/login", R"({"user": "otto", "password": "secret"})");
    ASSERT_EQ(a.status, 200);
    const QByteArray cookie = a.header("Set-Cookie");
    EXPECT_TRUE(cookie.contains("HttpOnly"));
    EXPECT_TRUE(cookie.contains("SameSite=Strict"));
    EXPECT_FALSE(cookie.contains("Secure")); // no TLS here
    const QByteArray session = cookie.left(cookie.indexOf(';'));
    EXPECT_EQ(fetch("GET", "/", {}, {{"Cookie", session}}).status, 200);
    EXPECT_EQ(fetch("GET", "/static/app.js", {}, {{"Cookie", session}}).status, 200);
    const Answer state = fetch("GET", "/api/state", {}, {{"Cookie", session}});
    EXPECT_EQ(state.json().value("settings").toObject().size(),
              server::StateJson::settings(backend).size());
    WsClient page(port, session, QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
    EXPECT_EQ(page.waitForOp("hello").value("authentication"), "session");
    ASSERT_TRUE(page.identify());
    EXPECT_EQ(page.waitForOp("identified").value("role"), "operator");
    EXPECT_EQ(fetch("POST", "/logout", {}, {{"Cookie", session}}).status, 200);
    EXPECT_EQ(fetch("GET", "/api/state", {}, {{"Cookie", session}}).status, 401);
}

TEST_F(Http, ATokenOpensTheStateForControlSystems)
{
    EXPECT_EQ(
        fetch("GET", "/api/state", {}, {{"Authorization", "Bearer " + token.toUtf8()}}).status,
        200);
    EXPECT_EQ(fetch("GET", "/api/state", {}, {{"Authorization", "Bearer sonaro_nope"}}).status,
              401);
}

TEST_F(Http, FailedLoginsAreSlowedDown)
{
    for (int i = 0; i < server::LoginLimiter::kFreeFailures; ++i)
        EXPECT_EQ(fetch("POST", "/login", R"({"user": "ada", "password": "guess"})").status, 401);
    const Answer blocked = fetch("POST", "/login", R"({"user": "ada", "password": "secret"})");
    EXPECT_EQ(blocked.status, 429);
    EXPECT_FALSE(blocked.header("Retry-After").isEmpty());
    EXPECT_EQ(fetch("POST", "/login", R"({"user": "nobody", "password": "x"})").status, 429);
}

TEST_F(Http, OtherSitesAreTurnedAway)
{
    // A page of another site that posts a login, or reaches us under another name.
    EXPECT_EQ(fetch("POST", "/login", R"({"user": "ada", "password": "secret"})",
                    {{"Origin", "http://evil.example"}})
                  .status,
              403);
    EXPECT_EQ(fetch("GET", "/health", {}, {{"Host", "evil.example:8080"}}).status, 421);
    EXPECT_EQ(fetch("GET", "/login", {}, {{"Host", "localhost:8080"}}).status, 200);
}

TEST_F(Http, AnOversizedRequestIsNotBuffered)
{
    const QByteArray huge(4 * 1024 * 1024, 'x');
    const Answer a = fetch("POST", "/login", huge);
    EXPECT_NE(a.status, 200);
    EXPECT_EQ(fetch("GET", "/health").status, 200);
}

TEST_F(Http, UsersAddedOrRemovedWhileRunningAreTakenUp)
{
    const QByteArray otto = loginCookie("otto");
    ASSERT_FALSE(otto.isEmpty());
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
    spin(2500); // the server looks every 2 s
    EXPECT_FALSE(loginCookie("nina", "fresh").isEmpty());
    EXPECT_EQ(fetch("GET", "/api/state", {}, {{"Cookie", otto}}).status, 401);
}
