#include "model/RecordingOperator.h"
#include "support/EventLoop.h"

#include "mixer/SonaroCore.h"
#include "ui/IpAddressEdit.h"
#include "ui/SystemPage.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

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
    // No unit: the setting is kept for the next connection, never reported as set.
    EXPECT_EQ(f.op.messages[0].text, ControlSurface::savedOfflineText());
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
    EXPECT_EQ(f.op.messages.back().text, ControlSurface::savedOfflineText());

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
