// The server on the program's core against a virtual unit, end to end on loopback: settings reach
// the unit and come back confirmed (every frame kind is the core's, tests/e2e DeliveryTest), the
// unit's own changes and its losses reach the clients, an operator's preset keeps the routing, a
// unit that is not there yet, and a cascade addressed by unit keys.
#include "ServerHarness.h"
#include "support/LoopbackPort.h"

#include "server/CoreBackend.h"
#include "unit/UnitFrames.h"
#include "unit/VirtualUnit.h"

using namespace sonaro;
using namespace sonaro::testing;

namespace {

class CoreServer : public ServerTest
{
protected:
    void SetUp() override
    {
        const quint16 unitPort = freeLoopbackPort();
        ASSERT_NE(unitPort, 0);
        VirtualUnitOptions unitOptions;
        unitOptions.address = QHostAddress(kUnitAddress);
        unitOptions.port = unitPort;
        unitOptions.statusInterval = 10;
        unitOptions.unitCount = unitCount();
        unit = std::make_unique<VirtualUnit>(unitOptions);

        server::CoreBackendOptions options;
        options.core.dataDirectory = folder.filePath("data");
        options.core.bindAddress = kProgramAddress;
        options.core.deviceAddress = kUnitAddress;
        options.core.port = unitPort;
        options.core.timings = LinkTimings{}.scaled(10);
        options.core.timings.silenceTimeout = LinkTimings{}.silenceTimeout;
        options.account = QStringLiteral("admin");
        options.password = QStringLiteral("888888");
        options.retryMs = 100;
        options.messages = [this](const QString& line) { messages << line; };
        backend = std::make_unique<server::CoreBackend>(options);

        ASSERT_NO_FATAL_FAILURE(startServer(*backend));
    }

    virtual int unitCount() const { return 1; }

    // The unit answers and the server logged in and read its state.
    bool startBoth()
    {
        QString problem;
        return unit->start() && backend->start(&problem) && loggedIn();
    }
    bool loggedIn()
    {
        return waitFor([this] { return unit->streaming() && backend->whyNoChanges().isEmpty(); },
                       5000);
    }

    // The value the unit itself holds, as the API shows it.
    QJsonValue atUnit(const QString& key)
    {
        return SettingCatalogue::jsonValue(unit->record(), *SettingCatalogue::parseKey(key));
    }

    QStringList messages;
    std::unique_ptr<VirtualUnit> unit;
    std::unique_ptr<server::CoreBackend> backend;
};

} // namespace

TEST_F(CoreServer, ChangesAtTheUnitAndFramesItNeverGotReachTheClients)
{
    ASSERT_TRUE(startBoth());
    auto a = connected(true);
    auto b = connected(false);

    // A gain changed at the front panel (the core reads every report kind: tests/e2e).
    unit->record().inputGain[5] = 20; // input 6 at -30 dB
    unit->sendToClient(buildReplyO(unit->record(), 1));
    EXPECT_EQ(b->changed("input.6.gain", -30).value("source").toString(), "unit");

    // A switch the unit never takes: not delivered, and the value goes back to the unit's.
    unit->dropNext('M', 1000);
    const QJsonValue before = atUnit("input.8.phantom");
    const QJsonValue wanted = before == QJsonValue("on") ? "off" : "on";
    const QJsonObject reply = a->set("input.8.phantom", wanted, true, 9000);
    EXPECT_EQ(reply.value("delivery").toString(), "notDelivered");
    EXPECT_EQ(reply.value("value"), before);
    unit->dropNext('M', 0);
}

TEST_F(CoreServer, NamesGoThroughTheCoreAndAnOperatorsPresetKeepsTheRouting)
{
    ASSERT_TRUE(startBoth());
    auto admin = connected(true);
    auto op = connected(false);
    EXPECT_EQ(op->set("input.1.name", "Lectern").value("delivery"), "confirmed");
    EXPECT_FALSE(admin->changed("input.1.name", "Lectern").isEmpty());

    // The room as saved; then input 2 at -17 dB and input 3's route to output 1 switched over,
    // each confirmed and held by the unit.
    const QJsonValue gainSaved = atUnit("input.2.gain"), routeSaved = atUnit("output.1.route.3");
    ASSERT_NE(gainSaved, QJsonValue(-17));
    ASSERT_EQ(statusCode(admin->request("save", "savePreset", {{"name", "room"}})), 100);
    const QJsonValue routeChanged = routeSaved == QJsonValue("on") ? "off" : "on";
    for (const auto& [key, value] : {std::pair<QString, QJsonValue>{"input.2.gain", -17},
                                     {"output.1.route.3", routeChanged}}) {
        EXPECT_EQ(admin->set(key, value, true, 8000).value("delivery"), "confirmed");
        EXPECT_EQ(atUnit(key), value);
    }

    // An operator's recall brings the gain back but leaves the administrator's routing.
    EXPECT_EQ(statusCode(op->request("recall", "recallPreset", {{"name", "room"}})), 100);
    EXPECT_TRUE(waitFor([&] { return atUnit("input.2.gain") == gainSaved; }, 5000));
    EXPECT_FALSE(waitFor([&] { return atUnit("output.1.route.3") != routeChanged; }, 300));

    // The administrator's recall brings both.
    EXPECT_EQ(statusCode(admin->request("recall2", "recallPreset", {{"name", "room"}})), 100);
    EXPECT_TRUE(waitFor([&] { return atUnit("output.1.route.3") == routeSaved; }, 5000));
}

TEST_F(CoreServer, WithoutTheUnitNothingIsChangedAndTheServerLogsInOnceItAnswers)
{
    QString problem;
    ASSERT_TRUE(backend->start(&problem)) << problem.toStdString();
    auto admin = connected(true);
    const QJsonObject refused = admin->set("input.1.gain", -3);
    EXPECT_EQ(statusCode(refused), 302);
    EXPECT_TRUE(comment(refused).contains("no unit is logged in"));

    // The unit comes up after the login gave up: the server tries again by itself.
    ASSERT_TRUE(waitFor([&] { return !messages.filter("Connect fail").isEmpty(); }, 5000))
        << messages.join('\n').toStdString();
    ASSERT_TRUE(unit->start());
    ASSERT_TRUE(loggedIn()) << messages.join('\n').toStdString();
    const auto linked = [](const QJsonObject& m) {
        return m.value("type") == QLatin1String("link") &&
               m.value("link")["connection"] == QLatin1String("connected");
    };
    EXPECT_FALSE(admin->waitFor(linked).isEmpty());
    EXPECT_EQ(statusCode(admin->set("input.1.gain", -3)), 100);
    // The unit's password never reaches the journal, through failed logins or good ones.
    EXPECT_FALSE(messages.join('\n').contains("888888"));
}

struct CoreServerCascade : CoreServer
{
    int unitCount() const override { return 3; }
};

TEST_F(CoreServerCascade, EveryUnitTheLoginReportedIsReadAndChangedByItsKey)
{
    ASSERT_TRUE(startBoth());
    auto c = connected(true);
    const QJsonValue state = c->request("s", "getState").value("state");
    EXPECT_EQ(state["units"], 3);
    EXPECT_TRUE(state["settings"].toObject().contains("unit.3.input.8.gain"));
    EXPECT_FALSE(state["settings"].toObject().contains("unit.4.input.8.gain"));
    const int firstUnitsGain = unit->record(1).inputGain[7];
    EXPECT_EQ(c->set("unit.3.input.8.gain", -9, true, 8000).value("delivery"), "confirmed");
    EXPECT_EQ(unit->record(3).inputGain[7], -9 + 50);
    EXPECT_EQ(unit->record(1).inputGain[7], firstUnitsGain);
    EXPECT_EQ(c->request("g", "get", {{"key", "unit.3.input.8.gain"}}).value("value"), -9);
    EXPECT_EQ(statusCode(c->request("g4", "get", {{"key", "unit.4.output.2.mute"}})), 205);
}
