// The desktop program end to end, started as an operator starts it (an empty data directory, no
// unit at first), against a virtual unit on loopback that counts every frame it receives; and the
// program itself on a data directory in use.

#include "DesktopBench.h"
#include "KitTestSupport.h"

#include "store/DataDirectoryLock.h"
#include "ui/EventLogDock.h"
#include "ui/FirstRunPanel.h"
#include "ui/GroupDialog.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LimiterWindow.h"
#include "ui/MessageLine.h"
#include "ui/NameDialog.h"
#include "ui/OutputEqWindow.h"
#include "ui/OutputStrip.h"
#include "ui/SearchDialog.h"
#include "ui/SystemPage.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/ValueReadout.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

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

// Every visible node an operator acts on or reads a value from without a name, and every value
// control without a value, named after the nearest named object; counts the interactive nodes.
int findUnnamed(QAccessibleInterface* node, QStringList& faults, QString where = {}, int depth = 0)
{
    using A = QAccessible;
    static const QList<A::Role> roles = {A::Button,  A::CheckBox,   A::RadioButton, A::Slider,
                                         A::Dial,    A::SpinBox,    A::ComboBox,    A::EditableText,
                                         A::PageTab, A::ProgressBar};
    if (!node || !node->isValid() || depth > 60 || node->state().invisible) return 0;
    const QObject* object = node->object();
    if (object && !object->objectName().isEmpty()) where = object->objectName();
    const QString what = where + "/" + (object ? object->metaObject()->className() : "cell");
    int seen = roles.contains(node->role()) || node->state().focusable ? 1 : 0;
    if (seen && node->text(A::Name).trimmed().isEmpty()) faults << what + " has no name";
    if (node->valueInterface() && node->text(A::Value).isEmpty() && node->role() != A::ScrollBar)
        faults << what + " has no value";
    for (int i = 0; i < node->childCount(); ++i)
        seen += findUnnamed(node->child(i), faults, where, depth + 1);
    return seen;
}

} // namespace

// The first run without a unit: the panel offers the work offline on the unit's factory values;
// the next start finds the work, the language and the offer again, and the first connection asks
// once whether to send that work. (That offline work outlives a kill is tested in tests/e2e.)
TEST(FirstRun, OfflineWorkIsKeptAndOfferedToTheFirstUnit)
{
    QTemporaryDir dir;
    {
        DesktopBench b({dir.path(), false});
        ASSERT_TRUE(b.start());
        FirstRunPanel* panel = b.view().firstRunPanel();
        ASSERT_TRUE(panel->isVisible());
        b.window().languageAction()->trigger(); // to English, remembered
        EXPECT_EQ(b.view().inputStrip(2)->fader()->text(), "-6dB") << "not a zero record";
        typeInto(b.view().inputStrip(2)->fader(), "-12");
        b.core().renameChannel(ChannelKind::Input, 2, QString(), QStringLiteral("Lectern"));
        panel->offlineButton()->click();
        EXPECT_TRUE(panel->isVisible() && panel->isFolded()) << "the offer stays, folded";
        ASSERT_TRUE(b.close());
    }
    {
        DesktopBench b({dir.path(), true});
        ASSERT_TRUE(b.start());
        EXPECT_EQ(b.view().pageButton(0)->text(), "CHANNELS") << "the language is remembered";
        FirstRunPanel* panel = b.view().firstRunPanel();
        EXPECT_TRUE(panel->isVisible()) << "no unit was ever connected";
        EXPECT_FALSE(panel->isFolded());
        EXPECT_EQ(b.view().inputStrip(2)->fader()->text(), "-12dB");
        EXPECT_EQ(b.view().inputStrip(2)->name(), "Lectern");
        EXPECT_EQ(b.record().inputGain[0], 44) << "factory values elsewhere";

        // The first connection offers the offline work once; sent, it reaches the unit.
        whenModal<ThemedMessageBox>([](ThemedMessageBox* box) { box->acceptButton()->click(); });
        ASSERT_TRUE(b.connectAs());
        ASSERT_TRUE(waitFor([&] { return b.unit->record().inputGain[2] == 38; }, 4000));
        EXPECT_FALSE(panel->isVisible());
        EXPECT_EQ(b.view().inputStrip(2)->name(), "Lectern") << "the first login keeps names";
        ASSERT_TRUE(b.close()); // a clean exit this time
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
    for (const char* text : {"", "192.168.O.10", "10.0.0.255"}) {
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

// Typed entry sends one V per change and nothing for a value already set (the note says so right
// after Enter); the report that confirms the change does not end its undo step. A limiter knee let
// go where it was sends nothing.
TEST(TypedEntry, SendsOnlyChangesThatUndoCanTakeBackAfterTheReadBack)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    b.desktop->language().setLanguage(Language::English);
    ASSERT_TRUE(b.connectAs());
    Fader* fader = b.view().inputStrip(3)->fader();
    b.unit->clearReceived();
    typeInto(fader, "-20");
    ASSERT_TRUE(b.waitIdle());
    ASSERT_GE(b.unit->receivedCount('C'), 1) << "read back";
    EXPECT_EQ(b.unit->record().inputGain[3], 30);
    typeInto(fader, "-20.0");
    EXPECT_TRUE(noteOf(fader).contains("already")) << noteOf(fader).toStdString();
    ASSERT_TRUE(b.waitIdle());
    EXPECT_EQ(b.unit->receivedCount('V'), 1);
    ASSERT_TRUE(b.window().undoAction()->isEnabled());
    b.window().undoAction()->trigger();
    EXPECT_TRUE(waitFor([&] { return b.unit->record().inputGain[3] == 44; }, 4000));

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
    whenModal<SearchDialog>([&](SearchDialog* search) {
        search->searchButton()->click();
        waitFor([&] { return !search->isSearching(); }, 5000);
        searchLine = search->findChild<MessageLine*>()->text();
        search->reject();
    });
    b.view().connectUnit();
    EXPECT_EQ(searchLine, "Search finished.");

    // A user login: the account is named, the administrator's pages say why they are not
    // available, and their keys do nothing.
    ASSERT_TRUE(b.connectAs("user", "666666"));
    EXPECT_TRUE(b.view().accountLabel()->text().contains("user"));
    EXPECT_FALSE(b.view().pageButton(2)->toolTip().isEmpty());
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
    // Yes disconnects and opens the search.
    bool searched = false;
    whenModal<ThemedMessageBox>([](ThemedMessageBox* box) { box->acceptButton()->click(); });
    whenModal<SearchDialog>([&](SearchDialog* search) {
        searched = !b.record().connected;
        search->reject();
    });
    b.view().actions().connect->trigger();
    ASSERT_TRUE(waitFor([&] { return searched; }, 4000));

    // The administrator: a result is said on the status line, not in a box.
    ASSERT_TRUE(b.connectAs());
    EXPECT_TRUE(b.view().accountLabel()->text().contains("admin"));
    b.view().actions().system->trigger();
    SystemPage* system = b.view().systemPage();
    system->maxOpenList()->setCurrentIndex(3);
    system->maxOpenOkButton()->click();
    ASSERT_TRUE(waitFor([&] { return b.window().messageLine()->text() == "Set OK."; }, 4000));
    EXPECT_EQ(DesktopBench::box(), nullptr);
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
        for (QAction* action : menu->actions())
            EXPECT_TRUE(action->isSeparator() || !action->shortcut().isEmpty())
                << action->text().toStdString();

    // Tab goes on from a strip to the next one.
    ASSERT_TRUE(focus(b.view().inputStrip(0)->muteButton()));
    bool reached = false;
    for (int i = 0; i < 40 && !reached; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached = b.view().inputStrip(1)->isAncestorOf(QApplication::focusWidget());
    }
    EXPECT_TRUE(reached);

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

    // The limiter command needs an output strip, and opens that output's limiter.
    EXPECT_FALSE(a.stripLimiter->isEnabled());
    ASSERT_TRUE(focus(b.view().outputStrip(1)->fader()));
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
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(b.record().routing[1], 0xFD) << "input 2 to output 2 off";
}

TEST(Accessibility, EveryControlOfEveryWindowHasANameInBothLanguages)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.connectAs());
    b.window().eventLogDock()->show();
    for (Language language : {Language::Chinese, Language::English}) {
        b.desktop->language().setLanguage(language);
        QCoreApplication::processEvents();
        const auto check = [&](QWidget* window, const char* what) {
            QCoreApplication::processEvents();
            QStringList faults;
            const int seen = findUnnamed(QAccessible::queryAccessibleInterface(window), faults);
            EXPECT_GE(seen, 10) << what << ": the walk reaches the controls";
            EXPECT_TRUE(faults.isEmpty()) << what << ": " << faults.join("; ").toStdString();
        };
        for (auto [show, what] : {std::pair{&MainView::showMatrixPage, "matrix"},
                                  {&MainView::showSystemPage, "system"},
                                  {&MainView::showChannelsPage, "channels"}}) {
            (b.view().*show)();
            check(&b.window(), what);
        }
        b.view().openInputEq(2);
        b.view().openOutputEq(1);
        check(b.view().inputEqEditor(), "input EQ");
        check(b.view().outputEqEditor(), "output EQ");
        b.view().inputEqEditor()->hide();
        b.view().outputEqEditor()->hide();
        whenModal<LimiterWindow>([&](LimiterWindow* limiter) {
            check(limiter, "limiter");
            limiter->reject();
        });
        b.view().openLimiter(0);
        whenModal<GroupDialog>([&](GroupDialog* groups) {
            groups->groupButton(1)->click();
            check(groups, "groups");
            groups->reject();
        });
        b.view().openGroupDialog();
        SearchDialog search(b.core());
        search.show();
        check(&search, "search");
    }
    b.desktop->language().setLanguage(Language::English);
}

TEST(UnitPicker, TheChoiceSwitchesEveryPageAndOpenEditorAndIsKept)
{
    QTemporaryDir dir;
    {
        DesktopBench b({dir.path(), true, 2}); // the shortest chain
        b.unit->record(2).inputGain[4] = 20;
        b.unit->record(2).routing[0] = 0x5;
        b.unit->record(2).unitCount = 2;
        ASSERT_TRUE(b.start());
        b.desktop->language().setLanguage(Language::English);
        QComboBox* picker = b.view().unitPicker();
        EXPECT_FALSE(picker->isVisibleTo(&b.window())) << "no chain known yet";
        ASSERT_TRUE(b.connectAs());
        ASSERT_TRUE(waitFor([&] { return b.core().delivery().isStateRead(2); }, 8000));
        ASSERT_TRUE(picker->isVisibleTo(&b.window()));
        ASSERT_EQ(picker->count(), 2);

        // Unit 1's live meters; an input EQ editor open on input 5.
        b.view().openInputEq(4);
        InputEqWindow* editor = b.view().inputEqEditor();
        ASSERT_TRUE(b.core().renameUnit(2, QStringLiteral("Gallery")));
        EXPECT_TRUE(b.view().inputStrip(4)->meter()->isAvailable());

        picker->setCurrentIndex(1);
        emit picker->activated(1);
        ASSERT_EQ(b.core().currentUnit(), 2);
        EXPECT_EQ(picker->itemText(1), "Unit 2 · Gallery") << "the name shows once chosen";
        EXPECT_EQ(b.view().inputStrip(4)->fader()->text(), "-30dB") << "unit 2's gain (20)";
        EXPECT_FALSE(b.view().matrix()->isOn({1, 0})) << "unit 2's routing (5)";
        EXPECT_TRUE(b.view().matrix()->isOn({2, 0}));
        EXPECT_FALSE(b.view().inputStrip(4)->meter()->isAvailable()) << "no levels of unit 2";
        EXPECT_FALSE(b.view().outputStrip(0)->meter()->isAvailable());
        // An open state left in unit 2's record (from a file, say) is not shown as live.
        b.core().table().record(2).inputOpen[4] = 1;
        spin(200); // a few meter ticks
        EXPECT_EQ(b.view().inputStrip(4)->meter()->level(), 0);
        EXPECT_FALSE(b.view().inputStrip(4)->openIndicator()->isChecked());

        // The open editor works on unit 2 now.
        ASSERT_TRUE(editor->isVisible());
        EXPECT_TRUE(editor->gainKnob(1)->enterText("4"));
        ASSERT_TRUE(b.waitIdle());
        EXPECT_EQ(b.unit->record(2).inputEqAt(1, kEqGain, 4), 4.0);
        EXPECT_EQ(b.unit->record(1).inputEqAt(1, kEqGain, 4), 0.0);
        EXPECT_TRUE(b.view().inputStrip(4)->fader()->enterText("-6"));
        ASSERT_TRUE(b.close());
    }

    // The next start shows unit 2 again.
    DesktopBench again({dir.path(), false});
    ASSERT_TRUE(again.start());
    EXPECT_EQ(again.core().currentUnit(), 2);
    EXPECT_EQ(again.view().unitPicker()->currentIndex(), 1);
    EXPECT_EQ(again.view().inputStrip(4)->fader()->text(), "-6dB");
}

// The desktop program on a data directory in use is refused before it reads or writes anything
// there, and says why.
TEST(SingleInstance, TheDesktopProgramIsRefusedOnADataDirectoryInUse)
{
#ifndef SONARO_PATH
    GTEST_SKIP() << "the desktop program is not built";
#else
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("data.ini"));
    {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2796, 'k'));
    }
    DataDirectoryLock held(dir.path());
    ASSERT_EQ(held.acquire(), DataDirectoryLock::Result::Acquired);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("SONARO_DATA_DIR"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(SONARO_PATH), {QStringLiteral("--data-dir"), dir.path(),
                                                QStringLiteral("--bind"), kProgramAddress});
    const bool ended = program.waitForFinished(30000);
    if (!ended) program.kill();
    ASSERT_TRUE(ended) << "the second program kept running";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(err.contains(QDir::toNativeSeparators(dir.path()))) << err.toStdString();
    EXPECT_EQ(fileBytes(state), QByteArray(2796, 'k'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "data.ini and the lock only";
#endif
}
