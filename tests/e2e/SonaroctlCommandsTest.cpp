// sonaroctl's commands end to end against a virtual unit on 127.0.0.2 (a second one on
// 127.0.0.3 for the search): what they print, what reaches the unit, and that the status
// stream is off when they end. `set` against the catalogue of settings: every row with a
// command-line name sends what the desktop's own intent sends, frame by frame; words that name
// no setting or no value are refused before anything is sent.
#include "CtlProcess.h"

#include "SettingWords.h"

#include "link/AddressFile.h"
#include "model/SettingCatalogue.h"
#include "model/ValueConventions.h"
#include "protocol/Commands.h"
#include "support/FactoryRecord.h"
#include "support/LoopbackCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// The frames that carry settings. An acknowledged frame that a loaded machine answered late goes
// again: it counts once.
std::vector<QByteArray> settingFrames(const std::vector<QByteArray>& frames)
{
    std::vector<QByteArray> list;
    for (const QByteArray& f : frames)
        if (f.size() > 1 && QByteArray("VMGEBJ").contains(f[1]) &&
            std::find(list.begin(), list.end(), f) == list.end())
            list.push_back(f);
    return list;
}

// A value of row other than the one stored now, as the operator would type it.
QString otherValue(const SettingRow& row, double stored)
{
    switch (row.kind) {
    case ValueKind::Switch:
        return QLatin1String(row.words[stored != 0 ? 0 : 1]);
    case ValueKind::BandType:
        return QLatin1String(row.words[(static_cast<int>(stored) + 1) % 3]);
    case ValueKind::FilterIndex:
        return QString::number(SettingCatalogue::shownFromStored(row.id, stored == 5 ? 3 : 5));
    case ValueKind::Ratio:
        return stored == 4 ? QStringLiteral("6:1") : QStringLiteral("4:1");
    default:
        break;
    }
    const double shown = SettingCatalogue::shownFromStored(row.id, stored);
    for (const double part : {0.25, 0.5}) {
        const double v = std::round((row.min + (row.max - row.min) * part) / row.step) * row.step;
        if (std::abs(v - shown) > row.step / 2) return QString::number(v);
    }
    return QString::number(row.min);
}

// The words of `set` for id: the command-line words for even rows, the key for odd ones.
QStringList setWords(const ChangeId& id, const QString& value)
{
    const SettingRow& row = SettingCatalogue::row(id.setting);
    if (static_cast<int>(row.id) % 2 == 1) return {SettingCatalogue::key(id), value};
    const auto [first, second] = SettingCatalogue::numbers(row.scope, id.index);
    QStringList words{QLatin1String(row.cliName)};
    if (first > 0) words << QString::number(first);
    if (second > 0) words << QString::number(second);
    if (row.cliField) words << QLatin1String(row.cliField);
    return words << value;
}

class SonaroctlCommands : public CtlTest
{
protected:
    void SetUp() override
    {
        prepare({QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3"),
                 QStringLiteral("127.0.0.9")});
    }
    bool streamOff() const
    {
        return !unit->streaming() && !unit->received().empty() &&
               unit->received().back() == QByteArray::fromStdString(buildL(false));
    }
};

TEST_F(SonaroctlCommands, LoginAndShowTellEverySettingByItsCatalogueKey)
{
    UnitRecord& u = unit->record();
    u.inputGain[2] = dbToGain(-20);
    u.routing[1] = 0x05; // inputs 1 and 3 on output 2
    u.holdTime = 17;
    u.inputEqAt(1, kEqFrequency, 3) = 450;
    u.outputEqAt(1, kEqFrequency, 14) = 12000;
    u.limiterAttack[1] = 25;

    const CtlResult shown = runCtl(link() + QStringList{"--json", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QJsonObject s = jsonObjectOf(shown.out).value("settings").toObject();
    EXPECT_TRUE(streamOff());
    const std::pair<const char*, QJsonValue> expected[] = {
        {"input.3.gain", -20},           {"input.1.gain", gainToDb(u.inputGain[0])},
        {"output.2.route.1", "on"},      {"output.2.route.2", "off"},
        {"automix.holdTime", 850}, // in ms, as the desktop shows it
        {"input.4.eq.2.frequency", 450}, {"output.2.eq.15.frequency", 12000},
        {"output.2.limiter.attack", 25},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(s.value(QLatin1String(key)), value) << key;
    // Every setting of the catalogue is there, and nothing else.
    int count = 0;
    for (const SettingRow& row : SettingCatalogue::rows())
        for (int index = 0; index < SettingCatalogue::indexCount(row.scope); ++index, ++count)
            EXPECT_TRUE(s.contains(SettingCatalogue::key({1, row.id, index})))
                << SettingCatalogue::key({1, row.id, index}).toStdString();
    EXPECT_EQ(s.size(), count);

    const CtlResult text = runCtl(link() << "show");
    EXPECT_TRUE(text.out.contains(QRegularExpression("Input 3 gain +-20 dB\n")))
        << text.out.toStdString();
}

// One run of a command after the others, on the same unit and data directory.
struct Step
{
    QStringList words;
    int status;
    const char* message; // on standard error or output
    std::function<bool(const VirtualUnit&)> holds = {};
    QByteArray input = {};
    QString newPassword = {};
};

TEST_F(SonaroctlCommands, EveryChangeIsDoneOnlyWhenTheUnitHasIt)
{
    unit->record().inputEqAt(2, kEqGain, 0) = 6;
    unit->record().highPassIndex[0] = 4;
    const QStringList asUser = QStringList{"--user", "user", "--password", "666666"};
    using U = const VirtualUnit&;
    // clang-format off
    const std::vector<Step> steps = {
        {{"name", "3", "Lectern"}, 0, "input 3 named Lectern"},
        {{"--yes", "eq", "copy", "1", "4"}, 0, "eq copy 1 4 done", [](U u) {
             return u.record().inputEqAt(2, kEqGain, 3) == 6 && u.record().highPassIndex[3] == 4;
         }},
        {{"group", "set", "2", "1,2,3", "gain,mute"}, 0, "group 2: 1,2,3; links gain,mute",
         [](U u) { return u.linkTable().group[0] == 2 && u.linkTable().group[2] == 2; }},
        {{"set", "input-gain", "2", "-30"}, 0, "  with Input 3 gain: -30 dB",
         [](U u) { return u.record().inputGain[0] == 20 && u.record().inputGain[2] == 20; }},
        {{"group", "clear", "2"}, 0, "group 2: -; links none",
         [](U u) { return u.linkTable().group[0] == 0; }},
        {asUser + QStringList{"set", "max-open", "5"}, 1, "You do not have permission.",
         [](U u) { return u.record().maxOpenChannels != 5; }},
        {asUser + QStringList{"set", "input-mute", "2", "on"}, 0, "Input 2 mute: on (changed)",
         [](U u) { return u.record().inputMute[1] == 1; }},
        {asUser + QStringList{"set", "input-mute", "2", "on"}, 0, "Input 2 mute: on (unchanged)",
         [](U u) { return u.receivedCount('V') == 0; }},
        {{"set", "hold-time", "120"}, 0, "Hold time: 120 rounded to 100 ms",
         [](U u) { return u.record().holdTime == 2; }},
        {{"set", "output-mute", "1", "on"}, 0, "Output 1 mute: on (changed)"},
        {{"set", "output-gain", "1", "-5"}, 1, "output 1 is muted: unmute it first"},
        {{"factory-restore"}, 1, "factory restore not confirmed"},
        {{"factory-restore"}, 0, "Factory settings restored",
         [](U u) { return u.record().outputMute[0] == factoryRecord().outputMute[0]; }, "yes\n"},
        {{"account", "change"}, 2, "must not contain", {}, {}, "12,34"},
        {{"account", "change"}, 0, "Account admin changed", {}, {}, "135790"},
        {{"--password", "135790", "address", "set", "127.0.0.9"}, 0,
         "The unit now answers at 127.0.0.9"},
    };
    // clang-format on
    for (const Step& step : steps) {
        const std::string name = step.words.join(' ').toStdString();
        CtlRun run{link() << step.words, {}, step.input, {}, 0};
        if (!step.newPassword.isEmpty())
            run.environment.insert("SONARO_NEW_PASSWORD", step.newPassword);
        unit->clearReceived();
        const CtlResult r = runCtl(run);
        EXPECT_EQ(r.status, step.status) << name << ": " << r.err.toStdString();
        EXPECT_TRUE((r.err + r.out).contains(QLatin1String(step.message)))
            << name << ": " << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(!step.holds || step.holds(*unit)) << name;
        EXPECT_TRUE(step.status != 0 || !unit->streaming()) << name;
    }
    EXPECT_EQ(unit->password(QStringLiteral("admin")), "135790");
    EXPECT_EQ(readAddressFile(dir.filePath("ip.ini")).ip, "127.0.0.9");
    EXPECT_TRUE(waitFor([&] { return unit->address() == QHostAddress("127.0.0.9"); }, 2000));
}

// The README's commissioning script sets up the unit and saves its preset; the preset brings the
// values back to a unit that drifted. Thirty-one runs of the program: labelled slow, so that the
// inner loop leaves it to the full test run.
class SonaroctlScript : public SonaroctlCommands
{
};

TEST_F(SonaroctlScript, TheReadmesCommissioningScriptAndItsPresetRoundTrip)
{
    // Resolved as text: the test data directory itself need not exist.
    const QString script = QDir::cleanPath(
        QStringLiteral(SONARO_TEST_DATA_DIR "/../../scripts/commission-example.sh"));
    const QString file = dir.filePath("room.ini");
    CtlRun run{{script, kUnitAddress, QString::number(port), kProgramAddress, file}, {}, {}, {}, 0};
    run.environment.insert(QStringLiteral("SONARO_PASSWORD"), QStringLiteral("888888"));
    run.environment.insert(QStringLiteral("SONARO_DATA_DIR"), dir.path());
    QProcess process;
    startCtl(process, run, QStringLiteral("sh"));
    const CtlResult r = finishCtl(process, 100000);
    ASSERT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    // Each step exits non-zero unless the unit confirmed it: the script's end is the proof.
    EXPECT_TRUE(r.out.contains("commissioned 127.0.0.2")) << r.out.toStdString();
    EXPECT_EQ(unit->record().inputGain[0], dbToGain(-8));

    unit->record().inputGain[0] = 50;
    unit->record().limiterRatio[0] = 1;
    const CtlResult loaded = runCtl(link() + QStringList{"preset", "load"} << file);
    ASSERT_EQ(loaded.status, 0) << loaded.err.toStdString();
    EXPECT_TRUE(loaded.err.contains("Open successfully"));
    EXPECT_EQ(unit->record().inputGain[0], dbToGain(-8));
    EXPECT_DOUBLE_EQ(unit->record().limiterRatio[0], 4);
    EXPECT_TRUE(streamOff());
}

// A file of impossible values is shown with the values named; a missing one sends nothing. (Which
// files are refused: StateFileTest.)
TEST_F(SonaroctlCommands, ABadPresetIsShownMarkedAndNeverLoaded)
{
    QFile bad(dir.filePath("ff.ini"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(2796, '\xff'));
    bad.close();
    const CtlResult marked = runCtl({"preset", "show", bad.fileName()});
    EXPECT_EQ(marked.status, 0);
    EXPECT_TRUE(marked.out.contains("! Input 1 gain (input.1.gain): -1"))
        << marked.out.toStdString();
    EXPECT_TRUE(marked.err.contains("value(s) out of range"));
    unit->clearReceived();
    EXPECT_EQ(runCtl(link() + QStringList{"preset", "load", dir.filePath("missing.ini")}).status,
              1);
    EXPECT_TRUE(unit->received().empty());
}

TEST_F(SonaroctlCommands, WatchTellsFrontPanelChangesByKeyAndMonitorStreamsLevels)
{
    QProcess process;
    startCtl(process, {link() + QStringList{"watch", "--levels", "5"}, {}, {}, {}, 0});
    ASSERT_TRUE(waitFor([&] { return process.canReadLine(); }, 10000)) << "the start event";
    EXPECT_EQ(jsonObjectOf(QString::fromUtf8(process.readLine())).value("schemaVersion").toInt(),
              2);
    // The unit's own front panel: a gain (O), then a phantom switch (D).
    unit->frontPanelChange();
    unit->frontPanelChange();
    QJsonObject seen;
    QStringList events;
    ASSERT_TRUE(waitFor(
        [&] {
            while (process.canReadLine()) {
                const QJsonObject event = jsonObjectOf(QString::fromUtf8(process.readLine()));
                events << event.value("event").toString();
                if (event.value("key").toString().endsWith(".phantom")) seen = event;
            }
            return !seen.isEmpty() && events.contains("levels");
        },
        5000))
        << events.join(' ').toStdString();
    const int input = seen.value("key").toString().section('.', 1, 1).toInt();
    EXPECT_EQ(seen.value("source").toString(), "unit");
    EXPECT_EQ(seen.value("new").toString(), unit->record().inputPhantom[input - 1] ? "on" : "off");
    process.terminate();
    EXPECT_EQ(finishCtl(process).status, 0);
    EXPECT_TRUE(streamOff());

    const CtlResult monitor = runCtl(link() + QStringList{"--json", "monitor", "--seconds", "0.4"});
    ASSERT_EQ(monitor.status, 0) << monitor.err.toStdString();
    const QStringList lines = monitor.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 5) << "status every 20 ms for 0.4 s";
    EXPECT_EQ(jsonObjectOf(lines.value(0)).value("inputs").toArray().size(), 8);
    EXPECT_TRUE(streamOff());
}

TEST_F(SonaroctlCommands, DiscoverListsTheUnitsOfTheBoundNetwork)
{
    auto second = startVirtualUnit(QStringLiteral("127.0.0.3"), port);
    ASSERT_TRUE(second);
    // The link options without the unit's address.
    EXPECT_EQ(runCtl(link().mid(0, 4) << "--port" << QString::number(port) << "discover").out,
              QStringLiteral("127.0.0.2 %1 admin user\n127.0.0.3 %1 admin user\n").arg(port));
}

// `set` and its documentation: the same fixture, a suite of its own.
class SonaroctlSet : public SonaroctlCommands
{
};

// The words of every settable row name that row and the value the desktop's typed entry reads;
// the program itself then sends what the desktop intent sends, checked once for each kind of
// frame sequence (the rest of the way is the core's, the same for every row).
TEST_F(SonaroctlSet, EveryCatalogueRowSendsWhatTheDesktopIntentSends)
{
    LoopbackCore desktop;
    ASSERT_TRUE(desktop.start());
    ASSERT_TRUE(desktop.login());

    const std::vector<const SettingRow*> settable = sonaroctl::settingWords::settableRows();
    std::vector<const SettingRow*> rows;
    for (const SettingRow& row : SettingCatalogue::rows())
        if (row.cliName) rows.push_back(&row);
    ASSERT_GE(rows.size(), 25u);
    EXPECT_EQ(settable, rows);
    // The threshold applies in manual mode only: the mode goes first.
    std::stable_partition(rows.begin(), rows.end(),
                          [](const SettingRow* r) { return r->id == SettingId::AutomixMode; });
    QSet<QString> runs;
    for (const SettingRow* row : rows) {
        const ChangeId id{1, row->id,
                          static_cast<int>(row->id) * 7 % SettingCatalogue::indexCount(row->scope)};
        const QString value = otherValue(*row, SettingCatalogue::storedValue(desktop.record(), id));
        const QStringList words = setWords(id, value);
        SCOPED_TRACE(words.join(' ').toStdString());
        const auto parsed = SettingCatalogue::parseText(row->id, value);
        ASSERT_TRUE(parsed.stored.has_value());
        sonaroctl::SetRequest request;
        ASSERT_EQ(sonaroctl::settingWords::parse(words, request), QString());
        EXPECT_EQ(request.id.setting, id.setting);
        EXPECT_EQ(request.id.index, id.index);
        EXPECT_EQ(request.stored, *parsed.stored);

        const UnitRecord before = desktop.unit->record();
        desktop.unit->clearReceived();
        ASSERT_EQ(desktop.core->applySetting(id, *parsed.stored), Outcome::Applied);
        ASSERT_TRUE(desktop.waitIdle());
        const std::vector<QByteArray> expected = settingFrames(desktop.unit->received());
        ASSERT_FALSE(expected.empty()) << "the desktop intent sent nothing";
        QString kinds;
        for (const QByteArray& f : expected)
            if (!kinds.contains(QLatin1Char(f[1]))) kinds += QLatin1Char(f[1]);
        if (runs.contains(kinds)) continue;
        runs.insert(kinds);

        unit->record() = before; // the program starts where the desktop did
        unit->clearReceived();
        const CtlResult r =
            runCtl(link() << QStringLiteral("--json") << QStringLiteral("set") << words);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(settingFrames(unit->received()), expected);
        const QJsonObject answer = jsonObjectOf(r.out);
        EXPECT_EQ(answer.value("key").toString(), SettingCatalogue::key(id));
        EXPECT_TRUE(answer.value("changed").toBool());
        EXPECT_EQ(answer.value("value"), SettingCatalogue::jsonValue(desktop.record(), id));
    }
    EXPECT_EQ(runs.size(), 6) << "V, M, M with V, G, E and B each through the program";
}

QString sourceFile(const char* path)
{
    // Resolved as text: the test data directory itself need not exist.
    QFile file(
        QDir::cleanPath(QStringLiteral(SONARO_TEST_DATA_DIR "/../../") + QLatin1String(path)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A row added to the catalogue is settable only once the help, the manual page and the bash
// completion name it (HACKING.md, "Add a setting").
TEST_F(SonaroctlSet, HelpManualPageAndCompletionNameEverySettableRow)
{
    const CtlResult help = runCtl({QStringLiteral("set"), QStringLiteral("--help")});
    ASSERT_EQ(help.status, 0);
    // The manual's text without its font changes and escaped hyphens.
    const QString manual = sourceFile("packaging/man/sonaroctl.1.in")
                               .replace(QStringLiteral("\\-"), QStringLiteral("-"))
                               .remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    const QString completion = sourceFile("packaging/sonaroctl.bash-completion");
    const QString completed = QRegularExpression(QStringLiteral("local settings=\"([^\"]*)\""))
                                  .match(completion)
                                  .captured(1);
    ASSERT_FALSE(manual.isEmpty());
    ASSERT_FALSE(completed.isEmpty());
    const auto word = [](const QString& w) {
        return QRegularExpression("(^|\\s)" + QRegularExpression::escape(w) + "\\b",
                                  QRegularExpression::MultilineOption);
    };
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (!row.cliName) continue;
        EXPECT_TRUE(completed.contains(word(QLatin1String(row.cliName)))) << row.cliName;
        QStringList words{QLatin1String(row.cliName)};
        if (row.cliField) words << QLatin1String(row.cliField);
        for (int w = 0; w < 3 && (row.kind == ValueKind::Switch || row.kind == ValueKind::BandType);
             ++w)
            if (row.words[w]) words << QLatin1String(row.words[w]);
        // The key with its numbers' placeholders: "input.CH.gain".
        const QRegularExpression key("(^|\\s)" +
                                         QRegularExpression::escape(QLatin1String(row.key))
                                             .replace(QRegularExpression(R"(\\%[12])"), "[A-Z]+") +
                                         "\\b",
                                     QRegularExpression::MultilineOption);
        for (const QString& text : {help.out, manual, completion}) {
            EXPECT_TRUE(text == completion || text.contains(key)) << row.key;
            for (const QString& w : std::as_const(words))
                EXPECT_TRUE(text.contains(w)) << w.toStdString();
        }
    }
}

TEST_F(SonaroctlSet, WordsThatNameNoSettingOrValueAreUsageErrorsAndSendNothing)
{
    const struct
    {
        QStringList words;
        const char* message;
    } cases[] = {
        {{"set", "input-gain", "0", "-6"}, "CH must be 1 to 8, not '0'"},
        {{"set", "input-gain", "1", "11"}, "Input 1 gain: '11' is outside -50 to 10 dB"},
        {{"set", "phantom", "1", "maybe"}, "'maybe' is not one of off|on"},
        {{"set", "volume", "1"}, "unknown setting 'volume'"},
        {{"set", "eq", "3", "6", "gain", "1"}, "BAND must be 1 to 5"},
        {{"set", "eq", "3", "2", "pitch", "1"}, "set eq changes freq|gain|q|type, not 'pitch'"},
        {{"set", "hpf", "1", "85"}, "is not a cut-off of this filter"},
        {{"set", "input-gain", "1"}, "set input-gain takes CH VALUE"},
        {{"set", "input.9.gain", "-6"}, "'input.9.gain' is not the key of a setting"},
        {{"set", "input.1.lowCut", "on"}, "is not the key of a setting sonaroctl can set"},
        {{"--user", "ad,min", "login"}, "the user name must not contain '&', ',', '#' or '%'"},
        {{"--password", "8%&#", "login"}, "the password must not contain"},
        {{"--password", "1234567", "login"}, "the password must be 1 to 6 characters"},
        {{"--port", "70000", "login"}, "--port must be 1 to 65535"},
        {{"--colour", "login"}, "unknown option '--colour'"},
        {{"--seconds", "1", "show"}, "--seconds is an option of monitor and watch"},
        {{"login"}, "no password"}, // no --password, no SONARO_PASSWORD, no terminal
        {{}, "no command given"},
    };
    for (const auto& c : cases) {
        QStringList arguments = c.words.value(0) == QLatin1String("login") ? QStringList() : link();
        const CtlResult r = runCtl(arguments << c.words);
        EXPECT_EQ(r.status, 2) << c.words.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message)))
            << c.words.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(unit->received().empty()) << "a usage error sends nothing";
}

} // namespace
