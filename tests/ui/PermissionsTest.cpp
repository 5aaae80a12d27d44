#include "mixer/ControlSurface.h"
#include "mixer/FileActions.h"
#include "mixer/RecordingCommandPort.h"
#include "model/RecordingOperator.h"
#include "support/LoopbackWindow.h"
#include "ui/MainView.h"
#include "ui/SystemPage.h"
#include "ui/kit/PaintedButton.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

const QString kRefusedChinese = QString::fromUtf8("您没有权限。");

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

TEST(Permissions, AUserLoginLeavesTheAdministratorPagesAtOnce)
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
    }

    // What stays of the page refuses: a panel-lock click sends nothing, in the window's language.
    ASSERT_TRUE(b.waitIdle());
    b.unit->clearReceived();
    b.op.messages.clear();
    const int locked = b.record().panelLock;
    view.systemPage()->panelLockButton()->click();
    spin(100);
    EXPECT_EQ(b.unit->receivedCount('M'), 0);
    EXPECT_EQ(b.record().panelLock, locked);
    ASSERT_EQ(b.op.messages.size(), 1u);
    EXPECT_EQ(b.op.messages[0].text, kRefusedChinese);
    EXPECT_EQ(b.op.messages[0].title, "ERROR");
}

TEST(Permissions, TheSurfaceRefusesEachAdministratorActionToAUserInBothLanguages)
{
    UnitTable table;
    RecordingCommandPort port;
    RecordingOperator op;
    ControlSurface surface(table, port, op);
    FileActions files(table, surface, op);
    LanguageSwitcher language(table);
    ASSERT_TRUE(language.load());
    UnitRecord& r = table.current();
    r.connected = 1;
    r.accountLevel = 2;
    r.thresholdMode = 1; // Manual: the threshold would apply
    r.threshold = 20;
    r.holdTime = 6;
    r.maxOpenChannels = 1;

    // Each would change the record and send, were the account the administrator's.
    const std::pair<const char*, std::function<bool()>> actions[] = {
        {"crosspoint",
         [&] {
             return surface.setCrosspoint(2, 1, !surface.crosspoint(2, 1)) == Outcome::Refused;
         }},
        {"panel lock", [&] { return surface.setPanelLock(r.panelLock == 0) == Outcome::Refused; }},
        {"device mode",
         [&] {
             const DeviceMode other = r.deviceMode ? DeviceMode::Slave : DeviceMode::Master;
             return surface.setDeviceMode(other) == Outcome::Refused;
         }},
        {"threshold mode",
         [&] { return surface.setThresholdMode(ThresholdMode::Auto) == Outcome::Refused; }},
        {"threshold", [&] { return surface.setThreshold(-10) == Outcome::Refused; }},
        {"hold time", [&] { return surface.setHoldTime(900) == Outcome::Refused; }},
        {"maximum open channels",
         [&] { return surface.setMaxOpenChannels(4) == Outcome::Refused; }},
        {"factory restore", [&] { return !files.factoryRestore(); }},
    };
    const std::pair<Language, QString> languages[] = {
        {Language::English, QStringLiteral("You do not have permission.")},
        {Language::Chinese, kRefusedChinese},
    };
    for (const auto& [lang, text] : languages) {
        language.setLanguage(lang);
        for (const auto& [what, refused] : actions) {
            SCOPED_TRACE(what);
            op.messages.clear();
            const UnitRecord before = r;
            EXPECT_TRUE(refused());
            EXPECT_TRUE(port.requests.empty());
            EXPECT_EQ(std::memcmp(&before, &r, sizeof(UnitRecord)), 0) << "nothing changed";
            EXPECT_TRUE(op.questions.empty()) << "refused before any question";
            ASSERT_EQ(op.messages.size(), 1u);
            EXPECT_EQ(op.messages[0].text, text);
            EXPECT_EQ(op.messages[0].severity, Severity::Error);
        }
    }
    language.setLanguage(Language::English);
}
