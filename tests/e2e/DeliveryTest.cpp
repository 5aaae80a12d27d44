#include "dsp/EqModel.h"
#include "link/DeliveryTracker.h"
#include "mixer/InputEqEditor.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackCore.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// What the session said about the operator's changes, in order.
struct DeliveryLog
{
    explicit DeliveryLog(Session& session)
    {
        QObject::connect(&session, &Session::changeConfirmed,
                         [this](const QString& what) { confirmed << what; });
        QObject::connect(&session, &Session::changeResent, [this](const QString& what, int n) {
            resent << QStringLiteral("%1 #%2").arg(what).arg(n);
        });
        QObject::connect(&session, &Session::changeNotDelivered,
                         [this](const QString& what) { lost << what; });
    }
    QStringList confirmed, resent, lost;
};

// The unit's frames of the kinds V, M and G since its last clear, as a string ("VMG").
std::string changeKinds(const VirtualUnit& unit)
{
    std::string kinds;
    for (const QByteArray& f : unit.received())
        if (f.size() > 1 && (f[1] == 'V' || f[1] == 'M' || f[1] == 'G')) kinds += f[1];
    return kinds;
}

LoopbackCoreOptions shortSilence()
{
    LoopbackCoreOptions options;
    options.fullSilenceTimeout = false;
    options.readStateFile = false;
    return options;
}

} // namespace

TEST(Delivery, ALostVAndALostGAreRepairedByTheReadBack)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    DeliveryLog log(b.core->session());
    ControlSurface& surface = b.core->surface();
    b.unit->clearReceived();
    b.unit->dropNext('V', 1);
    b.unit->dropNext('G', 1);

    surface.setInputGain(2, -10, Phase::Committed);
    surface.setCrosspoint(4, 1, !surface.crosspoint(4, 1));
    const int routing = b.record().routing[1];
    EXPECT_EQ(b.core->session().unconfirmedChanges(),
              QStringList({"input 3 gain", "output 2 routing"}));
    ASSERT_TRUE(b.waitIdle());

    EXPECT_EQ(b.unit->record().inputGain[2], 40);
    EXPECT_EQ(b.unit->record().routing[1], routing);
    EXPECT_EQ(changeKinds(*b.unit), "VGVG") << "one lost of each, one resend of each";
    EXPECT_GE(b.unit->receivedCount('C'), 1);
    EXPECT_EQ(log.resent, QStringList({"input 3 gain #1", "output 2 routing #1"}));
    EXPECT_TRUE(log.confirmed.contains("input 3 gain"));
    EXPECT_TRUE(log.confirmed.contains("output 2 routing"));
    EXPECT_TRUE(log.lost.isEmpty());
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
}

TEST(Delivery, AChangeThatNeverArrivesIsReportedAfterFiveResends)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    DeliveryLog log(b.core->session());
    const int unitGain = b.unit->record().inputGain[0];
    b.unit->clearReceived();
    b.unit->dropNext('V', 1000);

    b.core->surface().setInputGain(0, 5, Phase::Committed);
    ASSERT_TRUE(waitFor([&] { return !log.lost.isEmpty(); }, 5000));
    EXPECT_EQ(log.lost, QStringList({"input 1 gain"}));
    EXPECT_EQ(log.resent, QStringList({"input 1 gain #1", "input 1 gain #2", "input 1 gain #3",
                                       "input 1 gain #4", "input 1 gain #5"}));
    EXPECT_EQ(b.unit->receivedCount('V'), 6);
    EXPECT_TRUE(log.confirmed.isEmpty());
    // The screen shows what the unit has, and nothing more goes out.
    EXPECT_EQ(b.record().inputGain[0], unitGain);
    ASSERT_TRUE(b.waitIdle());
    spin(300);
    EXPECT_EQ(b.unit->receivedCount('V'), 6);
}

TEST(Delivery, ChangesDuringAnOutageArriveAndAFrontPanelChangeSurvives)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start() && b.login());
    DeliveryLog log(b.core->session());
    ControlSurface& surface = b.core->surface();
    UnitRecord& r = b.record();
    b.unit->silence(1000);
    ASSERT_TRUE(waitFor([&] { return !r.connected; }, 2000)) << "the watchdog noticed";

    surface.setInputGain(1, -5, Phase::Committed);
    surface.setHoldTime(600);
    surface.setInputPhantom(3, !r.inputPhantom[3]);
    const int phantom = r.inputPhantom[3];
    // Meanwhile at the unit's front panel (its report is lost in the silence).
    b.unit->record().inputGain[6] = 31;
    b.unit->record().panelLock = 1;
    EXPECT_EQ(b.core->session().unconfirmedChanges(),
              QStringList({"input 2 gain", "input 4 phantom", "hold time"}));

    ASSERT_TRUE(waitFor([&] { return r.connected && b.unit->streaming(); }, 4000));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->record().inputGain[1], 45);
    EXPECT_EQ(b.unit->record().holdTime, 12);
    EXPECT_EQ(b.unit->record().inputPhantom[3], phantom);
    EXPECT_EQ(b.unit->record().inputGain[6], 31) << "the front panel's change is kept";
    EXPECT_EQ(b.unit->record().panelLock, 1);
    EXPECT_EQ(r.inputGain[6], 31);
    EXPECT_EQ(r.panelLock, 1);
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
    EXPECT_TRUE(b.op.offlineQuestions.empty()) << "an outage asks nothing";
    // The state is read before anything goes again.
    const auto& got = b.unit->received();
    std::size_t lastLogin = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i][1] == 'R') lastLogin = i;
    std::string after;
    for (std::size_t i = lastLogin; i < got.size(); ++i)
        if (QByteArray("CVMG").contains(got[i][1])) after += got[i][1];
    EXPECT_EQ(after.substr(0, 1), "C") << after;
    EXPECT_NE(after.find('V'), std::string::npos) << after;
    EXPECT_NE(after.find('M'), std::string::npos) << after;
    EXPECT_NE(after.find('G'), std::string::npos) << after;
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
    spin(600);
    b.unit->sendToClient(buildReplyK(1, 1));
    ASSERT_TRUE(waitFor([&] { return r.connected != 0; }, 1000));
    spin(500);
    b.unit->dropNext('R', 0);
    ASSERT_TRUE(
        waitFor([&] { return b.core->linkState().connection == Connection::Connected; }, 3000))
        << "the login goes again although the unit is heard";
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->record().inputGain[1], 45);
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
}

TEST(Delivery, AChangeMadeBeforeTheReloginsStateReportWaitsForIt)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start() && b.login());
    UnitRecord& r = b.record();
    b.unit->silence(700);
    ASSERT_TRUE(waitFor([&] { return !r.connected; }, 2000));
    // Changed at the unit's front panel during the silence: the program has not heard of it.
    b.unit->record().inputGain[6] = 31;
    b.unit->dropNext('C', 1); // the re-login's state request is lost
    ASSERT_TRUE(
        waitFor([&] { return b.core->linkState().connection == Connection::Connected; }, 3000));
    b.core->surface().setInputGain(1, -5, Phase::Committed);
    ASSERT_TRUE(b.waitIdle());
    ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[1] == 45; }, 2000));
    EXPECT_EQ(b.unit->record().inputGain[6], 31) << "no V built from the old record";
    EXPECT_EQ(r.inputGain[6], 31);
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
}

TEST(Delivery, AReportDoesNotOverwriteAFieldThatWaits)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    b.core->linkState().timings.readBackQuiet = 2000;
    UnitRecord& r = b.record();
    b.unit->dropNext('V', 1);
    b.core->surface().setInputGain(0, 0, Phase::Committed);
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('V') > 0; }, 1000));
    // The unit reports its gains (its front panel moved input 2): input 1 still has the old
    // value there.
    b.unit->record().inputGain[1] = 33;
    const int before = b.unit->record().inputGain[0];
    ASSERT_NE(before, 50);
    b.unit->sendToClient(buildReplyO(b.unit->record(), 1));
    ASSERT_TRUE(waitFor([&] { return r.inputGain[1] == 33; }, 1000));
    EXPECT_EQ(r.inputGain[0], 50) << "the operator's change waits and is not overwritten";
    EXPECT_EQ(b.core->session().unconfirmedChanges(), QStringList({"input 1 gain"}));
}

TEST(Delivery, OfflineChangesThenConnectSendingMine)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start());
    ControlSurface& surface = b.core->surface();
    UnitRecord& r = b.record();
    surface.setInputGain(0, -20, Phase::Committed);
    surface.setInputPriority(5, true);
    // Offline, the same value as the unit's: nothing differs there.
    surface.setInputMute(7, !r.inputMute[7]);
    surface.setInputMute(7, !r.inputMute[7]);
    EXPECT_EQ(surface.record().inputGain[0], 30);
    b.op.offlineChoice = OfflineChoice::SendMine;
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(b.waitIdle());
    ASSERT_EQ(b.op.offlineQuestions.size(), 1u);
    EXPECT_EQ(b.op.offlineQuestions[0], QStringList({"input 1 gain", "input 6 priority"}));
    EXPECT_EQ(changeKinds(*b.unit), "MV") << "exactly the kinds that carry a difference";
    EXPECT_EQ(b.unit->record().inputGain[0], 30);
    EXPECT_EQ(b.unit->record().inputPriority[5], 1);
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
}

TEST(Delivery, OfflineChangesThenConnectTakingTheUnits)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start());
    b.unit->record().holdTime = 6;
    ControlSurface& surface = b.core->surface();
    UnitRecord& r = b.record();
    r.accountLevel = 1;
    surface.setInputGain(0, -20, Phase::Committed);
    surface.setHoldTime(400);
    EXPECT_EQ(b.op.messages.back().text, ControlSurface::savedOfflineText());
    EXPECT_EQ(b.op.messages.back().text, "Saved \u2014 will be sent when connected");
    int refreshes = 0;
    QObject::connect(&surface, &ControlSurface::refreshNeeded, [&] { ++refreshes; });
    b.op.offlineChoice = OfflineChoice::TakeUnits;
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(b.waitIdle());
    ASSERT_EQ(b.op.offlineQuestions.size(), 1u);
    EXPECT_EQ(b.op.offlineQuestions[0], QStringList({"input 1 gain", "hold time"}));
    EXPECT_EQ(changeKinds(*b.unit), "") << "nothing is sent";
    EXPECT_EQ(r.inputGain[0], b.unit->record().inputGain[0]);
    EXPECT_EQ(r.holdTime, 6);
    EXPECT_GT(refreshes, 0);
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
}

TEST(Delivery, SetOkAppearsOnlyOnceTheUnitConfirmed)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    ControlSurface& surface = b.core->surface();
    b.unit->clearReceived();
    b.unit->dropNext('G', 1);
    surface.setHoldTime(700);
    EXPECT_TRUE(b.op.messages.empty()) << "not from the click";
    ASSERT_TRUE(waitFor([&] { return !b.op.messages.empty(); }, 3000));
    EXPECT_EQ(b.op.messages.back().text, "Set ok.");
    EXPECT_EQ(b.unit->receivedCount('G'), 2) << "said after the resend arrived";
    EXPECT_EQ(b.unit->record().holdTime, 14);

    // A change that never arrives is never called done.
    b.op.messages.clear();
    b.unit->dropNext('G', 1000);
    surface.setMaxOpenChannels(2);
    ASSERT_TRUE(b.waitIdle());
    spin(200);
    EXPECT_TRUE(b.op.messages.empty()) << b.op.texts().join('|').toStdString();
}

TEST(Delivery, OfflineFactoryRestoreAsksAndSaysItIsLocal)
{
    LoopbackCore b(shortSilence());
    ASSERT_TRUE(b.start());
    b.record().accountLevel = 1;
    b.op.answer = false;
    EXPECT_FALSE(b.core->files().factoryRestore());
    ASSERT_EQ(b.op.questions.size(), 1u);
    EXPECT_TRUE(b.op.questions[0].text.contains("only the local settings"));
    b.op.answer = true;
    EXPECT_TRUE(b.core->files().factoryRestore());
    EXPECT_EQ(b.op.messages.back().text, ControlSurface::savedOfflineText());
    EXPECT_FALSE(b.core->session().unconfirmedChanges().isEmpty());
    EXPECT_TRUE(b.unit->received().empty()) << "nothing goes to a unit";
}

namespace {

LinkTable preparedGroups()
{
    LinkTable t;
    t.group[0] = t.group[3] = 2;
    t.flags[0] = t.flags[3] = kVolFlagBit | kPhantomFlagBit;
    return t;
}

} // namespace

TEST(Delivery, GroupsPreparedOfflineAreSentOrReplacedAsTheOperatorChooses)
{
    for (OfflineChoice choice : {OfflineChoice::SendMine, OfflineChoice::TakeUnits}) {
        SCOPED_TRACE(choice == OfflineChoice::SendMine ? "send mine" : "take the unit's");
        LoopbackCore b(shortSilence());
        ASSERT_TRUE(b.start());
        const LinkTable unitGroups = b.unit->linkTable();
        b.core->groupStore().storeLinkTable(preparedGroups());
        ASSERT_EQ(b.core->groupStore().sendLinkTable(), preparedGroups());
        b.core->surface().sendLinkTable();
        EXPECT_EQ(b.core->session().unconfirmedChanges(), QStringList({"groups"}));

        b.op.offlineChoice = choice;
        ASSERT_TRUE(b.login());
        ASSERT_TRUE(b.waitIdle());
        ASSERT_EQ(b.op.offlineQuestions.size(), 1u);
        EXPECT_EQ(b.op.offlineQuestions[0], QStringList({"groups"}));
        const bool mine = choice == OfflineChoice::SendMine;
        const LinkTable expected = mine ? preparedGroups() : unitGroups;
        EXPECT_EQ(b.unit->receivedCount('J'), mine ? 1 : 0);
        EXPECT_EQ(b.unit->linkTable(), expected);
        EXPECT_EQ(b.core->groupStore().sendLinkTable(), expected) << "the store holds the same";
        EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());
    }
}

TEST(Delivery, OfflineChangesOutliveARestart)
{
    LoopbackCoreOptions options = shortSilence();
    options.readStateFile = true;
    LoopbackCore b(options);
    ASSERT_TRUE(b.start());
    b.core->surface().setInputGain(0, -20, Phase::Committed);
    b.core->groupStore().storeLinkTable(preparedGroups());
    b.core->surface().sendLinkTable();
    {
        // An EQ band of input 3 shaped offline; the editor is closed before the restart.
        InputEqEditor eq(b.core->surface(), b.core->commandPort(), b.op);
        eq.start();
        eq.selectChannel(2);
        eq.knobChanged(1, 2500.0, 6.0, 2.0);
        spin(300);
    }
    b.core->closeSequence();
    const QString offlineFile = b.dir.filePath("offline.ini");
    ASSERT_TRUE(QFile::exists(offlineFile));

    ASSERT_TRUE(b.restartCore());
    EXPECT_EQ(b.core->session().unconfirmedChanges(), QStringList({"input 1 gain", "groups"}));
    b.op.offlineChoice = OfflineChoice::SendMine;
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(b.waitIdle());
    ASSERT_EQ(b.op.offlineQuestions.size(), 1u);
    EXPECT_EQ(b.op.offlineQuestions[0], QStringList({"input 1 gain", "groups"}));
    EXPECT_EQ(b.unit->record().inputGain[0], 30);
    EXPECT_EQ(b.unit->linkTable(), preparedGroups());
    ASSERT_TRUE(waitFor([&] { return inputEqBand(b.unit->record(), 2, 1).gain > 5.5; }, 3000))
        << "the EQ edited offline reached the unit after the restart";
    EXPECT_NEAR(inputEqBand(b.unit->record(), 2, 1).frequency, 2500.0, 25.0);
    EXPECT_NEAR(inputEqBand(b.record(), 2, 1).gain, 6.0, 0.1) << "not the unit's old EQ";
    ASSERT_TRUE(b.waitIdle());
    EXPECT_TRUE(b.core->session().unconfirmedChanges().isEmpty());

    // Delivered: nothing waits at the next start.
    b.core->closeSequence();
    EXPECT_FALSE(QFile::exists(offlineFile));
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
    const int old = b.unit->record().inputGain[6];
    ASSERT_NE(old, 31);
    // Our V leaves with input 7 at its old value; the unit's change crosses it, so the unit ends
    // with our old value while its report said 31.
    b.core->surface().setInputGain(1, -5, Phase::Committed);
    reportPanelGain(*b.unit, 31);
    ASSERT_TRUE(b.waitIdle());
    ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[6] == 31; }, 2000))
        << "the read-back showed the old value and the change went back to the unit";
    EXPECT_EQ(b.record().inputGain[6], 31);
    EXPECT_EQ(b.unit->record().inputGain[1], 45);
}

TEST(Delivery, TwoFrontPanelChangesLongAfterOurLastFrameAreBothKept)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    b.core->linkState().timings.readBackQuiet = 5000; // no read-back report in between
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
    EXPECT_EQ(b.record().inputGain[6], old);
    EXPECT_EQ(b.unit->receivedCount('V'), 1) << "nothing goes back to the unit";
}
