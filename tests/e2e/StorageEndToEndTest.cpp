// The whole program on damaged or read-only storage and with a second program on its data
// directory: one report each, then a working login, strips and presets; and a user's preset that
// leaves the administrator's settings alone.
#include "mixer/SonaroCore.h"
#include "mixer/StateFile.h"
#include "store/DataDirectoryLock.h"
#include "support/ChildProcess.h"
#include "support/DamagedDatabase.h"
#include "support/EventLoop.h"
#include "support/LoopbackCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

// Logs in, shows the ten strips and saves and opens a preset in presetDir: what an operator needs
// of a working program. Returns an empty text when all of it worked, else what did not.
QString exerciseProgram(LoopbackCore& b, const QString& presetDir)
{
    if (!b.login()) return QStringLiteral("no login");
    if (b.core->pageLayout(0).strips.size() != 10) return QStringLiteral("not ten strips");
    if (b.core->groupTabCount() != 6) return QStringLiteral("not six group tabs");
    const QString preset = QDir(presetDir).filePath(QStringLiteral("room.ini"));
    if (!b.core->files().savePreset([&] { return preset; })) return QStringLiteral("no save");
    if (!b.core->files().openPreset([&] { return preset; })) return QStringLiteral("no open");
    if (!b.waitReceived('L', 2) || !b.waitIdle()) return QStringLiteral("preset not sent");
    return {};
}

class DamagedDatabaseAtStart : public ::testing::TestWithParam<Damage>
{
};

TEST_P(DamagedDatabaseAtStart, OneQuestionThenTheProgramWorks)
{
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    damage(b.core->dataDirectory().databasePath(), GetParam());
    b.op.answer = true;
    ASSERT_TRUE(b.start());
    EXPECT_EQ(b.op.questions.size(), 1u);
    EXPECT_TRUE(b.op.messages.empty()) << b.op.texts().join('\n').toStdString();
    EXPECT_TRUE(b.core->databaseOnDisk());

    const QString problem = exerciseProgram(b, b.dir.path());
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    EXPECT_EQ(b.op.questions.size(), 1u);
    EXPECT_EQ(b.op.texts(), QStringList({"Save successfully", "Open successfully"}));
}

INSTANTIATE_TEST_SUITE_P(Each, DamagedDatabaseAtStart,
                         ::testing::Values(Damage::RandomBytes, Damage::Truncated,
                                           Damage::Directory, Damage::BadHeader));

TEST(StorageEndToEnd, DamagedDatabaseKeptOnNoStillGivesAWorkingSession)
{
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    const QString path = b.core->dataDirectory().databasePath();
    damage(path, Damage::BadHeader);
    const QByteArray before = readAll(path);
    b.op.answer = false;
    ASSERT_TRUE(b.start());
    const QString problem = exerciseProgram(b, b.dir.path());
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    EXPECT_EQ(b.op.questions.size(), 1u);
    EXPECT_EQ(b.op.texts(), QStringList({"Save successfully", "Open successfully"}));
    b.core->disconnectUnit();
    EXPECT_EQ(readAll(path), before) << "the damaged file is left for the operator";
}

// Runs only as the unprivileged child of the test below.
TEST(StorageEndToEndChild, ReadOnlyDataDirectory)
{
    if (!isChildTest()) GTEST_SKIP() << "runs only as the child of StorageEndToEnd";
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(
        QFile::setPermissions(b.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    ASSERT_TRUE(b.start());
    EXPECT_EQ(b.op.messages.size(), 1u);
    // Presets go where the operator chooses, outside the data directory.
    QTemporaryDir presets;
    const QString problem = exerciseProgram(b, presets.path());
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    b.core->disconnectUnit(); // would write data.ini
    EXPECT_EQ(b.op.texts().size(), 3);
    EXPECT_EQ(b.op.texts().value(1), "Save successfully");
    EXPECT_TRUE(b.op.questions.empty());
    EXPECT_TRUE(QDir(b.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    QFile::setPermissions(b.dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(StorageEndToEnd, ReadOnlyDataDirectoryIsToldOnceAndNothingIsWrittenThere)
{
    EXPECT_EQ(runTestInChild(QStringLiteral("StorageEndToEndChild.ReadOnlyDataDirectory"), true),
              0);
}

TEST(StorageEndToEnd, UserOpeningAPresetKeepsTheAdministratorsSettings)
{
    LoopbackCore b;
    ASSERT_NE(b.port, 0);
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login(QStringLiteral("user"), QStringLiteral("666666")));
    UnitRecord& r = b.core->table().current();
    ASSERT_EQ(r.accountLevel, 2);
    const UnitRecord unitBefore = b.unit->record();

    // A preset made by an administrator: other gains, and every administrator setting changed.
    UnitRecord file = r;
    file.inputGain[2] = unitBefore.inputGain[2] == 30 ? 31 : 30;
    file.routing[0] = unitBefore.routing[0] ^ 0x81;
    file.maxOpenChannels = unitBefore.maxOpenChannels == 2 ? 3 : 2;
    file.holdTime = unitBefore.holdTime == 10 ? 11 : 10;
    file.thresholdMode = 1 - unitBefore.thresholdMode;
    file.threshold = unitBefore.threshold == 20 ? 21 : 20;
    file.panelLock = 1 - unitBefore.panelLock;
    file.deviceMode = 1 - unitBefore.deviceMode;
    const QString path = b.dir.filePath(QStringLiteral("admin.ini"));
    ASSERT_TRUE(StateFile::write(path, file, GroupFileRecords{}, b.op));

    b.unit->clearReceived();
    b.op.messages.clear();
    ASSERT_TRUE(b.core->files().openPreset([&] { return path; }));
    ASSERT_TRUE(b.waitReceived('L', 2));
    ASSERT_TRUE(b.waitIdle());

    // The whole sequence still goes out: the user's own settings need it. The read-back of the
    // gains may follow.
    EXPECT_EQ(b.receivedKinds().rfind("L00 V M J G E E E E E E E E E E E E E E B B L01", 0), 0u)
        << b.receivedKinds();
    const UnitRecord& unit = b.unit->record();
    EXPECT_EQ(unit.inputGain[2], file.inputGain[2]);
    for (const UnitRecord* record : {&unit, static_cast<const UnitRecord*>(&r)}) {
        EXPECT_EQ(record->routing[0], unitBefore.routing[0]);
        EXPECT_EQ(record->maxOpenChannels, unitBefore.maxOpenChannels);
        EXPECT_EQ(record->holdTime, unitBefore.holdTime);
        EXPECT_EQ(record->thresholdMode, unitBefore.thresholdMode);
        EXPECT_EQ(record->threshold, unitBefore.threshold);
        EXPECT_EQ(record->panelLock, unitBefore.panelLock);
        EXPECT_EQ(record->deviceMode, unitBefore.deviceMode);
    }
    ASSERT_EQ(b.op.messages.size(), 1u);
    const QString text = b.op.messages[0].text;
    for (const char* name : {"routing", "maximum open channels", "hold time", "automix mode",
                             "threshold", "panel lock", "device mode"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name << ": " << text.toStdString();
}

TEST(StorageEndToEnd, SonaroctlIsRefusedOnADataDirectoryInUse)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("data.ini"));
    writeAll(state, QByteArray(2796, 'k'));
    DataDirectoryLock held(dir.path());
    ASSERT_EQ(held.acquire(), DataDirectoryLock::Result::Acquired);

    QProcess ctl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SONARO_DATA_DIR"));
    ctl.setProcessEnvironment(env);
#ifdef SONAROCTL_PATH
    ctl.start(QStringLiteral(SONAROCTL_PATH),
              {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--bind"), kProgramAddress,
               QStringLiteral("--address"), kUnitAddress, QStringLiteral("--port"),
               QString::number(freeLoopbackPort()), QStringLiteral("--password"),
               QStringLiteral("888888"), QStringLiteral("login")});
#endif
    ctl.closeWriteChannel();
    ASSERT_TRUE(ctl.waitForFinished(20000));
    EXPECT_NE(ctl.exitCode(), 0);
    const QString err = QString::fromUtf8(ctl.readAllStandardError());
    EXPECT_TRUE(err.contains(QDir::toNativeSeparators(dir.path()))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_EQ(readAll(state), QByteArray(2796, 'k'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "data.ini and the lock only";
}

} // namespace
