// data.ini and presets survive a crash in the middle of a write: a child process (this test
// binary, started again with a directory in SONARO_CRASH_WRITER_DIR) writes both files without
// pause and is killed at random moments; every file left behind must be complete, either the one
// before or the one after the write, never a torn or shortened one.
#include "mixer/StateFile.h"
#include "model/OperatorInterface.h"
#include "model/RecordingOperator.h"
#include "model/UnitRecord.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/GroupStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>

using namespace sonaro;

namespace {

constexpr const char* kWriterVariable = "SONARO_CRASH_WRITER_DIR";
constexpr int kVariants = 4;
constexpr int kKills = 24;
constexpr qint64 kWriterLifetimeMs = 20000; // a writer whose parent is gone stops by itself

// Every byte differs between variants, so a file mixed from two writes matches none of them.
UnitRecord Variant(int k)
{
    UnitRecord r;
    std::memset(&r, 0x21 + 0x11 * k, sizeof r);
    return r;
}

QString statePath(const QDir& dir)
{
    return dir.filePath(QStringLiteral("data.ini"));
}

QString presetPath(const QDir& dir)
{
    return dir.filePath(QStringLiteral("presets/room.ini"));
}

// Which variant a surviving file holds; -1 when it is none of them.
int variantOf(const QByteArray& data, const std::array<QByteArray, kVariants>& expected)
{
    for (int k = 0; k < kVariants; ++k)
        if (data == expected[static_cast<std::size_t>(k)]) return k;
    return -1;
}

} // namespace

// The writer side: runs only inside the child process the test below starts.
TEST(CrashSafetyWriter, WritesUntilKilled)
{
    const QByteArray dirName = qgetenv(kWriterVariable);
    if (dirName.isEmpty()) GTEST_SKIP() << "runs only as the child of CrashSafety";
    const QDir dir(QString::fromLocal8Bit(dirName));
    RecordingOperator op;
    Database db(op, dir.filePath(QString::fromLatin1(kDatabaseFileName)));
    ASSERT_TRUE(db.openDatabase());
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; clock.elapsed() < kWriterLifetimeMs; ++n) {
        const UnitRecord record = Variant(n % kVariants);
        ASSERT_TRUE(StateFile::write(n % 2 ? presetPath(dir) : statePath(dir), record, db, op));
    }
}

TEST(CrashSafety, FilesSurviveAKilledWriterWholeAndOldOrNew)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QDir dir(temp.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("presets")));
    RecordingOperator op;
    std::array<QByteArray, kVariants> expected;
    {
        // The writer reads its groups from this database; the expected files carry the same.
        Database db(op, dir.filePath(QString::fromLatin1(kDatabaseFileName)));
        ASSERT_TRUE(db.openDatabase());
        db.executeSql(QStringLiteral("insert into DvLink values(?,?)"), {3, 1});
        const GroupFileRecords groups = GroupStore(db).fileGroups();
        for (int k = 0; k < kVariants; ++k)
            expected[static_cast<std::size_t>(k)] = StateFile::encode(Variant(k), groups);
    }
    ASSERT_EQ(expected[0].size(), static_cast<qsizetype>(StateFile::kFileSize));

    std::set<int> seen;
    int checkedFiles = 0;
    QElapsedTimer total;
    total.start();
    for (int round = 0; round < kKills && total.elapsed() < 20000; ++round) {
        QProcess writer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kWriterVariable), dir.path());
        writer.setProcessEnvironment(env);
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_filter=CrashSafetyWriter.WritesUntilKilled")});
        ASSERT_TRUE(writer.waitForStarted(5000));
        // Kill only once it writes (the test framework prints its own lines first), at a random
        // moment into its stream of writes.
        bool writing = false;
        QElapsedTimer wait;
        wait.start();
        while (!writing && writer.state() == QProcess::Running && wait.elapsed() < 10000) {
            if (!writer.canReadLine()) writer.waitForReadyRead(100);
            while (writer.canReadLine())
                writing = writing || writer.readLine().startsWith("writing");
        }
        if (!writing) writer.kill();
        ASSERT_TRUE(writing) << "round " << round;
        QThread::usleep(1000 + QRandomGenerator::global()->bounded(40000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(5000));
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << "the writer ended by itself";

        for (const QString& path : {statePath(dir), presetPath(dir)}) {
            QFile file(path);
            if (!file.exists()) continue; // killed before its first write finished
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray data = file.readAll();
            ASSERT_EQ(data.size(), static_cast<qsizetype>(StateFile::kFileSize))
                << qPrintable(path) << " after round " << round;
            const int k = variantOf(data, expected);
            ASSERT_GE(k, 0) << qPrintable(path) << " is torn after round " << round;
            seen.insert(k);
            ++checkedFiles;
        }
    }
    EXPECT_GE(checkedFiles, kKills);
    // The kills fell at different moments: more than one version survived.
    EXPECT_GE(seen.size(), 2u);
    // A write after all those crashes still works and replaces the file whole.
    Database db(op, dir.filePath(QString::fromLatin1(kDatabaseFileName)));
    UnitRecord record = zeroRecord();
    applyFactoryValues(record);
    ASSERT_TRUE(StateFile::write(statePath(dir), record, db, op));
    QFile file(statePath(dir));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), static_cast<qint64>(StateFile::kFileSize));
}
