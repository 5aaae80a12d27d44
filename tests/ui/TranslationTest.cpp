#include "model/UnitTable.h"
#include "ui/LanguageSwitcher.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace sonaro;

TEST(Translations, TheChineseTranslationLoadsAndSwitchesBothWays)
{
    UnitTable table;
    ui::LanguageSwitcher switcher(table);
    ASSERT_TRUE(switcher.load()) << "the compiled translation is embedded in the program";
    switcher.setLanguage(Language::Chinese);
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::MainWindow", "TOOLS"),
              QString::fromUtf8("工具"));
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::SystemPage", "THRESHOLD"),
              QString::fromUtf8("门限"));
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::LimiterWindow", "THRESHOLD"),
              QString::fromUtf8("启动门限:"));
    // The core's own messages and the strips' labels come from the same file.
    EXPECT_EQ(QCoreApplication::translate("sonaro::FileActions", "Restore Successfully."),
              QString::fromUtf8("恢复出厂设置成功."));
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::InputStrip", "MIC"),
              QString::fromUtf8("咪输入"));
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::OutputStrip", "MIC"),
              QString::fromUtf8("咪输出"));
    EXPECT_EQ(table.language(), Language::Chinese);
    switcher.toggle();
    EXPECT_EQ(table.language(), Language::English);
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::MainWindow", "TOOLS"), "TOOLS");
}
