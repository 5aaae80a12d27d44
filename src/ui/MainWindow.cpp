#include "ui/MainWindow.h"

#include "ui/AboutDialog.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MainView.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMenuBar>
#include <QTimer>

#include <utility>

namespace sonaro::ui {

MainWindow::MainWindow(MainView* view, LanguageSwitcher& language, QWidget* parent)
    : QMainWindow(parent), m_view(view), m_switcher(language)
{
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumSize(kMaxWidth, kMaxHeight);
    setCentralWidget(view);

    m_mainMenu = menuBar()->addMenu(QString());
    m_connect = m_mainMenu->addAction(QString(), view, &MainView::connectUnit);
    m_disconnect = m_mainMenu->addAction(QString(), view, &MainView::disconnectUnit);
    m_openFile = m_mainMenu->addAction(QString(), view, &MainView::openPreset);
    m_saveFile = m_mainMenu->addAction(QString(), view, &MainView::savePreset);
    m_mainMenu->addSeparator();
    m_exit = m_mainMenu->addAction(QString(), this, &QWidget::close);
    m_exit->setShortcut(QKeySequence::Quit);

    m_toolsMenu = menuBar()->addMenu(QString());
    m_channels = m_toolsMenu->addAction(QString(), view, &MainView::showChannelsPage);
    m_matrix = m_toolsMenu->addAction(QString(), view, &MainView::showMatrixPage);
    m_system = m_toolsMenu->addAction(QString(), view, &MainView::showSystemPage);
    m_group = m_toolsMenu->addAction(QString(), view, &MainView::openGroupDialog);
    m_toolsMenu->addSeparator();
    // The language switch sits in both languages' menus, under the same place.
    m_language = m_toolsMenu->addAction(QString(), &language, &LanguageSwitcher::toggle);
    m_language->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    m_helpMenu = menuBar()->addMenu(QString());
    m_about = m_helpMenu->addAction(QString(), this, &MainWindow::showAbout);

    connect(view, &MainView::exitRequested, this, &QWidget::close);
    retranslate();
}

void MainWindow::retranslate()
{
    setWindowTitle(QStringLiteral("Sonaro"));
    m_mainMenu->setTitle(tr("MAIN"));
    m_connect->setText(tr("CONNECT"));
    m_disconnect->setText(tr("DISCONNECT"));
    m_openFile->setText(tr("OPEN FILE"));
    m_saveFile->setText(tr("SAVE FILE"));
    m_exit->setText(tr("EXIT(&X)"));
    m_toolsMenu->setTitle(tr("TOOLS"));
    m_channels->setText(tr("CHANNELS"));
    m_matrix->setText(tr("MATRIX"));
    m_system->setText(tr("SYSTEM"));
    m_group->setText(tr("GROUP"));
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
