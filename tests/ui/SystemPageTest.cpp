#include "e2e/LoopbackHarness.h"
#include "model/RecordingOperator.h"

#include "mixer/SonaroCore.h"
#include "store/DeviceRegistry.h"
#include "store/GroupDialogModel.h"
#include "store/GroupStore.h"
#include "ui/ThemedMessageBox.h"
#include "ui/GroupDialog.h"
#include "ui/LoginDialog.h"
#include "ui/MessageBoxOperator.h"
#include "ui/NameDialog.h"
#include "ui/SearchDialog.h"
#include "ui/SystemPage.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

struct PageFixture
{
    PageFixture()
    {
        CoreOptions options;
        options.dataDirectory = dir.path();
        options.readStateFile = false;
        core = std::make_unique<SonaroCore>(op, options);
        core->linkState().bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        core->linkState().deviceAddress = QStringLiteral("127.0.0.2");
        core->table().initialiseAccounts();
        core->table().current().accountLevel = 1; // the system page is the administrator's
    }

    UnitRecord& record() { return core->table().current(); }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<SonaroCore> core;
};

void Key(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

} // namespace

TEST(SystemPage, ThresholdKnobWorksOnlyInManual)
{
    PageFixture f;
    f.record().thresholdMode = 0;
    f.record().threshold = 12;
    SystemPage page(*f.core);
    EXPECT_FALSE(page.thresholdKnob()->isEnabled()) << "Auto: the unit sets the threshold";
    EXPECT_EQ(page.thresholdKnob()->value(), 12);
    EXPECT_EQ(page.thresholdModeButton()->text(), "AUTO");

    page.thresholdModeButton()->click();
    EXPECT_EQ(f.record().thresholdMode, 1);
    EXPECT_TRUE(page.thresholdKnob()->isEnabled());
    EXPECT_EQ(page.thresholdModeButton()->text(), "MANUAL");

    // Two key steps are one setting: one store, one confirmation, once the knob rests.
    page.thresholdKnob()->setFocus();
    Key(page.thresholdKnob(), Qt::Key_Up);
    Key(page.thresholdKnob(), Qt::Key_Up);
    EXPECT_EQ(f.record().threshold, 12) << "not before the turn is over";
    ASSERT_TRUE(waitFor([&] { return !f.op.messages.empty(); }, 3000));
    spin(SystemPage::kKnobCommitDelayMs);
    EXPECT_EQ(f.record().threshold, 14);
    ASSERT_EQ(f.op.messages.size(), 1u);
    EXPECT_EQ(f.op.messages[0].text, "Set ok.");
    EXPECT_EQ(f.op.messages[0].title, "INFO");

    // A turn still pending when the mode goes back to Auto is dropped.
    Key(page.thresholdKnob(), Qt::Key_Up);
    page.thresholdModeButton()->click();
    EXPECT_FALSE(page.thresholdKnob()->isEnabled());
    spin(SystemPage::kKnobCommitDelayMs * 2);
    EXPECT_EQ(f.record().threshold, 14);
    EXPECT_EQ(f.op.messages.size(), 1u);
    EXPECT_EQ(page.thresholdKnob()->value(), 14) << "the knob shows the record again";
}

TEST(SystemPage, ShowsTheRecordAndSendsThroughTheSurface)
{
    PageFixture f;
    ASSERT_TRUE(f.core->database().openDatabase());
    SystemPage page(*f.core);
    EXPECT_EQ(page.panelLockButton()->text(), "UNLOCK");

    UnitRecord& r = f.record();
    r.panelLock = 1;
    r.deviceMode = 1;
    r.holdTime = 10;
    r.maxOpenChannels = 5;
    page.refresh();
    EXPECT_TRUE(page.panelLockButton()->isChecked());
    EXPECT_EQ(page.panelLockButton()->text(), "LOCK");
    EXPECT_EQ(page.deviceModeButton()->text(), "MASTER");
    EXPECT_EQ(page.holdTimeKnob()->value(), 10);
    EXPECT_EQ(page.holdTimeKnob()->text(), "500ms");
    EXPECT_EQ(page.maxOpenList()->currentIndex(), 4);

    page.panelLockButton()->click();
    EXPECT_EQ(r.panelLock, 0);
    EXPECT_FALSE(page.panelLockButton()->isChecked());
    page.maxOpenList()->setCurrentIndex(7);
    page.maxOpenOkButton()->click();
    EXPECT_EQ(r.maxOpenChannels, 8);
    EXPECT_EQ(f.op.messages.back().text, "Set OK.");
    EXPECT_EQ(f.op.messages.back().title, "Info");

    // Factory restore: No changes nothing; Yes shows the factory values.
    f.op.answer = false;
    page.factoryRestoreButton()->click();
    EXPECT_EQ(r.holdTime, 10);
    f.op.answer = true;
    page.factoryRestoreButton()->click();
    EXPECT_EQ(r.holdTime, 6);
    EXPECT_EQ(page.holdTimeKnob()->value(), 6);
    EXPECT_EQ(page.maxOpenList()->currentIndex(), 0);
    EXPECT_TRUE(page.deviceModeButton()->isChecked());
}

TEST(SystemPage, AUserLoginIsRefusedEverySettingThroughTheSurface)
{
    PageFixture f;
    UnitRecord& r = f.record();
    r.accountLevel = 2;
    r.connected = 1;
    SystemPage page(*f.core);
    const UnitRecord before = r;
    page.panelLockButton()->click();
    page.deviceModeButton()->click();
    page.thresholdModeButton()->click();
    page.holdTimeKnob()->setFocus();
    Key(page.holdTimeKnob(), Qt::Key_Up);
    spin(SystemPage::kKnobCommitDelayMs * 2);
    page.maxOpenOkButton()->click();
    page.factoryRestoreButton()->click();
    EXPECT_EQ(std::memcmp(&before, &r, sizeof(UnitRecord)), 0) << "nothing changed";
    EXPECT_TRUE(f.op.questions.empty());
    ASSERT_EQ(f.op.messages.size(), 6u);
    for (const auto& m : f.op.messages) {
        EXPECT_EQ(m.text, "You do not have permission.");
        EXPECT_EQ(m.title, "ERROR");
    }
    EXPECT_FALSE(page.panelLockButton()->isChecked()) << "the refused button shows the record";
    EXPECT_FALSE(page.thresholdModeButton()->isChecked());
    EXPECT_EQ(page.holdTimeKnob()->value(), before.holdTime);
}

TEST(SystemPage, AddressAndAccountChangesGoToTheSession)
{
    PageFixture f;
    SystemPage page(*f.core);
    EXPECT_EQ(page.addressEdit()->text(), "127.0.0.2");
    page.addressOkButton()->click();
    ASSERT_EQ(f.op.messages.size(), 1u);
    EXPECT_EQ(f.op.messages[0].text, "Please connect software.");
    EXPECT_EQ(f.op.messages[0].title, "ERROR");

    EXPECT_EQ(page.newUserEdit()->text(), "admin") << "the account chosen in the list";
    page.accountList()->setCurrentIndex(1);
    EXPECT_EQ(page.newUserEdit()->text(), "user");
    page.oldPasswordEdit()->setText(QStringLiteral("666666"));
    page.newPasswordEdit()->setText(QStringLiteral("123456"));
    page.confirmPasswordEdit()->setText(QStringLiteral("123456 "));
    page.changeUserButton()->click();
    EXPECT_EQ(f.op.messages.back().text, "Must be <=6 bits.");
    page.confirmPasswordEdit()->setText(QStringLiteral("123457"));
    page.changeUserButton()->click();
    EXPECT_EQ(f.op.messages.back().text, "New psw error.");
    page.confirmPasswordEdit()->setText(QStringLiteral("123456"));
    page.changeUserButton()->click();
    EXPECT_EQ(f.op.messages.back().text, "Please connect software.");
    EXPECT_EQ(f.op.messages.back().title, "INFO");

    // The unit's confirmed new address reaches the field.
    emit f.core->dispatcher().addressReported(QStringLiteral("127.0.0.9"), 5000);
    EXPECT_EQ(page.addressEdit()->text(), "127.0.0.9");
}

// --- screenshots -------------------------------------------------------------------------------

namespace {

// The Chinese labels, so that the screenshots show the real text widths before the program's
// translation file exists.
class TableTranslator : public QTranslator
{
public:
    TableTranslator()
    {
        const char* pairs[][2] = {
            {"SYSTEM SETTING", "系统设置"},
            {"UNIT", "设备"},
            {"PANEL LOCK", "主机面板锁"},
            {"DEVICE MODE", "主机状态"},
            {"LOCK", "上锁"},
            {"UNLOCK", "解锁"},
            {"MASTER", "主机"},
            {"SLAVE", "从机"},
            {"AUTOMIX", "自动混音"},
            {"MODE", "模式"},
            {"AUTO", "自动"},
            {"MANUAL", "手动"},
            {"THRESHOLD", "门限"},
            {"HOLD TIME", "保持时间"},
            {"MAX. OPEN CH", "最大话筒数"},
            {"OK", "确定"},
            {"NETWORK", "网络"},
            {"DEVICE IP", "设备地址"},
            {"FACTORY SETTINGS", "工厂设置"},
            {"Every setting of the unit returns to its factory value.",
             "设备的所有设置恢复为出厂值。"},
            {"RESTORE", "恢复设置"},
            {"CHANGE USER", "修改用户"},
            {"ACCOUNT", "账户"},
            {"USER", "新用户名"},
            {"OLD PSW", "旧密码"},
            {"NEW PSW", "新密码"},
            {"CONFIRM PSW", "确认密码"},
            {"SEARCH", "搜索"},
            {"PORT", "端口"},
            {"USERNAME1", "用户名1"},
            {"USERNAME2", "用户名2"},
            {"IPAddr", "IP地址"},
            {"OPEN", "打开"},
            {"OFFLINE", "离线"},
            {"Cancel", "取消"},
            {"Login", "登录"},
            {"USER NAME", "用户名"},
            {"USER PSW", "密码"},
            {"Name", "名称"},
            {"GROUP", "组设置"},
            {"GROUP %1", "组 %1"},
            {"GAIN", "增益"},
            {"MUTE", "哑音"},
            {"PRIORITY", "优先"},
            {"PHANTOM", "幻象电源"},
            {"EQ", "均衡"},
            {"LIMITER", "输出限制"},
            {"CANCEL", "取消"},
            {"Input %1", "输入 %1"},
            {"Output %1", "输出 %1"},
            {"Yes", "是"},
            {"No", "否"},
        };
        for (const auto& pair : pairs)
            m_table.insert(QString::fromUtf8(pair[0]), QString::fromUtf8(pair[1]));
    }

    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* sourceText, const char*, int) const override
    {
        return m_table.value(QString::fromUtf8(sourceText));
    }

private:
    QHash<QString, QString> m_table;
};

QString shotDir()
{
    return qEnvironmentVariable("SONARO_DIALOG_SHOTS");
}

void shoot(QWidget& w, const QString& name)
{
    w.setAttribute(Qt::WA_DontShowOnScreen);
    w.show();
    QApplication::processEvents();
    w.grab().save(shotDir() + "/" + name + ".png");
}

} // namespace

// Renders every window of this part in English and in Chinese. Runs only when
// SONARO_DIALOG_SHOTS names the output directory.
TEST(DialogShots, EveryWindowInBothLanguages)
{
    if (shotDir().isEmpty())
        GTEST_SKIP() << "set SONARO_DIALOG_SHOTS to a directory to render the windows";
    QDir().mkpath(shotDir());
    Theme::applyTo(*qApp);
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.0.3"});
    ASSERT_NE(port, 0);
    VirtualUnitOptions options;
    options.port = port;
    VirtualUnit a(options);
    options.address = QHostAddress(QStringLiteral("127.0.0.3"));
    options.adminName = QStringLiteral("boss");
    VirtualUnit b(options);
    ASSERT_TRUE(a.start() && b.start());

    TableTranslator chinese;
    for (const Language language : {Language::English, Language::Chinese}) {
        PageFixture f;
        f.core->linkState().port = port;
        ASSERT_TRUE(f.core->database().openDatabase());
        DeviceRegistry(f.core->database()).ensureChannelRows(1);
        const bool zh = language == Language::Chinese;
        f.core->table().setLanguage(language);
        if (zh) QCoreApplication::installTranslator(&chinese);
        const QString suffix = zh ? "-zh" : "-en";

        f.record().thresholdMode = 1;
        f.record().threshold = 20;
        f.record().holdTime = 6;
        f.record().maxOpenChannels = 4;
        SystemPage page(*f.core);
        page.resize(1000, 700);
        shoot(page, "system-page" + suffix);

        SearchDialog search(*f.core);
        shoot(search, "search-empty" + suffix);
        search.startSearch();
        QApplication::processEvents();
        shoot(search, "search-running" + suffix);
        ASSERT_TRUE(waitFor([&] { return !search.isSearching(); }, 5000));
        search.list()->sortItems(0, Qt::AscendingOrder);
        shoot(search, "search-found" + suffix);

        LoginDialog login([&] { return f.core->createLoginCheck(); }, QStringLiteral("admin"),
                          f.op);
        login.passwordEdit()->setText(QStringLiteral("888888"));
        shoot(login, "login" + suffix);

        NameDialog name(QStringLiteral("Lectern"));
        shoot(name, "name" + suffix);

        GroupTable table = GroupStore(f.core->database()).loadGroupTable();
        GroupDialogModel model(f.core->database(), f.op, table);
        GroupDialog group(model);
        shoot(group, "group-empty" + suffix);
        group.groupButton(2)->click();
        for (int s : {1, 2, 3})
            group.channelButton(s)->click();
        group.linkButton(kGainLink)->click();
        group.linkButton(kMuteLink)->click();
        shoot(group, "group-inputs" + suffix);

        ThemedMessageBox error(Severity::Error, QStringLiteral("User Password Error!"),
                               ThemedMessageBox::Buttons::Ok);
        shoot(error, "box-error" + suffix);
        ThemedMessageBox question(Severity::Notice, QStringLiteral("Restore Factory Settings?"),
                                  ThemedMessageBox::Buttons::YesNo);
        shoot(question, "box-question" + suffix);
        if (zh) QCoreApplication::removeTranslator(&chinese);
    }
}
