#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackCore.h"

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// The editors start from the factory record, not from a data.ini.
LoopbackCore editorCore()
{
    LoopbackCoreOptions options;
    options.readStateFile = false;
    return LoopbackCore(options);
}

} // namespace

// The program closes within the editors' ticks: their last edits reach the unit before L 0.
TEST(EditorDeliveryEndToEnd, ProgramCloseSendsTheEditsTheTicksHadNotSent)
{
    LoopbackCore b = editorCore();
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    InputEqEditor eq(b.core->surface(), b.core->commandPort(), b.op);
    LimiterEditor limiter(b.core->surface(), b.core->commandPort());
    QObject::connect(b.core.get(), &SonaroCore::aboutToLeaveUnit, &eq, &EditorBase::flush);
    QObject::connect(b.core.get(), &SonaroCore::aboutToLeaveUnit, &limiter, &EditorBase::flush);
    eq.start();
    limiter.start();
    eq.selectChannel(3);
    eq.knobChanged(2, 1800.0, -6.5, 2.0);
    limiter.selectOutput(1);
    limiter.releaseListSelected(1); // 20 ms
    b.unit->clearReceived();

    bool done = false;
    b.core->closeAfterDelivery([&] { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }, 5000));
    spin(50);
    EXPECT_EQ(b.unit->receivedCount('E'), 1);
    EXPECT_EQ(b.unit->receivedCount('B'), 1);
    EXPECT_EQ(inputEqBand(b.unit->record(), 3, 2).gain, -6.5);
    EXPECT_EQ(b.unit->record().limiterRelease[1], 20);
    ASSERT_FALSE(b.unit->received().empty());
    EXPECT_EQ(b.unit->received().back().mid(1, 4), QByteArray("L,00"));
}

// Edits made while the unit is away (the editor closed meanwhile) reach it after the next login.
TEST(EditorDeliveryEndToEnd, OfflineButtonActionsReachTheUnitAfterTheNextLogin)
{
    LoopbackCore b = editorCore();
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start());
    b.unit->record().inputEqAt(0, kEqGain, 5) = 6.0;
    b.unit->record().highPassIndex[5] = 4;
    ASSERT_TRUE(b.login());
    ASSERT_EQ(b.record().inputEqAt(0, kEqGain, 5), 6.0);
    b.core->disconnectUnit();
    ASSERT_TRUE(waitFor([&] { return !b.record().connected; }, 2000));
    {
        InputEqEditor eq(b.core->surface(), b.core->commandPort(), b.op);
        eq.selectChannel(5);
        eq.reset();
        LimiterEditor limiter(b.core->surface(), b.core->commandPort());
        limiter.selectOutput(0);
        limiter.ratioListSelected(3);
    }
    b.unit->clearReceived();
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('B') >= 1; }, 3000));
    ASSERT_TRUE(waitFor([&] { return b.core->delivery().isIdle(); }, 3000));
    spin(50);
    EXPECT_GE(b.unit->receivedCount('E'), 1);
    EXPECT_GE(b.unit->receivedCount('G'), 1);
    EXPECT_EQ(b.unit->record().limiterRatio[0], 4.0);
    EXPECT_EQ(b.unit->record().inputEqAt(0, kEqGain, 5), 0.0);
    EXPECT_EQ(b.unit->record().highPassIndex[5], 0);
    b.core->closeSequence();
}

// The operator disconnects within the tick: the edit reaches the unit before the stream stops.
TEST(EditorDeliveryEndToEnd, DisconnectSendsTheEditFirst)
{
    LoopbackCore b = editorCore();
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    OutputEqEditor eq(b.core->surface(), b.core->commandPort());
    QObject::connect(b.core.get(), &SonaroCore::aboutToLeaveUnit, &eq, &EditorBase::flush);
    eq.selectOutput(1);
    eq.knobChanged(12, 9000.0, 5.5, 1.5);
    b.unit->clearReceived();
    b.core->disconnectUnit();
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('L') >= 2; }, 3000));
    ASSERT_TRUE(waitFor([&] { return b.core->delivery().isIdle(); }, 3000));
    spin(50);
    EXPECT_EQ(b.unit->receivedCount('E'), 3);
    EXPECT_EQ(outputEqBand(b.unit->record(), 1, 12).gain, 5.5);
    EXPECT_EQ(b.unit->received().front()[1], 'E');
    b.core->closeSequence();
}
