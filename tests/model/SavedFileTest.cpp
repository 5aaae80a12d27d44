#include "model/SavedFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace sonaro;
using sonaro::testing::runInChild;

// What is not a regular file is never replaced by a whole-file write nor waited for by a read:
// a FIFO, a device node (made in the test's own directory) and a directory all stay as they were.
TEST(SavedFile, DevicesPipesAndDirectoriesAreRefusedAndLeftAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = dir.filePath("null");
    // A private copy of the null device; without the right to make one, that case is left out.
    const bool haveDevice =
        ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    const QString folder = dir.filePath("folder");
    ASSERT_TRUE(QDir().mkdir(folder));

    for (const QString& target : {fifo, device, folder}) {
        if (target == device && !haveDevice) continue;
        SCOPED_TRACE(target.toStdString());
        const QString saved = saveWholeFile(target, QByteArray(2796, 'x'));
        EXPECT_TRUE(saved.contains("not a regular file")) << saved.toStdString();
        QFileInfo after(target);
        EXPECT_FALSE(after.isFile()) << "the node is still what it was";
        EXPECT_EQ(after.isDir(), target == folder);

        QElapsedTimer clock;
        clock.start();
        QByteArray data;
        const QString read = readWholeFile(target, 4096, data);
        EXPECT_FALSE(read.isEmpty());
        EXPECT_LT(clock.elapsed(), 1000) << "nothing waits for a writer";
    }

    // A regular file is written whole and read back; a longer one than asked for is refused.
    const QString file = dir.filePath("room.ini");
    EXPECT_TRUE(saveWholeFile(file, "abc").isEmpty());
    QByteArray data;
    EXPECT_TRUE(readWholeFile(file, 3, data).isEmpty());
    EXPECT_EQ(data, "abc");
    EXPECT_FALSE(readWholeFile(file, 2, data).isEmpty());
}

namespace {
QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// Every program file (data.ini, presets, ip.ini, the server's files) is written this way: a
// failed or cut-off write says why and leaves the old file whole, with no stray file beside it.
TEST(SavedFile, AFailedOrShortWriteLeavesTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("data.ini");
    const QByteArray old(2796, 'o');
    ASSERT_TRUE(saveWholeFile(file, old).isEmpty());

    const QString missing = saveWholeFile(dir.filePath("no/such/data.ini"), old);
    EXPECT_TRUE(missing.startsWith(dir.filePath("no/such/data.ini"))) << missing.toStdString();
    EXPECT_EQ(saveFailText(missing), "Save Fail: " + missing);

    // A file-size limit cuts the write at 2,048 bytes, as a full disk would.
    EXPECT_EQ(runInChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{2048, 2048};
                  SONARO_CHILD_CHECK(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
                  SONARO_CHILD_CHECK(!saveWholeFile(file, QByteArray(2796, 'n')).isEmpty());
                  return 0;
              }),
              0);
    EXPECT_EQ(contents(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"data.ini"});

    // A directory the operator may not write to (root could: the child gives its rights up).
    EXPECT_EQ(runInChild(
                  [] {
                      QTemporaryDir own;
                      const QString path = own.filePath("data.ini");
                      SONARO_CHILD_CHECK(saveWholeFile(path, "old").isEmpty());
                      SONARO_CHILD_CHECK(QFile::setPermissions(
                          own.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
                      const bool refused = !saveWholeFile(path, "new").isEmpty();
                      QFile::setPermissions(own.path(), QFileDevice::ReadOwner |
                                                            QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner);
                      SONARO_CHILD_CHECK(refused);
                      SONARO_CHILD_CHECK(contents(path) == "old");
                      return 0;
                  },
                  true),
              0);
}
