#include "model/HostAddressRules.h"
#include "model/RecordingOperator.h"
#include "support/EventLoop.h"
#include "support/LoopbackCore.h"

#include "link/AddressFile.h"
#include "mixer/SonaroCore.h"
#include "ui/IpAddressEdit.h"
#include "ui/SystemPage.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "support/LoopbackPort.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.deviceAddress = QStringLiteral("127.0.0.2");
        options.port = sonaro::testing::freeLoopbackPort();
        core = std::make_unique<SonaroCore>(op, options);
        core->table().initialiseAccounts();
        core->table().current().accountLevel = 1; // the system page is the administrator's
    }

    UnitRecord& record() { return core->table().current(); }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<SonaroCore> core;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    ASSERT_TRUE(f.core->start());
    f.record().accountLevel = 1;
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
    // The checks are the session's; without a unit the change is not asked for.
    page.oldPasswordEdit()->setText(QStringLiteral("666666"));
    page.newPasswordEdit()->setText(QStringLiteral("123456"));
    page.confirmPasswordEdit()->setText(QStringLiteral("123456"));
    page.changeUserButton()->click();
    EXPECT_EQ(f.op.messages.back().text, "Please connect software.");

    // The unit's confirmed new address reaches the field.
    emit f.core->addressReported(QStringLiteral("127.0.0.9"), 5000);
    EXPECT_EQ(page.addressEdit()->text(), "127.0.0.9");
}

TEST(SystemPage, AnUnusableAddressIsRefusedAndAGoodOneMovesTheUnitOnceConfirmed)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    SystemPage page(*b.core);
    IpAddressEdit* edit = page.addressEdit();
    const QString addressFile = b.core->dataDirectory().addressFilePath();
    const QByteArray fileBefore = fileBytes(addressFile);
    b.unit->clearReceived();

    // An emptied part is not 0; an address no unit can hold (the host rules) is refused.
    const QString unfinished = QStringLiteral("Type all four parts of the address, each 0 to 255.");
    const std::pair<QString, QString> refused[] = {
        {"10.1..7", unfinished},
        {"10.1.2.255", hostAddressProblemText(HostAddressProblem::BroadcastAddress, "10.1.2.255")},
    };
    for (const auto& [typed, message] : refused) {
        SCOPED_TRACE(typed.toStdString());
        const QStringList parts = typed.split('.');
        for (int i = 0; i < 4; ++i)
            edit->octetEdit(i)->setText(parts[i]);
        b.op.messages.clear();
        page.addressOkButton()->click();
        ASSERT_EQ(b.op.messages.size(), 1u);
        EXPECT_EQ(b.op.messages[0].text, message);
        EXPECT_EQ(b.op.messages[0].title, "ERROR");
    }
    EXPECT_TRUE(b.op.questions.empty());
    spin(50);
    EXPECT_EQ(b.unit->receivedCount('I'), 0);

    // A usable one: the question names both addresses; No sends nothing.
    edit->setAddress(QStringLiteral("127.0.0.77"));
    b.op.messages.clear();
    b.op.answer = false;
    page.addressOkButton()->click();
    ASSERT_EQ(b.op.questions.size(), 1u);
    EXPECT_EQ(b.op.questions[0].title, "Warming");
    EXPECT_TRUE(b.op.questions[0].text.contains("from 127.0.0.2 to 127.0.0.77"))
        << b.op.questions[0].text.toStdString();
    spin(50);
    EXPECT_EQ(b.unit->receivedCount('I'), 0);

    // Yes: I goes out; ip.ini changes only once the unit reported its new address. The file is
    // read as the unit takes the I, before it answers.
    b.op.answer = true;
    QByteArray sent;
    QByteArray fileWhenSent;
    QObject::connect(b.unit.get(), &VirtualUnit::frameReceived, [&](const QByteArray& frame) {
        if (!frame.startsWith("%I,")) return;
        sent = frame;
        fileWhenSent = fileBytes(addressFile);
    });
    page.addressOkButton()->click();
    ASSERT_TRUE(b.waitReceived('I', 1));
    EXPECT_TRUE(sent.startsWith(
        QStringLiteral("%I,01,127.000.000.077:%1,").arg(b.port, 5, 10, QChar('0')).toLatin1()))
        << sent.toStdString();
    EXPECT_EQ(fileWhenSent, fileBefore) << "not before the unit's answer";
    ASSERT_TRUE(waitFor([&] { return !b.op.messages.empty(); }, 3000));
    EXPECT_EQ(b.op.messages[0].text, "Changing IP address successful, restart software.");
    EXPECT_EQ(readAddressFile(addressFile).ip, "127.0.0.77");
    EXPECT_EQ(edit->text(), "127.0.0.77");
}

TEST(SystemPage, TheAccountChangeTakesTheAccountFromTheList)
{
    LoopbackCore b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.login());
    SystemPage page(*b.core);
    b.unit->clearReceived();
    page.accountList()->setCurrentIndex(1);
    EXPECT_EQ(page.newUserEdit()->text(), "user");
    EXPECT_TRUE(page.newUserEdit()->isReadOnly()) << "the unit's account names are not typed";
    page.newUserEdit()->setText(QStringLiteral("bob"));
    page.oldPasswordEdit()->setText(QStringLiteral("666666"));
    page.newPasswordEdit()->setText(QStringLiteral("123456"));
    page.confirmPasswordEdit()->setText(QStringLiteral("123456"));
    page.changeUserButton()->click();
    ASSERT_TRUE(b.waitReceived('X', 1));
    const auto x = std::find_if(b.unit->received().begin(), b.unit->received().end(),
                                [](const QByteArray& f) { return f.startsWith("%X,"); });
    ASSERT_NE(x, b.unit->received().end());
    EXPECT_TRUE(x->startsWith("%X,01,user&&&,666666&,user&&&,123456&,")) << x->toStdString();
}
