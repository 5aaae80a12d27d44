// What becomes of the operator's changes on their way to a virtual unit: confirmed, resent,
// given up, prepared offline, carried over an outage, and against the unit's own front panel.
#include "dsp/EqModel.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackCore.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

#include <set>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// What the delivery said about the operator's changes.
struct DeliveryLog
{
    explicit DeliveryLog(Delivery& delivery)
    {
        QObject::connect(&delivery, &Delivery::changeConfirmed,
                         [this](const ChangeId& id) { confirmed << id; });
        QObject::connect(&delivery, &Delivery::changeNotDelivered,
                         [this](const ChangeId& id) { lost << id; });
    }
    QList<ChangeId> confirmed, lost;
};

LoopbackCoreOptions shortSilence()
{
    LoopbackCoreOptions options;
    options.fullSilenceTimeout = false;
    options.readStateFile = false;
    return options;
}

// One change of each frame kind, with the value the unit should end with, and the datagrams of
// the kind at most when the unit never takes it. The groups go as the group dialog's OK sends
// them: inputs 1 and 4 in group 2 with the gain link.
struct KindCase
{
    char kind;
    ChangeId id;
    double stored;
    int bound;
};

const KindCase kKindCases[] = {
    {'V', {1, SettingId::InputGain, 2}, 40, 6},
    {'M', {1, SettingId::InputPriority, 5}, 1, 48},
    {'G', {1, SettingId::Crosspoint, 1 * kInputCount + 4}, 0, 6},
    {'E', {1, SettingId::InputEqGain, 2 * kInputEqBands + 1}, 6.0, 20},
    {'B', {1, SettingId::LimiterAttack, 1}, 77, 8},
    {'J', {1, SettingId::Groups, 0}, 0, 6},
};

void change(SonaroCore& core, const KindCase& c)
{
    if (c.kind != 'J') {
        core.applySetting(c.id, c.stored);
        return;
    }
    groupChannels(core, 2, {1, 4}, {kGainLink});
    core.surface().sendLinkTable();
}

bool arrived(const VirtualUnit& unit, const KindCase& c)
{
    if (c.kind != 'J') return SettingCatalogue::storedValue(unit.record(), c.id) == c.stored;
    LinkTable groups;
    groups.group[0] = groups.group[3] = 2;
    groups.flags[0] = groups.flags[3] = kVolFlagBit;
    return unit.linkTable() == groups;
}

} // namespace

// Every kind of change: a frame lost once is repaired and confirmed; a block the unit took
// although none of its answers came is confirmed by the unit's report; a unit that never takes
// it (nor reports the block) gets a bounded number of datagrams and the change is reported as
// not delivered.
TEST(Delivery, EveryKindIsConfirmedOrReportedAfterABoundedNumberOfFrames)
{
    for (const KindCase& c : kKindCases) {
        SCOPED_TRACE(std::string(1, c.kind));
        {
            LoopbackCore b;
            ASSERT_TRUE(b.start() && b.login());
            DeliveryLog log(b.core->delivery());
            b.record().accountLevel = 1;
            b.unit->dropNext(c.kind, 1);
            change(*b.core, c);
            ASSERT_TRUE(b.waitIdle());
            EXPECT_TRUE(arrived(*b.unit, c));
            EXPECT_TRUE(log.confirmed.contains(c.id));
            EXPECT_TRUE(log.lost.isEmpty());
            EXPECT_TRUE(b.core->delivery().unconfirmed().isEmpty());
        }
        if (c.kind == 'E' || c.kind == 'B') { // the unit took it, and every answer was lost
            LoopbackCore b;
            ASSERT_TRUE(b.start() && b.login());
            DeliveryLog log(b.core->delivery());
            b.unit->dropNext(c.kind, 100000);
            change(*b.core, c);
            SettingCatalogue::row(c.id.setting).set(b.unit->record(), c.id.index, c.stored);
            ASSERT_TRUE(waitFor([&] { return log.confirmed.contains(c.id); }, 10000));
            EXPECT_TRUE(log.lost.isEmpty());
        }
        LoopbackCore b;
        ASSERT_TRUE(b.start() && b.login());
        DeliveryLog log(b.core->delivery());
        b.unit->clearReceived();
        b.unit->dropNext(c.kind, 100000);
        if (c.kind == 'E' || c.kind == 'B') // nor does it report the block
            b.unit->dropNext(c.kind == 'E' ? 'F' : 'T', 100000);
        change(*b.core, c);
        ASSERT_TRUE(waitFor([&] { return log.lost.contains(c.id); }, 10000));
        ASSERT_TRUE(b.waitIdle());
        const int sent = b.unit->receivedCount(c.kind);
        EXPECT_LE(sent, c.bound);
        spin(300);
        EXPECT_EQ(b.unit->receivedCount(c.kind), sent) << "nothing more goes out";
        EXPECT_FALSE(log.confirmed.contains(c.id));
    }
}

// Changes made before any unit was connected are asked about once the unit has reported the
// settings concerned: sent on "send mine", dropped on "take the unit's".
TEST(Delivery, EveryKindPreparedOfflineIsSentOrDroppedAsTheOperatorChooses)
{
    for (const OfflineChoice choice : {OfflineChoice::SendMine, OfflineChoice::TakeUnits}) {
        for (const KindCase& c : kKindCases) {
            SCOPED_TRACE(std::string(1, c.kind) +
                         (choice == OfflineChoice::SendMine ? " mine" : " the unit's"));
            LoopbackCore b(shortSilence());
            ASSERT_TRUE(b.start());
            b.record().accountLevel = 1;
            change(*b.core, c);
            EXPECT_TRUE(b.core->delivery().unconfirmed().contains(c.id));
            // A band of the unit's own that the program has not read yet.
            setInputEqBand(b.unit->record(), 2, 3, EqBand{500.0, -2.0, 1.5, EqBandType::Peak});
            const UnitRecord unitBefore = b.unit->record();
            b.op.offlineChoice = choice;
            ASSERT_TRUE(b.login());
            ASSERT_TRUE(b.waitIdle());
            ASSERT_EQ(b.op.offlineQuestions.size(), 1u);
            EXPECT_EQ(b.op.offlineQuestions[0], QList<ChangeId>{c.id});
            const bool mine = choice == OfflineChoice::SendMine;
            EXPECT_EQ(arrived(*b.unit, c), mine);
            EXPECT_EQ(b.unit->receivedCount(c.kind) > 0, mine) << "only what was chosen goes";
            if (!mine && c.kind != 'J') {
                EXPECT_EQ(SettingCatalogue::storedValue(b.record(), c.id),
                          SettingCatalogue::storedValue(unitBefore, c.id));
            }
            // The bands of the unit the operator did not touch stay as the unit has them.
            for (int band = 0; band < kInputEqBands && c.kind == 'E'; ++band) {
                const EqBand got = inputEqBand(b.unit->record(), 2, band);
                const EqBand was = inputEqBand(unitBefore, 2, band);
                EXPECT_EQ(got.frequency, was.frequency) << band;
                EXPECT_EQ(got.q, was.q) << band;
                EXPECT_TRUE((band == 1 && mine) || got.gain == was.gain) << band;
            }
            EXPECT_TRUE(b.core->delivery().unconfirmed().isEmpty());
        }
    }
}

// The unit answers its state requests slowly: while one is on its way, no other is asked.
TEST(Delivery, ASlowStateReportGetsExactlyOneRequest)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    const int retry = b.core->timings().readBackRetry;
    b.unit->setAnswerDelay(retry * 4 / 10);
    b.unit->clearReceived();
    b.core->surface().setInputGain(1, -20, Phase::Committed);
    ASSERT_TRUE(b.waitReceived('C', 1));
    // More changes leave while the state request waits for its answer.
    b.core->surface().setCrosspoint(2, 0, !b.core->surface().crosspoint(2, 0));
    spin(retry * 3 / 10);
    EXPECT_EQ(b.unit->receivedCount('C'), 1);
    ASSERT_TRUE(b.waitIdle());
    EXPECT_LE(b.unit->receivedCount('C'), 2) << "one for each burst, none while one waits";
}

TEST(Delivery, ChangesDuringAnOutageArriveAndAFrontPanelChangeSurvives)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start() && b.login());
    ControlSurface& surface = b.core->surface();
    UnitRecord& r = b.record();
    b.unit->silence(1000);
    // A limiter change made as the unit falls silent: its answers never come.
    b.core->applySetting({1, SettingId::LimiterAttack, 0}, 66);
    ASSERT_TRUE(waitFor([&] { return !r.connected; }, 2000)) << "the watchdog noticed";

    surface.setInputGain(1, -5, Phase::Committed);
    surface.setHoldTime(600);
    surface.setInputPhantom(3, !r.inputPhantom[3]);
    b.core->applySetting({1, SettingId::LimiterAttack, 1}, 77);
    const int phantom = r.inputPhantom[3];
    // Meanwhile at the unit's front panel (its report is lost in the silence).
    b.unit->record().inputGain[6] = 31;
    b.unit->record().panelLock = 1;
    setInputEqBand(b.unit->record(), 4, 0, EqBand{150.0, 3.0, 2.0, EqBandType::Peak});
    b.unit->dropNext('C', 1); // the re-login's state request is lost: the changes wait for it

    ASSERT_TRUE(waitFor([&] { return r.connected && b.unit->streaming(); }, 4000));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->record().inputGain[1], 45);
    EXPECT_EQ(b.unit->record().holdTime, 12);
    EXPECT_EQ(b.unit->record().inputPhantom[3], phantom);
    EXPECT_EQ(b.unit->record().limiterAttack[1], 77) << "a B given up in the silence goes again";
    EXPECT_EQ(b.unit->record().limiterAttack[0], 66) << "so does one given up as it began";
    EXPECT_EQ(b.unit->record().inputGain[6], 31) << "the front panel's change is kept";
    EXPECT_EQ(r.inputGain[6], 31);
    EXPECT_EQ(r.panelLock, 1);
    EXPECT_EQ(inputEqBand(r, 4, 0).gain, 3.0) << "the EQ is read again after the re-login";
    EXPECT_TRUE(b.core->delivery().unconfirmed().isEmpty());
    EXPECT_TRUE(b.op.offlineQuestions.empty()) << "an outage asks nothing";
    // The state is read before anything goes again, and every EQ and dynamics block (a late
    // answer on a loaded machine may have one asked for twice).
    std::string after = b.receivedKinds();
    after = after.substr(after.rfind('R'));
    EXPECT_EQ(after.substr(after.find_first_of("CVMG"), 1), "C") << after;
    const std::vector<QByteArray>& got = b.unit->received();
    std::size_t i = got.size();
    while (i > 0 && got[i - 1][1] != 'R')
        --i;
    std::set<QByteArray> blocks;
    for (; i < got.size(); ++i)
        if (got[i][1] == 'F' || got[i][1] == 'T') blocks.insert(got[i]);
    EXPECT_EQ(blocks.size(), 14u + 2u) << after;
}

TEST(Delivery, AChangeGivenUpWhileTheUnitPausesGoesAgainWhenItIsHeardWithoutARelogin)
{
    LoopbackCore b; // the whole silence time-out: the pause ends before the watchdog acts
    ASSERT_TRUE(b.start() && b.login());
    DeliveryLog log(b.core->delivery());
    b.unit->silence(1500);
    spin(600); // long enough for a silence, not for a refusal
    b.core->applySetting({1, SettingId::LimiterAttack, 1}, 66);
    ASSERT_TRUE(b.waitIdle(6000));
    EXPECT_EQ(b.unit->receivedCount('R'), 1) << "no re-login";
    EXPECT_EQ(b.unit->record().limiterAttack[1], 66);
    EXPECT_EQ(log.lost, QList<ChangeId>{});
    EXPECT_EQ(log.confirmed, (QList<ChangeId>{{1, SettingId::LimiterAttack, 1}}));
}

TEST(Delivery, ALoginLostAfterASilenceGoesAgainWhileTheUnitIsHeard)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start() && b.login());
    UnitRecord& r = b.record();
    b.unit->silence(700);
    ASSERT_TRUE(waitFor([&] { return !r.connected; }, 2000));
    b.core->surface().setInputGain(1, -5, Phase::Committed);
    // The logins sent around the silence's end are lost, while the unit reports its unit count
    // and streams its status again.
    b.unit->dropNext('R', 1000);
    spin(600); // past the silence's end
    b.unit->sendToClient(buildReplyK(1, 1));
    ASSERT_TRUE(waitFor([&] { return r.connected != 0; }, 1000));
    const int logins = b.unit->receivedCount('R');
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('R') >= logins + 2; }, 3000));
    b.unit->dropNext('R', 0);
    ASSERT_TRUE(
        waitFor([&] { return b.core->session().connection() == Connection::Connected; }, 3000))
        << "the login goes again although the unit is heard";
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->record().inputGain[1], 45);
}

TEST(Delivery, AReportDoesNotOverwriteAFieldThatWaits)
{
    LoopbackCoreOptions options;
    options.readBackQuiet = 2000;
    LoopbackCore b(options);
    ASSERT_TRUE(b.start() && b.login());
    UnitRecord& r = b.record();
    b.unit->dropNext('V', 1);
    b.core->surface().setInputGain(0, 0, Phase::Committed);
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('V') > 0; }, 1000));
    // The unit reports its gains (its front panel moved input 2): input 1 still has the old
    // value there.
    b.unit->record().inputGain[1] = 33;
    ASSERT_NE(b.unit->record().inputGain[0], 50);
    b.unit->sendToClient(buildReplyO(b.unit->record(), 1));
    ASSERT_TRUE(waitFor([&] { return r.inputGain[1] == 33; }, 1000));
    EXPECT_EQ(r.inputGain[0], 50) << "the operator's change waits and is not overwritten";
    EXPECT_EQ(b.core->delivery().unconfirmed(), QList<ChangeId>({{1, SettingId::InputGain, 0}}));
}

namespace {

// The unit reports input 7's gain as changed at its front panel (an O frame); its own record is
// left as it is.
void reportPanelGain(VirtualUnit& unit, int reported)
{
    UnitRecord shown = unit.record();
    shown.inputGain[6] = reported;
    unit.sendToClient(buildReplyO(shown, 1));
}

} // namespace

TEST(Delivery, AFrontPanelChangeTakenBackByAFrameOfOursInFlightIsRestored)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    ASSERT_NE(b.unit->record().inputGain[6], 31);
    // Our V leaves with input 7 at its old value; the unit's change crosses it, so the unit ends
    // with our old value while its report said 31.
    b.core->surface().setInputGain(1, -5, Phase::Committed);
    reportPanelGain(*b.unit, 31);
    ASSERT_TRUE(b.waitIdle());
    ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[6] == 31; }, 2000))
        << "the read-back showed the old value and the change went back to the unit";
    EXPECT_EQ(b.record().inputGain[6], 31);
}

TEST(Delivery, TwoFrontPanelChangesLongAfterOurLastFrameAreBothKept)
{
    LoopbackCoreOptions options;
    options.readBackQuiet = 5000; // no read-back report in between
    LoopbackCore b(options);
    ASSERT_TRUE(b.start() && b.login());
    const int old = b.unit->record().inputGain[6];
    b.core->surface().setInputGain(1, -5, Phase::Committed);
    ASSERT_TRUE(b.waitReceived('V', 1));
    spin(200);
    // Changed at the panel and changed back: the second report is the unit's own, not ours.
    reportPanelGain(*b.unit, 31);
    ASSERT_TRUE(waitFor([&] { return b.record().inputGain[6] == 31; }, 1000));
    reportPanelGain(*b.unit, old);
    ASSERT_TRUE(waitFor([&] { return b.record().inputGain[6] == old; }, 1000));
    spin(200);
    EXPECT_EQ(b.unit->receivedCount('V'), 1) << "nothing goes back to the unit";
}
