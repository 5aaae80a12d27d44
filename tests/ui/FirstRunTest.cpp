#include "mixer/SonaroCore.h"
#include "support/LoopbackWindow.h"
#include "ui/ConnectionIndicator.h"
#include "ui/FirstRunPanel.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LoginDialog.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// Fills the login dialog once its event loop runs; Cancel after a while so that a failing test
// cannot hang.
void answerLogin(LoginDialog* dialog)
{
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->nameEdit()->setText(QStringLiteral("admin"));
        dialog->passwordEdit()->setText(QStringLiteral("888888"));
        dialog->okButton()->click();
    });
    QTimer::singleShot(5000, dialog, &LoginDialog::reject);
}

} // namespace

TEST(FirstRun, EveryStripShowsAndTheSearchIsOffered)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    FirstRunPanel* panel = b.view->firstRunPanel();
    EXPECT_TRUE(panel->isVisible());
    for (int ch = 0; ch < kInputCount; ++ch) {
        EXPECT_TRUE(b.view->inputStrip(ch)->isVisible()) << ch;
        EXPECT_EQ(b.view->inputStrip(ch)->name(), QStringLiteral("Input%1").arg(ch));
    }
    for (int out = 0; out < kOutputCount; ++out)
        EXPECT_TRUE(b.view->outputStrip(out)->isVisible()) << out;

    // The program starts in Chinese; the offer and the indicator speak it too.
    EXPECT_EQ(panel->offlineButton()->text(), QString::fromUtf8("离线工作"));
    EXPECT_EQ(b.view->connectionIndicator()->text(), QString::fromUtf8("离线"));
    b.window->languageAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->offlineButton()->text(), "WORK OFFLINE");
    EXPECT_EQ(panel->searchButton()->text(), "SEARCH...");
    EXPECT_EQ(b.view->connectionIndicator()->text(), "OFFLINE");

    // WORK OFFLINE puts the offer away; the strips stay.
    panel->offlineButton()->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(b.view->inputStrip(0)->isVisible());
}

TEST(FirstRun, ATypedAddressThatNoUnitCanHoldIsRefused)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    FirstRunPanel* panel = b.view->firstRunPanel();
    b.unit->clearReceived();
    for (const char* text : {"", "192.168.1", "192.168.1.300", "192.168.O.10", "unit", "0.1.2.3",
                             "224.0.0.1", "255.255.255.255", "10.0.0.255"}) {
        panel->addressEdit()->setText(QString::fromLatin1(text));
        panel->connectButton()->click();
        EXPECT_FALSE(panel->problemLabel()->isHidden()) << text;
        EXPECT_FALSE(panel->problemLabel()->text().isEmpty()) << text;
        EXPECT_FALSE(panel->addressEdit()->styleSheet().isEmpty()) << text;
        EXPECT_EQ(b.core->linkState().deviceAddress, kUnitAddress) << text;
        EXPECT_EQ(b.core->session().connection(), Connection::Offline) << text;
    }
    EXPECT_TRUE(b.receivedKinds().empty());
    // Typing again takes the refusal back.
    panel->addressEdit()->setText("1");
    emit panel->addressEdit()->textEdited("1");
    EXPECT_TRUE(panel->problemLabel()->isHidden());
}

// A fresh install prepares names, a group, an EQ band and a preset without a unit; then it
// connects by a typed address and the names, the EQ and the preset are still there. (The groups
// after a login are the unit's: its link table report replaces the local one.)
TEST(FirstRun, OfflinePreparationSurvivesTheFirstConnection)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    SonaroCore& core = *b.core;

    const QString shown = core.renameChannel(ChannelKind::Input, 2, "Input2", "Lectern");
    EXPECT_EQ(shown, "Lectern");
    b.view->refreshFromState();
    EXPECT_EQ(b.view->inputStrip(2)->name(), "Lectern");

    GroupTable table = core.groupStore().loadGroupTable();
    GroupSlot& slot = table.slot(1);
    slot.members[2] = slot.members[3] = true;
    slot.memberKind = 1;
    slot.memberCount = 2;
    slot.flags[kGainLink] = true;
    core.groupStore().saveGroupTable(table);
    core.surface().reloadGroups();
    const PageLayout group = core.pageLayout(1);
    ASSERT_EQ(group.strips.size(), 2u);
    EXPECT_EQ(group.strips[0].index, 2);
    EXPECT_EQ(group.strips[1].index, 3);
    // The gain link works offline: moving input 3 moves input 4.
    b.view->inputStrip(2)->fader()->enterText("-12");
    EXPECT_EQ(b.record().inputGain[3], 38);

    b.view->openInputEq(2);
    InputEqWindow* eq = b.view->inputEqEditor();
    ASSERT_NE(eq, nullptr);
    eq->editor().knobChanged(1, 1000.0, 6.0, 1.0);
    EXPECT_DOUBLE_EQ(b.record().inputEqAt(1, kEqGain, 2), 6.0);
    eq->hide();

    const QString preset = b.dir.filePath("prepared.ini");
    EXPECT_TRUE(core.files().savePreset([&] { return preset; }));
    EXPECT_TRUE(QFile::exists(preset));
    EXPECT_TRUE(core.link().isIdle());

    QObject::connect(b.view, &MainView::loginDialogOpened, answerLogin);
    b.view->firstRunPanel()->addressEdit()->setText(kUnitAddress);
    b.view->firstRunPanel()->connectButton()->click();
    ASSERT_TRUE(waitFor([&] { return b.record().connected != 0; }, 4000));
    ASSERT_TRUE(b.waitIdle());
    EXPECT_FALSE(b.view->firstRunPanel()->isVisible());
    EXPECT_TRUE(waitFor([&] { return b.view->connectionIndicator()->isHeard(); }, 2000));

    EXPECT_EQ(core.channelName(ChannelKind::Input, 2).value_or(QString()), "Lectern");
    EXPECT_EQ(b.view->inputStrip(2)->name(), "Lectern");
    EXPECT_DOUBLE_EQ(b.record().inputEqAt(1, kEqGain, 2), 6.0);
    EXPECT_TRUE(QFile::exists(preset));
}
