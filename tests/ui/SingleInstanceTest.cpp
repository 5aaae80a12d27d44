// Two desktop programs on one data directory: the second is refused before it reads or writes
// anything there, and says why.
#include "mixer/StateFile.h"
#include "store/DataDirectoryLock.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SingleInstance, SecondDesktopProgramOnTheSameDataDirectoryIsRefused)
{
#ifndef SONARO_PATH
    GTEST_SKIP() << "the desktop program is not built";
#else
    QTemporaryDir dir;
    UnitRecord record = zeroRecord();
    applyFactoryValues(record);
    record.inputGain[0] = 33;
    const QString state = dir.filePath(QStringLiteral("data.ini"));
    {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(StateFile::encode(record, GroupFileRecords{}));
        QFile address(dir.filePath(QStringLiteral("ip.ini")));
        ASSERT_TRUE(address.open(QIODevice::WriteOnly));
        address.write(QStringLiteral("[device]\nip=%1\nhost=%2\n")
                          .arg(kUnitAddress)
                          .arg(freeLoopbackPort())
                          .toLatin1());
    }
    const QByteArray before = readAll(state);
    const QStringList arguments = {QStringLiteral("--data-dir"), dir.path(),
                                   QStringLiteral("--bind"), kProgramAddress};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("SONARO_DATA_DIR"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(SONARO_PATH), arguments);
    ASSERT_TRUE(first.waitForStarted(10000));
    // Running once its lock and its database are there.
    const bool running = waitFor(
        [&] {
            return QFile::exists(dir.filePath(QString::fromLatin1(DataDirectoryLock::kFileName))) &&
                   QFile::exists(dir.filePath(QStringLiteral("Halvex.db")));
        },
        30000);
    if (!running) first.kill();
    ASSERT_TRUE(running);
    spin(500);
    const QStringList filesOfFirst = QDir(dir.path()).entryList(QDir::Files, QDir::Name);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(SONARO_PATH), arguments);
    const bool ended = waitFor([&] { return second.state() == QProcess::NotRunning; }, 30000);
    if (!ended) second.kill();
    const QStringList filesAfter = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    const qint64 firstPid = first.processId();
    first.kill();
    first.waitForFinished(5000);
    ASSERT_TRUE(ended) << "the second program kept running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(second.exitCode(), 0);
    const QString err = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(err.contains(QDir::toNativeSeparators(dir.path()))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::number(firstPid)) ||
                err.contains(QStringLiteral("--data-dir")))
        << err.toStdString();
    EXPECT_EQ(readAll(state), before);
    EXPECT_EQ(filesAfter, filesOfFirst) << "the second program made no file";
#endif
}

} // namespace
