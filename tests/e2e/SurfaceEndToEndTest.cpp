// The desktop's actions on the whole core against a virtual unit: the factory restore's and the
// presets' wire sequences, and the editors' last edits when the unit is left.
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "mixer/SonaroCore.h"
#include "mixer/StateFile.h"
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

// The one wire sequence of a factory restore; the watchdog stays quiet meanwhile.
TEST(SurfaceEndToEnd, FactoryRestoreSendsItsSequenceAndKeepsTheLink)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start() && b.login());
    UnitRecord& r = b.core->table().current();
    r.inputGain[0] = 12;
    b.unit->clearReceived();
    ASSERT_TRUE(b.core->files().factoryRestore());
    ASSERT_TRUE(b.waitReceived('L', 2));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.receivedKinds(), "L00 M G V J E E E E E E E E E E E E E E B B C L01");
    EXPECT_TRUE(r.connected);
    EXPECT_EQ(b.unit->record().inputGain[0], 44);
    EXPECT_EQ(b.unit->record().routing[1], 0xFF);
    EXPECT_EQ(b.op.messages.back().text, "Restore Successfully.");
}

// An administrator's preset opened: the whole record goes out in one sequence and arrives. A user
// who opens it sends the sequence all the same (the user's own settings need it), but the
// administrator's settings stay as the unit has them, and the message names them.
TEST(SurfaceEndToEnd, APresetSendsTheWholeRecordAndAUserKeepsTheAdministratorsSettings)
{
    using Field = int (*)(const UnitRecord&);
    const std::pair<const char*, Field> adminFields[] = {
        {"routing", [](const UnitRecord& u) { return int(u.routing[0]); }},
        {"maximum open channels", [](const UnitRecord& u) { return int(u.maxOpenChannels); }},
        {"hold time", [](const UnitRecord& u) { return int(u.holdTime); }},
        {"automix mode", [](const UnitRecord& u) { return int(u.thresholdMode); }},
        {"threshold", [](const UnitRecord& u) { return int(u.threshold); }},
        {"panel lock", [](const UnitRecord& u) { return int(u.panelLock); }},
        {"device mode", [](const UnitRecord& u) { return int(u.deviceMode); }},
    };
    for (const bool admin : {true, false}) {
        SCOPED_TRACE(admin ? "admin" : "user");
        LoopbackCore b;
        ASSERT_TRUE(b.start());
        ASSERT_TRUE(admin ? b.login() : b.login(QStringLiteral("user"), QStringLiteral("666666")));
        UnitRecord& r = b.record();
        const UnitRecord unitBefore = b.unit->record();
        UnitRecord file = r;
        file.inputGain[2] = unitBefore.inputGain[2] == 30 ? 31 : 30;
        file.limiterThreshold[1] = -10.0;
        file.routing[0] = unitBefore.routing[0] ^ 0x81;
        file.maxOpenChannels = unitBefore.maxOpenChannels == 2 ? 3 : 2;
        file.holdTime = unitBefore.holdTime == 10 ? 11 : 10;
        file.thresholdMode = 1 - unitBefore.thresholdMode;
        file.threshold = unitBefore.threshold == 20 ? 21 : 20;
        file.panelLock = 1 - unitBefore.panelLock;
        file.deviceMode = 1 - unitBefore.deviceMode;
        const QString path = b.dir.filePath(QStringLiteral("room.ini"));
        ASSERT_TRUE(StateFile::write(path, file, GroupFileRecords{}, b.op));
        b.unit->clearReceived();
        b.op.messages.clear();
        ASSERT_TRUE(b.core->files().openPreset([&] { return path; }));
        ASSERT_TRUE(b.waitReceived('L', 2));
        ASSERT_TRUE(b.waitIdle());
        // The read-back of the V and the G may follow.
        EXPECT_EQ(b.receivedKinds().rfind("L00 V M J G E E E E E E E E E E E E E E B B L01", 0), 0u)
            << b.receivedKinds();
        EXPECT_EQ(b.unit->record().inputGain[2], file.inputGain[2]);
        EXPECT_DOUBLE_EQ(b.unit->record().limiterThreshold[1], -10.0);
        ASSERT_EQ(b.op.messages.size(), 1u);
        const QString text = b.op.messages[0].text;
        EXPECT_EQ(text == "Open successfully", admin) << text.toStdString();
        for (const auto& [name, field] : adminFields) {
            const int expected = field(admin ? file : unitBefore);
            EXPECT_EQ(field(b.unit->record()), expected) << name;
            EXPECT_EQ(field(r), expected) << name;
            EXPECT_EQ(text.contains(QLatin1String(name)), !admin) << name;
        }
    }
}

// The program closes, or the operator disconnects, within the editors' ticks: their last edits
// reach the unit before the stream goes off.
TEST(SurfaceEndToEnd, LeavingTheUnitSendsTheEditsTheTicksHadNotSent)
{
    for (const bool closing : {true, false}) {
        SCOPED_TRACE(closing ? "close" : "disconnect");
        LoopbackCore b = editorCore();
        ASSERT_TRUE(b.start() && b.login());
        InputEqEditor eq(b.core->surface(), b.core->commandPort(), b.op);
        OutputEqEditor outputEq(b.core->surface(), b.core->commandPort());
        LimiterEditor limiter(b.core->surface(), b.core->commandPort());
        for (EditorBase* editor : std::initializer_list<EditorBase*>{&eq, &outputEq, &limiter})
            QObject::connect(b.core.get(), &SonaroCore::aboutToLeaveUnit, editor,
                             &EditorBase::flush);
        eq.start();
        limiter.start();
        eq.selectChannel(3);
        eq.knobChanged(2, 1800.0, -6.5, 2.0);
        outputEq.selectOutput(1);
        outputEq.knobChanged(12, 9000.0, 5.5, 1.5);
        limiter.selectOutput(1);
        limiter.releaseListSelected(1); // 20 ms
        b.unit->clearReceived();
        bool done = false;
        if (closing)
            b.core->closeAfterDelivery([&] { done = true; });
        else
            b.core->disconnectUnit();
        ASSERT_TRUE(waitFor(
            [&] {
                const auto& got = b.unit->received();
                return (done || !closing) && b.core->delivery().isIdle() && !got.empty() &&
                       got.back().mid(1, 4) == QByteArray("L,00");
            },
            5000));
        EXPECT_NE(b.unit->received().front()[1], 'L') << "the edits go first";
        EXPECT_EQ(b.unit->receivedCount('E'), 1 + 3);
        EXPECT_EQ(b.unit->receivedCount('B'), 1);
        EXPECT_EQ(inputEqBand(b.unit->record(), 3, 2).gain, -6.5);
        EXPECT_EQ(outputEqBand(b.unit->record(), 1, 12).gain, 5.5);
        EXPECT_EQ(b.unit->record().limiterRelease[1], 20);
        EXPECT_EQ(b.core->session().connection(), Connection::Offline);
    }
}
