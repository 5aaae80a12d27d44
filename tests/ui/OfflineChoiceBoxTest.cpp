#include "model/UnitTable.h"
#include "support/EventLoop.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MessageBoxOperator.h"
#include "ui/ThemedMessageBox.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <optional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

ThemedMessageBox* openBox()
{
    return qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
}

} // namespace

TEST(OfflineChoiceBox, ListsTheDifferencesAndAnswersWithoutWaiting)
{
    MessageBoxOperator op;
    std::optional<OfflineChoice> chosen;
    QStringList many;
    for (int i = 1; i <= 10; ++i)
        many << QStringLiteral("input %1 gain").arg(i);
    op.chooseOfflineSettings(many, [&](OfflineChoice c) { chosen = c; });
    EXPECT_FALSE(chosen.has_value()) << "the call returns before the operator chose";
    ASSERT_TRUE(waitFor([] { return openBox() != nullptr; }, 1000));
    ThemedMessageBox* box = openBox();
    EXPECT_TRUE(box->text().contains("input 1 gain"));
    EXPECT_TRUE(box->text().contains("input 8 gain"));
    EXPECT_FALSE(box->text().contains("input 9 gain")) << "a short list";
    EXPECT_TRUE(box->text().contains("and 2 more"));
    if (const QByteArray dir = qgetenv("SONARO_GRAB_DIR"); !dir.isEmpty())
        box->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/offline-choice.png"));
    QPointer<ThemedMessageBox> closing(box);
    box->acceptButton()->click();
    ASSERT_TRUE(waitFor([&] { return chosen.has_value() && closing.isNull(); }, 1000));
    EXPECT_EQ(*chosen, OfflineChoice::SendMine);

    chosen.reset();
    op.chooseOfflineSettings({QStringLiteral("hold time")}, [&](OfflineChoice c) { chosen = c; });
    ASSERT_TRUE(waitFor([] { return openBox() != nullptr; }, 1000));
    openBox()->rejectButton()->click();
    ASSERT_TRUE(waitFor([&] { return chosen.has_value(); }, 1000));
    EXPECT_EQ(*chosen, OfflineChoice::TakeUnits);
}

TEST(OfflineChoiceBox, NamesTheSettingsInTheOperatorsLanguage)
{
    UnitTable table;
    LanguageSwitcher switcher(table);
    ASSERT_TRUE(switcher.load());
    switcher.setLanguage(Language::Chinese);
    MessageBoxOperator op;
    op.chooseOfflineSettings({QStringLiteral("input 3 phantom"), QStringLiteral("groups"),
                              QStringLiteral("unit 2: output 1 routing")},
                             [](OfflineChoice) {});
    ASSERT_TRUE(waitFor([] { return openBox() != nullptr; }, 1000));
    const QString text = openBox()->text();
    EXPECT_TRUE(text.contains(QString::fromUtf8("输入 3 幻象电源"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("组设置")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("设备 2：输出 1 路由")));
    if (const QByteArray dir = qgetenv("SONARO_GRAB_DIR"); !dir.isEmpty())
        openBox()->grab().save(QString::fromLocal8Bit(dir) +
                               QStringLiteral("/offline-choice-zh.png"));
    openBox()->rejectButton()->click();
    switcher.setLanguage(Language::English);
}
