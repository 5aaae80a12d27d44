#include "ui/MainWindow.h"

#include "mixer/UndoHistory.h"
#include "ui/AboutDialog.h"
#include "ui/EventLogDock.h"
#include "ui/FirstRunPanel.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MainView.h"
#include "ui/MessageLine.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace sonaro::ui {

MainWindow::MainWindow(MainView* view, LanguageSwitcher& language, QWidget* parent)
    : QMainWindow(parent), m_view(view), m_switcher(language)
{
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumSize(kMaxWidth, kMaxHeight);
    setCentralWidget(view);

    // The view's actions: the same ones its MAIN pop-up shows, named by the view.
    const MainView::Actions& actions = view->actions();
    m_mainMenu = menuBar()->addMenu(QString());
    m_mainMenu->addAction(actions.connect);
    m_mainMenu->addAction(actions.disconnect);
    m_mainMenu->addAction(actions.openFile);
    m_mainMenu->addAction(actions.saveFile);
    m_mainMenu->addSeparator();
    m_mainMenu->addAction(actions.exit);

    // Undo and redo of the strips' and the editors' changes.
    UndoHistory& history = view->core().undo();
    m_editMenu = menuBar()->addMenu(QString());
    m_undo = m_editMenu->addAction(QString(), &history, [&history] { history.undo(); });
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = m_editMenu->addAction(QString(), &history, [&history] { history.redo(); });
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    const auto available = [this, &history] {
        m_undo->setEnabled(history.canUndo());
        m_redo->setEnabled(history.canRedo());
    };
    // A change still settling can be undone before it is a step: ask when the menu opens.
    connect(m_editMenu, &QMenu::aboutToShow, this, available);
    connect(&history, &UndoHistory::availabilityChanged, this, available);
    available();
    // The channel commands work on the strip that has (or last had) the keyboard focus.
    m_editMenu->addSeparator();
    m_editMenu->addActions({actions.rename, actions.stripEq, actions.stripLimiter});

    m_toolsMenu = menuBar()->addMenu(QString());
    m_toolsMenu->addAction(actions.channels);
    m_toolsMenu->addAction(actions.eq);
    m_toolsMenu->addAction(actions.matrix);
    m_toolsMenu->addAction(actions.system);
    m_toolsMenu->addAction(actions.group);
    // The event log, docked below the pages and hidden until asked for.
    m_eventLog = new EventLogDock(view->core().eventLog(), view->core().operatorInterface(), this);
    addDockWidget(Qt::BottomDockWidgetArea, m_eventLog);
    m_eventLog->hide();
    m_toolsMenu->addAction(m_eventLog->toggleViewAction());
    m_toolsMenu->addSeparator();
    // The language switch sits in both languages' menus, under the same place.
    m_language = m_toolsMenu->addAction(QString(), &language, &LanguageSwitcher::toggle);
    m_language->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    m_helpMenu = menuBar()->addMenu(QString());
    m_about = m_helpMenu->addAction(QString(), this, &MainWindow::showAbout);
    m_about->setShortcut(QKeySequence(Qt::Key_F1));

    // What an action did, where the operator looks: results, refusals and failed attempts.
    m_messageLine = new MessageLine(this);
    statusBar()->addWidget(m_messageLine, 1);
    statusBar()->setSizeGripEnabled(false);

    connect(view, &MainView::exitRequested, this, &QWidget::close);
    retranslate();
    // A first run starts where the operator starts: SEARCH.
    if (!view->firstRunPanel()->isHidden()) view->firstRunPanel()->searchButton()->setFocus();
}

void MainWindow::retranslate()
{
    setWindowTitle(QStringLiteral("Sonaro"));
    m_mainMenu->setTitle(tr("MAIN"));
    m_editMenu->setTitle(tr("EDIT"));
    m_undo->setText(tr("Undo"));
    m_redo->setText(tr("Redo"));
    m_toolsMenu->setTitle(tr("TOOLS"));
    m_language->setText(tr("Switch to Chinese (中文)"));
    m_helpMenu->setTitle(tr("HELP (&H)"));
    m_about->setText(tr("ABOUT Sonaro(&A)..."));
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    // The window stays until the editors' last edits left; then it closes for real.
    event->ignore();
    if (std::exchange(m_closing, true)) return;
    m_view->closeSequence([this] {
        m_closed = true;
        QTimer::singleShot(0, this, &QWidget::close);
    });
}

void MainWindow::showAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

} // namespace sonaro::ui
