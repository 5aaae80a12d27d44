// sonaroctl's commands beyond set: factory restore, address and account changes, channel names
// and the input EQ's copy and reset, against a virtual unit on 127.0.0.2.
#include "CtlProcess.h"

#include "link/AddressFile.h"
#include "model/ValueConventions.h"
#include "protocol/Commands.h"
#include "support/FactoryRecord.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

class SonaroctlCommands : public CtlTest
{
protected:
    void SetUp() override
    {
        if (!prepared({QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.9")})) return;
        unit = startVirtualUnit(QStringLiteral("127.0.0.2"), port);
        ASSERT_TRUE(unit);
    }

    QStringList link(const QString& password = QStringLiteral("888888")) const
    {
        return linkArguments(dir.path(), QStringLiteral("127.0.0.2"), port, password);
    }

    std::unique_ptr<VirtualUnit> unit;
};

TEST_F(SonaroctlCommands, FactoryRestoreAsksAndAClosedInputRefuses)
{
    unit->record().inputGain[0] = 55;
    CtlResult r = runCtl(link() << QStringLiteral("factory-restore"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("factory restore not confirmed")) << r.err.toStdString();
    EXPECT_TRUE(unit->received().empty()) << "asked before anything is sent";

    // Answered on standard input.
    r = runCtl(link() << QStringLiteral("factory-restore"), {}, "yes\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(unit->record().inputGain[0], factoryRecord().inputGain[0]);

    unit->record().inputGain[0] = 55;
    r = runCtl(link() << QStringLiteral("--yes") << QStringLiteral("factory-restore"));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Factory settings restored"));
    EXPECT_TRUE(r.err.contains("Restore Successfully.")) << "said once the unit confirmed";
    EXPECT_EQ(unit->record().inputGain[0], factoryRecord().inputGain[0]);
}

TEST_F(SonaroctlCommands, AddressSetIsCheckedAndDoneWhenTheUnitReportsIt)
{
    for (const char* bad : {"10.0.0.300", "224.0.0.1", "192.168.1.255"}) {
        const CtlResult r =
            runCtl(link() << QStringLiteral("address") << QStringLiteral("set") << bad);
        EXPECT_EQ(r.status, 2) << bad << ": " << r.err.toStdString();
    }
    EXPECT_EQ(unit->receivedCount('I'), 0);

    const CtlResult r = runCtl(link() << QStringLiteral("--json") << QStringLiteral("address")
                                      << QStringLiteral("set") << QStringLiteral("127.0.0.9"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(jsonObjectOf(r.out).value("address").toString(), "127.0.0.9");
    EXPECT_EQ(readAddressFile(dir.filePath("ip.ini")).ip, "127.0.0.9");
    EXPECT_TRUE(waitFor([&] { return unit->address() == QHostAddress("127.0.0.9"); }, 2000));
}

TEST_F(SonaroctlCommands, AccountChangeTakesTheNewPasswordFromTheEnvironmentOnly)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("SONARO_NEW_PASSWORD"), QStringLiteral("12,34"));
    CtlResult r = runCtl(link() << QStringLiteral("account") << QStringLiteral("change"), env);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("must not contain ',', '#' or '%'")) << r.err.toStdString();
    r = runCtl(link() << QStringLiteral("account") << QStringLiteral("change"));
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("no new password")) << r.err.toStdString();
    EXPECT_TRUE(unit->received().empty());

    env.insert(QStringLiteral("SONARO_NEW_PASSWORD"), QStringLiteral("135790"));
    r = runCtl(link() << QStringLiteral("account") << QStringLiteral("change"), env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(unit->password(QStringLiteral("admin")), "135790");
    EXPECT_EQ(runCtl(link(QStringLiteral("135790")) << QStringLiteral("login")).status, 0);
}

TEST_F(SonaroctlCommands, NamesAndTheInputEqCopyAndReset)
{
    CtlResult r = runCtl(link() << QStringLiteral("name") << QStringLiteral("3")
                                << QStringLiteral("Lectern"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = runCtl(link() << QStringLiteral("name") << QStringLiteral("output") << QStringLiteral("2")
                      << QStringLiteral("Recorder"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = runCtl(link() << QStringLiteral("--json") << QStringLiteral("show"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject state = jsonObjectOf(r.out);
    EXPECT_EQ(state.value("schemaVersion").toInt(), 1);
    EXPECT_EQ(state.value("inputs").toArray()[2].toObject().value("name").toString(), "Lectern");
    EXPECT_EQ(state.value("outputs").toArray()[1].toObject().value("name").toString(), "Recorder");

    unit->record().inputEqAt(2, kEqGain, 0) = 6;
    unit->record().highPassIndex[0] = 4;
    r = runCtl(link() << QStringLiteral("--yes") << QStringLiteral("eq") << QStringLiteral("copy")
                      << QStringLiteral("1") << QStringLiteral("4"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_DOUBLE_EQ(unit->record().inputEqAt(2, kEqGain, 3), 6);
    EXPECT_EQ(unit->record().highPassIndex[3], 4);

    r = runCtl(link() << QStringLiteral("eq") << QStringLiteral("reset") << QStringLiteral("1"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_DOUBLE_EQ(unit->record().inputEqAt(2, kEqGain, 0), 0);
    EXPECT_EQ(unit->record().highPassIndex[0], 0);
}

} // namespace

namespace {

TEST_F(SonaroctlCommands, WatchTellsFrontPanelChangesAndStopsCleanlyOnSigterm)
{
    QProcess process;
    startCtl(process, link() << QStringLiteral("watch") << QStringLiteral("--levels")
                             << QStringLiteral("5"));
    ASSERT_TRUE(waitFor([&] { return process.canReadLine(); }, 10000)) << "the start event";
    const QJsonObject start = jsonObjectOf(QString::fromUtf8(process.readLine()));
    EXPECT_EQ(start.value("event").toString(), "start");
    EXPECT_EQ(start.value("schemaVersion").toInt(), 1);

    // The unit's own front panel: a gain (O), then a phantom switch (D).
    const int phantomBefore = [&] {
        int bits = 0;
        for (int ch = 0; ch < kInputCount; ++ch)
            bits |= unit->record().inputPhantom[ch] << ch;
        return bits;
    }();
    unit->frontPanelChange();
    unit->frontPanelChange();
    int changed = -1;
    for (int ch = 0; ch < kInputCount; ++ch)
        if (((phantomBefore >> ch) & 1) != unit->record().inputPhantom[ch]) changed = ch;
    ASSERT_GE(changed, 0);
    const QString field = QStringLiteral("inputs[%1].phantom").arg(changed + 1);

    QJsonObject seen;
    QStringList events;
    ASSERT_TRUE(waitFor(
        [&] {
            while (process.canReadLine()) {
                const QJsonObject event = jsonObjectOf(QString::fromUtf8(process.readLine()));
                events << event.value("event").toString();
                if (event.value("field").toString() == field) seen = event;
            }
            return !seen.isEmpty() && events.contains("levels");
        },
        5000))
        << events.join(' ').toStdString();
    EXPECT_EQ(seen.value("source").toString(), "unit");
    EXPECT_EQ(seen.value("old").toBool(), ((phantomBefore >> changed) & 1) != 0);
    EXPECT_EQ(seen.value("new").toBool(), unit->record().inputPhantom[changed] != 0);

    process.terminate(); // SIGTERM
    const CtlResult r = finishCtl(process);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(unit->streaming()) << "the status stream is off";
    EXPECT_EQ(unit->received().back(), QByteArray::fromStdString(buildL(false)));
}

} // namespace

namespace {

TEST_F(SonaroctlCommands, TheReadmesCommissioningScriptRunsAgainstAVirtualUnit)
{
    // Resolved as text: the test data directory itself need not exist.
    const QString script = QDir::cleanPath(
        QStringLiteral(SONARO_TEST_DATA_DIR "/../../scripts/commission-example.sh"));
    ASSERT_TRUE(QFileInfo::exists(script));
    const QString preset = dir.filePath("room.ini");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONAROCTL"), QStringLiteral(SONAROCTL_PATH));
    env.insert(QStringLiteral("SONARO_PASSWORD"), QStringLiteral("888888"));
    env.insert(QStringLiteral("SONARO_DATA_DIR"), dir.path());
    env.insert(QStringLiteral("SONARO_TIMING_SCALE"), QStringLiteral("10"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("sh"), {script, QStringLiteral("127.0.0.2"), QString::number(port),
                                         QStringLiteral("127.0.0.1"), preset});
    process.closeWriteChannel();
    const CtlResult r = finishCtl(process, 100000);
    ASSERT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("commissioned 127.0.0.2")) << r.out.toStdString();

    const UnitRecord& u = unit->record();
    EXPECT_EQ(u.inputGain[0], dbToGain(-8));
    EXPECT_EQ(u.inputLine[2], 1);
    EXPECT_EQ(u.routing[1] & 0x04, 0) << "input 3 off output 2";
    EXPECT_EQ(u.highPassIndex[0], 5);
    EXPECT_DOUBLE_EQ(u.inputEqAt(1, kEqFrequency, 2), 250);
    EXPECT_DOUBLE_EQ(u.inputEqAt(1, kEqGain, 2), -4);
    EXPECT_EQ(u.limiterEnable[0], 1);
    EXPECT_DOUBLE_EQ(u.limiterRatio[0], 4);
    EXPECT_EQ(u.maxOpenChannels, 2);
    EXPECT_NE(unit->linkTable().group[0], 0) << "inputs 1 and 2 grouped";
    EXPECT_EQ(unit->linkTable().group[1], unit->linkTable().group[0]);
    const CtlResult shown = runCtl({"--json", "preset", "show", preset});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_EQ(
        jsonObjectOf(shown.out).value("inputs").toArray()[0].toObject().value("gainDb").toInt(),
        -8);
}

} // namespace

namespace {

TEST_F(SonaroctlCommands, GroupsAreSetShownAndClearedThroughTheUnitsLinkTable)
{
    CtlResult r =
        runCtl(link() << QStringLiteral("group") << QStringLiteral("set") << QStringLiteral("2")
                      << QStringLiteral("1,2,3") << QStringLiteral("gain,mute"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_GE(unit->receivedCount('J'), 1);

    r = runCtl(link() << QStringLiteral("--json") << QStringLiteral("group")
                      << QStringLiteral("show"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject group2 = jsonObjectOf(r.out).value("groups").toArray()[1].toObject();
    EXPECT_EQ(group2.value("members").toArray(), (QJsonArray{1, 2, 3}));
    EXPECT_EQ(group2.value("links").toArray(), (QJsonArray{"gain", "mute"}));

    // Linked gains follow as on the desktop.
    r = runCtl(link() << QStringLiteral("set") << QStringLiteral("input-gain")
                      << QStringLiteral("2") << QStringLiteral("-30"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(unit->record().inputGain[0], dbToGain(-30));
    EXPECT_EQ(unit->record().inputGain[2], dbToGain(-30));

    // A channel belongs to one group only.
    r = runCtl(link() << QStringLiteral("group") << QStringLiteral("set") << QStringLiteral("3")
                      << QStringLiteral("3"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Already add group!")) << r.err.toStdString();

    r = runCtl(link() << QStringLiteral("group") << QStringLiteral("clear") << QStringLiteral("2"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = runCtl(link() << QStringLiteral("group") << QStringLiteral("show"));
    EXPECT_TRUE(r.out.contains("group 2: -; links none")) << r.out.toStdString();
}

} // namespace
