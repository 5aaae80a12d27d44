#pragma once

#include <QMainWindow>

class QAction;
class QMenu;

namespace sonaro::ui {

class EventLogDock;
class LanguageSwitcher;
class MainView;
class MessageLine;

// The frame: menus in both languages (every command with its key), the status line that tells
// what an action did, the size limits, the about box and the close sequence. Every command except
// the language switch and the about box belongs to the main view.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kMinWidth = 1000;
    static constexpr int kMinHeight = 500;
    // Up to a 4K screen: the strips share whatever width the window has.
    static constexpr int kMaxWidth = 3840;
    static constexpr int kMaxHeight = 2160;

    MainWindow(MainView* view, LanguageSwitcher& language, QWidget* parent = nullptr);

    QMenu* mainMenu() const { return m_mainMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QMenu* toolsMenu() const { return m_toolsMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    QAction* languageAction() const { return m_language; }
    EventLogDock* eventLogDock() const { return m_eventLog; }
    MessageLine* messageLine() const { return m_messageLine; }

public slots:
    void showAbout();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void retranslate();

    MainView* m_view;
    bool m_closing = false; // the link is sending the editors' last edits
    bool m_closed = false;
    LanguageSwitcher& m_switcher;
    QMenu* m_mainMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QMenu* m_toolsMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_language = nullptr;
    QAction* m_about = nullptr;
    EventLogDock* m_eventLog = nullptr;
    MessageLine* m_messageLine = nullptr;
};

} // namespace sonaro::ui
