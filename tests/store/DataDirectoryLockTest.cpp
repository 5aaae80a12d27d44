#include "store/DataDirectoryLock.h"
#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

TEST(DataDirectoryLock, SecondHolderIsRefusedUntilTheFirstLetsGo)
{
    QTemporaryDir dir;
    auto first = std::make_unique<DataDirectoryLock>(dir.path());
    ASSERT_EQ(first->acquire(), DataDirectoryLock::Result::Acquired);
    EXPECT_EQ(first->acquire(), DataDirectoryLock::Result::Acquired); // asking again is harmless

    DataDirectoryLock second(dir.path());
    EXPECT_EQ(second.acquire(), DataDirectoryLock::Result::InUse);
    const QString refusal = second.refusal();
    EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(dir.path()))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_TRUE(refusal.contains("--data-dir"));

    // Another directory is free.
    QTemporaryDir other;
    EXPECT_EQ(DataDirectoryLock(other.path()).acquire(), DataDirectoryLock::Result::Acquired);

    first.reset();
    EXPECT_FALSE(QFile::exists(dir.filePath(DataDirectoryLock::kFileName)));
    EXPECT_EQ(second.acquire(), DataDirectoryLock::Result::Acquired);
}

TEST(DataDirectoryLock, LockOfAProcessThatDiedIsTakenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(DataDirectoryLock::kFileName);
    // A process that takes the lock and dies without letting go of it.
    const int result = runInChild([path] {
        auto* lock = new QLockFile(path); // never released: the process ends holding it
        return lock->tryLock(0) ? 0 : 1;
    });
    ASSERT_EQ(result, 0);
    ASSERT_TRUE(QFile::exists(path));
    DataDirectoryLock lock(dir.path());
    EXPECT_EQ(lock.acquire(), DataDirectoryLock::Result::Acquired);
}

} // namespace
} // namespace sonaro::testing
