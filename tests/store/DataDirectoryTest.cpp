#include "store/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

    const QString created = given.filePath("new/sub");
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

TEST(DataDirectory, ReadsTheOptionInBothForms)
{
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--data-dir", "/x/y"}), "/x/y");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--demo", "--data-dir=/z"}), "/z");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro", "--data-dir"}), "");
    EXPECT_EQ(DataDirectory::commandLineValue({"sonaro"}), "");
}

} // namespace
} // namespace sonaro
