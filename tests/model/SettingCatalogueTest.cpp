#include "model/SettingCatalogue.h"
#include "model/UnitRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace sonaro;

namespace {

std::vector<ChangeId> everySetting(int unit)
{
    std::vector<ChangeId> ids;
    for (const SettingRow& row : SettingCatalogue::rows())
        for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i)
            ids.push_back({unit, row.id, i});
    return ids;
}

} // namespace

TEST(SettingCatalogue, EveryKeyIsUniqueAndReadsBackAsItsSetting)
{
    std::set<QString> keys;
    for (int unit : {1, 2, 64}) {
        for (const ChangeId& id : everySetting(unit)) {
            const QString key = SettingCatalogue::key(id);
            EXPECT_TRUE(keys.insert(key).second) << qPrintable(key);
            const auto back = SettingCatalogue::parseKey(key);
            ASSERT_TRUE(back.has_value()) << qPrintable(key);
            EXPECT_EQ(*back, id) << qPrintable(key);
        }
    }
    EXPECT_EQ(SettingCatalogue::key({1, SettingId::InputGain, 2}), QStringLiteral("input.3.gain"));
    EXPECT_EQ(SettingCatalogue::key({2, SettingId::LimiterRatio, 0}),
              QStringLiteral("unit.2.output.1.limiter.ratio"));
    EXPECT_EQ(SettingCatalogue::key({1, SettingId::InputEqGain, 2 * 5 + 1}),
              QStringLiteral("input.3.eq.2.gain"));
    for (const char* bad : {"input.9.gain", "input.0.gain", "unit.65.input.1.gain",
                            "input.3.eq.6.gain", "output.3.route.1", "input.1.volume", ""})
        EXPECT_FALSE(SettingCatalogue::parseKey(QString::fromLatin1(bad))) << bad;
}

TEST(SettingCatalogue, TypedAccessWritesOnlyItsOwnField)
{
    // Each setting written alone changes the record in its own place and nowhere else: a
    // misplaced index would show as another setting changing with it.
    const std::vector<ChangeId> all = everySetting(1);
    for (const ChangeId& id : all) {
        const SettingRow& row = SettingCatalogue::row(id.setting);
        if (row.kind == ValueKind::Text || row.kind == ValueKind::Table) continue;
        UnitRecord r = zeroRecord();
        applyFactoryValues(r);
        const UnitRecord before = r;
        const double value = row.kind == ValueKind::Switch ? 1.0 - row.get(r, id.index) : row.max;
        row.set(r, id.index, value);
        EXPECT_EQ(row.get(r, id.index), value) << qPrintable(SettingCatalogue::key(id));
        for (const ChangeId& other : all) {
            const SettingRow& o = SettingCatalogue::row(other.setting);
            if (other == id || o.wire == row.wire) continue; // gain and mute share their value
            EXPECT_EQ(o.wire(r, other.index), o.wire(before, other.index))
                << qPrintable(SettingCatalogue::key(id)) << " moved "
                << qPrintable(SettingCatalogue::key(other));
        }
    }
}

TEST(SettingCatalogue, TextsAreReadInTheShownUnitAndHeldToTheRange)
{
    struct Case
    {
        SettingId id;
        const char* text;
        std::optional<double> stored;
        bool adjusted;
    };
    const Case cases[] = {
        {SettingId::InputGain, "-12", 38, false},
        {SettingId::InputGain, "99", 60, true}, // +10 dB at most, and it says so
        {SettingId::InputEqFrequency, "30k", 20000, true},
        {SettingId::InputEqFrequency, "2.5kHz", 2500, false},
        {SettingId::InputEqGain, "4.04", 4.0, true},
        {SettingId::LimiterAttack, "-10", 1, true},
        {SettingId::LimiterRatio, "4:1", 4, false},
        {SettingId::LimiterRatio, "inf", 100, false},
        {SettingId::LimiterThreshold, "off", 20, false},
        {SettingId::HoldTime, "520", 10, true}, // the unit's 50 ms steps, the nearest
        {SettingId::HoldTime, "530", 11, true},
        {SettingId::HighPass, "80", 5, false},
        {SettingId::HighPass, "81", std::nullopt, false},
        {SettingId::HighPass, "off", 0, false},
        {SettingId::InputSource, "LINE", 1, false},
        {SettingId::InputMute, "maybe", std::nullopt, false},
        {SettingId::InputEqType, "high-shelf", 2, false},
        {SettingId::InputGain, "loud", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto parsed = SettingCatalogue::parseText(c.id, QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.stored.has_value(), c.stored.has_value()) << c.text;
        if (!c.stored) {
            EXPECT_FALSE(parsed.problem.isEmpty()) << c.text;
            continue;
        }
        EXPECT_NEAR(*parsed.stored, *c.stored, 1e-9) << c.text;
        EXPECT_EQ(!parsed.adjusted.isEmpty(), c.adjusted) << c.text;
    }
}

TEST(SettingCatalogue, EveryFactoryValueIsInRangeAndABlankedRecordIsNot)
{
    UnitRecord factory = zeroRecord();
    applyFactoryValues(factory);
    EXPECT_TRUE(SettingCatalogue::outOfRange(factory).isEmpty())
        << SettingCatalogue::outOfRange(factory).join('\n').toStdString();
    UnitRecord blank;
    std::memset(&blank, 0xFF, sizeof blank);
    const QStringList bad = SettingCatalogue::outOfRange(blank);
    EXPECT_TRUE(bad.contains("Input 1 gain (-1)")) << bad.join('\n').toStdString();
    EXPECT_TRUE(bad.filter("EQ band 5 frequency").size() > 0);
    // A filter is stored as its index and held to the ten cut-offs.
    EXPECT_EQ(SettingCatalogue::storedRange(SettingId::HighPass), std::make_pair(0.0, 10.0));
    EXPECT_EQ(SettingCatalogue::storedRange(SettingId::HoldTime), std::make_pair(0.0, 40.0));
}
