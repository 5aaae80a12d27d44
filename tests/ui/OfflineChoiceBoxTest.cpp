#include "support/EventLoop.h"
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
