#include "store/DataDirectory.h"

#include "model/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro {
namespace {

// Sets or clears SONARO_DATA_DIR for one test and restores it afterwards.
class EnvironmentGuard
{
public:
    EnvironmentGuard()
        : m_had(qEnvironmentVariableIsSet(kDataDirEnvironment)), m_old(qgetenv(kDataDirEnvironment))
    {
    }
    ~EnvironmentGuard()
    {
        if (m_had)
            qputenv(kDataDirEnvironment, m_old);
        else
            qunsetenv(kDataDirEnvironment);
    }

private:
    bool m_had;
    QByteArray m_old;
};

TEST(DataDirectory, CommandLineBeatsEnvironmentWhichBeatsTheExecutableDirectory)
{
    EnvironmentGuard guard;
    QTemporaryDir given;
    QTemporaryDir fromEnvironment;
    qputenv(kDataDirEnvironment, fromEnvironment.path().toUtf8());

    // A named directory is made one level deep, never a tree (a typing error in its parents).
    const QString deep = given.filePath("new/sub");
    EXPECT_FALSE(DataDirectory::prepareNamed(deep).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(given.filePath("new")));
    const QString created = given.filePath("new");
    const DataDirectory explicitDir = DataDirectory::resolve(created);
    EXPECT_EQ(explicitDir.path(), QFileInfo(created).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(created).isDir()); // created when missing
    EXPECT_EQ(explicitDir.databasePath(), QDir(created).filePath("Halvex.db"));
    EXPECT_EQ(explicitDir.stateFilePath(), QDir(created).filePath("data.ini"));
    EXPECT_EQ(explicitDir.addressFilePath(), QDir(created).filePath("ip.ini"));

    EXPECT_EQ(DataDirectory::resolve().path(),
              QFileInfo(fromEnvironment.path()).absoluteFilePath());

    qunsetenv(kDataDirEnvironment);
    // The test runs from a writable build directory.
    EXPECT_EQ(DataDirectory::resolve().path(),
              QFileInfo(QCoreApplication::applicationDirPath()).absoluteFilePath());
}

// An installation as the install rules lay it out: <prefix>/bin beside the installed metainfo.
// bin/ stays writable, as /usr/bin is for root and an unpacked package's tree is for anyone.
TEST(DataDirectory, AnInstalledProgramKeepsItsFilesInThePerUserDirectory)
{
    EnvironmentGuard guard;
    qunsetenv(kDataDirEnvironment);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir prefix;
    const QString bin = prefix.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_FALSE(DataDirectory::isInstalledProgramDirectory(bin));
    EXPECT_FALSE(DataDirectory::isInstalledProgramDirectory(QString()));
    // Without the metainfo a writable directory is a build tree and holds the files.
    EXPECT_EQ(DataDirectory::resolve({}, bin).path(), QFileInfo(bin).absoluteFilePath());

    const QString marker = QDir(bin).filePath(QString::fromLatin1(kInstalledMarker));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(marker).absolutePath()));
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(QFileInfo(marker).absolutePath(), QDir(prefix.path()).filePath("usr/share/metainfo"));
    EXPECT_TRUE(DataDirectory::isInstalledProgramDirectory(bin));

    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const DataDirectory installed = DataDirectory::resolve({}, bin);
    EXPECT_EQ(installed.path(), QFileInfo(perUser).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(perUser).isDir());
    EXPECT_FALSE(installed.databasePath().startsWith(bin));
    // The command line and the environment still win over the installation.
    EXPECT_EQ(DataDirectory::resolve(prefix.path(), bin).path(), prefix.path());
    QStandardPaths::setTestModeEnabled(false);
}

TEST(DataDirectory, ReadsTheOptionInBothForms)
{
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--data-dir", "/x/y"}), "/x/y");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--demo", "--data-dir=/z"}), "/z");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--data-dir"}), "");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro"}), "");
}

} // namespace
} // namespace sonaro
