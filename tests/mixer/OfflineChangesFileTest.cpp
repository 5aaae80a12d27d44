#include "mixer/OfflineChangesFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro {
namespace {

TEST(OfflineChangesFile, WhatWasWrittenIsReadBackPerUnitAndNothingLeavesNoFile)
{
    QTemporaryDir dir;
    const OfflineChangesFile file(dir.filePath("offline.ini"));
    const QList<ChangeId> changes{
        {1, SettingId::InputGain, 2}, {3, SettingId::InputGain, 2}, {2, SettingId::HoldTime, 0}};
    ASSERT_EQ(file.write(changes), QString());
    EXPECT_EQ(file.read(), changes);
    ASSERT_EQ(file.write({}), QString());
    EXPECT_FALSE(QFile::exists(dir.filePath("offline.ini")));
    EXPECT_TRUE(file.read().isEmpty());
}

TEST(OfflineChangesFile, ADamagedFileGivesOnlyTheLinesItCanTrust)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("offline.ini");
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    const QList<ChangeId> good{{1, SettingId::InputGain, 2}};
    const QString key = SettingCatalogue::key(good[0]);
    raw.write(QByteArray("# comment\n") + "1 " + key.toUtf8() + "\n" + "1 " + key.toUtf8() +
              "\n" // twice is once
              + "0 " + key.toUtf8() + "\n65 " + key.toUtf8() + "\n-1 " + key.toUtf8() + "\n" +
              "x " + key.toUtf8() + "\n1 input.99.gain\n1 no.such.key\n" + key.toUtf8() + "\n" +
              QByteArray("\x00\xff\xfe 1 \x01\n", 8) + "2 unit.2.input.3.gain\n");
    raw.close();
    QStringList unknown;
    EXPECT_EQ(OfflineChangesFile(path).read(&unknown), good);
    EXPECT_EQ(unknown.size(), 9) << unknown.join(" | ").toStdString();
}

} // namespace
} // namespace sonaro
