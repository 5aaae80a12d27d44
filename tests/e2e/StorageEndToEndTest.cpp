// The whole program on a read-only data directory, and sonaroctl on one the desktop holds: one
// report each; the first still gives a working login, strips and presets.
#include "CtlProcess.h"

#include "mixer/SonaroCore.h"
#include "store/DataDirectoryLock.h"
#include "support/ChildProcess.h"
#include "support/DamagedDatabase.h"
#include "support/LoopbackCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

// Runs only as the unprivileged child of the test below.
TEST(StorageEndToEndChild, ReadOnlyDataDirectory)
{
    if (!isChildTest()) GTEST_SKIP() << "runs only as the child of StorageEndToEnd";
    LoopbackCore b;
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

TEST(StorageEndToEnd, SonaroctlIsRefusedOnADataDirectoryInUse)
{
#ifndef SONAROCTL_PATH
    GTEST_SKIP() << "built without the sonaroctl program";
#endif
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("data.ini"));
    writeAll(state, QByteArray(2796, 'k'));
    DataDirectoryLock held(dir.path());
    ASSERT_EQ(held.acquire(), DataDirectoryLock::Result::Acquired);

    const CtlResult r =
        runCtl(linkArguments(dir.path(), kUnitAddress, freeLoopbackPort()) << "login");
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QDir::toNativeSeparators(dir.path()))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_EQ(readAll(state), QByteArray(2796, 'k'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "data.ini and the lock only";
}

} // namespace
