// The API over WebSocket, end to end on loopback against the fake backend.
#include "ServerHarness.h"
#include "dsp/ResponseGrid.h"

using namespace sonaro;
using namespace sonaro::testing;

namespace {

struct SetCase
{
    const char* key;
    QJsonValue value;
    double stored;    // what the backend must be handed
    QJsonValue shown; // what the reply says
};

class SetEveryKind : public ServerHarness, public ::testing::WithParamInterface<SetCase>
{
};

// One setting of every value kind, frame and scope.
const SetCase kSetCases[] = {
    {"input.3.gain", -12, 38, -12},
    {"input.3.gain", "-12 dB", 38, -12},
    {"output.2.gain", 6, 56, 6},
    {"input.1.mute", "on", 1, "on"},
    {"input.1.mute", true, 1, "on"},
    {"input.8.source", "line", 1, "line"},
    {"input.2.phantom", "off", 0, "off"},
    {"output.1.level", "mic", 1, "mic"},
    {"input.4.highPass", 80, 5, 80},
    {"input.4.lowPass", "off", 0, "off"},
    {"input.5.eq.2.frequency", 250, 250, 250},
    {"input.5.eq.2.gain", -4.5, -4.5, -4.5},
    {"input.5.eq.2.q", 2, 2, 2},
    {"input.5.eq.2.type", "low-shelf", 1, "low-shelf"},
    {"output.2.eq.15.gain", 3, 3, 3},
    {"output.1.limiter.enable", "on", 1, "on"},
    {"output.1.limiter.threshold", -10, -10, -10},
    {"output.1.limiter.ratio", "inf", 100, "inf"},
    {"output.1.limiter.attack", 20, 20, 20},
    {"output.2.route.3", "on", 1, "on"},
    {"automix.maxOpen", 2, 2, 2},
    {"automix.holdTime", 500, 10, 500},
    {"automix.mode", "manual", 1, "manual"},
    {"automix.threshold", -20, 30, -20},
    {"unit.panelLock", "on", 1, "on"},
    {"unit.deviceMode", "slave", 0, "slave"},
};

} // namespace

TEST_P(SetEveryKind, ReachesTheBackendAndIsConfirmed)
{
    const SetCase& c = GetParam();
    backend.confirmAfterMs = 5;
    // The unit's side starts from a different value, so that every case changes something.
    const auto id = SettingCatalogue::parseKey(c.key);
    ASSERT_TRUE(id);
    SettingCatalogue::row(id->setting)
        .set(backend.mutableRecord(1), id->index, c.stored == 0 ? 1 : 0);
    auto client = connected(true);
    const QJsonObject reply =
        client->request("s", "set", {{"key", c.key}, {"value", c.value}, {"wait", true}});
    EXPECT_EQ(statusCode(reply), 100) << QJsonDocument(reply).toJson().toStdString();
    EXPECT_EQ(reply.value("delivery").toString(), "confirmed");
    EXPECT_TRUE(reply.value("confirmed").toBool());
    EXPECT_EQ(reply.value("value"), c.shown);
    ASSERT_EQ(backend.sets.size(), 1);
    EXPECT_EQ(backend.sets[0].id, *id);
    EXPECT_DOUBLE_EQ(backend.sets[0].stored, c.stored);
}

INSTANTIATE_TEST_SUITE_P(Api, SetEveryKind, ::testing::ValuesIn(kSetCases));

using Api = ServerHarness;

TEST_F(Api, ANameIsSetAndSeenByOthers)
{
    auto a = connected();
    auto b = connected();
    const QJsonObject reply =
        a->request("n", "set", {{"key", "input.2.name"}, {"value", "Lectern"}});
    EXPECT_EQ(statusCode(reply), 100);
    EXPECT_EQ(backend.channelName(ChangeId{1, SettingId::InputName, 1}), "Lectern");
    const QJsonObject seen = b->waitFor([](const QJsonObject& m) {
        return m.value("type") == "changed" &&
               m.value("changes").toObject().contains("input.2.name");
    });
    EXPECT_EQ(seen.value("changes").toObject().value("input.2.name"), "Lectern");
}

TEST_F(Api, TwoClientsSeeEachOthersChangesAndTheFrontPanel)
{
    auto a = connected();
    auto b = connected();
    a->request("1", "set", {{"key", "input.1.gain"}, {"value", -5}});
    const QJsonObject fromA =
        b->waitFor([](const QJsonObject& m) { return m.value("type") == "changed"; });
    EXPECT_EQ(fromA.value("source"), "client");
    EXPECT_EQ(fromA.value("user"), "ctl");
    EXPECT_EQ(fromA.value("changes").toObject().value("input.1.gain"), -5);

    const qsizetype before = a->messages.size();
    backend.frontPanel(ChangeId{1, SettingId::InputMute, 6}, 1);
    for (WsClient* c : {a.get(), b.get()}) {
        const QJsonObject panel =
            c->waitFor([](const QJsonObject& m) { return m.value("source") == "unit"; }, 3000,
                       c == a.get() ? before : 0);
        EXPECT_EQ(panel.value("changes").toObject().value("input.7.mute"), "on");
    }
}

TEST_F(Api, AnOperatorIsRefusedAnAdministratorSettingWithTheReason)
{
    auto op = connected(false);
    const QJsonObject reply =
        op->request("r", "set", {{"key", "output.1.route.1"}, {"value", "off"}});
    EXPECT_EQ(statusCode(reply), 300);
    EXPECT_TRUE(
        reply.value("status").toObject().value("comment").toString().contains("administrator"));
    EXPECT_TRUE(backend.sets.isEmpty());
    EXPECT_EQ(statusCode(op->request("p", "savePreset", {{"name", "room"}})), 300);
}

TEST_F(Api, UnitOutcomesAreReported)
{
    auto client = connected(true);
    backend.forcedOutcome = Outcome::Refused;
    EXPECT_EQ(statusCode(client->request("1", "set", {{"key", "input.1.gain"}, {"value", 1}})),
              301);
    backend.forcedOutcome = Outcome::Inapplicable;
    EXPECT_EQ(statusCode(client->request("2", "set", {{"key", "automix.threshold"}, {"value", 1}})),
              302);
    backend.forcedOutcome.reset();
    backend.deliveryFails = true;
    backend.confirmAfterMs = 5;
    const QJsonObject failed =
        client->request("3", "set", {{"key", "input.2.gain"}, {"value", 3}, {"wait", true}});
    EXPECT_EQ(failed.value("delivery"), "notDelivered");
    EXPECT_FALSE(failed.value("confirmed").toBool());
    EXPECT_EQ(
        client->request("4", "set", {{"key", "input.2.gain"}, {"value", 3}}).value("delivery"),
        "unchanged");
}

TEST_F(Api, AConfirmationLaterArrivesAsAnEvent)
{
    auto client = connected();
    const QJsonObject reply = client->request("1", "set", {{"key", "input.4.gain"}, {"value", -7}});
    EXPECT_EQ(reply.value("delivery"), "pending");
    emit backend.confirmed(ChangeId{1, SettingId::InputGain, 3});
    const QJsonObject delivery =
        client->waitFor([](const QJsonObject& m) { return m.value("type") == "delivery"; });
    EXPECT_EQ(delivery.value("key"), "input.4.gain");
    EXPECT_EQ(delivery.value("delivery"), "confirmed");
}

TEST_F(Api, ABurstForOneSettingIsMergedAndEveryRequestAnswered)
{
    auto client = connected();
    constexpr int kBurst = 30;
    for (int i = 0; i < kBurst; ++i)
        client->send({{"op", "request"},
                      {"id", QString::number(i)},
                      {"type", "set"},
                      {"key", "output.1.gain"},
                      {"value", -30 + i}});
    ASSERT_TRUE(waitFor(
        [&] {
            int answered = 0;
            for (const QJsonObject& m : client->messages)
                answered += m.value("op") == "response";
            return answered == kBurst;
        },
        5000));
    EXPECT_LT(backend.sets.size(), kBurst / 2);
    EXPECT_EQ(backend.sets.last().stored, -30 + kBurst - 1 + 50);
    EXPECT_EQ(client->response(QString::number(kBurst - 1)).value("delivery"), "pending");
    EXPECT_EQ(client->response("1").value("delivery"), "superseded");
}

TEST_F(Api, ABatchRunsInOrderAndHaltsAtTheFirstFailure)
{
    auto client = connected(true);
    client->send(
        {{"op", "batch"},
         {"id", "b"},
         {"haltOnFailure", true},
         {"requests",
          QJsonArray{QJsonObject{{"type", "set"}, {"key", "input.1.gain"}, {"value", -8}},
                     QJsonObject{{"type", "set"}, {"key", "input.9.gain"}, {"value", 0}},
                     QJsonObject{{"type", "set"}, {"key", "input.2.gain"}, {"value", -8}}}}});
    const QJsonObject batch = client->waitForOp("batchResponse");
    const QJsonArray results = batch.value("results").toArray();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(statusCode(results[0].toObject()), 100);
    EXPECT_EQ(statusCode(results[1].toObject()), 205);
    ASSERT_EQ(backend.sets.size(), 1);
}

TEST_F(Api, StateCatalogueAndEqCurve)
{
    auto client = connected();
    const QJsonObject state = client->request("s", "getState").value("state").toObject();
    EXPECT_EQ(state.value("schemaVersion"), 1);
    EXPECT_EQ(state.value("settings").toObject().value("input.1.gain"),
              backend.record(1).inputGain[0] - 50);
    EXPECT_FALSE(state.value("settings").toObject().contains("groups"));
    EXPECT_EQ(state.value("link").toObject().value("connection"), "connected");
    const QJsonArray catalogue = client->request("c", "getCatalogue").value("catalogue").toArray();
    EXPECT_GT(catalogue.size(), 20);
    backend.mutableRecord(1).inputEq[1][kEqGain][2] = 9; // input 3, band 2
    const QJsonObject curve =
        client->request("e", "getEqCurve", {{"channel", "input.3"}}).value("curve").toObject();
    ASSERT_EQ(curve.value("levels").toArray().size(), kGridPoints);
    double peak = -100;
    for (const QJsonValue& v : curve.value("levels").toArray())
        peak = std::max(peak, v.toDouble());
    EXPECT_NEAR(peak, 9, 0.6);
    EXPECT_EQ(statusCode(client->request("x", "getEqCurve", {{"channel", "input.9"}})), 205);
}

TEST_F(Api, PresetsStayInTheirFolder)
{
    auto admin = connected(true);
    EXPECT_EQ(statusCode(admin->request("1", "savePreset", {{"name", "room"}})), 100);
    EXPECT_EQ(admin->request("2", "listPresets").value("presets").toArray(), QJsonArray{"room"});
    EXPECT_EQ(statusCode(admin->request("3", "recallPreset", {{"name", "room"}})), 100);
    EXPECT_EQ(backend.recalled.size(), 1);
    for (const char* name : {"../users", "/etc/passwd", ".hidden", "a/b"})
        EXPECT_EQ(statusCode(admin->request("bad", "recallPreset", {{"name", name}})), 206) << name;
    EXPECT_EQ(statusCode(admin->request("4", "recallPreset", {{"name", "absent"}})), 205);
}

TEST_F(Api, LevelsFollowTheClientsRateAndOpenStatesTheirChanges)
{
    auto slow = connected(false, {{"events", QJsonArray{"levels", "open"}}, {"levelsRate", 5}});
    auto fast = connected(false, {{"events", QJsonArray{"levels"}}, {"levelsRate", 25}});
    QTimer unit; // the unit's status stream at 50 Hz
    int tick = 0;
    QObject::connect(&unit, &QTimer::timeout, [&] {
        ++tick;
        backend.setLevels(100 + tick % 50, 120, (tick / 25) % 2 ? 0x3 : 0x1);
    });
    unit.start(20);
    spin(1000);
    unit.stop();
    auto count = [](const WsClient& c, const char* type) {
        return std::count_if(c.messages.cbegin(), c.messages.cend(),
                             [&](const QJsonObject& m) { return m.value("type") == type; });
    };
    EXPECT_GE(count(*slow, "levels"), 3);
    EXPECT_LE(count(*slow, "levels"), 8);
    EXPECT_GT(count(*fast, "levels"), count(*slow, "levels"));
    EXPECT_GE(count(*slow, "open"), 1);
    EXPECT_EQ(count(*fast, "open"), 0);
}

TEST_F(Api, FiftyClientsAllSeeAChange)
{
    std::vector<std::unique_ptr<WsClient>> clients;
    for (int i = 0; i < 50; ++i)
        clients.push_back(connected());
    clients.front()->request("1", "set", {{"key", "input.5.gain"}, {"value", 2}});
    for (auto& c : clients)
        EXPECT_FALSE(c->waitFor([](const QJsonObject& m) {
                          return m.value("type") == "changed";
                      }).isEmpty());
    EXPECT_EQ(remote->hub().clientCount(), 50);
}
