// sonaroctl end to end: the real program in a child process, a virtual unit on 127.0.0.2 in
// this process, the link bound to 127.0.0.1 on a free port per test, timings shrunk tenfold.
#include "CtlProcess.h"

#include "mixer/StateFile.h"
#include "protocol/Commands.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// Runs sonaroctl to its end while this process's event loop keeps the virtual units answering.
CtlResult RunCtl(const QStringList& arguments, const QString& passwordVariable = {})
{
    QProcessEnvironment extra;
    if (!passwordVariable.isEmpty())
        extra.insert(QStringLiteral("SONARO_PASSWORD"), passwordVariable);
    return runCtl(arguments, extra);
}

QJsonObject parseObject(const QString& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return doc.object();
}

QStringList kindsOf(const std::vector<QByteArray>& frames, std::size_t from = 0)
{
    QStringList kinds;
    for (std::size_t i = from; i < frames.size(); ++i)
        kinds << QString::fromLatin1(frames[i].mid(1, 1));
    return kinds;
}

std::vector<QByteArray> ofKind(const std::vector<QByteArray>& frames, char kind)
{
    std::vector<QByteArray> list;
    for (const QByteArray& f : frames)
        if (f.size() > 1 && f[1] == kind) list.push_back(f);
    return list;
}

QByteArray bytesOf(const std::string& frame)
{
    return QByteArray::fromStdString(frame);
}

class Sonaroctl : public CtlTest
{
protected:
    void SetUp() override
    {
        if (!prepared({QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")})) return;
        unit = startUnit(QStringLiteral("127.0.0.2"));
        ASSERT_TRUE(unit);
        factory = unit->record();
    }

    std::unique_ptr<VirtualUnit> startUnit(const QString& address, int unitCount = 1)
    {
        return startVirtualUnit(address, port, unitCount);
    }

    QStringList Link(const QString& password = QStringLiteral("888888")) const
    {
        return linkArguments(dir.path(), QStringLiteral("127.0.0.2"), port, password);
    }

    CtlResult Set(const QStringList& words)
    {
        return RunCtl(Link() << QStringLiteral("--json") << QStringLiteral("set") << words);
    }

    std::unique_ptr<VirtualUnit> unit;
    UnitRecord factory{};
};

TEST_F(Sonaroctl, LoginSendsTheAccountAndReportsTheUnitCount)
{
    unit.reset();
    unit = startUnit(QStringLiteral("127.0.0.2"), 3);
    ASSERT_TRUE(unit);
    const CtlResult r = RunCtl(Link() << QStringLiteral("--json") << QStringLiteral("login"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject answer = parseObject(r.out);
    EXPECT_EQ(answer.value("units").toInt(), 3);
    EXPECT_EQ(answer.value("user").toString(), "admin");
    ASSERT_FALSE(unit->received().empty());
    EXPECT_EQ(unit->received().front(), bytesOf(buildR("admin&&", "888888&")));
    // The stream is switched off on the way out.
    EXPECT_EQ(unit->received().back(), bytesOf(buildL(false)));
    EXPECT_FALSE(unit->streaming());

    // The password may come from the environment instead.
    QStringList noPassword = Link();
    noPassword.removeLast();
    noPassword.removeLast();
    const CtlResult text = RunCtl(noPassword << QStringLiteral("login"), QStringLiteral("888888"));
    EXPECT_EQ(text.status, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("3 unit(s)")) << text.out.toStdString();
}

TEST_F(Sonaroctl, RefusedAndUnansweredLoginsHaveTheirOwnStatus)
{
    const CtlResult refused = RunCtl(Link(QStringLiteral("123456")) << QStringLiteral("login"));
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(refused.err.contains("User Password Error!")) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_EQ(unit->receivedCount('R'), 1) << "a refusal is not retried";

    unit->clearReceived();
    unit->silence(60000);
    const CtlResult silent = RunCtl(Link() << QStringLiteral("show"));
    EXPECT_EQ(silent.status, 4);
    EXPECT_TRUE(silent.err.contains("127.0.0.2Connect fail.")) << silent.err.toStdString();
    EXPECT_EQ(unit->receivedCount('R'), 3) << "three login requests in all";

    // Nothing listens at all: the same.
    unit.reset();
    EXPECT_EQ(RunCtl(Link() << QStringLiteral("login")).status, 4);
}

TEST_F(Sonaroctl, ShowPrintsTheReportedStateAndEqData)
{
    UnitRecord& u = unit->record();
    u.inputGain[2] = 30; // -20 dB
    u.inputMute[4] = 1;
    u.inputLine[6] = 1;
    u.routing[1] = 0x05; // inputs 1 and 3
    u.holdTime = 17;
    u.inputEqAt(1, kEqFrequency, 3) = 450;
    u.outputEqAt(1, kEqFrequency, 14) = 12000;
    u.limiterAttack[1] = 25;

    const CtlResult r = RunCtl(Link() << QStringLiteral("--json") << QStringLiteral("show"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject state = parseObject(r.out);
    const QJsonArray inputs = state.value("inputs").toArray();
    const QJsonArray outputs = state.value("outputs").toArray();
    ASSERT_EQ(inputs.size(), 8);
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_EQ(inputs[0].toObject().value("gainDb").toInt(), -6);
    EXPECT_EQ(inputs[2].toObject().value("gainDb").toInt(), -20);
    EXPECT_TRUE(inputs[4].toObject().value("mute").toBool());
    EXPECT_EQ(inputs[6].toObject().value("source").toString(), "LINE");
    EXPECT_EQ(
        inputs[3].toObject().value("eq").toArray()[1].toObject().value("frequency").toDouble(),
        450);
    const QJsonObject out2 = outputs[1].toObject();
    EXPECT_EQ(out2.value("inputs").toArray(), (QJsonArray{1, 3}));
    EXPECT_EQ(out2.value("eq").toArray()[14].toObject().value("frequency").toDouble(), 12000);
    EXPECT_EQ(out2.value("limiter").toObject().value("attackMs").toInt(), 25);
    EXPECT_EQ(state.value("system").toObject().value("holdTime").toInt(), 17);
    EXPECT_EQ(unit->received().back(), bytesOf(buildL(false)));
    EXPECT_FALSE(unit->streaming());

    const CtlResult text = RunCtl(Link() << QStringLiteral("show"));
    ASSERT_EQ(text.status, 0);
    EXPECT_TRUE(text.out.contains("-20dB"));
    EXPECT_TRUE(text.out.contains("hold time 17"));
}

TEST_F(Sonaroctl, SwitchesAndGainsReachTheUnitAsTheDesktopSendsThem)
{
    // A gain goes out as V, built from the reported state with the one change.
    CtlResult r = Set({"input-gain", "3", "-20"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(parseObject(r.out).value("changed").toBool());
    UnitRecord expected = factory;
    expected.inputGain[2] = 30;
    ASSERT_EQ(ofKind(unit->received(), 'V').size(), 1u);
    EXPECT_EQ(ofKind(unit->received(), 'V')[0], bytesOf(buildV(expected, 1)));
    EXPECT_EQ(unit->received().back(), bytesOf(buildL(false)));

    // Phantom power off: one M with the input's switch byte changed.
    unit->clearReceived();
    r = Set({"phantom", "1", "off"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    expected = unit->record();
    EXPECT_EQ(unit->record().inputPhantom[0], 0);
    ASSERT_EQ(ofKind(unit->received(), 'M').size(), 1u);
    EXPECT_EQ(ofKind(unit->received(), 'M')[0], bytesOf(buildM(expected, 1)));

    // Already off: the toggle is not run and nothing is sent.
    unit->clearReceived();
    r = Set({"phantom", "1", "off"});
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(parseObject(r.out).value("changed").toBool());
    EXPECT_TRUE(ofKind(unit->received(), 'M').empty());

    // The rest of the switches, the matrix and the system values.
    EXPECT_EQ(Set({"input-mute", "2", "on"}).status, 0);
    EXPECT_EQ(unit->record().inputMute[1], 1);
    EXPECT_EQ(Set({"input-mic", "4", "line"}).status, 0);
    EXPECT_EQ(unit->record().inputLine[3], 1);
    EXPECT_EQ(Set({"priority", "5", "on"}).status, 0);
    EXPECT_EQ(unit->record().inputPriority[4], 1);
    unit->clearReceived();
    EXPECT_EQ(Set({"route", "2", "3", "off"}).status, 0);
    EXPECT_EQ(unit->record().routing[1], 0xFB);
    EXPECT_EQ(unit->record().routing[0], 0xFF);
    ASSERT_EQ(ofKind(unit->received(), 'G').size(), 1u);
    EXPECT_EQ(ofKind(unit->received(), 'G')[0], bytesOf(buildG(unit->record(), 1)));
    r = Set({"hold-time", "12"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.contains("Set ok.")) << "the desktop's confirmation goes to stderr";
    EXPECT_EQ(unit->record().holdTime, 12);
    EXPECT_EQ(Set({"max-open", "3"}).status, 0);
    EXPECT_EQ(unit->record().maxOpenChannels, 3);

    // The user account reaches the strips but not the matrix or the system page.
    const QStringList asUser = Link(QStringLiteral("666666"))
                               << QStringLiteral("--user") << QStringLiteral("user")
                               << QStringLiteral("set");
    EXPECT_EQ(RunCtl(QStringList(asUser) << "input-mute"
                                         << "2"
                                         << "off")
                  .status,
              0);
    EXPECT_EQ(unit->record().inputMute[1], 0);
    r = RunCtl(QStringList(asUser) << "max-open"
                                   << "5");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("You do not have permission.")) << r.err.toStdString();
    EXPECT_EQ(unit->record().maxOpenChannels, 3);
    // The same surface call as the system page's knob refuses the hold time, before any frame.
    unit->clearReceived();
    r = RunCtl(QStringList(asUser) << "hold-time"
                                   << "20");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("ERROR: You do not have permission.")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Set ok.")) << r.err.toStdString();
    EXPECT_EQ(unit->record().holdTime, 12);
    EXPECT_TRUE(ofKind(unit->received(), 'G').empty());
    r = RunCtl(QStringList(asUser) << "route"
                                   << "1"
                                   << "1"
                                   << "off");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(unit->record().routing[0], 0xFF);
}

TEST_F(Sonaroctl, OutputMuteKeepsTheGainAcrossRuns)
{
    ASSERT_EQ(Set({"output-gain", "1", "-10"}).status, 0);
    EXPECT_EQ(unit->record().outputGain[0], 40);
    ASSERT_EQ(Set({"output-mute", "1", "on"}).status, 0);
    EXPECT_EQ(unit->record().outputGain[0], 0) << "a muted output goes out as 0";

    // The unit reports 0; the state file of the previous run knows the output is muted.
    const CtlResult refused = Set({"output-gain", "1", "-5"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("output 1 is muted")) << refused.err.toStdString();
    EXPECT_EQ(unit->record().outputGain[0], 0);

    ASSERT_EQ(Set({"output-mute", "1", "off"}).status, 0);
    EXPECT_EQ(unit->record().outputGain[0], 40) << "unmuting restores the gain";
}

TEST_F(Sonaroctl, BadArgumentsAreUsageErrors)
{
    const struct
    {
        QStringList words;
        const char* message;
    } cases[] = {
        {{"set", "input-gain", "0", "-6"}, "channel must be 1 to 8, not '0'"},
        {{"set", "input-mute", "9", "on"}, "channel must be 1 to 8, not '9'"},
        {{"set", "input-gain", "1", "+11"}, "gain must be a whole number of dB from -50 to 10"},
        {{"set", "output-gain", "3", "0"}, "output must be 1 to 2"},
        {{"set", "phantom", "1", "maybe"}, "takes on or off"},
        {{"set", "volume", "1"}, "unknown setting 'volume'"},
        {{"set", "eq", "3", "2", "freq", "30k"}, "frequency must be 20 Hz to 20 kHz"},
        {{"set", "eq", "3", "6", "gain", "1"}, "band must be 1 to 5"},
        {{"set", "eq", "3", "2", "gain", "-16"}, "EQ gain must be -15 to 15 dB"},
        {{"set", "eq", "3", "2", "type", "notch"}, "type takes peak, low-shelf or high-shelf"},
        {{"set", "hpf", "1", "85"}, "hpf takes off or one of the cut-offs 35 50"},
        {{"set", "limiter", "1", "ratio", "12"}, "ratio must be 1:1 to 10:1 or inf"},
        {{"set", "limiter", "1", "attack", "0"}, "attack must be 1 to 2000 ms"},
        {{"set", "output-eq", "2", "16", "q", "1"}, "band must be 1 to 15"},
        {{"set", "device-mode", "boss"}, "takes master or slave"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--port", "70000", "login"}, "--port must be 1 to 65535"},
        {{"--colour", "login"}, "unknown option '--colour'"},
        {{"--password", "1234567", "login"}, "the password must be 1 to 6 characters"},
        {{"login"}, "no password"}, // no --password, no SONARO_PASSWORD, no terminal
        {{}, "no command given"},
    };
    for (const auto& c : cases) {
        const CtlResult r = RunCtl(c.words);
        EXPECT_EQ(r.status, 2) << c.words.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message)))
            << c.words.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(unit->received().empty()) << "a usage error sends nothing";

    const CtlResult help = RunCtl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("Exit status"));
    const CtlResult setHelp = RunCtl({"set", "--help"});
    EXPECT_EQ(setHelp.status, 0);
    EXPECT_TRUE(setHelp.out.contains("set route OUT IN on|off"));
}

TEST_F(Sonaroctl, PresetsRoundTripThroughAFile)
{
    unit->record().inputGain[5] = 20;
    unit->record().outputEqAt(0, kEqGain, 3) = -4.5;
    unit->record().limiterRatio[0] = 4;
    const QString file = dir.filePath("room.ini");
    CtlResult r = RunCtl(Link() << QStringLiteral("preset") << QStringLiteral("save") << file);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QFile(file).size(), static_cast<qint64>(StateFile::kFileSize));

    // Offline: no unit is contacted.
    unit->clearReceived();
    r = RunCtl({"--json", "preset", "show", file});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(unit->received().empty());
    const QJsonObject preset = parseObject(r.out);
    EXPECT_EQ(preset.value("inputs").toArray()[5].toObject().value("gainDb").toInt(), -30);
    const QJsonObject out1 = preset.value("outputs").toArray()[0].toObject();
    EXPECT_DOUBLE_EQ(out1.value("eq").toArray()[3].toObject().value("gainDb").toDouble(), -4.5);
    EXPECT_DOUBLE_EQ(out1.value("limiter").toObject().value("ratio").toDouble(), 4);
    for (const QJsonValue& group : preset.value("groups").toArray())
        EXPECT_TRUE(group.toObject().value("members").toArray().isEmpty()) << "nobody grouped";

    // The unit drifts; loading the preset sends the whole record back in the bulk order.
    unit->record().inputGain[5] = 50;
    unit->record().outputEqAt(0, kEqGain, 3) = 0;
    unit->record().limiterRatio[0] = 1;
    unit->clearReceived();
    r = RunCtl(Link() << QStringLiteral("preset") << QStringLiteral("load") << file);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(unit->record().inputGain[5], 20);
    EXPECT_DOUBLE_EQ(unit->record().outputEqAt(0, kEqGain, 3), -4.5);
    EXPECT_DOUBLE_EQ(unit->record().limiterRatio[0], 4);
    // An EQ block the loaded machine answered late goes again: count each one once.
    std::vector<QByteArray> got;
    for (const QByteArray& frame : unit->received())
        if (frame[1] != 'E' || std::find(got.begin(), got.end(), frame) == got.end())
            got.push_back(frame);
    std::size_t first = 0;
    const QByteArray off = bytesOf(buildL(false));
    // The bulk sequence starts with the first L 0 after the login's own stream switch (L 1).
    while (first < got.size() && got[first] != bytesOf(buildL(true)))
        ++first;
    while (first < got.size() && got[first] != off)
        ++first;
    ASSERT_LT(first, got.size());
    QStringList expectedKinds = {"L", "V", "M", "J", "G"};
    for (int slot = 0; slot < 14; ++slot)
        expectedKinds << "E";
    // The V and G are read back (C: sonaroctl's check and the session's own) before the program
    // says done and switches the stream off.
    expectedKinds << "B"
                  << "B"
                  << "L";
    QStringList kinds = kindsOf(got, first);
    ASSERT_GE(kinds.size(), expectedKinds.size() + 2);
    EXPECT_EQ(kinds.mid(0, expectedKinds.size()), expectedKinds);
    EXPECT_EQ(kinds.back(), "L");
    const QStringList readBack =
        kinds.mid(expectedKinds.size(), kinds.size() - expectedKinds.size() - 1);
    EXPECT_FALSE(readBack.isEmpty());
    for (const QString& kind : readBack)
        EXPECT_EQ(kind, "C");
    EXPECT_EQ(got[got.size() - 2 - readBack.size()], bytesOf(buildL(true)));
    EXPECT_EQ(got.back(), off);

    // Files that are missing or not a preset fail before anything is sent.
    unit->clearReceived();
    r = RunCtl(Link() << QStringLiteral("preset") << QStringLiteral("load")
                      << dir.filePath("missing.ini"));
    EXPECT_EQ(r.status, 1);
    QFile shortFile(dir.filePath("short.ini"));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(100, '\0'));
    shortFile.close();
    r = RunCtl(Link() << QStringLiteral("preset") << QStringLiteral("load")
                      << shortFile.fileName());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("2796")) << r.err.toStdString();
    EXPECT_TRUE(unit->received().empty());
    EXPECT_EQ(RunCtl({"preset", "show", shortFile.fileName()}).status, 1);
}

TEST_F(Sonaroctl, MonitorPrintsOneLinePerStatusFrame)
{
    const CtlResult r = RunCtl(Link() << QStringLiteral("--json") << QStringLiteral("monitor")
                                      << QStringLiteral("--seconds") << QStringLiteral("0.4"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 5) << "status every 20 ms for 0.4 s";
    for (const QString& line : lines) {
        const QJsonObject o = parseObject(line);
        EXPECT_EQ(o.value("inputs").toArray().size(), 8);
        EXPECT_EQ(o.value("outputs").toArray().size(), 2);
        EXPECT_EQ(o.value("open").toArray().size(), 8);
    }
    EXPECT_FALSE(unit->streaming());
    EXPECT_EQ(unit->received().back(), bytesOf(buildL(false)));
}

TEST_F(Sonaroctl, DiscoverListsTheUnitsOfTheBoundNetwork)
{
    auto second = startUnit(QStringLiteral("127.0.0.3"));
    ASSERT_TRUE(second);
    const QStringList where = {"--data-dir", dir.path(), "--bind",
                               "127.0.0.1",  "--port",   QString::number(port)};
    CtlResult r = RunCtl(QStringList(where) << "--json"
                                            << "discover");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonArray units = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(units.size(), 2) << r.out.toStdString();
    EXPECT_EQ(units[0].toObject().value("address").toString(), "127.0.0.2");
    EXPECT_EQ(units[1].toObject().value("address").toString(), "127.0.0.3");
    EXPECT_EQ(units[0].toObject().value("port").toInt(), port);
    EXPECT_EQ(units[0].toObject().value("adminName").toString(), "admin");
    EXPECT_EQ(units[0].toObject().value("userName").toString(), "user");

    r = RunCtl(QStringList(where) << "discover");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("127.0.0.2 %1 admin user\n127.0.0.3 %1 admin user\n").arg(port));
}

} // namespace
