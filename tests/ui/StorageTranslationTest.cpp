#include "model/SavedFile.h"
#include "model/UnitTable.h"
#include "ui/LanguageSwitcher.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace sonaro;

// The storage messages reach the operator in Chinese too; the question about a damaged database
// spans paragraphs, whose line breaks must match the translation's source exactly.
TEST(StorageTranslations, StorageMessagesHaveTheirChineseText)
{
    UnitTable table;
    ui::LanguageSwitcher switcher(table);
    ASSERT_TRUE(switcher.load());
    switcher.setLanguage(Language::Chinese);
    EXPECT_EQ(saveFailText(QStringLiteral("x")), QString::fromUtf8("保存失败: x"));
    const char* question =
        "The database %1 cannot be read: %2.\n\nMove it aside as %3 and start a new, empty "
        "database? Channel names and groups start afresh; the old file is kept.\n\nNo: Sonaro "
        "runs on without keeping channel names and groups until it is started again.";
    EXPECT_TRUE(QCoreApplication::translate("sonaro::Database", question)
                    .startsWith(QString::fromUtf8("无法读取数据库")));
    EXPECT_TRUE(QCoreApplication::translate(
                    "sonaro::DataDirectoryLock",
                    "Another Sonaro program (process %1) is already using the data directory %2. "
                    "Close it first, or start this one with --data-dir and another directory.")
                    .startsWith(QString::fromUtf8("另一个")));
    EXPECT_EQ(QCoreApplication::translate("sonaro::FileActions", "panel lock"),
              QString::fromUtf8("主机面板锁"));
    switcher.setLanguage(Language::English);
    EXPECT_EQ(saveFailText(QStringLiteral("x")), "Save Fail: x");
}
