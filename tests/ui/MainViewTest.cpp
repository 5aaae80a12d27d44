#include "ui/MainView.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackWindow.h"
#include "ui/ConnectionIndicator.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MainWindow.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

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

    // A refused page leaves the shown page named: here the system page, not CHANNELS.
    b.core->table().current().accountLevel = 2;
    b.view->pageButton(2)->click();
    EXPECT_EQ(b.view->currentPage(), MainView::SystemSettingsPage);
    EXPECT_EQ(b.view->highlightedButton(), 3);
    EXPECT_TRUE(b.view->pageButton(3)->isChecked());
    EXPECT_FALSE(b.view->pageButton(2)->isChecked());
}

TEST(MainView, TheHighlightNamesTheShownPageAfterTheMenuAndTheEqEditor)
{
    LoopbackWindow b(withoutUnit());
    const auto lit = [&b] {
        std::vector<int> on;
        for (int i = 0; i < 5; ++i)
            if (b.view->pageButton(i)->isChecked()) on.push_back(i);
        return on;
    };
    // MENU lights while its pop-up is open and gives the highlight back when it closes.
    b.view->pageButton(4)->click();
    EXPECT_EQ(lit(), std::vector<int>{4});
    b.view->popupMenu()->hide();
    EXPECT_EQ(lit(), std::vector<int>{0});
    EXPECT_EQ(b.view->highlightedButton(), 0);
    // The EQ editor is a window of its own; the channel page is still the one shown.
    b.view->pageButton(1)->click();
    ASSERT_NE(b.view->inputEqEditor(), nullptr);
    EXPECT_EQ(lit(), std::vector<int>{0});
    b.view->inputEqEditor()->hide();
    // Leaving a page by the menu bar moves the highlight too.
    b.core->table().current().accountLevel = 1;
    b.view->actions().matrix->trigger();
    EXPECT_EQ(lit(), std::vector<int>{2});
    b.view->actions().channels->trigger();
    EXPECT_EQ(lit(), std::vector<int>{0});
}

TEST(MainView, TheEqPageButtonOpensTheEditorOnTheActiveGroupTab)
{
    LoopbackWindow b(withoutUnit());
    // Group 2 holds inputs 4 and 6 with the EQ link.
    GroupTable table = b.core->groupStore().loadGroupTable();
    GroupSlot& slot = table.slot(2);
    slot.members[3] = slot.members[5] = true;
    slot.memberKind = 1;
    slot.memberCount = 2;
    slot.flags[kEqLink] = true;
    b.core->groupStore().saveGroupTable(table);
    b.core->surface().reloadGroups();
    GroupTabBar* tabs = b.view->tabBar();
    tabs->moveTab(2, 4); // the tab order is the operator's, the page stays
    tabs->setCurrentIndex(tabs->indexOfPage(2));
    b.view->pageButton(1)->click();
    InputEqWindow* editor = b.view->inputEqEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->editor().channel(), 3);
    EXPECT_EQ(editor->groupTabs()->pageAt(editor->groupTabs()->currentIndex()), 2);
    const std::vector<int> targets = editor->editor().targets();
    EXPECT_EQ(targets, (std::vector<int>{3, 5}));
    editor->hide();

    // The SINGLE tab opens the first channel of no group.
    tabs->setCurrentIndex(tabs->indexOfPage(0));
    b.view->pageButton(1)->click();
    EXPECT_EQ(editor->editor().channel(), 0);
    EXPECT_EQ(editor->groupTabs()->pageAt(editor->groupTabs()->currentIndex()), 0);
}

// The strips share the page's width at every window size from a laptop to a 4K screen.
TEST(MainView, StripsShareTheWidthAtEverySize)
{
    LoopbackWindow b(withoutUnit());
    for (const QSize size : {QSize(1280, 800), QSize(1920, 1080), QSize(3840, 2160)}) {
        b.window->resize(size);
        QCoreApplication::processEvents();
        ASSERT_EQ(b.window->size(), size);
        std::vector<ChannelStrip*> strips;
        for (int ch = 0; ch < kInputCount; ++ch)
            strips.push_back(b.view->inputStrip(ch));
        for (int out = 0; out < kOutputCount; ++out)
            strips.push_back(b.view->outputStrip(out));
        int left = INT_MAX;
        int right = 0;
        for (ChannelStrip* s : strips) {
            ASSERT_TRUE(s->isVisible()) << s->objectName().toStdString();
            EXPECT_GE(s->width(), ChannelStrip::kStripMinWidth) << size.width();
            const QPoint at = s->mapTo(b.view->channelPage(), QPoint(0, 0));
            left = std::min(left, at.x());
            right = std::max(right, at.x() + s->width());
        }
        const int page = b.view->channelPage()->width();
        EXPECT_GE(right - left, page * 9 / 10) << size.width() << " page " << page;
    }
}

TEST(MainView, TheIndicatorSaysWhereTheConnectionStands)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    b.window->languageAction()->trigger();
    QCoreApplication::processEvents();
    ConnectionIndicator* indicator = b.view->connectionIndicator();
    const Theme& theme = Theme::instance();
    EXPECT_EQ(indicator->connection(), Connection::Offline);
    EXPECT_EQ(indicator->text(), "OFFLINE");
    EXPECT_FALSE(indicator->isChecked());
    ASSERT_TRUE(b.login());
    ASSERT_TRUE(waitFor([&] { return indicator->text() == "CONNECTED"; }, 2000));
    EXPECT_EQ(indicator->checkedColour(), theme.activeGreen);
    EXPECT_TRUE(indicator->isChecked());
    // Words and colours for the states between.
    EXPECT_EQ(ConnectionIndicator::stateText(Connection::Relogging, false), "RE-LOGGING");
    EXPECT_EQ(ConnectionIndicator::stateText(Connection::LoggingIn, false), "LOGGING IN");
    EXPECT_EQ(ConnectionIndicator::stateText(Connection::ChangingAddress, true),
              "CHANGING ADDRESS");
    indicator->setState(Connection::Relogging, false);
    EXPECT_EQ(indicator->checkedColour(), theme.priorityAmber);

    // Meters and open lamps were live; a disconnect takes them down at once.
    b.record().inputOpen[0] = 1;
    b.record().inputLevel[0] = 191;
    ASSERT_TRUE(waitFor([&] { return b.view->inputStrip(0)->openIndicator()->isChecked(); }, 2000));
    b.view->actions().disconnect->trigger();
    ASSERT_TRUE(waitFor([&] { return indicator->text() == "OFFLINE"; }, 4000));
    spin(3 * ChannelStrip::kMeterTickMs);
    for (int ch = 0; ch < kInputCount; ++ch) {
        EXPECT_EQ(b.view->inputStrip(ch)->meter()->level(), 0) << ch;
        EXPECT_FALSE(b.view->inputStrip(ch)->openIndicator()->isChecked()) << ch;
        EXPECT_EQ(b.view->inputStrip(ch)->openIndicator()->text(), "WAITING") << ch;
    }
    for (int out = 0; out < kOutputCount; ++out)
        EXPECT_EQ(b.view->outputStrip(out)->meter()->level(), 0) << out;
}

// Open states and levels kept in data.ini from an earlier session are not shown as live.
TEST(MainView, AnOfflineStartShowsNoStaleLife)
{
    QTemporaryDir dir;
    {
        LoopbackWindow first(withoutUnit());
        first.record().inputOpen[2] = 1;
        first.record().inputLevel[2] = 191;
        first.record().outputLevel[1] = 191;
        ASSERT_TRUE(
            first.core->files().writeStateFile(first.core->dataDirectory().stateFilePath()));
        QFile::copy(first.core->dataDirectory().stateFilePath(), dir.filePath("data.ini"));
    }
    LoopbackWindow b(withoutUnit());
    ASSERT_TRUE(b.core->files().readStartupState(dir.filePath("data.ini")));
    // What the file may hold, whatever the reader keeps of it.
    b.record().inputOpen[2] = 1;
    b.record().inputLevel[2] = 191;
    b.view->refreshFromState();
    spin(3 * ChannelStrip::kMeterTickMs);
    EXPECT_FALSE(b.view->inputStrip(2)->openIndicator()->isChecked());
    EXPECT_EQ(b.view->inputStrip(2)->meter()->level(), 0);
    EXPECT_EQ(b.view->outputStrip(1)->meter()->level(), 0);
    EXPECT_EQ(b.view->connectionIndicator()->connection(), Connection::Offline);
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
    b.window->resize(5000, 3000);
    EXPECT_EQ(b.window->size(), QSize(3840, 2160));
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
    EXPECT_TRUE(waitFor([&] { return b.view->connectionIndicator()->isHeard(); }, 2000));
    // Every strip is on the first page, in SerialID order.
    EXPECT_TRUE(b.view->inputStrip(7)->isVisible());
    EXPECT_TRUE(b.view->outputStrip(0)->isVisible());
    EXPECT_LT(b.view->inputStrip(7)->x(), b.view->outputStrip(0)->x());
}
