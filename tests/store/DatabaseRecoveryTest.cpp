// A database file that cannot be read, and a data directory that cannot be written: told once,
// the damaged file moved aside only when the operator agrees, and the program goes on with a
// working database either way.
#include "model/RecordingOperator.h"
#include "store/DataDirectory.h"
#include "store/DataDirectoryLock.h"
#include "store/Database.h"
#include "support/ChildProcess.h"
#include "support/DamagedDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

class DamagedDatabase : public ::testing::TestWithParam<Damage>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QString::fromLatin1(kDatabaseFileName));
        damage(path, GetParam());
        before = readAll(path);
    }

    QStringList asideNames() const
    {
        return QDir(dir.path())
            .entryList({QStringLiteral("Halvex.db.damaged-*")},
                       QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    QString path;
    QByteArray before;
    RecordingOperator op;
};

TEST_P(DamagedDatabase, MovedAsideOnYesAndAFreshFileWorks)
{
    op.answer = true;
    Database db(op, path);
    ASSERT_TRUE(db.openDatabase());
    ASSERT_EQ(op.questions.size(), 1u);
    EXPECT_TRUE(op.messages.empty()) << op.texts().join('\n').toStdString();
    EXPECT_TRUE(op.questions[0].text.contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(op.questions[0].text.contains("Halvex.db.damaged-"));

    // The damaged file is kept, as it was, under its new name.
    const QStringList aside = asideNames();
    ASSERT_EQ(aside.size(), 1);
    if (GetParam() == Damage::Directory)
        EXPECT_TRUE(QFileInfo(dir.filePath(aside[0])).isDir());
    else
        EXPECT_EQ(readAll(dir.filePath(aside[0])), before);

    EXPECT_TRUE(db.storesToFile());
    EXPECT_EQ(db.openQuery("select * from Group1").size(), 6u);
    EXPECT_TRUE(db.openQuery("select * from Device").empty());
    EXPECT_TRUE(db.executeSql("insert into Device(ID,Name,IP,Type) values(1,'A',1,1)"));
    db.closeDatabase();
    Database again(op, path);
    EXPECT_EQ(again.openQuery("select * from Device").size(), 1u);
    EXPECT_TRUE(op.messages.empty());
    EXPECT_EQ(op.questions.size(), 1u);
}

TEST_P(DamagedDatabase, LeftAloneOnNoAndTheSessionRunsInMemory)
{
    op.answer = false;
    Database db(op, path);
    QStringList signalled;
    QObject::connect(&db, &Database::storageProblem,
                     [&](const QString& text) { signalled << text; });
    ASSERT_TRUE(db.openDatabase());
    EXPECT_EQ(op.questions.size(), 1u);
    EXPECT_TRUE(op.messages.empty());
    EXPECT_FALSE(db.storesToFile());
    EXPECT_TRUE(asideNames().isEmpty());
    EXPECT_EQ(signalled.size(), 1); // for the event log: the file stays, nothing is stored

    // Names and groups work for the session; nothing of it reaches the file.
    EXPECT_EQ(db.openQuery("select * from Group1").size(), 6u);
    EXPECT_TRUE(db.executeSql("insert into Device(ID,Name,IP,Type) values(1,'A',1,1)"));
    EXPECT_EQ(db.openQuery("select * from Device").size(), 1u);
    EXPECT_EQ(readAll(path), before);
    EXPECT_TRUE(op.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Each, DamagedDatabase,
                         ::testing::Values(Damage::RandomBytes, Damage::Truncated,
                                           Damage::Directory, Damage::BadHeader));

TEST(DatabaseRecovery, FirstStatementOnADamagedFileAsksNothingAndIsToldOnce)
{
    // Only the start-up open asks; a statement may run from a frame handler.
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kDatabaseFileName));
    damage(path, Damage::RandomBytes);
    RecordingOperator op;
    Database db(op, path);
    EXPECT_TRUE(db.openQuery("select * from Device").empty());
    EXPECT_TRUE(db.executeSql("insert into Device(ID,Name,IP,Type) values(1,'A',1,1)"));
    EXPECT_TRUE(op.questions.empty());
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.contains(QDir::toNativeSeparators(path)));
    EXPECT_FALSE(db.storesToFile());
}

TEST(DatabaseRecovery, ReadOnlyDirectoryIsToldOnceAndTheFileIsReadButNeverWritten)
{
    const int result = runInChild(
        [] {
            QTemporaryDir dir;
            const QString path = dir.filePath(QString::fromLatin1(kDatabaseFileName));
            makeDatabase(path, QStringLiteral("Lectern"));
            const QByteArray before = readAll(path);
            SONARO_CHILD_CHECK(
                QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

            RecordingOperator op;
            int signalled = 0;
            {
                Database db(op, path);
                QObject::connect(&db, &Database::storageProblem, [&] { ++signalled; });
                SONARO_CHILD_CHECK(db.openDatabase());
                SONARO_CHILD_CHECK(!db.directoryWritable());
                SONARO_CHILD_CHECK(!db.storesToFile());
                // The stored names are there for the session, and it can store more of its own.
                SONARO_CHILD_CHECK(
                    db.openQuery("select * from Device where Name=?", {QStringLiteral("Lectern")})
                        .size() == 1);
                SONARO_CHILD_CHECK(db.openQuery("select * from Group1").size() == 6);
                SONARO_CHILD_CHECK(
                    db.executeSql("insert into Device(ID,Name,IP,Type) values(1,'New',9,1)"));
                db.reportProblem(Database::Problem::ReadOnlyDirectory, QStringLiteral("again"));
            }
            SONARO_CHILD_CHECK(op.messages.size() == 1);
            SONARO_CHILD_CHECK(op.messages[0].title == QStringLiteral("Warming"));
            SONARO_CHILD_CHECK(op.messages[0].text.contains(QDir::toNativeSeparators(dir.path())));
            SONARO_CHILD_CHECK(op.questions.empty());
            SONARO_CHILD_CHECK(signalled == 1);
            // Nothing was written: no journal beside the file, the file as it was.
            SONARO_CHILD_CHECK(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot) ==
                               QStringList{QString::fromLatin1(kDatabaseFileName)});
            SONARO_CHILD_CHECK(readAll(path) == before);
            // Nor can a lock file be made: the program may run, as it writes nothing there.
            DataDirectoryLock lock(dir.path());
            SONARO_CHILD_CHECK(lock.acquire() == DataDirectoryLock::Result::NotWritable);
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
            return 0;
        },
        true);
    EXPECT_EQ(result, 0);
}

} // namespace
} // namespace sonaro::testing
