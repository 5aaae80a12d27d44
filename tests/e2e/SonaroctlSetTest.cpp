// sonaroctl's `set` against the catalogue of settings: every row with a command-line name sends
// what the desktop's own intent sends, frame by frame; words that name no setting or no value
// are refused before anything is sent.
#include "CtlProcess.h"

#include "support/LoopbackCore.h"

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

QString numberText(double value)
{
    return QString::number(value, 'g', 6);
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
        return numberText(SettingCatalogue::shownFromStored(row.id, stored == 5 ? 3 : 5));
    case ValueKind::Ratio:
        return stored == 4 ? QStringLiteral("6:1") : QStringLiteral("4:1");
    default:
        break;
    }
    const double shown = SettingCatalogue::shownFromStored(row.id, stored);
    for (const double part : {0.25, 0.5}) {
        const double v = std::round((row.min + (row.max - row.min) * part) / row.step) * row.step;
        if (std::abs(v - shown) > row.step / 2) return numberText(v);
    }
    return numberText(row.min);
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

class SonaroctlSet : public CtlTest
{
protected:
    void SetUp() override { prepare({QStringLiteral("127.0.0.3")}); }
};

TEST_F(SonaroctlSet, EveryCatalogueRowSendsWhatTheDesktopIntentSends)
{
    LoopbackCore desktop;
    ASSERT_TRUE(desktop.start());
    ASSERT_TRUE(desktop.login());

    std::vector<const SettingRow*> rows;
    for (const SettingRow& row : SettingCatalogue::rows())
        if (row.cliName) rows.push_back(&row);
    ASSERT_GE(rows.size(), 25u);
    // The threshold applies in manual mode only: the mode goes first.
    std::stable_partition(rows.begin(), rows.end(),
                          [](const SettingRow* r) { return r->id == SettingId::AutomixMode; });
    for (const SettingRow* row : rows) {
        const ChangeId id{1, row->id,
                          static_cast<int>(row->id) * 7 % SettingCatalogue::indexCount(row->scope)};
        const QString value = otherValue(*row, SettingCatalogue::storedValue(desktop.record(), id));
        const QStringList words = setWords(id, value);
        SCOPED_TRACE(words.join(' ').toStdString());
        const auto parsed = SettingCatalogue::parseText(row->id, value);
        ASSERT_TRUE(parsed.stored.has_value());

        desktop.unit->clearReceived();
        ASSERT_EQ(desktop.core->applySetting(id, *parsed.stored), Outcome::Applied);
        ASSERT_TRUE(desktop.waitIdle());
        const std::vector<QByteArray> expected = settingFrames(desktop.unit->received());
        EXPECT_FALSE(expected.empty()) << "the desktop intent sent nothing";

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
        {{"set", "output-gain", "3", "0"}, "OUT must be 1 to 2"},
        {{"set", "phantom", "1", "maybe"}, "'maybe' is not one of off|on"},
        {{"set", "volume", "1"}, "unknown setting 'volume'"},
        {{"set", "eq", "3", "2", "freq", "30k"}, "is outside 20 to 20000 Hz"},
        {{"set", "eq", "3", "6", "gain", "1"}, "BAND must be 1 to 5"},
        {{"set", "eq", "3", "2", "pitch", "1"}, "set eq changes freq|gain|q|type, not 'pitch'"},
        {{"set", "hpf", "1", "85"}, "is not a cut-off of this filter"},
        {{"set", "limiter", "1", "attack", "0"}, "'0' is outside 1 to 2000 ms"},
        {{"set", "hold-time", "3000"}, "'3000' is outside 0 to 2000 ms"},
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
