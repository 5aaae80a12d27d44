#include "ui/EventLogDock.h"

#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "support/LoopbackWindow.h"
#include "ui/MainWindow.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

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
    EXPECT_EQ(column(dock, 1).last(), "Connection");

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

TEST(EventLogDock, TheMainWindowTogglesItFromTheToolsMenuInBothLanguages)
{
    LoopbackWindow w({.withUnit = false});
    ASSERT_TRUE(w.started());
    EventLogDock* dock = w.window->eventLogDock();
    ASSERT_NE(dock, nullptr);
    QAction* toggle = dock->toggleViewAction();
    EXPECT_FALSE(dock->isVisible());
    toggle->trigger();
    EXPECT_TRUE(dock->isVisible());

    // The core's events are there, and the window's messages reach the log too.
    w.core->surface().requireAdministrator(SettingId::PanelLock);
    EXPECT_EQ(column(*dock, 0).size(), static_cast<int>(w.core->eventLog().events().size()));
    w.window->resize(1400, 900);
    QApplication::processEvents();

    // Chinese as the program starts, then English: labels and our own texts follow.
    w.core->eventLog().add(EventKind::Connection, "Connected to %1", {"127.0.0.2"});
    EXPECT_EQ(column(*dock, 2).last(), QString::fromUtf8("已连接到 127.0.0.2"));
    w.language->setLanguage(Language::English);
    QApplication::processEvents();
    EXPECT_EQ(column(*dock, 2).last(), "Connected to 127.0.0.2");
    toggle->trigger();
    EXPECT_FALSE(dock->isVisible());
}

} // namespace
