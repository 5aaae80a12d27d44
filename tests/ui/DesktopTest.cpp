// The desktop program end to end, started as an operator starts it (an empty data directory, no
// unit at first), against a virtual unit on loopback that counts every frame it receives.

#include "DesktopBench.h"
#include "KitTestSupport.h"

#include "support/ChildProcess.h"

#include "ui/FirstRunPanel.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LimiterWindow.h"
#include "ui/MessageLine.h"
#include "ui/NameDialog.h"
#include "ui/OutputStrip.h"
#include "ui/SearchDialog.h"
#include "ui/SystemPage.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/ValueReadout.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

constexpr char kKilledDirVariable[] = "SONARO_UI_KILLED_DIR";

// The keyboard focus, in the widget's window made active as the operator's click makes it.
bool focus(QWidget* w)
{
    QApplication::setActiveWindow(w->window());
    w->setFocus(Qt::TabFocusReason);
    return w->hasFocus();
}

// Types text into a control's visible editor and presses Enter, as the operator does.
void typeInto(ValueControl* control, const QString& text)
{
    focus(control);
    control->beginTypedEntry();
    control->typedEntryEditor()->setText(text);
    QTest::keyClick(control->typedEntryEditor(), Qt::Key_Return);
}

QString noteOf(ValueControl* control)
{
    return control->noteLabel() && control->noteLabel()->isVisible() ? control->noteLabel()->text()
                                                                     : QString();
}

// Runs body once the next modal dialog of type T is up (bounded), then lets the caller go on.
template <typename T> void whenModal(const std::function<void(T*)>& body)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, body] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            body(dialog);
        } else if (++*tries > 500) {
            poll->deleteLater();
        }
    });
    poll->start();
}

} // namespace

// The first run of a killed program: the child works offline until it is killed (SIGKILL, no
// close sequence); the next start finds the work, the language and the first-run offer again.
TEST(FirstRun, ChildWorksOfflineUntilKilled)
{
    if (!isChildTest() || qEnvironmentVariableIsEmpty(kKilledDirVariable))
        GTEST_SKIP() << "runs as the child of FirstRun.OfflineWorkSurvivesAKillAndGoesToTheUnit";
    DesktopBench b({qEnvironmentVariable(kKilledDirVariable), false});
    ASSERT_TRUE(b.start());
    FirstRunPanel* panel = b.view().firstRunPanel();
    ASSERT_TRUE(panel->isVisible());
    b.window().languageAction()->trigger(); // to English, remembered
    QCoreApplication::processEvents();
    // The unit's factory values, not a zero record, and the panel says so.
    EXPECT_EQ(b.view().inputStrip(2)->fader()->text(), "-6dB");
    EXPECT_TRUE(b.view().inputStrip(2)->phantomButton()->isChecked());
    EXPECT_TRUE(panel->findChildren<QLabel*>().size() > 0);
    bool saysFactory = false;
    for (QLabel* label : panel->findChildren<QLabel*>())
        saysFactory = saysFactory || label->text().contains("factory");
    EXPECT_TRUE(saysFactory);

    typeInto(b.view().inputStrip(2)->fader(), "-12");
    whenModal<NameDialog>([](NameDialog* dialog) {
        dialog->editor()->setText("Lectern");
        dialog->okButton()->click();
    });
    focus(b.view().inputStrip(2)->muteButton());
    b.view().actions().rename->trigger();
    b.view().openInputEq(2);
    typeInto(b.view().inputEqEditor()->frequencyKnob(1), "250");
    b.view().inputEqEditor()->hide();
    panel->offlineButton()->click();
    EXPECT_TRUE(panel->isVisible() && panel->isFolded()) << "the offer stays, folded";
    spin(1500); // offline work reaches the disk within its save interval
    if (::testing::Test::HasFailure()) return;
    std::raise(SIGKILL);
}

TEST(FirstRun, OfflineWorkSurvivesAKillAndGoesToTheUnit)
{
    if (isChildTest()) GTEST_SKIP();
    QTemporaryDir dir;
    qputenv(kKilledDirVariable, dir.path().toLocal8Bit());
    const int status = runTestInChild(QStringLiteral("FirstRun.ChildWorksOfflineUntilKilled"));
    qunsetenv(kKilledDirVariable);
    ASSERT_EQ(status, -1) << "the child did its work and was killed";

    {
        DesktopBench b({dir.path(), true});
        ASSERT_TRUE(b.start());
        EXPECT_EQ(b.view().pageButton(0)->text(), "CHANNELS") << "the language is remembered";
        FirstRunPanel* panel = b.view().firstRunPanel();
        EXPECT_TRUE(panel->isVisible()) << "no unit was ever connected";
        EXPECT_FALSE(panel->isFolded());
        EXPECT_EQ(b.record().inputGain[2], 38);
        EXPECT_EQ(b.view().inputStrip(2)->fader()->text(), "-12dB");
        EXPECT_EQ(b.record().inputEqAt(1, kEqFrequency, 2), 250.0);
        EXPECT_EQ(b.view().inputStrip(2)->name(), "Lectern");
        EXPECT_EQ(b.record().inputGain[0], 44) << "factory values elsewhere";

        // The first connection offers the offline work once; sent, it reaches the unit.
        whenModal<ThemedMessageBox>([](ThemedMessageBox* box) { box->acceptButton()->click(); });
        ASSERT_TRUE(b.connectAs());
        ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[2] == 38; }, 4000));
        EXPECT_EQ(b.unit->record().inputEqAt(1, kEqFrequency, 2), 250.0);
        EXPECT_FALSE(panel->isVisible());
        EXPECT_EQ(b.view().inputStrip(2)->name(), "Lectern") << "the first login keeps names";
        b.window().close(); // a clean exit this time
        ASSERT_TRUE(waitFor([&] { return !b.window().isVisible(); }, 5000));
    }
    DesktopBench again({dir.path(), false});
    ASSERT_TRUE(again.start());
    EXPECT_FALSE(again.view().firstRunPanel()->isVisible()) << "a unit has been connected once";
}

// A typed address that no unit can hold is refused in the panel, before the link is touched.
TEST(FirstRun, ATypedAddressThatNoUnitCanHoldIsRefused)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    FirstRunPanel* panel = b.view().firstRunPanel();
    for (const char* text : {"", "192.168.1.300", "192.168.O.10", "224.0.0.1", "10.0.0.255"}) {
        panel->addressEdit()->setText(QString::fromLatin1(text));
        panel->connectButton()->click();
        EXPECT_FALSE(panel->problemLabel()->isHidden()) << text;
        EXPECT_EQ(b.core().session().connection(), Connection::Offline) << text;
    }
    EXPECT_TRUE(b.unit->received().empty());
    panel->addressEdit()->setText("1");
    emit panel->addressEdit()->textEdited("1"); // typing again takes the refusal back
    EXPECT_TRUE(panel->problemLabel()->isHidden());
}

// Undo after the unit's read-back: the report that confirms a change does not end the history.
TEST(Undo, StepsOutliveTheReadBackAndGoToTheUnit)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.connectAs());
    InputStrip* strip = b.view().inputStrip(3);
    b.unit->clearReceived();
    typeInto(strip->fader(), "-20");
    strip->phantomButton()->click();
    ASSERT_TRUE(b.waitIdle());
    ASSERT_GE(b.unit->receivedCount('C'), 1) << "read back";
    ASSERT_EQ(b.unit->record().inputGain[3], 30);
    ASSERT_EQ(b.unit->record().inputPhantom[3], 0);

    QAction* undo = b.window().undoAction();
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    ASSERT_TRUE(waitFor([&] { return b.unit->record().inputPhantom[3] == 1; }, 4000));
    undo->trigger();
    ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[3] == 44; }, 4000));
    EXPECT_EQ(strip->fader()->text(), "-6dB");
    EXPECT_TRUE(strip->phantomButton()->isChecked());
    ASSERT_TRUE(b.waitIdle());
    b.core().undo().redo();
    EXPECT_TRUE(waitFor([&] { return b.unit->record().inputGain[3] == 30; }, 4000));
}

// Typed entry says what it did right after Enter, sends one V per change and nothing for a value
// already set; a click that changes nothing sends nothing. A drag sends V for each position (an
// output's twice) and its release sends V again (an output's after M).
TEST(TypedEntry, SaysWhatItDidAndSendsOnlyChanges)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    b.desktop->language().setLanguage(Language::English);
    ASSERT_TRUE(b.connectAs());
    Fader* fader = b.view().inputStrip(0)->fader();
    const auto vSent = [&] { return b.unit->receivedCount('V'); };
    b.unit->clearReceived();

    typeInto(fader, "99");
    EXPECT_TRUE(noteOf(fader).contains("10dB")) << noteOf(fader).toStdString();
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(vSent(), 1);
    EXPECT_EQ(b.unit->record().inputGain[0], 60);
    typeInto(fader, "+10");
    EXPECT_TRUE(noteOf(fader).contains("already")) << noteOf(fader).toStdString();
    typeInto(fader, "3.4");
    EXPECT_TRUE(noteOf(fader).contains("3dB")) << noteOf(fader).toStdString();
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(vSent(), 2) << "nothing for the value already set";

    // A click on the cap: nothing. A drag over three positions.
    const QPointF cap = fader->capRect().center();
    Press(fader, cap);
    Release(fader, cap);
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(vSent(), 2);
    for (auto [f, expected] :
         {std::pair{fader, 4}, std::pair{b.view().outputStrip(0)->fader(), 7}}) {
        const double step = (f->travelBottom() - f->travelTop()) / kGainMax;
        const QPointF from = f->capRect().center();
        const int before = vSent();
        Press(f, from);
        for (int i = 1; i <= 3; ++i) {
            Move(f, from - QPointF(0, step * i));
            ASSERT_TRUE(b.waitIdle());
        }
        Release(f, from - QPointF(0, step * 3));
        ASSERT_TRUE(b.waitIdle());
        EXPECT_EQ(vSent() - before, expected) << f->parentWidget()->objectName().toStdString();
    }

    // The editors' read-outs and knobs say it too.
    b.view().openInputEq(0);
    Knob* frequency = b.view().inputEqEditor()->frequencyKnob(1);
    typeInto(frequency, "30k");
    EXPECT_TRUE(noteOf(frequency).contains("20.00kHz")) << noteOf(frequency).toStdString();
    EXPECT_EQ(b.record().inputEqAt(1, kEqFrequency, 0), 20000.0);
    b.view().inputEqEditor()->hide();

    whenModal<LimiterWindow>([](LimiterWindow* limiter) {
        typeInto(limiter->attackReadout(), "-10");
        EXPECT_TRUE(noteOf(limiter->attackReadout()).contains("1ms"));
        limiter->accept();
    });
    b.view().openLimiter(0);
    ASSERT_TRUE(b.waitIdle());
    // The knee let go where it was: the settings stay, nothing goes out.
    b.unit->clearReceived();
    whenModal<LimiterWindow>([](LimiterWindow* limiter) {
        emit limiter->graph()->pointDragged(0);
        emit limiter->graph()->pointReleased(0);
        limiter->accept();
    });
    b.view().openLimiter(0);
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->receivedCount('B'), 0);
}

// Results and refusals go to a message line; only questions and file failures stay boxes.
TEST(Messages, ResultsGoToTheLineAndTheAccountIsShown)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    b.desktop->language().setLanguage(Language::English);

    // A search ends in the search dialog's own line.
    QString searchLine;
    bool boxDuringSearch = false;
    whenModal<SearchDialog>([&](SearchDialog* search) {
        search->searchButton()->click();
        waitFor([&] { return !search->isSearching(); }, 5000);
        boxDuringSearch = DesktopBench::box() != nullptr;
        searchLine = search->findChild<MessageLine*>()->text();
        search->reject();
    });
    b.view().connectUnit();
    EXPECT_EQ(searchLine, "Search finished.");
    EXPECT_FALSE(boxDuringSearch);

    // A user login: the account is named, the administrator's pages are unavailable with the
    // reason, and their keys do nothing.
    ASSERT_TRUE(b.connectAs("user", "666666"));
    EXPECT_TRUE(b.view().accountLabel()->text().contains("user"));
    for (int button : {2, 3}) {
        EXPECT_FALSE(b.view().pageButton(button)->isEnabled());
        EXPECT_FALSE(b.view().pageButton(button)->toolTip().isEmpty());
    }
    b.view().actions().matrix->trigger();
    EXPECT_EQ(b.view().currentPage(), MainView::ChannelsPage);
    EXPECT_FALSE(b.window().messageLine()->isShowingMessage()) << "nothing refused after a press";

    // CONNECT while connected asks; No leaves the connection as it is.
    bool asked = false;
    whenModal<ThemedMessageBox>([&](ThemedMessageBox* box) {
        asked = box->rejectButton() != nullptr;
        box->rejectButton()->click();
    });
    b.unit->clearReceived();
    b.view().actions().connect->trigger();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(b.record().connected);
    EXPECT_EQ(b.unit->receivedCount('L'), 0);
    // Yes disconnects (the stream off) and opens the search.
    bool searched = false;
    whenModal<ThemedMessageBox>([](ThemedMessageBox* box) { box->acceptButton()->click(); });
    whenModal<SearchDialog>([&](SearchDialog* search) {
        searched = !b.record().connected;
        search->reject();
    });
    b.view().actions().connect->trigger();
    ASSERT_TRUE(waitFor([&] { return searched; }, 4000));
    EXPECT_GE(b.unit->receivedCount('L'), 1);
    ASSERT_TRUE(b.connectAs("user", "666666"));

    // The administrator: a result is said on the status line, not in a box.
    b.core().session().storeLogin("admin", "888888");
    b.core().session().sendLogin();
    ASSERT_TRUE(waitFor([&] { return b.view().pageButton(3)->isEnabled(); }, 4000));
    EXPECT_TRUE(b.view().accountLabel()->text().contains("admin"));
    ASSERT_TRUE(b.waitIdle());
    b.view().actions().system->trigger();
    SystemPage* system = b.view().systemPage();
    system->maxOpenList()->setCurrentIndex(3);
    system->maxOpenOkButton()->click();
    ASSERT_TRUE(waitFor([&] { return b.window().messageLine()->text() == "Set OK."; }, 4000));
    EXPECT_EQ(DesktopBench::box(), nullptr);

    // A preset that cannot be written is a box: the operator has to choose another place.
    whenModal<ThemedMessageBox>([](ThemedMessageBox* box) { box->acceptButton()->click(); });
    EXPECT_FALSE(b.core().files().savePreset([] { return QStringLiteral("/proc/no/such.ini"); }));
    EXPECT_TRUE(waitFor([] { return DesktopBench::box() == nullptr; }, 2000));
}

// Every command has a key shown in its menu, and the channel commands work on the focused strip.
TEST(Keyboard, EveryCommandHasAKeyAndWorksOnTheFocusedStrip)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.connectAs());
    const MainView::Actions& a = b.view().actions();
    for (QMenu* menu : {b.window().mainMenu(), b.window().editMenu(), b.window().toolsMenu(),
                        b.window().helpMenu()})
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                EXPECT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();
            }
        }
    EXPECT_TRUE(b.window().toolsMenu()->actions().contains(a.matrix));

    // F2 on a focused button of input 6 renames input 6.
    ASSERT_TRUE(focus(b.view().inputStrip(5)->muteButton()));
    whenModal<NameDialog>([](NameDialog* dialog) {
        dialog->editor()->setText("Lectern");
        dialog->okButton()->click();
    });
    a.rename->trigger();
    EXPECT_EQ(b.view().inputStrip(5)->name(), "Lectern");

    // Ctrl+E on input 6 opens its EQ; the curve opens it from the keyboard too.
    a.stripEq->trigger();
    ASSERT_NE(b.view().inputEqEditor(), nullptr);
    EXPECT_EQ(b.view().inputEqEditor()->editor().channel(), 5);
    b.view().inputEqEditor()->hide();
    ASSERT_TRUE(focus(b.view().inputStrip(1)->curve()));
    QTest::keyClick(b.view().inputStrip(1)->curve(), Qt::Key_Return);
    EXPECT_EQ(b.view().inputEqEditor()->editor().channel(), 1);
    b.view().inputEqEditor()->hide();

    // The limiter needs an output strip.
    EXPECT_FALSE(a.stripLimiter->isEnabled());
    ASSERT_TRUE(focus(b.view().outputStrip(1)->fader()));
    ASSERT_TRUE(a.stripLimiter->isEnabled());
    int limiterOutput = -1;
    whenModal<LimiterWindow>([&](LimiterWindow* limiter) {
        limiterOutput = limiter->editor().output();
        limiter->reject();
    });
    a.stripLimiter->trigger();
    EXPECT_EQ(limiterOutput, 1);

    // The matrix from the keyboard: Ctrl+3, arrows, Space.
    a.matrix->trigger();
    ASSERT_EQ(b.view().currentPage(), MainView::MatrixPage);
    MatrixGrid* grid = b.view().matrix();
    ASSERT_TRUE(focus(grid));
    b.unit->clearReceived();
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(b.record().routing[1], 0xFD) << "input 2 to output 2 off";
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->record().routing[1], 0xFD);
}
