#include "model/SavedFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace sonaro;

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
