// The API over WebSocket, end to end on loopback against the fake backend: settings by catalogue
// key, the changes pushed to every client, deliveries, bursts, batches, presets and levels.
#include "ServerHarness.h"
#include "dsp/ResponseGrid.h"

using namespace sonaro;
using namespace sonaro::testing;

using Api = ServerHarness;

TEST_F(Api, EveryKindOfValueIsSetByItsKeyAndConfirmed)
{
    // The catalogue reads the texts (tests/model): here one row for each kind of value shown
    // and each JSON type a value is given as. Key, value, what the backend is handed, what the
    // reply says.
    const std::tuple<const char*, QJsonValue, double, QJsonValue> cases[] = {
        {"input.3.gain", -12, 38, -12},
        {"input.3.gain", "-10 dB", 40, -10},
        {"input.1.mute", true, 1, "on"},
        {"input.8.source", "line", 1, "line"},
        {"input.4.highPass", 80, 5, 80},
        {"input.4.lowPass", "off", 0, "off"},
        {"input.5.eq.2.gain", -4.5, -4.5, -4.5},
        {"input.5.eq.2.type", "low-shelf", 1, "low-shelf"},
        {"output.1.limiter.ratio", "inf", 100, "inf"},
        {"unit.deviceMode", "slave", 0, "slave"},
    };
    backend.confirmAfterMs = 5;
    auto client = connected(true);
    for (const auto& [key, value, stored, shown] : cases) {
        SCOPED_TRACE(key);
        // The unit's side starts from a different value, so that every case changes something.
        const auto id = SettingCatalogue::parseKey(key);
        ASSERT_TRUE(id);
        SettingCatalogue::row(id->setting).set(backend.unit, id->index, stored == 0 ? 1 : 0);
        backend.sets.clear();
        const QJsonObject reply = client->set(key, value, true);
        EXPECT_EQ(statusCode(reply), 100) << comment(reply).toStdString();
        EXPECT_EQ(reply.value("delivery").toString(), "confirmed");
        EXPECT_EQ(reply.value("value"), shown);
        EXPECT_EQ(backend.sets, (QList<std::pair<ChangeId, double>>{{*id, stored}}));
        EXPECT_EQ(client->request("g", "get", {{"key", key}}).value("value"), shown);
    }
}

TEST_F(Api, EveryClientSeesEachChangeWithItsSource)
{
    std::vector<std::unique_ptr<WsClient>> clients;
    for (int i = 0; i < 50; ++i)
        clients.push_back(connected());
    WsClient& first = *clients.front();
    EXPECT_EQ(statusCode(first.set("input.1.gain", -5)), 100);
    EXPECT_EQ(statusCode(first.set("input.2.name", "Lectern")), 100);
    EXPECT_EQ(backend.channelName(ChangeId{1, SettingId::InputName, 1}), "Lectern");
    backend.frontPanel(ChangeId{1, SettingId::InputMute, 6}, 1);
    for (auto& c : clients) {
        const QJsonObject gain = c->changed("input.1.gain", -5);
        EXPECT_EQ(gain.value("source"), "client");
        EXPECT_EQ(gain.value("user"), "ctl");
        EXPECT_FALSE(c->changed("input.2.name", "Lectern").isEmpty());
        EXPECT_EQ(c->changed("input.7.mute", "on").value("source"), "unit");
    }
}

TEST_F(Api, RefusalsTheUnitsOutcomesAndLaterDeliveriesAreReported)
{
    const QJsonObject refused = connected(false)->set("output.1.route.1", "off");
    EXPECT_EQ(statusCode(refused), 300); // an operator, an administrator setting
    EXPECT_TRUE(comment(refused).contains("administrator"));
    EXPECT_TRUE(backend.sets.isEmpty());

    auto client = connected(true);
    backend.forcedOutcome = Outcome::Refused;
    EXPECT_EQ(statusCode(client->set("input.1.gain", 1)), 301);
    backend.forcedOutcome = Outcome::Inapplicable;
    EXPECT_EQ(statusCode(client->set("automix.threshold", 1)), 302);
    backend.forcedOutcome.reset();

    EXPECT_EQ(client->set("input.4.gain", -7).value("delivery"), "pending");
    emit backend.confirmed(ChangeId{1, SettingId::InputGain, 3});
    const QJsonObject delivery = client->waitFor("type", "delivery");
    EXPECT_EQ(delivery.value("key"), "input.4.gain");
    EXPECT_EQ(delivery.value("delivery"), "confirmed");
    EXPECT_EQ(client->set("input.4.gain", -7).value("delivery"), "unchanged");
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
    ASSERT_TRUE(waitFor([&] { return client->count("op", "response") == kBurst; }, 5000));
    EXPECT_LT(backend.sets.size(), kBurst / 2);
    EXPECT_EQ(backend.sets.last().second, -30 + kBurst - 1 + 50);
    EXPECT_EQ(client->waitFor("id", QString::number(kBurst - 1)).value("delivery"), "pending");
    EXPECT_EQ(client->waitFor("id", "1").value("delivery"), "superseded");
}

TEST_F(Api, ABatchRunsInOrderAndHaltsAtTheFirstFailureAndALongOneIsRefused)
{
    auto client = connected(true);
    const auto gain = [](const char* key) {
        return QJsonObject{{"type", "set"}, {"key", key}, {"value", -8}};
    };
    QJsonArray requests{gain("input.1.gain"), gain("input.9.gain"), gain("input.2.gain")};
    client->send({{"op", "batch"}, {"id", "b"}, {"haltOnFailure", true}, {"requests", requests}});
    const QJsonArray results = client->waitFor("id", "b").value("results").toArray();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(statusCode(results[0].toObject()), 100);
    EXPECT_EQ(statusCode(results[1].toObject()), 205);
    ASSERT_EQ(backend.sets.size(), 1);

    while (requests.size() <= server::ApiHub::kMaxBatch)
        requests.append(gain("input.3.gain"));
    client->send({{"op", "batch"}, {"id", "long"}, {"requests", requests}});
    EXPECT_EQ(statusCode(client->waitFor("id", "long")), 208);
    EXPECT_EQ(backend.sets.size(), 1);
}

TEST_F(Api, StateCatalogueAndEqCurve)
{
    auto client = connected();
    const QJsonValue state = client->request("s", "getState").value("state");
    EXPECT_EQ(state["settings"]["input.1.gain"], backend.unit.inputGain[0] - 50);
    EXPECT_EQ(state["link"]["connection"], "connected");
    EXPECT_GT(client->request("c", "getCatalogue").value("catalogue").toArray().size(), 20);
    backend.unit.inputEq[1][kEqGain][2] = 9; // input 3, band 2
    const QJsonObject curve = client->request("e", "getEqCurve", {{"channel", "input.3"}});
    const QJsonArray levels = curve["curve"]["levels"].toArray();
    ASSERT_EQ(levels.size(), kGridPoints);
    double peak = -100;
    for (const QJsonValue& v : levels)
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

TEST_F(Api, LevelsFollowTheClientsRateAndOpenStatesOnlyThoseWhoAsked)
{
    auto slow = connected(false, {{"events", QJsonArray{"levels", "open"}}, {"levelsRate", 5}});
    auto fast = connected(false, {{"events", QJsonArray{"levels"}}, {"levelsRate", 25}});
    QTimer unit; // the unit's status stream at 50 Hz, with a channel opening now and then
    int tick = 0;
    QObject::connect(&unit, &QTimer::timeout, [&] {
        ++tick;
        backend.setLevels(100 + tick % 50, (tick / 5) % 2 ? 0x3 : 0x1);
    });
    unit.start(20);
    ASSERT_TRUE(waitFor([&] { return fast->count("type", "levels") >= 15; }, 5000));
    unit.stop();
    // At a fifth of the rate the slow client has had far fewer.
    EXPECT_GE(slow->count("type", "levels"), 1);
    EXPECT_LT(slow->count("type", "levels"), 10);
    EXPECT_GE(slow->count("type", "open"), 1);
    EXPECT_EQ(fast->count("type", "open"), 0);
}
