// The server on the program's core against a virtual unit, end to end on loopback: settings of
// every frame kind reach the unit and come back confirmed, the unit's own changes and its losses
// reach the clients, an operator's preset keeps the routing, a unit that is not there yet, and a
// cascade addressed by unit keys.
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

// Settings that travel in each frame the unit takes: V, M, G, E (input and output EQ) and B.
const std::pair<const char*, QJsonValue> kKinds[] = {
    {"input.1.gain", -12},
    {"input.3.phantom", "off"},
    {"output.2.route.3", "off"},
    {"input.5.eq.2.gain", -4.5},
    {"output.1.eq.3.frequency", 250},
    {"output.1.limiter.threshold", -10},
};

} // namespace

TEST_F(CoreServer, EveryFrameKindReachesTheUnitAndIsConfirmed)
{
    ASSERT_TRUE(startBoth());
    auto setter = connected(true);
    QString frames;
    for (const auto& [key, value] : kKinds) {
        SCOPED_TRACE(key);
        const char frame = SettingCatalogue::row(SettingCatalogue::parseKey(key)->setting).frame;
        frames += QLatin1Char(frame);
        const int framesBefore = unit->receivedCount(frame);
        ASSERT_NE(atUnit(key), value);
        const QJsonObject reply = setter->set(key, value, true, 8000);
        EXPECT_EQ(statusCode(reply), 100) << comment(reply).toStdString();
        EXPECT_EQ(reply.value("delivery").toString(), "confirmed");
        EXPECT_GT(unit->receivedCount(frame), framesBefore);
        EXPECT_EQ(atUnit(key), value);
    }
    for (const char kind : {'V', 'M', 'G', 'E', 'B'})
        EXPECT_TRUE(frames.contains(QLatin1Char(kind))) << kind;
}

TEST_F(CoreServer, ChangesAtTheUnitAndFramesItNeverGotReachTheClients)
{
    ASSERT_TRUE(startBoth());
    auto a = connected(true);
    auto b = connected(false);

    // The front panel: a gain (O) and a switch (D).
    unit->record().inputGain[5] = 20; // input 6 at -30 dB
    unit->sendToClient(buildReplyO(unit->record(), 1));
    unit->record().inputPhantom[6] = unit->record().inputPhantom[6] ? 0 : 1;
    unit->sendToClient(buildReplyD(unit->record(), 1));
    EXPECT_EQ(b->changed("input.6.gain", -30).value("source").toString(), "unit");
    EXPECT_FALSE(b->changed("input.7.phantom", atUnit("input.7.phantom")).isEmpty());

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

    // The room as saved: input 2 at -17 dB and input 3's route to output 1 switched over.
    const QJsonValue routeAtFirst = atUnit("output.1.route.3");
    const QJsonValue routeSaved = routeAtFirst == QJsonValue("on") ? "off" : "on";
    const auto setAndWait = [&](const QString& key, const QJsonValue& value) {
        return admin->set(key, value, true, 8000).value("delivery").toString();
    };
    ASSERT_EQ(setAndWait("input.2.gain", -17), "confirmed");
    ASSERT_EQ(setAndWait("output.1.route.3", routeSaved), "confirmed");
    ASSERT_EQ(statusCode(admin->request("save", "savePreset", {{"name", "room"}})), 100);
    ASSERT_EQ(setAndWait("input.2.gain", 0), "confirmed");
    ASSERT_EQ(setAndWait("output.1.route.3", routeAtFirst), "confirmed");

    // An operator's recall brings the gain back but leaves the administrator's routing.
    EXPECT_EQ(statusCode(op->request("recall", "recallPreset", {{"name", "room"}})), 100);
    EXPECT_TRUE(waitFor([&] { return atUnit("input.2.gain") == QJsonValue(-17); }, 5000));
    EXPECT_FALSE(waitFor([&] { return atUnit("output.1.route.3") != routeAtFirst; }, 300));

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
    EXPECT_FALSE(admin
                     ->waitFor([](const QJsonObject& m) {
                         return m.value("type") == QLatin1String("link") &&
                                m.value("link").toObject().value("connection") ==
                                    QLatin1String("connected");
                     })
                     .isEmpty());
    EXPECT_EQ(statusCode(admin->set("input.1.gain", -3)), 100);
    // The unit's password never reaches the journal, through failed logins or good ones.
    EXPECT_FALSE(messages.join('\n').contains("888888"));
}

class CoreServerCascade : public CoreServer
{
protected:
    int unitCount() const override { return 3; }
};

TEST_F(CoreServerCascade, EveryUnitTheLoginReportedIsReadAndChangedByItsKey)
{
    ASSERT_TRUE(startBoth());
    auto c = connected(true);
    const QJsonObject state = c->request("s", "getState").value("state").toObject();
    EXPECT_EQ(state.value("units").toInt(), 3);
    const QJsonObject settings = state.value("settings").toObject();
    EXPECT_TRUE(settings.contains("unit.3.input.8.gain"));
    EXPECT_FALSE(settings.contains("unit.4.input.8.gain"));
    const int firstUnitsGain = unit->record(1).inputGain[7];
    EXPECT_EQ(c->set("unit.3.input.8.gain", -9, true, 8000).value("delivery"), "confirmed");
    EXPECT_EQ(unit->record(3).inputGain[7], -9 + 50);
    EXPECT_EQ(unit->record(1).inputGain[7], firstUnitsGain);
    EXPECT_EQ(c->request("g", "get", {{"key", "unit.3.input.8.gain"}}).value("value"), -9);
    EXPECT_EQ(statusCode(c->request("g4", "get", {{"key", "unit.4.output.2.mute"}})), 205);
}
