#include "link/AddressFile.h"
#include "link/LinkState.h"
#include "mixer/GroupEditor.h"
#include "mixer/LoggingOperator.h"
#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "ui/GroupDialog.h"
#include "ui/LanguageSwitcher.h"
#include "ui/LoginDialog.h"
#include "ui/MessageBoxOperator.h"
#include "ui/MessageLine.h"
#include "ui/SearchDialog.h"
#include "ui/ThemedMessageBox.h"
#include "ui/kit/PaintedButton.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// A core as the desktop program has it between beginConnect and finishConnect: link stopped,
// bound to 127.0.0.1, files in a directory of its own.
struct CoreFixture
{
    explicit CoreFixture(quint16 port)
    {
        CoreOptions options;
        options.dataDirectory = dir.path();
        options.readStateFile = false;
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.port = port;
        options.deviceAddress = QStringLiteral("127.0.0.2");
        core = std::make_unique<SonaroCore>(op, options);
        core->table().initialiseAccounts();
    }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<SonaroCore> core;
};

std::unique_ptr<VirtualUnit> startUnit(const char* address, quint16 port)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(QString::fromLatin1(address));
    options.port = port;
    auto unit = std::make_unique<VirtualUnit>(options);
    return unit->start() ? std::move(unit) : nullptr;
}

ThemedMessageBox* activeBox()
{
    return qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
}

// Fills the login dialog once its event loop runs; gives up (Cancel) after a while so that a
// failing test cannot hang.
void answerLogin(LoginDialog* dialog, const QString& password)
{
    QTimer::singleShot(0, dialog, [dialog, password] {
        dialog->passwordEdit()->setText(password);
        dialog->okButton()->click();
    });
    QTimer::singleShot(5000, dialog, &LoginDialog::reject);
}

} // namespace

TEST(SearchDialog, ListsLoopbackUnitsAndCannotBeClosedWhileSearching)
{
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.0.3"});
    ASSERT_NE(port, 0);
    auto a = startUnit("127.0.0.2", port);
    auto b = startUnit("127.0.0.3", port);
    ASSERT_TRUE(a && b);
    CoreFixture f(port);

    SearchDialog dialog(*f.core);
    EXPECT_EQ(dialog.addressEdit()->text(), "127.0.0.2") << "pre-filled with the device address";
    dialog.show();
    dialog.searchButton()->click();
    ASSERT_TRUE(dialog.isSearching());
    EXPECT_TRUE(dialog.progressBar()->isVisible());

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
    ASSERT_EQ(f.op.messages.size(), 1u);
    EXPECT_EQ(f.op.messages[0].text, "Search finished.");
    EXPECT_EQ(f.op.messages[0].title, "INFO");

    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->findItems("127.0.0.2", Qt::MatchExactly).size(), 1);
    QTreeWidgetItem* row = list->findItems("127.0.0.3", Qt::MatchExactly).value(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(SearchDialog::kPortColumn), QString::asprintf("%05d", port));
    EXPECT_EQ(row->text(SearchDialog::kFirstNameColumn), "admin");
    EXPECT_EQ(row->text(SearchDialog::kSecondNameColumn), "user");

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
    EXPECT_EQ(accountField(r.loginName), "admin&&");
    EXPECT_EQ(accountField(r.loginPassword), "888888&");
    EXPECT_EQ(r.accountLevel, 1);
    EXPECT_EQ(b->receivedCount('R'), 1);
    // Nothing is left on the link port: the link can start again.
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(QHostAddress(QStringLiteral("127.0.0.1")), port));
}

TEST(SearchDialog, TypedAddressOfflineAndCancel)
{
    const quint16 port = freeLoopbackPort({"127.0.0.4"});
    ASSERT_NE(port, 0);
    auto unit = startUnit("127.0.0.4", port);
    ASSERT_TRUE(unit);
    CoreFixture f(port);

    {
        // OK takes the typed address; a cancelled login keeps the search dialog open.
        SearchDialog dialog(*f.core);
        dialog.show();
        dialog.addressEdit()->setAddress(QStringLiteral("127.0.0.4"));
        QString proposed;
        auto cancel =
            QObject::connect(&dialog, &SearchDialog::loginDialogOpened, [&](LoginDialog* login) {
                proposed = login->name();
                QTimer::singleShot(0, login, &LoginDialog::reject);
            });
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
    {
        SearchDialog dialog(*f.core);
        dialog.show();
        dialog.offlineButton()->click();
        EXPECT_EQ(dialog.openMode(), OpenMode::Offline);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        SearchDialog dialog(*f.core);
        dialog.show();
        dialog.cancelButton()->click();
        EXPECT_EQ(dialog.openMode(), OpenMode::Cancel);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
}

TEST(SearchDialog, SweepsTheChosenInterfaceAndListsNoOtherNetwork)
{
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.1.7"});
    ASSERT_NE(port, 0);
    auto near = startUnit("127.0.0.2", port);
    auto chosen = startUnit("127.0.1.7", port);
    ASSERT_TRUE(near && chosen);
    CoreFixture f(port); // bound to 127.0.0.1
    const auto address = [](const char* text) {
        return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
    };

    SearchDialog dialog(*f.core);
    // Bound to loopback, the loopback addresses are the networks to offer: never the others.
    dialog.setInterfaces({{"lo", address("127.0.0.1"), 0xFF000000u, true, true},
                          {"eth0", address("10.99.0.5"), 0xFFFFFF00u, true, false},
                          {"lo", address("127.0.1.1"), 0xFF000000u, true, true},
                          {"wlan0", address("10.98.0.5"), 0xFFFF0000u, false, false}});
    dialog.show();
    QComboBox* networks = dialog.networkList();
    ASSERT_EQ(networks->count(), 2);
    EXPECT_EQ(networks->itemText(0), "lo  127.0.0.1/8");
    EXPECT_EQ(networks->itemText(1), "lo  127.0.1.1/8");
    EXPECT_EQ(networks->currentIndex(), 0) << "the bound address's network first";
    EXPECT_EQ(networks->itemData(1, Qt::ToolTipRole).toString(),
              "Probes the hosts of 127.0.1.0/24.");

    networks->setCurrentIndex(1);
    dialog.searchButton()->click();
    ASSERT_TRUE(dialog.isSearching());
    EXPECT_FALSE(networks->isEnabled()) << "the network stays while the sweep runs";
    ASSERT_TRUE(waitFor([&] { return !dialog.isSearching(); }, 5000));
    EXPECT_TRUE(networks->isEnabled());
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(SearchDialog::kAddressColumn), "127.0.1.7");
    EXPECT_EQ(near->receivedCount('I'), 0) << "the other network is not probed";
    EXPECT_EQ(chosen->receivedCount('I'), 1);
}

TEST(SearchDialog, APortInUseAndAnUnfinishedAddressAreToldAndDoNothing)
{
    const quint16 port = freeLoopbackPort({});
    ASSERT_NE(port, 0);
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), port));
    CoreFixture f(port);
    const QByteArray before = [&] {
        QFile file(f.core->dataDirectory().addressFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    SearchDialog dialog(*f.core);
    dialog.show();
    dialog.searchButton()->click();
    EXPECT_FALSE(dialog.isSearching());
    EXPECT_TRUE(dialog.progressBar()->isHidden());
    ASSERT_EQ(f.op.messages.size(), 1u);
    EXPECT_EQ(f.op.messages[0].title, "ERROR");
    EXPECT_TRUE(f.op.messages[0].text.startsWith("Winsock error!"));
    EXPECT_TRUE(f.op.messages[0].text.contains(QStringLiteral("Port %1 on 127.0.0.1").arg(port)))
        << f.op.messages[0].text.toStdString();

    // OK with an emptied part: no login, the address and ip.ini stay.
    bool loginOpened = false;
    QObject::connect(&dialog, &SearchDialog::loginDialogOpened, [&](LoginDialog* login) {
        loginOpened = true;
        QTimer::singleShot(0, login, &LoginDialog::reject);
    });
    dialog.addressEdit()->setAddress(QStringLiteral("127.0.0.9"));
    dialog.addressEdit()->octetEdit(2)->clear();
    dialog.okButton()->click();
    EXPECT_FALSE(loginOpened);
    ASSERT_EQ(f.op.messages.size(), 2u);
    EXPECT_EQ(f.op.messages[1].text, "Type all four parts of the address, each 0 to 255.");
    EXPECT_EQ(f.core->deviceAddress(), "127.0.0.2");
    QFile file(f.core->dataDirectory().addressFilePath());
    EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), before);
}

TEST(IpAddressEdit, ReadsAndWritesFourOctets)
{
    IpAddressEdit edit;
    edit.setAddress(QStringLiteral("192.168.001.010"));
    EXPECT_EQ(edit.text(), "192.168.1.10");
    EXPECT_TRUE(edit.isComplete());
    EXPECT_EQ(edit.address(), QHostAddress(QStringLiteral("192.168.1.10")));
    edit.setAddress(QStringLiteral("10.300.x"));
    EXPECT_EQ(edit.text(), "10.0.0.0") << "what setAddress cannot read is 0";
    // A box the operator emptied is a missing part, not 0.
    edit.octetEdit(3)->clear();
    EXPECT_EQ(edit.text(), "10.0.0.");
    EXPECT_FALSE(edit.isComplete());
    EXPECT_TRUE(edit.address().isNull());
}

TEST(LoginDialog, LengthChecksAndRefusedLogin)
{
    const quint16 port = freeLoopbackPort();
    ASSERT_NE(port, 0);
    auto unit = startUnit("127.0.0.2", port);
    ASSERT_TRUE(unit);
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    state.port = port;
    state.deviceAddress = QStringLiteral("127.0.0.2");
    RecordingOperator op;

    LoginDialog dialog([&] { return std::make_unique<LoginCheck>(state); }, QStringLiteral("admin"),
                       op);
    dialog.show();
    EXPECT_EQ(dialog.name(), "admin");
    EXPECT_TRUE(dialog.password().isEmpty());

    // Empty, or longer than 6 characters: nothing happens, nothing is sent.
    const std::pair<QString, QString> refusedByLength[] = {
        {"admin", ""}, {"", "888888"}, {"admin", "8888888"}, {"admin12", "888888"}};
    for (const auto& [name, password] : refusedByLength) {
        dialog.nameEdit()->setText(name);
        dialog.passwordEdit()->setText(password);
        dialog.okButton()->click();
        EXPECT_FALSE(dialog.isChecking()) << name.toStdString() << "/" << password.toStdString();
    }
    spin(50);
    EXPECT_EQ(unit->receivedCount('R'), 0);
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
    EXPECT_EQ(op.messages[0].title, "ERROR");
    EXPECT_TRUE(dialog.password().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(unit->receivedCount('R'), 1);

    // A six-character password is accepted.
    dialog.passwordEdit()->setText(QStringLiteral("888888"));
    dialog.okButton()->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.isVisible(); }, 3000));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.password(), "888888");
}

TEST(LoginDialog, CancelDuringTheCheckFreesTheLinkPort)
{
    const quint16 port = freeLoopbackPort();
    ASSERT_NE(port, 0);
    auto unit = startUnit("127.0.0.2", port);
    ASSERT_TRUE(unit);
    unit->silence(5000);
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    state.port = port;
    state.deviceAddress = QStringLiteral("127.0.0.2");
    RecordingOperator op;

    LoginDialog dialog([&] { return std::make_unique<LoginCheck>(state); }, QStringLiteral("admin"),
                       op);
    dialog.show();
    dialog.passwordEdit()->setText(QStringLiteral("888888"));
    dialog.okButton()->click();
    ASSERT_TRUE(dialog.isChecking());
    dialog.cancelButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(state.bindAddress, port));
    spin(50);
    EXPECT_TRUE(op.messages.empty()) << "an abandoned check reports nothing";
}

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
        for (int f = 0; f < kLinkFlagCount; ++f)
            EXPECT_TRUE(dialog.linkButton(static_cast<LinkFlag>(f))->isHidden());

        // GROUP 2 takes input 1; output 1 is of another kind.
        dialog.groupButton(2)->click();
        dialog.channelButton(1)->click();
        EXPECT_TRUE(dialog.channelButton(1)->isChecked());
        EXPECT_FALSE(dialog.linkButton(kPriorityLink)->isHidden()) << "input group links";
        EXPECT_TRUE(dialog.linkButton(kLimiterLink)->isHidden());
        dialog.channelButton(9)->click();
        ASSERT_EQ(op.messages.size(), 1u);
        EXPECT_EQ(op.messages[0].text, "Add group error!");
        EXPECT_EQ(op.messages[0].title, "ERROR");
        EXPECT_FALSE(dialog.channelButton(9)->isChecked()) << "the click's own toggle is undone";

        // Input 1 belongs to GROUP 2: GROUP 1 cannot take it.
        dialog.groupButton(1)->click();
        EXPECT_TRUE(dialog.groupButton(1)->isChecked());
        EXPECT_FALSE(dialog.groupButton(2)->isChecked());
        dialog.channelButton(1)->click();
        ASSERT_EQ(op.messages.size(), 2u);
        EXPECT_EQ(op.messages[1].text, "Already add group!");
        EXPECT_FALSE(dialog.channelButton(1)->isChecked());

        // Back in GROUP 2: the link flag sticks; OK saves.
        dialog.groupButton(2)->click();
        dialog.linkButton(kGainLink)->click();
        EXPECT_TRUE(dialog.linkButton(kGainLink)->isChecked());
        dialog.okButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        // Cancel throws away what was changed since the last OK.
        GroupDialog dialog(model);
        dialog.show();
        EXPECT_FALSE(dialog.groupButton(2)->isChecked()) << "opens with no group selected";
        dialog.groupButton(2)->click();
        EXPECT_TRUE(dialog.channelButton(1)->isChecked());
        EXPECT_TRUE(dialog.linkButton(kGainLink)->isChecked());
        dialog.channelButton(2)->click();
        dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_TRUE(table.slot(2).members[0]);
    EXPECT_FALSE(table.slot(2).members[1]);
}

TEST(MessageBoxOperator, AMessageFromAFrameHandlerDoesNotLetTheNextDatagramIn)
{
    MessageBoxOperator op;
    QWidget window;
    window.show();
    op.setParentWidget(&window);
    // A box left up by a nested loop would block here: close any box after a while, so that such
    // a fault fails the test instead of hanging it.
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    rescue.start(2000);

    int depth = 0;
    std::vector<std::pair<int, int>> handled; // datagram, handlers running while it was handled
    const auto handle = [&](int datagram) {
        ++depth;
        handled.emplace_back(datagram, depth);
        if (datagram == 1) {
            // The second datagram is already waiting in the event queue.
            QTimer::singleShot(0, &window, [&] {
                ++depth;
                handled.emplace_back(2, depth);
                --depth;
            });
            op.showMessage(Severity::Information,
                           QStringLiteral("Changing IP address successful, restart software."));
        }
        --depth;
    };
    handle(1);
    EXPECT_EQ(handled.size(), 1u) << "the message returned before anything else was handled";
    ASSERT_TRUE(waitFor([&] { return handled.size() == 2; }, 1000));
    EXPECT_EQ(handled[1], std::make_pair(2, 1)) << "the second datagram came after the first";
    EXPECT_NE(qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget()), nullptr)
        << "the box is still up for the operator";
    rescue.stop();
    QApplication::activeModalWidget()->close();
}

// Where a message goes: results, refusals and failed attempts to the message line of the window
// in front (a refusal with what was refused); a file or storage failure to a box; a question to
// a box that waits for the answer.
TEST(MessageBoxOperator, RoutesEachKindOfMessage)
{
    MessageBoxOperator op;
    EventLog log;
    op.attachEventLog(log);
    QWidget window;
    auto* line = new MessageLine(&window);
    window.show();
    op.setParentWidget(&window);
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
        LoggingOperator(op, log, c.kind).showMessage(c.severity, QString::fromLatin1(c.text));
        ThemedMessageBox* box = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
        EXPECT_EQ(box != nullptr, c.box);
        EXPECT_EQ(line->text(), c.box ? QString() : QString::fromLatin1(c.text));
        if (box) {
            EXPECT_EQ(box->text(), QString::fromLatin1(c.text));
            box->acceptButton()->click();
            waitFor([] { return QApplication::activeModalWidget() == nullptr; }, 1000);
        }
    }

    // A refusal names what was refused.
    log.noteRefusedAction(QT_TRANSLATE_NOOP("sonaro::EventLog", "the matrix"), "user");
    LoggingOperator(op, log).showMessage(Severity::Error, "You do not have permission.");
    EXPECT_TRUE(line->text().startsWith("You do not have permission."));
    EXPECT_TRUE(line->text().contains("the matrix")) << line->text().toStdString();

    // A dialog with a line of its own takes the message; a question is a box and waits.
    QDialog dialog(&window);
    auto* own = new MessageLine(&dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeModalWidget() == &dialog; }, 1000));
    op.showMessage(Severity::Information, "Set ok.");
    EXPECT_EQ(own->text(), "Set ok.");
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
    ASSERT_TRUE(waitFor([] { return activeBox() != nullptr; }, 1000));
    ThemedMessageBox* box = activeBox();
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
    ASSERT_TRUE(waitFor([] { return activeBox() != nullptr; }, 1000));
    activeBox()->rejectButton()->click();
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
    op.chooseOfflineSettings({ChangeId{1, SettingId::InputPhantom, 2},
                              ChangeId{1, SettingId::Groups, 0},
                              ChangeId{2, SettingId::Crosspoint, 3}},
                             [](OfflineChoice) {});
    ASSERT_TRUE(waitFor([] { return activeBox() != nullptr; }, 1000));
    const QString text = activeBox()->text();
    EXPECT_TRUE(text.contains(QString::fromUtf8("输入 3 幻象电源"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("组设置")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("设备 2：输出 1 路由 输入 4")));
    activeBox()->rejectButton()->click();
    switcher.setLanguage(Language::English);
}
