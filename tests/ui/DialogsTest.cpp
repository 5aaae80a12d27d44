#include "link/AddressFile.h"
#include "link/LinkState.h"
#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "store/DeviceRegistry.h"
#include "store/GroupDialogModel.h"
#include "store/GroupStore.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "ui/GroupDialog.h"
#include "ui/LoginDialog.h"
#include "ui/MessageBoxOperator.h"
#include "ui/NameDialog.h"
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
        core = std::make_unique<SonaroCore>(op, options);
        LinkState& state = core->linkState();
        state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        state.port = port;
        state.deviceAddress = QStringLiteral("127.0.0.2");
        state.addressFilePath = dir.filePath(QStringLiteral("ip.ini"));
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
    EXPECT_TRUE(dialog.progressBar()->isHidden());
    dialog.searchButton()->click();
    ASSERT_TRUE(dialog.isSearching());
    EXPECT_TRUE(dialog.progressBar()->isVisible());
    EXPECT_EQ(dialog.progressBar()->maximum(), 254);

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
    EXPECT_EQ(list->headerItem()->text(0), "DEVICE IP");
    EXPECT_EQ(list->headerItem()->text(3), "USERNAME2");
    QStringList addresses;
    for (int i = 0; i < 2; ++i)
        addresses << list->topLevelItem(i)->text(SearchDialog::kAddressColumn);
    addresses.sort();
    EXPECT_EQ(addresses, (QStringList{"127.0.0.2", "127.0.0.3"}));
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
    EXPECT_EQ(f.core->linkState().deviceAddress, "127.0.0.3");
    EXPECT_EQ(readAddressFile(f.core->linkState().addressFilePath).ip, "127.0.0.3");
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
        EXPECT_EQ(f.core->linkState().deviceAddress, "127.0.0.4");
        QObject::disconnect(cancel);
        QObject::connect(&dialog, &SearchDialog::loginDialogOpened,
                         [](LoginDialog* login) { answerLogin(login, QStringLiteral("888888")); });
        dialog.okButton()->click();
        EXPECT_EQ(dialog.openMode(), OpenMode::Open);
        // Nothing selected: OPEN has no unit to open.
        dialog.list()->clear();
        dialog.openSelected();
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
        QFile file(f.core->linkState().addressFilePath);
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
    EXPECT_EQ(f.core->linkState().deviceAddress, "127.0.0.2");
    QFile file(f.core->linkState().addressFilePath);
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

TEST(NameDialog, StartsWithTheCurrentNameAndReturnsTheEditedOne)
{
    NameDialog dialog(QStringLiteral("Input3"));
    EXPECT_EQ(dialog.text(), "Input3");
    EXPECT_EQ(dialog.windowTitle(), "Name");
    EXPECT_EQ(dialog.okButton()->text(), "OK");
    EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
    dialog.editor()->clear();
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.text().isEmpty()) << "an empty name is accepted";
}

TEST(GroupDialog, RefusalsAndButtonStatesFollowTheModel)
{
    QTemporaryDir dir;
    RecordingOperator op;
    Database db(op, dir.filePath(QStringLiteral("Halvex.db")));
    ASSERT_TRUE(db.openDatabase());
    DeviceRegistry(db).ensureChannelRows(1);
    GroupTable table = GroupStore(db).loadGroupTable();
    GroupDialogModel model(db, op, table);

    {
        GroupDialog dialog(model);
        dialog.show();
        EXPECT_EQ(dialog.channelButton(1)->text(), "Input0");
        EXPECT_EQ(dialog.channelButton(10)->text(), "Output1");
        EXPECT_EQ(dialog.groupButton(3)->geometry().topLeft(),
                  QPoint(300, 50) * GroupDialog::kScale);
        for (int f = 0; f < kLinkFlagCount; ++f)
            EXPECT_TRUE(dialog.linkButton(static_cast<LinkFlag>(f))->isHidden());

        // GROUP 2 takes input 1; output 1 is of another kind.
        dialog.groupButton(2)->click();
        dialog.channelButton(1)->click();
        EXPECT_TRUE(dialog.channelButton(1)->isChecked());
        EXPECT_FALSE(dialog.linkButton(kPriorityLink)->isHidden()) << "input group links";
        EXPECT_TRUE(dialog.linkButton(kLimiterLink)->isHidden());
        EXPECT_EQ(dialog.linkButton(kPhantomLink)->geometry().topLeft(),
                  QPoint(350, 200) * GroupDialog::kScale);
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

TEST(MessageBoxOperator, OpensThemedBoxesOverTheOpenDialog)
{
    MessageBoxOperator op;
    QString seenText;
    QString seenTitle;
    QWidget* seenParent = nullptr;
    const auto answer = [&](bool yes) {
        QTimer::singleShot(0, [&, yes] {
            auto* box = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seenText = box->text();
            seenTitle = box->windowTitle();
            seenParent = box->parentWidget();
            QPushButton* button = yes ? box->acceptButton() : box->rejectButton();
            if (button) button->click();
        });
    };

    answer(true);
    EXPECT_TRUE(op.confirm(Severity::Notice, QStringLiteral("Restore Factory Settings?")));
    EXPECT_EQ(seenText, "Restore Factory Settings?");
    EXPECT_EQ(seenTitle, "Info");
    answer(false);
    EXPECT_FALSE(op.confirm(Severity::Notice, QStringLiteral("Restore Factory Settings?")));

    // A message over an open modal dialog belongs to that dialog; it is left open and the call
    // returns at once.
    NameDialog dialog(QStringLiteral("x"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeModalWidget() == &dialog; }, 1000));
    op.showMessage(Severity::Information, QStringLiteral("Search finished."));
    auto* shown = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), "Search finished.");
    EXPECT_EQ(shown->windowTitle(), "INFO");
    EXPECT_EQ(shown->parentWidget(), &dialog);
    // A second message while the first is up stands beside it, over the same dialog.
    op.showMessage(Severity::Error, QStringLiteral("Open Fail"));
    auto* second = qobject_cast<ThemedMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, shown);
    EXPECT_EQ(second->parentWidget(), &dialog);
    QPointer<ThemedMessageBox> closing(shown);
    QPointer<ThemedMessageBox> staying(second);
    shown->acceptButton()->click();
    EXPECT_TRUE(waitFor([&] { return closing.isNull(); }, 1000)) << "a closed box deletes itself";
    ASSERT_FALSE(staying.isNull()) << "closing one box leaves the other to the operator";
    staying->acceptButton()->click();

    ThemedMessageBox box(Severity::Information, QStringLiteral("Set ok."),
                         ThemedMessageBox::Buttons::Ok);
    EXPECT_EQ(box.acceptButton()->text(), "OK");
    EXPECT_EQ(box.rejectButton(), nullptr);
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
