#include "DesktopBench.h"

#include "link/AddressFile.h"
#include "link/LinkState.h"
#include "mixer/GroupEditor.h"
#include "mixer/LoggingOperator.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"
#include "ui/GroupDialog.h"
#include "ui/MessageBoxOperator.h"
#include "ui/MessageLine.h"
#include "ui/SearchDialog.h"
#include "ui/ThemedMessageBox.h"
#include "ui/kit/PaintedButton.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

std::unique_ptr<VirtualUnit> startUnit(const char* address, quint16 port)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(QString::fromLatin1(address));
    options.port = port;
    auto unit = std::make_unique<VirtualUnit>(options);
    return unit->start() ? std::move(unit) : nullptr;
}

// A login dialog whose check talks to a virtual unit on 127.0.0.2.
struct LoginBench
{
    LoginBench()
        : port(freeLoopbackPort()), unit(startUnit("127.0.0.2", port)), state(table),
          dialog([this] { return std::make_unique<LoginCheck>(state); }, QStringLiteral("admin"),
                 op)
    {
        state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        state.port = port;
        state.deviceAddress = QStringLiteral("127.0.0.2");
        dialog.show();
    }
    quint16 port;
    std::unique_ptr<VirtualUnit> unit;
    UnitTable table;
    LinkState state;
    RecordingOperator op;
    LoginDialog dialog;
};

} // namespace

// The sweep covers the chosen network only (bound to loopback, only loopback networks are
// offered), and the dialog cannot be closed while it runs.
TEST(SearchDialog, ListsTheChosenNetworksUnitsAndCannotBeClosedWhileSearching)
{
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.0.3", "127.0.1.7"});
    auto a = startUnit("127.0.0.2", port);
    auto b = startUnit("127.0.0.3", port);
    auto elsewhere = startUnit("127.0.1.7", port);
    ASSERT_TRUE(port && a && b && elsewhere);
    CoreBench f(port); // bound to 127.0.0.1
    const auto ip = [](const char* text) { return QHostAddress(text).toIPv4Address(); };
    SearchDialog dialog(*f.core);
    dialog.setInterfaces({{"lo", ip("127.0.0.1"), 0xFF000000u, true, true},
                          {"eth0", ip("10.99.0.5"), 0xFFFFFF00u, true, false},
                          {"lo", ip("127.0.1.1"), 0xFF000000u, true, true},
                          {"wlan0", ip("10.98.0.5"), 0xFFFF0000u, false, false}});
    dialog.show();
    EXPECT_EQ(dialog.networkList()->count(), 2);
    EXPECT_EQ(dialog.networkList()->currentIndex(), 0) << "the bound address's network first";
    dialog.searchButton()->click();
    ASSERT_TRUE(dialog.isSearching());
    EXPECT_TRUE(dialog.progressBar()->isVisible());
    EXPECT_FALSE(dialog.networkList()->isEnabled());

    // Neither Cancel, the close button, Escape, OFFLINE, OK nor OPEN ends the dialog now.
    dialog.reject();
    dialog.close();
    dialog.goOffline();
    dialog.openTyped();
    dialog.openSelected();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.openMode(), OpenMode::Cancel);
    EXPECT_FALSE(dialog.cancelButton()->isEnabled());

    ASSERT_TRUE(waitFor([&] { return !dialog.isSearching(); }, 5000));
    EXPECT_TRUE(dialog.progressBar()->isHidden());
    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(elsewhere->receivedCount('I'), 0) << "the other network is not probed";
    QTreeWidgetItem* row = list->findItems("127.0.0.3", Qt::MatchExactly).value(0);
    ASSERT_NE(row, nullptr);

    // OPEN: the row's address becomes the device address and goes to ip.ini, the listed account
    // names go into the record without filler, and the login dialog proposes the first name.
    QString proposed;
    QObject::connect(&dialog, &SearchDialog::loginDialogOpened, [&](LoginDialog* login) {
        proposed = login->name();
        answerLogin(login, QStringLiteral("888888"));
    });
    list->setCurrentItem(row);
    dialog.openButton()->click();
    EXPECT_EQ(proposed, "admin");
    EXPECT_EQ(dialog.openMode(), OpenMode::Open);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(f.core->deviceAddress(), "127.0.0.3");
    EXPECT_EQ(readAddressFile(f.core->dataDirectory().addressFilePath()).ip, "127.0.0.3");
    const UnitRecord& r = f.core->table().current();
    EXPECT_EQ(0, std::memcmp(r.adminName, "admin\0\0", kAccountLength));
    EXPECT_EQ(0, std::memcmp(r.userName, "user\0\0\0", kAccountLength));
    EXPECT_EQ(r.accountLevel, 1);
    // Nothing is left on the link port: the link can start again.
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(QHostAddress(QStringLiteral("127.0.0.1")), port));
}

TEST(SearchDialog, TypedAddressOfflineAndCancel)
{
    const quint16 port = freeLoopbackPort({"127.0.0.4"});
    auto unit = startUnit("127.0.0.4", port);
    ASSERT_TRUE(port && unit);
    CoreBench f(port);
    {
        // OK takes the typed address, and a cancelled login keeps the search dialog open.
        SearchDialog dialog(*f.core);
        dialog.show();
        QString proposed;
        auto cancel =
            QObject::connect(&dialog, &SearchDialog::loginDialogOpened, [&](LoginDialog* login) {
                proposed = login->name();
                QTimer::singleShot(0, login, &LoginDialog::reject);
            });
        dialog.addressEdit()->setAddress(QStringLiteral("127.0.0.4"));
        dialog.okButton()->click();
        EXPECT_EQ(proposed, "admin") << "the record's first account, filler removed";
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.openMode(), OpenMode::Cancel);
        EXPECT_EQ(f.core->deviceAddress(), "127.0.0.4");
        QObject::disconnect(cancel);
        QObject::connect(&dialog, &SearchDialog::loginDialogOpened,
                         [](LoginDialog* login) { answerLogin(login, QStringLiteral("888888")); });
        dialog.okButton()->click();
        EXPECT_EQ(dialog.openMode(), OpenMode::Open);
    }
    for (const bool offline : {true, false}) {
        SearchDialog dialog(*f.core);
        dialog.show();
        (offline ? dialog.offlineButton() : dialog.cancelButton())->click();
        EXPECT_EQ(dialog.openMode(), offline ? OpenMode::Offline : OpenMode::Cancel);
        EXPECT_EQ(dialog.result(), offline ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(LoginDialog, LengthChecksAndRefusedLogin)
{
    LoginBench bench;
    ASSERT_TRUE(bench.unit);
    LoginDialog& dialog = bench.dialog;
    RecordingOperator& op = bench.op;
    // Empty, or longer than 6 characters: nothing happens, nothing is sent.
    const std::pair<QString, QString> refusedByLength[] = {
        {"admin", ""}, {"", "888888"}, {"admin", "8888888"}, {"admin12", "888888"}};
    for (const auto& [name, password] : refusedByLength) {
        dialog.nameEdit()->setText(name);
        dialog.passwordEdit()->setText(password);
        dialog.okButton()->click();
        EXPECT_FALSE(dialog.isChecking()) << name.toStdString() << "/" << password.toStdString();
    }
    EXPECT_TRUE(op.messages.empty());
    EXPECT_TRUE(dialog.isVisible());

    // Wrong password: the unit refuses, the box says so, the password is gone, the dialog stays.
    dialog.nameEdit()->setText(QStringLiteral("admin"));
    dialog.passwordEdit()->setText(QStringLiteral("123456"));
    dialog.okButton()->click();
    EXPECT_TRUE(dialog.isChecking());
    EXPECT_FALSE(dialog.okButton()->isEnabled()) << "no second check while one runs";
    ASSERT_TRUE(waitFor([&] { return !op.messages.empty(); }, 3000));
    EXPECT_EQ(op.messages[0].text, "User Password Error!");
    EXPECT_TRUE(dialog.password().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(bench.unit->receivedCount('R'), 1) << "one check, none for the refused lengths";

    // A six-character password is accepted.
    dialog.passwordEdit()->setText(QStringLiteral("888888"));
    dialog.okButton()->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.isVisible(); }, 3000));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.password(), "888888");
}

TEST(LoginDialog, CancelDuringTheCheckFreesTheLinkPort)
{
    LoginBench bench;
    ASSERT_TRUE(bench.unit);
    bench.unit->silence(5000);
    bench.dialog.passwordEdit()->setText(QStringLiteral("888888"));
    bench.dialog.okButton()->click();
    ASSERT_TRUE(bench.dialog.isChecking());
    bench.dialog.cancelButton()->click();
    EXPECT_EQ(bench.dialog.result(), QDialog::Rejected);
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(bench.state.bindAddress, bench.port));
    QCoreApplication::processEvents();
    EXPECT_TRUE(bench.op.messages.empty()) << "an abandoned check reports nothing";
}

// The group rules are the model's (tests/mixer); the dialog shows them: a refused click does not
// leave its own toggle behind, the links offered are those of the group's kind, Cancel forgets.
TEST(GroupDialog, RefusalsAndButtonStatesFollowTheModel)
{
    QTemporaryDir dir;
    RecordingOperator op;
    Database db(op, dir.filePath(QStringLiteral("Halvex.db")));
    ASSERT_TRUE(db.openDatabase());
    DeviceRegistry(db).ensureChannelRows(1);
    GroupTable table = GroupStore(db).loadGroupTable();
    GroupEditor model(db, op, table);
    {
        GroupDialog dialog(model);
        dialog.show();
        dialog.groupButton(2)->click();
        dialog.channelButton(1)->click();
        EXPECT_TRUE(dialog.channelButton(1)->isChecked());
        EXPECT_FALSE(dialog.linkButton(kPriorityLink)->isHidden()) << "input group links";
        EXPECT_TRUE(dialog.linkButton(kLimiterLink)->isHidden());
        dialog.channelButton(9)->click(); // output 1: another kind
        ASSERT_EQ(op.messages.size(), 1u);
        EXPECT_FALSE(dialog.channelButton(9)->isChecked()) << "the click's own toggle is undone";
        dialog.linkButton(kGainLink)->click();
        dialog.okButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        GroupDialog dialog(model);
        dialog.show();
        dialog.groupButton(2)->click();
        EXPECT_TRUE(dialog.linkButton(kGainLink)->isChecked());
        dialog.channelButton(2)->click();
        dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_TRUE(table.slot(2).members[0]);
    EXPECT_FALSE(table.slot(2).members[1]);
}

// Where a message goes: results, refusals and failed attempts to the message line of the window
// in front (a refusal with what was refused; a dialog with a line of its own is tested through the
// desktop); a file or storage failure to a box; a question to a box that waits for the answer.
// A box never runs an event loop of its own: said from a frame handler, it lets no other datagram
// in before the handler is done.
TEST(MessageBoxOperator, RoutesEachKindOfMessage)
{
    MessageBoxOperator op;
    EventLog log;
    op.attachEventLog(log);
    QWidget window;
    auto* line = new MessageLine(&window);
    window.show();
    op.setParentWidget(&window);
    // A box left up by a nested loop would block: close it after a while, so that such a fault
    // fails the test instead of hanging it.
    QTimer rescue;
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    rescue.start(3000);
    struct Case
    {
        EventKind kind;
        Severity severity;
        const char* text;
        bool box;
    };
    const Case cases[] = {
        {EventKind::Message, Severity::Information, "Search finished.", false},
        {EventKind::Message, Severity::Error, "User Password Error!", false},
        {EventKind::Preset, Severity::Information, "Save successfully", false},
        {EventKind::Preset, Severity::Error, "Save Fail: disk full", true},
        {EventKind::Storage, Severity::Warning, "The data directory cannot be written.", true},
        {EventKind::StateFile, Severity::Error, "Open Fail", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        line->clearMessage();
        // Shared with the timer, which fires after this pass when the message did not wait.
        const auto nextDatagram = std::make_shared<bool>(false);
        QTimer::singleShot(0, &window, [nextDatagram] { *nextDatagram = true; });
        LoggingOperator(op, log, c.kind).showMessage(c.severity, QString::fromLatin1(c.text));
        EXPECT_FALSE(*nextDatagram) << "handled while the message was said";
        ThemedMessageBox* box = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
        EXPECT_EQ(box != nullptr, c.box);
        EXPECT_EQ(line->text(), c.box ? QString() : QString::fromLatin1(c.text));
        if (box) {
            EXPECT_EQ(box->text(), QString::fromLatin1(c.text));
            box->acceptButton()->click();
            waitFor([] { return QApplication::activeModalWidget() == nullptr; }, 1000);
        }
    }
    rescue.stop();

    // A refusal names what was refused.
    log.noteRefusedAction(QT_TRANSLATE_NOOP("sonaro::EventLog", "the matrix"), "user");
    LoggingOperator(op, log).showMessage(Severity::Error, "You do not have permission.");
    EXPECT_TRUE(line->text().startsWith("You do not have permission."));
    EXPECT_TRUE(line->text().contains("the matrix")) << line->text().toStdString();

    // A question is a box, and waits for the answer.
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget()))
            box->acceptButton()->click();
    });
    EXPECT_TRUE(op.confirm(Severity::Notice, "Restore Factory Settings?"));
}

TEST(OfflineChoiceBox, ListsTheDifferencesAndAnswersWithoutWaiting)
{
    MessageBoxOperator op;
    std::optional<OfflineChoice> chosen;
    QList<ChangeId> many;
    for (int i = 0; i < 10; ++i)
        many << ChangeId{1 + i / kInputCount, SettingId::InputGain, i % kInputCount};
    op.chooseOfflineSettings(many, [&](OfflineChoice c) { chosen = c; });
    EXPECT_FALSE(chosen.has_value()) << "the call returns before the operator chose";
    ASSERT_TRUE(waitFor([] { return DesktopBench::box() != nullptr; }, 1000));
    ThemedMessageBox* box = DesktopBench::box();
    EXPECT_TRUE(box->text().contains("Input 1 gain"));
    EXPECT_TRUE(box->text().contains("Input 8 gain"));
    EXPECT_FALSE(box->text().contains("Unit 2")) << "a short list";
    EXPECT_TRUE(box->text().contains("and 2 more"));
    QPointer<ThemedMessageBox> closing(box);
    box->acceptButton()->click();
    ASSERT_TRUE(waitFor([&] { return chosen.has_value() && closing.isNull(); }, 1000));
    EXPECT_EQ(*chosen, OfflineChoice::SendMine);

    chosen.reset();
    op.chooseOfflineSettings({ChangeId{1, SettingId::HoldTime, 0}},
                             [&](OfflineChoice c) { chosen = c; });
    ASSERT_TRUE(waitFor([] { return DesktopBench::box() != nullptr; }, 1000));
    DesktopBench::box()->rejectButton()->click();
    ASSERT_TRUE(waitFor([&] { return chosen.has_value(); }, 1000));
    EXPECT_EQ(*chosen, OfflineChoice::TakeUnits);
}
