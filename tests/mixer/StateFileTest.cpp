#include "mixer/StateFile.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"
#include "store/StoreTestSupport.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>

namespace sonaro::testing {
namespace {

class StateFileTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        DeviceRegistry(*db).ensureChannelRows(1);
        record = zeroRecord();
        applyFactoryValues(record);
        record.inputGain[3] = 17;
        record.inputEq[2][kEqGain][5] = -7.5;
        record.outputEq[1][kEqQ][14] = 4.25;
        record.limiterThreshold[1] = -33.0;
        record.routing[0] = 0x5A;
        record.eqEditorValue[2] = 200;
        record.inputLevel[0] = 1234; // levels travel too
        record.unitNumber = 1;
        record.unitCount = 1;
        record.accountLevel = 1;
        record.connected = 1;
        record.loginAccepted = 1;
        storeAccount(record.loginName, "admin");
        storeAccount(record.loginPassword, "secret");
        record.lastHeardTime = currentTimeStamp();
    }

    QString path(const char* name = "preset.ini") { return dir.filePath(name); }

    void groupInputs(int groupId, std::initializer_list<int> serials)
    {
        GroupTable table = GroupStore(*db).loadGroupTable();
        for (GroupSlot& slot : table.entries)
            if (slot.groupId == groupId)
                for (int s : serials)
                    slot.members[s - 1] = true;
        GroupStore(*db).saveGroupTable(table);
    }

    void writeRaw(const QString& file, const QByteArray& data)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    QByteArray readRaw(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static bool sameBytes(const UnitRecord& a, const UnitRecord& b)
    {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }

    UnitRecord record;
};

TEST_F(StateFileTest, WrittenFileHasTheLayoutGroupsAndNoPassword)
{
    groupInputs(3, {2, 4, 6});
    ASSERT_TRUE(StateFile::write(path(), record, *db, op));
    const QByteArray data = readRaw(path());
    ASSERT_EQ(data.size(), 2796);
    EXPECT_EQ(data.mid(25, 7), QByteArray(7, '\0'));
    EXPECT_EQ(data.mid(18, 7), QByteArray("admin&&"));
    GroupFileRecords groups{};
    std::memcpy(groups.data(), data.constData() + 2616, 180);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(groups[k].groupId, k + 2);
    EXPECT_EQ(groups[1].members, (std::array<std::int32_t, 8>{2, 4, 6, 0, 0, 0, 0, 0}));
    EXPECT_EQ(groups[0].members, (std::array<std::int32_t, 8>{}));
    EXPECT_TRUE(op.messages.empty());
}

TEST_F(StateFileTest, SaveThenOpenGivesBackTheRecordAndKeepsTheSession)
{
    groupInputs(4, {1, 8});
    ASSERT_TRUE(StateFile::write(path(), record, *db, op));
    const UnitRecord saved = record;

    // Another session: a user logged in, other settings, other groups.
    UnitRecord session = zeroRecord();
    applyFactoryValues(session);
    session.unitNumber = 1;
    session.unitCount = 3;
    session.accountLevel = 2;
    session.connected = 1;
    session.loginAccepted = 1;
    storeAccount(session.loginName, "user");
    storeAccount(session.loginPassword, "typed");
    session.lastHeardTime = currentTimeStamp();
    session.lastHeardTime.second = 59;
    groupInputs(2, {3});
    const UnitRecord before = session;

    ASSERT_TRUE(StateFile::openPreset(path(), session, *db, op));
    UnitRecord expected = saved;
    StateFile::keepSessionFields(expected, before);
    EXPECT_TRUE(sameBytes(session, expected));
    EXPECT_EQ(session.accountLevel, 2);
    EXPECT_EQ(accountText(session.loginPassword), "typed");
    EXPECT_EQ(session.inputGain[3], 17);
    EXPECT_DOUBLE_EQ(session.outputEq[1][kEqQ][14], 4.25);
    EXPECT_EQ(column("select * from DvLink order by SerialID", "GroupID"), QStringList({"4", "4"}));
    EXPECT_EQ(column("select * from Device where Data=1 order by SerialID", "SerialID"),
              QStringList({"1", "8"}));
    EXPECT_TRUE(op.messages.empty());
}

TEST_F(StateFileTest, FileWithoutMembersEmptiesTheMemberships)
{
    ASSERT_TRUE(StateFile::write(path(), record, *db, op));
    groupInputs(2, {1, 2});
    log.clear();
    ASSERT_TRUE(StateFile::openPreset(path(), record, *db, op));
    EXPECT_EQ(log.first(), "delete from DvLink");
    EXPECT_TRUE(db->openQuery("select * from DvLink").empty());
    EXPECT_TRUE(db->openQuery("select * from Device where Data=1").empty());
    // Group flags are not the file's business.
    EXPECT_EQ(db->openQuery("select * from ControlType").size(), 5u);
}

TEST_F(StateFileTest, BadFilesAreRefusedAndChangeNothing)
{
    groupInputs(2, {5});
    ASSERT_TRUE(StateFile::write(path(), record, *db, op));
    const QByteArray good = readRaw(path());
    writeRaw(path("short.ini"), good.left(2795));
    writeRaw(path("long.ini"), good + QByteArray(1, '\0'));
    writeRaw(path("empty.ini"), {});
    QDir(dir.path()).mkdir("folder.ini");
    // Values no unit can hold: every byte 0xFF, or a group record naming channel 11.
    writeRaw(path("blank.ini"), QByteArray(static_cast<qsizetype>(StateFile::kFileSize), '\xFF'));
    GroupFileRecords strayGroups{};
    strayGroups[0].groupId = 2;
    strayGroups[0].members[0] = 11;
    writeRaw(path("stray.ini"), StateFile::encode(record, strayGroups));
    strayGroups[0] = {7, {1}}; // groups are 2..6
    writeRaw(path("group7.ini"), StateFile::encode(record, strayGroups));

    UnitRecord session = zeroRecord();
    session.connected = 1;
    session.inputGain[0] = 9;
    const UnitRecord before = session;
    log.clear();
    for (const char* name : {"short.ini", "long.ini", "empty.ini", "folder.ini", "missing.ini",
                             "blank.ini", "stray.ini", "group7.ini"}) {
        op.messages.clear();
        EXPECT_FALSE(StateFile::openPreset(path(name), session, *db, op)) << name;
        ASSERT_EQ(op.messages.size(), 1u) << name;
        EXPECT_TRUE(op.messages[0].text.startsWith("Open Fail: ")) << name;
        EXPECT_EQ(op.messages[0].title, "ERROR");
        EXPECT_TRUE(sameBytes(session, before)) << name;
        // The start-up file is held to the ranges instead (it is the program's own).
        if (QString(name) == "blank.ini" || QString(name).startsWith("stray") ||
            QString(name) == "group7.ini")
            continue;
        EXPECT_EQ(StateFile::readStartup(path(name), session, *db, op),
                  QString(name) == "missing.ini" ? StateFile::ReadResult::Missing
                                                 : StateFile::ReadResult::Refused);
        EXPECT_TRUE(sameBytes(session, before)) << name;
    }
    op.messages.clear();
    StateFile::openPreset(path("blank.ini"), session, *db, op);
    EXPECT_TRUE(op.texts().join("").contains("Input 1 gain (-1)")) << "named by the setting";
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();

    // Not connected: refused before the file is even read.
    op.messages.clear();
    session.connected = 0;
    EXPECT_FALSE(StateFile::openPreset(path(), session, *db, op));
    EXPECT_EQ(op.texts(), QStringList({"Open Fail"}));
}

TEST_F(StateFileTest, ReadingClampsEveryValueAndIgnoresTheStoredPassword)
{
    UnitRecord wild = record;
    wild.inputGain[0] = 99;
    wild.holdTime = 41;
    wild.maxOpenChannels = 0;
    wild.inputMute[2] = 7;
    wild.routing[1] = 0x1FF;
    wild.highPassIndex[4] = 11;
    wild.inputEq[0][kEqFrequency][0] = 5.0;
    wild.inputEq[1][kEqFrequency][1] = std::numeric_limits<double>::quiet_NaN();
    wild.inputEq[2][kEqGain][2] = 16.0;
    wild.outputEq[1][kEqGain][4] = -std::numeric_limits<double>::infinity();
    wild.outputEq[0][kEqFrequency][6] = std::numeric_limits<double>::infinity();
    wild.limiterRatio[0] = 0.5;
    wild.limiterThreshold[1] = 25.0;
    wild.limiterAttack[0] = 2001;
    wild.limiterRelease[1] = 9;
    wild.connected = 1;
    QByteArray data = StateFile::encode(wild, {});
    std::memcpy(data.data() + 25, "leaked!", 7); // an old file that still carries a password
    writeRaw(path("data.ini"), data);

    UnitRecord loaded = zeroRecord();
    ASSERT_EQ(StateFile::readStartup(path("data.ini"), loaded, *db, op),
              StateFile::ReadResult::Loaded);
    EXPECT_EQ(loaded.inputGain[0], 60);
    EXPECT_EQ(loaded.holdTime, 40);
    EXPECT_EQ(loaded.maxOpenChannels, 1);
    EXPECT_EQ(loaded.inputMute[2], 1);
    EXPECT_EQ(loaded.routing[1], 255);
    EXPECT_EQ(loaded.highPassIndex[4], 10);
    EXPECT_DOUBLE_EQ(loaded.inputEq[0][kEqFrequency][0], 20.0);
    EXPECT_DOUBLE_EQ(loaded.inputEq[1][kEqFrequency][1], 300.0);
    EXPECT_DOUBLE_EQ(loaded.inputEq[2][kEqGain][2], 15.0);
    EXPECT_DOUBLE_EQ(loaded.outputEq[1][kEqGain][4], 0.0);
    EXPECT_DOUBLE_EQ(loaded.outputEq[0][kEqFrequency][6], 400.0);
    EXPECT_DOUBLE_EQ(loaded.limiterRatio[0], 1.0);
    EXPECT_DOUBLE_EQ(loaded.limiterThreshold[1], 20.0);
    EXPECT_EQ(loaded.limiterAttack[0], 2000);
    EXPECT_EQ(loaded.limiterRelease[1], 10);
    EXPECT_EQ(loaded.connected, 0);
    EXPECT_EQ(std::string(loaded.loginPassword, 7), std::string(7, '\0'));
    // Values already in range (the factory record) come through unchanged.
    UnitRecord factory = record;
    clampRecordValues(factory);
    EXPECT_TRUE(sameBytes(factory, record));
}

TEST_F(StateFileTest, FailedWriteIsReportedAndLeavesTheOldFile)
{
    ASSERT_TRUE(StateFile::write(path(), record, *db, op));
    const QByteArray old = readRaw(path());
    EXPECT_FALSE(StateFile::write(dir.filePath("no/such/dir/preset.ini"), record, *db, op));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.startsWith("Save Fail"));
    // A directory where the file should be cannot be replaced either; the old file is intact.
    EXPECT_FALSE(StateFile::write(dir.path(), record, *db, op));
    EXPECT_EQ(readRaw(path()), old);
}

} // namespace
} // namespace sonaro::testing
