#include "link/AddressFile.h"
#include "model/RecordingOperator.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

TEST(AddressFile, WritingKeepsEveryOtherLineAsItStands)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ip.ini");
    writeAll(path, "; the installer's note\n[device]\nip=10.0.0.7\nbind = 127.0.0.1\n\n"
                   "[view]\nzoom=2\n");
    RecordingOperator op;
    ASSERT_TRUE(writeAddressFile(path, "10.0.0.9", 6001, &op));
    EXPECT_EQ(readAll(path), "; the installer's note\n[device]\nip=10.0.0.9\nbind = "
                             "127.0.0.1\nhost=6001\n\n[view]\nzoom=2\n");
    const AddressFileEntry entry = readAddressFile(path);
    EXPECT_EQ(entry.ip, "10.0.0.9");
    EXPECT_EQ(entry.port, 6001);
    EXPECT_EQ(entry.bind, "127.0.0.1");

    // A file without the section gets one; a new file is made.
    writeAll(path, "[view]\nzoom=2");
    ASSERT_TRUE(writeAddressFile(path, "10.0.0.5", &op));
    EXPECT_EQ(readAll(path), "[view]\nzoom=2\n\n[device]\nip=10.0.0.5\n");
    const QString fresh = dir.filePath("new.ini");
    ASSERT_TRUE(writeAddressFile(fresh, "10.0.0.6", 5000, &op));
    EXPECT_EQ(readAddressFile(fresh).ip, "10.0.0.6");
    EXPECT_TRUE(op.messages.empty());
}

TEST(AddressFile, ValueThatWouldBreakTheFileIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ip.ini");
    writeAll(path, "[device]\nip=10.0.0.7\n");
    RecordingOperator op;
    EXPECT_FALSE(writeAddressFile(path, "10.0.0.8\n[device]\nbind=0.0.0.0", &op));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.startsWith("Save Fail: "));
    EXPECT_EQ(readAll(path), "[device]\nip=10.0.0.7\n");
}

TEST(AddressFile, AFailedWriteIsReported)
{
    QTemporaryDir dir;
    RecordingOperator op;
    EXPECT_FALSE(writeAddressFile(dir.filePath("no/such/ip.ini"), "10.0.0.8", &op));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.startsWith("Save Fail: " + dir.filePath("no/such/ip.ini")));
}

} // namespace
} // namespace sonaro::testing
