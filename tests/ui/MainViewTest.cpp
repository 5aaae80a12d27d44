// The main window's page, its strips and their undo history, and its event log: what the operator
// does on them reaches the record and the unit, and what the record holds shows.

#include "ui/MainView.h"
#include "mixer/ControlSurface.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/RecordingCommandPort.h"
#include "mixer/SonaroCore.h"
#include "mixer/UndoHistory.h"
#include "model/RecordingOperator.h"
#include "model/ValueConventions.h"
#include "support/LoopbackWindow.h"
#include "ui/EventLogDock.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/MainWindow.h"
#include "ui/OutputStrip.h"
#include "ui/kit/Fader.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/PaintedButton.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// Logs in with the account and waits for the unit's answer to this login.
bool loginAs(LoopbackWindow& b, const QString& user, const QString& password)
{
    const int logins = b.unit->receivedCount('R');
    b.core->session().storeLogin(user, password);
    b.core->session().sendLogin();
    return b.waitReceived('R', logins + 1) &&
           waitFor([&] { return b.core->session().connection() == Connection::Connected; }, 3000);
}

bool waitForMeter(ChannelStrip& strip, int level)
{
    return waitFor([&] { return strip.meter()->level() == level; }, 2000);
}

// The strips on a surface whose commands are recorded, with an undo history.
struct StripBench
{
    StripBench() : surface(table, port, op)
    {
        applyFactoryValues(table.current());
        table.current().connected = 1;
        history = std::make_unique<UndoHistory>(surface, port);
        for (int ch = 0; ch < kInputCount; ++ch)
            inputs.push_back(std::make_unique<InputStrip>(surface, history.get(), ch));
        for (int out = 0; out < kOutputCount; ++out)
            outputs.push_back(std::make_unique<OutputStrip>(surface, history.get(), out));
    }
    UnitRecord& rec() { return table.current(); }
    // The kinds of the commands asked for since the last call.
    std::vector<char> takeKinds()
    {
        std::vector<char> kinds = port.kinds();
        port.requests.clear();
        return kinds;
    }
    void groupInputs(const std::vector<int>& channels, LinkFlag flag)
    {
        StripGroups groups;
        for (int ch : channels) {
            auto& g = groups.inputs[static_cast<std::size_t>(ch)];
            g.grouped = true;
            g.linkedChannels = channels;
            g.flags[static_cast<std::size_t>(flag)] = true;
        }
        surface.setStripGroups(groups);
    }

    UnitTable table;
    RecordingCommandPort port;
    RecordingOperator op;
    ControlSurface surface;
    std::unique_ptr<UndoHistory> history;
    std::vector<std::unique_ptr<InputStrip>> inputs;
    std::vector<std::unique_ptr<OutputStrip>> outputs;
};

QStringList column(const EventLogDock& dock, int col)
{
    QStringList texts;
    const QAbstractItemModel* model = dock.table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, col).data().toString();
    return texts;
}

void fill(EventLog& log, int count)
{
    for (int i = 0; i < count; ++i)
        log.add(i % 2 ? EventKind::Login : EventKind::Relogin, "Event %1", {QString::number(i)});
}

} // namespace

TEST(MainView, TheEqPageButtonOpensTheEditorOnTheActiveGroupTab)
{
    LoopbackWindow b({.withUnit = false});
    // Group 2 holds inputs 4 and 6 with the EQ link.
    groupChannels(*b.core, 2, {4, 6}, {kEqLink});
    GroupTabBar* tabs = b.view->tabBar();
    tabs->moveTab(2, 4); // the tab order is the operator's, the page stays
    tabs->setCurrentIndex(tabs->indexOfPage(2));
    b.view->pageButton(1)->click();
    InputEqWindow* editor = b.view->inputEqEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->editor().channel(), 3);
    EXPECT_EQ(editor->groupTabs()->pageAt(editor->groupTabs()->currentIndex()), 2);
    const std::vector<int> targets = editor->editor().targets();
    EXPECT_EQ(targets, (std::vector<int>{3, 5}));
    editor->hide();

    // The SINGLE tab opens the first channel of no group.
    tabs->setCurrentIndex(tabs->indexOfPage(0));
    b.view->pageButton(1)->click();
    EXPECT_EQ(editor->editor().channel(), 0);
    EXPECT_EQ(editor->groupTabs()->pageAt(editor->groupTabs()->currentIndex()), 0);
}

TEST(MainView, AUserLoginLeavesTheAdministratorPagesAtOnce)
{
    LoopbackWindow b;
    ASSERT_TRUE(b.started());
    MainView& view = *b.view;
    ASSERT_TRUE(loginAs(b, "admin", "888888"));
    view.showSystemPage();
    ASSERT_EQ(view.currentPage(), MainView::SystemSettingsPage);
    // A new login on the same link, as a user: the page goes without the operator asking.
    ASSERT_TRUE(loginAs(b, "user", "666666"));
    EXPECT_EQ(view.currentPage(), MainView::ChannelsPage);
    EXPECT_EQ(view.highlightedButton(), 0);
    EXPECT_FALSE(view.pageButton(2)->isEnabled());
    EXPECT_FALSE(view.pageButton(3)->isEnabled());
}

TEST(Strips, FaderDragInALinkedGroupMovesTheLinkedFaders)
{
    StripBench bench;
    bench.groupInputs({0, 1, 2}, kGainLink);
    // Keyboard on the focused fader: one step up, as the operator's arrow key does. (What goes
    // to the unit is the surface's rule, tested in tests/mixer.)
    Fader* fader = bench.inputs[1]->fader();
    fader->setFocus();
    QTest::keyClick(fader, Qt::Key_Up);
    for (int ch : {0, 1, 2}) {
        EXPECT_EQ(bench.table.current().inputGain[ch], 45) << ch;
        EXPECT_EQ(bench.inputs[ch]->fader()->value(), faderPositionForGain(45)) << ch;
    }
    EXPECT_EQ(bench.inputs[3]->fader()->value(), faderPositionForGain(44));
}

// Levels and open states are shown only while the unit is connected.
TEST(Strips, WithoutAConnectionMetersAreSilentAndLampsDark)
{
    StripBench bench;
    InputStrip& input = *bench.inputs[0];
    OutputStrip& output = *bench.outputs[0];
    input.show();
    output.show();
    UnitRecord& r = bench.table.current();
    r.inputOpen[0] = 1;
    r.inputLevel[0] = 191;
    r.outputLevel[0] = 191;
    ASSERT_TRUE(waitForMeter(input, 50));
    ASSERT_TRUE(input.openIndicator()->isChecked());
    r.connected = 0;
    ASSERT_TRUE(waitForMeter(input, 0));
    EXPECT_TRUE(waitForMeter(output, 0));
    EXPECT_FALSE(input.openIndicator()->isChecked());
    input.refresh();
    EXPECT_FALSE(input.openIndicator()->isChecked()) << "a refresh shows no stale open state";
}

// Undo and redo put back exactly what a step changed and ask for exactly its commands: V for a
// gain, M for a switch, E for the one EQ slot, B for the one limiter.
TEST(Undo, UndoAndRedoRestoreAndSendExactly)
{
    StripBench b;
    InputStrip& strip = *b.inputs[3];
    InputEqEditor eq(b.surface, b.port, b.op);
    LimiterEditor limiter(b.surface, b.port);
    const int gain = b.rec().inputGain[3];

    ASSERT_TRUE(strip.fader()->enterText("-20"));
    EXPECT_EQ(b.rec().inputGain[3], 30);
    b.surface.setInputPhantom(5, !b.rec().inputPhantom[5]);
    b.history->commit();
    const int phantom = b.rec().inputPhantom[5];
    eq.selectChannel(6);
    eq.knobChanged(2, 700.0, -4.0, 2.0);
    eq.flush();
    b.history->commit();
    limiter.releaseReadoutChanged(200);
    limiter.flush();
    b.history->commit();
    EXPECT_EQ(b.history->undoCount(), 4);
    b.port.requests.clear();

    for (const char kind : {'B', 'E', 'M', 'V'}) {
        ASSERT_TRUE(b.history->undo());
        ASSERT_EQ(b.port.requests.size(), 1u) << kind;
        EXPECT_TRUE(kind != 'E' || b.port.requests[0].index == 6) << "the one EQ slot";
        EXPECT_EQ(b.takeKinds(), std::vector<char>{kind});
    }
    EXPECT_NE(b.rec().limiterRelease[0], 200);
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).gain, 0.0);
    EXPECT_NE(b.rec().inputPhantom[5], phantom);
    EXPECT_EQ(b.rec().inputGain[3], gain);
    EXPECT_EQ(strip.fader()->value(), faderPositionForGain(gain)); // the strip shows it
    EXPECT_FALSE(b.history->undo());
    EXPECT_TRUE(b.port.requests.empty());

    ASSERT_TRUE(b.history->redo());
    EXPECT_EQ(b.takeKinds(), std::vector<char>{'V'});
    EXPECT_EQ(b.rec().inputGain[3], 30);
    ASSERT_TRUE(b.history->redo());
    ASSERT_TRUE(b.history->redo());
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).frequency, 700.0);
    EXPECT_EQ(inputEqBand(b.rec(), 6, 2).q, 2.0);
    EXPECT_EQ(b.takeKinds(), (std::vector<char>{'M', 'E'}));
}

// Steps: at least a hundred kept, the oldest dropped beyond the depth, a new change clears redo,
// and everything moved before a step ends (a drag) is one step.
TEST(Undo, StepsDepthAndRedoCleared)
{
    StripBench b;
    for (int i = 0; i < UndoHistory::kDepth + 20; ++i) {
        b.surface.setOutputGain(0, -50 + (i % 60), Phase::Committed);
        b.history->commit();
    }
    EXPECT_EQ(b.history->undoCount(), UndoHistory::kDepth);
    ASSERT_GE(UndoHistory::kDepth, 100);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(b.history->undo());
    const int back = UndoHistory::kDepth + 20 - 1 - 100;
    EXPECT_EQ(b.rec().outputGain[0], (back % 60));
    EXPECT_TRUE(b.history->canRedo());
    b.surface.setOutputGain(1, -3, Phase::Committed);
    b.history->commit();
    EXPECT_FALSE(b.history->canRedo());
    EXPECT_FALSE(b.history->redo());

    // A fader drag: many moves, one step.
    b.history->clear();
    const int before = b.rec().inputGain[0];
    for (int p = 10; p < 40; p += 3)
        emit b.inputs[0]->fader()->moved(p);
    emit b.inputs[0]->fader()->released(40);
    ASSERT_TRUE(b.history->undo());
    EXPECT_EQ(b.rec().inputGain[0], before);
    EXPECT_FALSE(b.history->canUndo());
}

TEST(EventLogDock, ListsTheEventsNewestLastAndFollowsThemAtTheBottom)
{
    EventLog log(50);
    log.addText(EventKind::Message, QStringLiteral("INFO: before"));
    RecordingOperator op;
    EventLogDock dock(log, op);
    dock.resize(600, 240);
    dock.show();
    log.add(EventKind::Connection, "Connected to %1", {"127.0.0.2"});
    EXPECT_EQ(column(dock, 2), (QStringList{"INFO: before", "Connected to 127.0.0.2"}));

    fill(log, 60);
    QApplication::processEvents();
    EXPECT_EQ(dock.table()->model()->rowCount(), 50) << "bounded like the log";
    EXPECT_EQ(column(dock, 2).last(), "Event 59");
    QScrollBar* bar = dock.table()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolled up to read: new events do not pull the view away.
    bar->setValue(0);
    fill(log, 3);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
}

TEST(EventLogDock, FiltersByWholeKindAndSavesTheLinesShown)
{
    EventLog log;
    RecordingOperator op;
    EventLogDock dock(log, op);
    fill(log, 6);
    dock.setKindFilter(EventKind::Login);
    // "login" alone, not "relogin".
    EXPECT_EQ(column(dock, 2), (QStringList{"Event 1", "Event 3", "Event 5"}));
    EXPECT_EQ(dock.kindFilter(), EventKind::Login);
    log.add(EventKind::Login, "Event %1", {"6"});
    EXPECT_EQ(column(dock, 2).size(), 4);

    QTemporaryDir dir;
    const QString path = dir.filePath("events.log");
    ASSERT_TRUE(dock.saveTo(path));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QStringList expected;
    for (const Event& e : log.events())
        if (e.kind == EventKind::Login) expected << e.line();
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), expected.join('\n') + '\n');

    dock.setKindFilter(std::nullopt);
    EXPECT_EQ(column(dock, 2).size(), 7);

    // A failed write is told, and nothing claims it was saved.
    EXPECT_FALSE(dock.saveTo(dir.filePath("gone/events.log")));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].severity, Severity::Error);
    EXPECT_TRUE(op.messages[0].text.contains("gone/events.log"));
}
