// A chain of three units behind one address: every unit is read, each is edited on its own, its
// frames carry its number and nothing of it reaches another.
#include "dsp/EqModel.h"
#include "e2e/CtlProcess.h"
#include "mixer/SonaroCore.h"
#include "store/DataDirectory.h"
#include "support/LoopbackCore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

LoopbackCoreOptions cascade()
{
    LoopbackCoreOptions options;
    options.unitCount = 3;
    return options;
}

// The unit numbers the unit received frames of this kind for, in order.
std::vector<int> unitsOf(const VirtualUnit& unit, char kind)
{
    std::vector<int> units;
    for (const QByteArray& f : unit.received())
        if (f.size() > 5 && f[1] == kind) units.push_back(f.mid(3, 2).toInt(nullptr, 16));
    return units;
}

} // namespace

TEST(Cascade, TheFirstLoginReadsEveryUnitAndEditsReachOnlyTheUnitShown)
{
    LoopbackCore b(cascade());
    b.unit->record(3).inputGain[1] = 20; // the units differ from the start
    ASSERT_TRUE(b.start() && b.login());
    ASSERT_EQ(b.core->unitCount(), 3);
    const std::vector<int> blocks = unitsOf(*b.unit, 'F');
    for (int unit = 1; unit <= 3; ++unit) {
        EXPECT_TRUE(b.core->delivery().isStateRead(unit)) << unit;
        EXPECT_EQ(std::count(blocks.begin(), blocks.end(), unit), 28)
            << "every EQ block of unit " << unit << ", twice as for the first";
    }
    const std::vector<int> states = unitsOf(*b.unit, 'C');
    EXPECT_EQ(std::vector<int>(states.begin(), states.begin() + 3), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(b.core->table().record(3).inputGain[1], 20);

    // Unit 3 shown: a gain and an EQ band go to unit 3 alone.
    ASSERT_TRUE(b.core->setCurrentUnit(3));
    EXPECT_FALSE(b.core->setCurrentUnit(4)) << "the chain has three";
    b.unit->clearReceived();
    b.core->surface().setInputGain(1, -8, Phase::Committed);
    b.core->applySetting({3, SettingId::InputEqGain, 2 * kInputEqBands + 1}, 5.0);
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(unitsOf(*b.unit, 'V'), std::vector<int>{3});
    EXPECT_EQ(unitsOf(*b.unit, 'E'), std::vector<int>{3});
    EXPECT_EQ(b.unit->record(3).inputGain[1], 42);
    EXPECT_EQ(inputEqBand(b.unit->record(3), 2, 1).gain, 5.0);
    EXPECT_NE(b.unit->record(1).inputGain[1], 42);
    EXPECT_EQ(inputEqBand(b.unit->record(1), 2, 1).gain, 0.0);

    // A preset opened on unit 2 goes to unit 2 only.
    const QString preset = b.dir.filePath("three.ini");
    ASSERT_TRUE(b.core->files().savePreset([&] { return preset; })); // unit 3's settings
    ASSERT_TRUE(b.core->setCurrentUnit(2));
    b.unit->clearReceived();
    ASSERT_TRUE(b.core->files().openPreset([&] { return preset; }));
    ASSERT_TRUE(b.waitIdle());
    for (char kind : {'V', 'M', 'G', 'E', 'B'}) {
        const std::vector<int> units = unitsOf(*b.unit, kind);
        EXPECT_FALSE(units.empty()) << kind;
        EXPECT_TRUE(std::all_of(units.begin(), units.end(), [](int u) { return u == 2; })) << kind;
    }
    EXPECT_EQ(b.unit->record(2).inputGain[1], 42);
    EXPECT_NE(b.unit->record(1).inputGain[1], 42);

    // A group of unit 2 travels in unit 2's link table and stays its own.
    b.unit->clearReceived();
    groupChannels(*b.core, 1, {2, 3}, {kGainLink});
    b.core->surface().sendLinkTable();
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(unitsOf(*b.unit, 'J'), std::vector<int>{2});
    EXPECT_EQ(b.unit->linkTable(2).group[1], 1);
    EXPECT_EQ(b.unit->linkTable(1).group[1], 0);
    EXPECT_EQ(b.core->groupTable(1).slot(1).memberCount, 0) << "groups never cross units";
}

// Offline work is on disk the moment it is made: a process killed without its close sequence
// loses none of it, and the next start asks about it per unit at the login.
TEST(Cascade, OfflineChangesToTwoUnitsOutliveAKillAndAreOfferedPerUnit)
{
    LoopbackCoreOptions options = cascade();
    options.readStateFile = true;
    LoopbackCore b(options);
    ASSERT_TRUE(b.start() && b.login());
    b.core->disconnectUnit();
    ASSERT_TRUE(
        waitFor([&] { return b.core->session().connection() == Connection::Offline; }, 2000));
    const QString offlineFile = b.dir.filePath(QString::fromLatin1(kOfflineFileName));
    b.core->applySetting({2, SettingId::InputGain, 0}, 30);
    b.core->applySetting({3, SettingId::InputPhantom, 4}, 0); // on from the factory
    b.core->applySetting({3, SettingId::InputEqGain, 2 * kInputEqBands + 1}, 6.0);
    ASSERT_TRUE(waitFor([&] { return QFileInfo(offlineFile).size() > 0; }, 3000));
    ASSERT_TRUE(b.restartCore()); // no close sequence: as after kill -9
    b.op.offlineChoice = OfflineChoice::SendMine;
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(b.waitIdle(15000)); // three units, each with every block, on a loaded machine
    ASSERT_EQ(b.op.offlineQuestions.size(), 2u);
    EXPECT_EQ(b.op.offlineQuestions[0], QList<ChangeId>{ChangeId(2, SettingId::InputGain, 0)});
    EXPECT_EQ(b.op.offlineQuestions[1].size(), 2);
    EXPECT_EQ(b.unit->record(2).inputGain[0], 30);
    EXPECT_EQ(b.unit->record(3).inputPhantom[4], 0);
    EXPECT_EQ(inputEqBand(b.unit->record(3), 2, 1).gain, 6.0);
    EXPECT_NE(b.unit->record(1).inputGain[0], 30);
    // Delivered: nothing waits at the next start.
    b.core->closeSequence();
    EXPECT_FALSE(QFile::exists(offlineFile));
}

class CascadeCtl : public CtlTest
{
protected:
    void SetUp() override { prepare({kUnitAddress}, 3); }
};

TEST_F(CascadeCtl, UnitOptionNamesTheUnitAndAUnitBeyondTheChainIsRefused)
{
    unit->record(3).inputGain[1] = 20;
    const CtlResult set =
        runCtl(link() + QStringList{"--unit", "3", "set", "input-gain", "2", "-6"});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_TRUE(set.out.contains("(changed)")) << set.out.toStdString();
    EXPECT_EQ(unit->record(3).inputGain[1], 44);
    EXPECT_EQ(unitsOf(*unit, 'V'), std::vector<int>{3});

    // The first unit beyond the chain.
    const CtlResult beyond = runCtl(link() + QStringList{"--unit", "4", "show"});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_TRUE(beyond.err.contains("reports 3 unit(s)")) << beyond.err.toStdString();
    const CtlResult shown = runCtl(link() + QStringList{"--json", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QJsonArray units = jsonObjectOf(shown.out)["units"].toArray();
    ASSERT_EQ(units.size(), 3);
    EXPECT_EQ(units[2].toObject()["settings"].toObject()["input.2.gain"].toDouble(), -6.0);
}
