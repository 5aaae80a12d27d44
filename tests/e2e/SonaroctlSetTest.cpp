// sonaroctl's `set` against the catalogue of settings: every row with a command-line name sends
// what the desktop's own intent sends, frame by frame; the help, the manual page and the bash
// completion name every such row; words that name no setting or no value are refused before
// anything is sent.
#include "CtlProcess.h"

#include "support/LoopbackCore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

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

TEST(SonaroctlSet, EveryCatalogueRowSendsWhatTheDesktopIntentSends)
{
#ifndef SONAROCTL_PATH
    GTEST_SKIP() << "built without the sonaroctl program";
#endif
    LoopbackCore desktop;
    ASSERT_TRUE(desktop.start());
    ASSERT_TRUE(desktop.login());
    QTemporaryDir dir;
    const quint16 port = freeLoopbackPort({QStringLiteral("127.0.0.3")});
    ASSERT_NE(port, 0);
    auto unit = startVirtualUnit(QStringLiteral("127.0.0.3"), port);
    ASSERT_TRUE(unit);

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
        const CtlResult r = runCtl(linkArguments(dir.path(), QStringLiteral("127.0.0.3"), port)
                                   << QStringLiteral("--json") << QStringLiteral("set") << words);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(settingFrames(unit->received()), expected);
        const QJsonObject answer = jsonObjectOf(r.out);
        EXPECT_EQ(answer.value("key").toString(), SettingCatalogue::key(id));
        EXPECT_TRUE(answer.value("changed").toBool());
        EXPECT_EQ(answer.value("value"), SettingCatalogue::jsonValue(desktop.record(), id));
    }
}

QString sourceFile(const char* path)
{
    // Resolved as text: the test data directory itself need not exist.
    QFile file(
        QDir::cleanPath(QStringLiteral(SONARO_TEST_DATA_DIR "/../../") + QLatin1String(path)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(SonaroctlSet, HelpManualPageAndCompletionNameEverySettableRow)
{
#ifndef SONAROCTL_PATH
    GTEST_SKIP() << "built without the sonaroctl program";
#endif
    const CtlResult help = runCtl({QStringLiteral("set"), QStringLiteral("--help")});
    ASSERT_EQ(help.status, 0);
    // The manual's text without its font changes and escaped hyphens.
    const QString manual = sourceFile("packaging/man/sonaroctl.1.in")
                               .replace(QStringLiteral("\\-"), QStringLiteral("-"))
                               .remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    const QString completion = sourceFile("packaging/sonaroctl.bash-completion");
    ASSERT_FALSE(manual.isEmpty());
    // The words the completion offers after "set".
    const QStringList completedNames =
        QRegularExpression(QStringLiteral("local settings=\"([^\"]*)\""))
            .match(completion)
            .captured(1)
            .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    ASSERT_FALSE(completedNames.isEmpty());
    const QRegularExpression placeholder(QStringLiteral("%[12]"));
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (!row.cliName) continue;
        const QString key = QString::fromLatin1(row.key);
        QStringList words{QLatin1String(row.cliName)};
        if (row.cliField) words << QLatin1String(row.cliField);
        for (int w = 0; w < 3 && (row.kind == ValueKind::Switch || row.kind == ValueKind::BandType);
             ++w)
            if (row.words[w]) words << QLatin1String(row.words[w]);
        EXPECT_TRUE(completedNames.contains(QLatin1String(row.cliName))) << row.cliName;
        for (const QString& word : std::as_const(words)) {
            EXPECT_TRUE(help.out.contains(word)) << "help lacks " << word.toStdString();
            EXPECT_TRUE(manual.contains(word)) << "manual lacks " << word.toStdString();
            EXPECT_TRUE(completion.contains(
                QRegularExpression("\\b" + QRegularExpression::escape(word) + "\\b")))
                << "completion lacks " << word.toStdString();
        }
        // Keys with their numbers' placeholders: "input.CH.gain".
        QStringList parts = key.split(placeholder);
        for (QString& part : parts)
            part = QRegularExpression::escape(part);
        const QRegularExpression keyPattern(QStringLiteral("(^|\\s)") +
                                                parts.join(QStringLiteral("[A-Z]+")) +
                                                QStringLiteral("\\b"),
                                            QRegularExpression::MultilineOption);
        EXPECT_TRUE(help.out.contains(keyPattern)) << "help lacks " << key.toStdString();
        EXPECT_TRUE(manual.contains(keyPattern)) << "manual lacks " << key.toStdString();
    }
    EXPECT_TRUE(manual.contains(QStringLiteral("schemaVersion")));
}

class SonaroctlRefusal : public CtlTest
{
protected:
    void SetUp() override
    {
        if (!prepared({QStringLiteral("127.0.0.2")})) return;
        unit = startVirtualUnit(QStringLiteral("127.0.0.2"), port);
        ASSERT_TRUE(unit);
    }
    std::unique_ptr<VirtualUnit> unit;
};

TEST_F(SonaroctlRefusal, WordsThatNameNoSettingOrValueAreUsageErrorsAndSendNothing)
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
    const QStringList link = linkArguments(dir.path(), QStringLiteral("127.0.0.2"), port);
    for (const auto& c : cases) {
        QStringList arguments = c.words.value(0) == QLatin1String("login") ? QStringList() : link;
        const CtlResult r = runCtl(arguments << c.words);
        EXPECT_EQ(r.status, 2) << c.words.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message)))
            << c.words.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(unit->received().empty()) << "a usage error sends nothing";

    // A value between two steps is rounded, and said; the hold time is given in ms.
    const CtlResult rounded = runCtl(QStringList(link) + QStringList{"set", "hold-time", "120"});
    EXPECT_EQ(rounded.status, 0) << rounded.err.toStdString();
    EXPECT_TRUE(rounded.err.contains("Hold time: 120 rounded to 100 ms"))
        << rounded.err.toStdString();
    EXPECT_EQ(unit->record().holdTime, 2);
}

} // namespace
