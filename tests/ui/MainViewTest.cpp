#include "ui/MainView.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackWindow.h"
#include "ui/GroupTabBar.h"
#include "ui/InputStrip.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MainWindow.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// The window on a core that has no unit to talk to.
LoopbackCoreOptions withoutUnit()
{
    LoopbackCoreOptions options;
    options.withUnit = false;
    return options;
}

QStringList pageButtonTexts(const MainView& view)
{
    QStringList texts;
    for (int i = 0; i < 5; ++i)
        texts << view.pageButton(i)->text();
    return texts;
}

} // namespace

TEST(MainView, StartsInChineseAndTwoSwitchesComeBackWithEveryLabel)
{
    LoopbackWindow b(withoutUnit());
    const QStringList chinese = pageButtonTexts(*b.view);
    EXPECT_EQ(chinese, (QStringList{QString::fromUtf8("通道"), QString::fromUtf8("均衡"),
                                    QString::fromUtf8("矩阵"), QString::fromUtf8("系统"),
                                    QString::fromUtf8("菜单")}));
    EXPECT_EQ(b.window->mainMenu()->title(), QString::fromUtf8("系统"));
    EXPECT_EQ(b.view->inputStrip(0)->muteButton()->text(), QString::fromUtf8("哑音"));
    EXPECT_EQ(b.view->inputStrip(0)->lineButton()->text(), QString::fromUtf8("咪输入"));

    b.window->languageAction()->trigger();
    QCoreApplication::processEvents(); // the switch reaches the windows as posted events
    EXPECT_EQ(pageButtonTexts(*b.view),
              (QStringList{"CHANNELS", "EQ", "MATRIX", "SYSTEM", "MENU"}));
    EXPECT_EQ(b.window->mainMenu()->title(), "MAIN");
    EXPECT_EQ(b.window->toolsMenu()->title(), "TOOLS");
    EXPECT_EQ(b.view->inputStrip(0)->muteButton()->text(), "MUTE");
    EXPECT_EQ(b.view->inputStrip(0)->lineButton()->text(), "MIC");
    EXPECT_EQ(b.view->outputStrip(0)->limiterButton()->text(), "LIMITER");
    EXPECT_EQ(b.view->outputStrip(1)->levelButton()->text(), "LINE");

    b.window->languageAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(pageButtonTexts(*b.view), chinese);
    EXPECT_EQ(b.view->outputStrip(0)->limiterButton()->text(), QString::fromUtf8("输出限制"));
    EXPECT_EQ(b.window->languageAction()->text().isEmpty(), false);
}

TEST(MainView, UserAccountsCannotOpenTheMatrixOrTheSystemPage)
{
    LoopbackWindow b(withoutUnit());
    ASSERT_EQ(b.core->table().current().accountLevel, 2);
    b.view->pageButton(2)->click(); // MATRIX
    EXPECT_EQ(b.view->currentPage(), MainView::ChannelsPage);
    ASSERT_EQ(b.op.messages.size(), 1u);
    EXPECT_EQ(b.op.messages[0].text, QString::fromUtf8("您没有权限。")); // the window is in Chinese
    EXPECT_EQ(b.op.messages[0].title, "ERROR");
    EXPECT_EQ(b.view->highlightedButton(), 0);
    EXPECT_TRUE(b.view->pageButton(0)->isChecked());
    EXPECT_FALSE(b.view->pageButton(2)->isChecked());
    b.window->toolsMenu()->actions().at(2)->trigger(); // SYSTEM from the menu
    EXPECT_EQ(b.op.messages.size(), 2u);
    EXPECT_EQ(b.view->currentPage(), MainView::ChannelsPage);

    b.core->table().current().accountLevel = 1;
    b.view->pageButton(3)->click();
    EXPECT_EQ(b.view->currentPage(), MainView::SystemSettingsPage);
    int lit = 0;
    for (int i = 0; i < 5; ++i)
        lit += b.view->pageButton(i)->isChecked() ? 1 : 0;
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(b.view->highlightedButton(), 3);
}

TEST(MainView, TheMenuBarAndTheMainPopUpShareOneActionEach)
{
    LoopbackWindow b(withoutUnit());
    const MainView::Actions& a = b.view->actions();
    const QList<QAction*> popup = b.view->popupMenu()->actions();
    const QList<QAction*> main = b.window->mainMenu()->actions();
    const QList<QAction*> tools = b.window->toolsMenu()->actions();
    for (QAction* action : {a.openFile, a.saveFile, a.connect, a.disconnect, a.group, a.exit})
        EXPECT_TRUE(popup.contains(action)) << action->text().toStdString();
    for (QAction* action : {a.connect, a.disconnect, a.openFile, a.saveFile, a.exit})
        EXPECT_TRUE(main.contains(action)) << action->text().toStdString();
    for (QAction* action : {a.channels, a.matrix, a.system, a.group})
        EXPECT_TRUE(tools.contains(action)) << action->text().toStdString();
    // One text per action, in the menu's own words: the page button says less.
    EXPECT_EQ(a.system->text(), QString::fromUtf8("系统设置"));
    EXPECT_EQ(b.view->pageButton(3)->text(), QString::fromUtf8("系统"));
    EXPECT_EQ(a.connect->text(), QString::fromUtf8("连接"));
    // EXIT from the pop-up closes the window as the menu's does, once the last edits have left.
    a.exit->trigger();
    EXPECT_TRUE(waitFor([&b] { return !b.window->isVisible(); }, 4000));
}

TEST(MainView, FrameSizeIsClamped)
{
    LoopbackWindow b(withoutUnit());
    b.window->resize(400, 200);
    EXPECT_EQ(b.window->size(), QSize(1000, 500));
    b.window->resize(4000, 3000);
    EXPECT_EQ(b.window->size(), QSize(1920, 1600));
}

TEST(MainView, TabsFollowTheGroupRowsAndThePageShowsUngroupedStrips)
{
    LoopbackWindow b(withoutUnit());
    GroupTabBar* tabs = b.view->tabBar();
    ASSERT_EQ(tabs->count(), 6);
    EXPECT_EQ(tabs->tabText(0), "SINGLE");
    EXPECT_EQ(tabs->tabText(5), "GROUP  5");
    EXPECT_EQ(tabs->pageAt(3), 3);
    // Tabs can be reordered; each keeps its page.
    tabs->moveTab(1, 4);
    EXPECT_EQ(tabs->pageAt(4), 1);
    EXPECT_EQ(tabs->indexOfPage(1), 4);
}

TEST(MainView, MatrixClickTogglesTheCellAndSendsG)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.login());
    b.view->showMatrixPage();
    ASSERT_EQ(b.view->currentPage(), MainView::MatrixPage);
    MatrixGrid* grid = b.view->matrix();
    QCoreApplication::processEvents();
    const QRect cell = grid->cellRect({2, 1}); // input 3 to output 2
    b.unit->clearReceived();
    QTest::mouseClick(grid, Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(b.core->table().current().routing[1], 0xFB);
    EXPECT_EQ(b.core->table().current().routing[0], 0xFF);
    ASSERT_TRUE(waitFor([&] { return b.unit->receivedCount('G') == 1; }, 2000));
    EXPECT_EQ(b.unit->record().routing[1], 0xFB);
    EXPECT_FALSE(grid->isOn({2, 1}));
}

TEST(MainView, StripNamesAppearWithTheFirstLogin)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(waitFor([&] { return b.view->inputStrip(0)->name() == "Input0"; }, 2000));
    EXPECT_EQ(b.view->outputStrip(1)->name(), "Output1");
    EXPECT_TRUE(waitFor([&] { return b.view->connectionIndicator()->isChecked(); }, 2000));
    // Every strip is on the first page, in SerialID order.
    EXPECT_TRUE(b.view->inputStrip(7)->isVisible());
    EXPECT_TRUE(b.view->outputStrip(0)->isVisible());
    EXPECT_LT(b.view->inputStrip(7)->x(), b.view->outputStrip(0)->x());
}
