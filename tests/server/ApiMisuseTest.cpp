// Clients that get things wrong, or misbehave, are answered or refused without harming others.
#include "ServerHarness.h"

using namespace sonaro;
using namespace sonaro::testing;

namespace {

struct BadMessage
{
    const char* name;
    QByteArray text;
    int code;
    const char* named; // a word the comment must contain
};

const BadMessage kBadMessages[] = {
    {"not json", "{\"op\": \"request\",", 200, "not JSON"},
    {"not an object", "[1, 2]", 200, "object"},
    {"unknown op", R"({"op": "shout"})", 201, "shout"},
    {"no type", R"({"op": "request", "id": "x"})", 202, "type"},
    {"unknown type", R"({"op": "request", "id": "x", "type": "explode"})", 202, "explode"},
    {"unknown key",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.9.gain", "value": 0})", 205,
     "input.9.gain"},
    {"no key", R"({"op": "request", "id": "x", "type": "set", "value": 0})", 203, "key"},
    {"no value", R"({"op": "request", "id": "x", "type": "set", "key": "input.1.gain"})", 203,
     "value"},
    {"above range",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.gain", "value": 11})", 206,
     "outside"},
    {"below range",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.eq.1.q", "value": 0})", 206,
     "outside"},
    {"range as text",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.gain", "value": "+20 dB"})",
     206, "outside"},
    {"not a word",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.mute", "value": "maybe"})", 206,
     "maybe"},
    {"not a cut-off",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.highPass", "value": 81})", 206,
     "cut-off"},
    {"list for number",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.gain", "value": [1]})", 204,
     "list"},
    {"bool for number",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.gain", "value": true})", 204,
     "number"},
    {"number for name",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.name", "value": 5})", 204,
     "text"},
    {"read-only",
     R"({"op": "request", "id": "x", "type": "set", "key": "input.1.lowCut", "value": "on"})", 207,
     "input.1.lowCut"},
    {"bad events", R"({"op": "request", "id": "x", "type": "subscribe", "events": ["gossip"]})",
     206, "gossip"},
    {"bad rate", R"({"op": "request", "id": "x", "type": "subscribe", "levelsRate": 1000})", 206,
     "levelsRate"},
};

class Malformed : public ServerHarness, public ::testing::WithParamInterface<BadMessage>
{
};

} // namespace

TEST_P(Malformed, IsAnsweredWithTheProblemAndTheConnectionKept)
{
    const BadMessage& bad = GetParam();
    auto client = connected(true);
    const qsizetype before = client->messages.size();
    client->socket.sendTextMessage(QString::fromUtf8(bad.text));
    const QJsonObject answer = client->waitFor(
        [](const QJsonObject& m) {
            return m.value("op") == "response" || m.value("op") == "error";
        },
        3000, before);
    EXPECT_EQ(statusCode(answer), bad.code) << bad.name;
    EXPECT_TRUE(answer.value("status").toObject().value("comment").toString().contains(
        QLatin1String(bad.named)))
        << bad.name << ": " << QJsonDocument(answer).toJson().toStdString();
    EXPECT_TRUE(backend.sets.isEmpty());
    // Still served.
    EXPECT_EQ(statusCode(client->request("ok", "get", {{"key", "input.1.gain"}})), 100);
    EXPECT_FALSE(client->closed);
}

INSTANTIATE_TEST_SUITE_P(Api, Malformed, ::testing::ValuesIn(kBadMessages), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

using Refusals = ServerHarness;

TEST_F(Refusals, WithoutIdentityNothingButTheGreetingAnswers)
{
    WsClient anonymous(port);
    const QJsonObject hello = anonymous.waitForOp("hello");
    EXPECT_EQ(hello.value("authentication"), "required");
    anonymous.send({{"op", "request"}, {"id", "1"}, {"type", "getState"}});
    ASSERT_TRUE(anonymous.waitClosed());
    EXPECT_EQ(closeCode(anonymous.socket), 4000);

    WsClient wrongToken(port);
    wrongToken.send({{"op", "identify"}, {"schemaVersion", 1}, {"token", "sonaro_guess"}});
    ASSERT_TRUE(wrongToken.waitClosed());
    EXPECT_EQ(closeCode(wrongToken.socket), 4001);

    WsClient oldClient(port);
    oldClient.send({{"op", "identify"}, {"schemaVersion", 99}, {"token", token}});
    ASSERT_TRUE(oldClient.waitClosed());
    EXPECT_EQ(closeCode(oldClient.socket), 4002);
}

TEST_F(Refusals, AnotherOriginOrPathIsClosedAsAPolicyViolation)
{
    WsClient foreign(port, {}, "http://evil.example");
    ASSERT_TRUE(foreign.waitClosed());
    EXPECT_EQ(closeCode(foreign.socket), int(QWebSocketProtocol::CloseCodePolicyViolated));
    WsClient sameSite(port, {}, QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
    EXPECT_FALSE(sameSite.waitForOp("hello").isEmpty());
    WsClient elsewhere(port, {}, {}, "/elsewhere");
    EXPECT_TRUE(elsewhere.waitClosed());
    EXPECT_TRUE(elsewhere.messages.isEmpty());
}

TEST_F(Refusals, AnOversizedMessageClosesOnlyItsSender)
{
    auto big = connected();
    auto other = connected();
    big->socket.sendTextMessage(QString(server::ApiHub::kMaxMessageBytes + 10, QLatin1Char(' ')));
    ASSERT_TRUE(big->waitClosed());
    EXPECT_EQ(closeCode(big->socket), int(QWebSocketProtocol::CloseCodeTooMuchData));
    EXPECT_EQ(statusCode(other->request("1", "set", {{"key", "input.1.gain"}, {"value", -1}})),
              100);
    // A large message within the bound is read whole.
    const QString name(100, QLatin1Char('x'));
    QJsonObject padded{{"op", "request"},
                       {"id", "2"},
                       {"type", "get"},
                       {"key", "input.1.gain"},
                       {"padding", QString(60000, QLatin1Char('p'))}};
    other->send(padded);
    EXPECT_EQ(statusCode(other->response("2")), 100);
}

TEST_F(Refusals, AFloodingClientIsCutOffAndOthersAreServed)
{
    auto flood = connected();
    auto other = connected();
    // Far beyond the budget, in a bounded loop.
    for (int i = 0; i < 3000 && !flood->closed; ++i) {
        flood->send({{"op", "request"}, {"id", "f"}, {"type", "get"}, {"key", "input.1.gain"}});
        if (i % 200 == 0) spin(1);
    }
    ASSERT_TRUE(flood->waitClosed(5000));
    EXPECT_EQ(closeCode(flood->socket), 4003);
    EXPECT_FALSE(
        flood->waitFor([](const QJsonObject& m) { return statusCode(m) == 429; }, 100).isEmpty());
    EXPECT_EQ(statusCode(other->request("1", "get", {{"key", "input.1.gain"}})), 100);
    EXPECT_FALSE(other->closed);
}

namespace {
class FewClients : public ServerHarness
{
protected:
    int maxClients() const override { return 3; }
};
} // namespace

TEST_F(FewClients, ClientsPastTheBoundAreRefused)
{
    std::vector<std::unique_ptr<WsClient>> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(connected());
    WsClient late(port);
    ASSERT_TRUE(late.waitClosed());
    EXPECT_EQ(closeCode(late.socket), 4005);
    clients.pop_back();
    ASSERT_TRUE(waitFor([&] { return remote->hub().clientCount() == 2; }, 3000));
    WsClient next(port);
    EXPECT_FALSE(next.waitForOp("hello").isEmpty());
}
