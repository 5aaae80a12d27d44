#include "ui/MainView.h"
#include "mixer/SonaroCore.h"
#include "support/LoopbackWindow.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/MainWindow.h"
#include "ui/OutputStrip.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
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

// Logs in with the account and waits for the unit's answer to this login.
bool loginAs(LoopbackWindow& b, const QString& user, const QString& password)
{
    const int logins = b.unit->receivedCount('R');
    b.core->session().storeLogin(user, password);
    b.core->session().sendLogin();
    return b.waitReceived('R', logins + 1) &&
           waitFor([&] { return b.core->session().connection() == Connection::Connected; }, 3000);
}

} // namespace

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
    b.view->refreshFromState();
    b.view->actions().matrix->trigger();
    EXPECT_EQ(lit(), std::vector<int>{2});
    b.view->actions().channels->trigger();
    EXPECT_EQ(lit(), std::vector<int>{0});
}

TEST(MainView, TheEqPageButtonOpensTheEditorOnTheActiveGroupTab)
{
    LoopbackWindow b(withoutUnit());
    // Group 2 holds inputs 4 and 6 with the EQ link.
    groupChannels(*b.core, 2, {4, 6}, {kEqLink});
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

TEST(MainView, AUserLoginLeavesTheAdministratorPagesAtOnce)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    MainView& view = *b.view;
    const std::pair<std::function<void()>, MainView::Page> pages[] = {
        {[&] { view.showMatrixPage(); }, MainView::MatrixPage},
        {[&] { view.showSystemPage(); }, MainView::SystemSettingsPage},
    };
    for (const auto& [show, page] : pages) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(loginAs(b, "admin", "888888"));
        show();
        ASSERT_EQ(view.currentPage(), page);
        // A new login on the same link, as a user: the page goes without the operator asking.
        ASSERT_TRUE(loginAs(b, "user", "666666"));
        EXPECT_EQ(b.record().accountLevel, 2);
        EXPECT_EQ(view.currentPage(), MainView::ChannelsPage);
        EXPECT_EQ(view.highlightedButton(), 0);
        EXPECT_FALSE(view.pageButton(2)->isEnabled());
        EXPECT_FALSE(view.pageButton(3)->isEnabled());
    }
}
