#pragma once

#include "mixer/SonaroCore.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QHBoxLayout;
class QMenu;
class QScrollArea;
class QStackedWidget;

namespace sonaro::ui {

class ChannelStrip;
class ConnectionIndicator;
class FirstRunPanel;
class LoginDialog;
class PaintedButton;
class InputEqWindow;
class MatrixGrid;
class OutputEqWindow;
class GroupTabBar;
class InputStrip;
class OutputStrip;
class SystemPage;

// The one view of the program: page buttons and the connection indicator on top, below them the
// channel page (group tabs and strips), the matrix page or the system page. It runs connect and
// disconnect, presets and the group dialog, and repaints from the record when it changes.
class MainView : public QWidget
{
    Q_OBJECT

public:
    enum Page
    {
        ChannelsPage = 0,
        MatrixPage = 1,
        SystemSettingsPage = 3
    };

    explicit MainView(SonaroCore& core, QWidget* parent = nullptr);

    SonaroCore& core() { return m_core; }
    Page currentPage() const { return m_page; }
    // The page button that is highlighted (0 CHANNELS .. 4 MENU): the shown page's, or MENU while
    // its pop-up is open.
    int highlightedButton() const;
    PaintedButton* pageButton(int i) const { return m_pageButtons[static_cast<std::size_t>(i)]; }
    ConnectionIndicator* connectionIndicator() const { return m_indicator; }
    // Offered while no unit was ever connected: search, a typed address, or offline work.
    FirstRunPanel* firstRunPanel() const { return m_firstRun; }
    QWidget* channelPage() const { return m_channelPage; }
    GroupTabBar* tabBar() const { return m_tabs; }
    InputStrip* inputStrip(int ch) const { return m_inputs[static_cast<std::size_t>(ch)]; }
    OutputStrip* outputStrip(int out) const { return m_outputs[static_cast<std::size_t>(out)]; }
    MatrixGrid* matrix() const { return m_matrix; }
    SystemPage* systemPage() const { return m_system; }
    QMenu* popupMenu() const { return m_popup; }
    // Who is logged in (or was last), and what the account may do.
    QLabel* accountLabel() const { return m_accountLabel; }
    QLabel* unitLabel() const { return m_unitLabel; }
    // The units of a chain (shown while the last login reported more than one): choosing one
    // makes it the unit every page and editor works on.
    QComboBox* unitPicker() const { return m_unitPicker; }
    // The strip the channel commands work on: the one holding the keyboard focus, else the one
    // that held it last, else input 1.
    ChannelStrip* currentStrip() const;

    // The operator's commands, one action each, shared by the menu bar and the MAIN pop-up.
    struct Actions
    {
        QAction* connect = nullptr;
        QAction* disconnect = nullptr;
        QAction* openFile = nullptr;
        QAction* saveFile = nullptr;
        QAction* group = nullptr;
        QAction* exit = nullptr; // asks the window to close
        QAction* channels = nullptr;
        QAction* eq = nullptr;
        QAction* matrix = nullptr;
        QAction* system = nullptr;
        // The current strip's: rename, its EQ editor, its limiter (outputs).
        QAction* rename = nullptr;
        QAction* stripEq = nullptr;
        QAction* stripLimiter = nullptr;
        // The operator's name of the unit shown (a chain's units only).
        QAction* renameUnit = nullptr;
    };
    const Actions& actions() const { return m_actions; }
    InputEqWindow* inputEqEditor() const { return m_inputEq; }
    OutputEqWindow* outputEqEditor() const { return m_outputEq; }

public slots:
    // CONNECT: while a unit is connected, asks whether to disconnect and connect again.
    void connectUnit();
    void disconnectUnit();
    void showChannelsPage();
    void showMatrixPage();
    void showSystemPage();
    // Connects to a typed address (a dotted IPv4 host address) and logs in.
    void connectToAddress(const QString& address);
    // Back to the channels when the logged-in account is not the administrator (at every login
    // and every change of the connection).
    void leaveAdministratorPages();
    void openGroupDialog();
    void openPreset();
    void savePreset();
    void refreshFromState();
    // Closes the link once the editors' last edits left (bounded); then done() runs.
    void closeSequence(const std::function<void()>& done);
    // The editors: both EQ editors are modeless windows made once; the limiter is modal.
    void openInputEq(int channel);
    // The EQ page button: the input editor on the channels of the active group tab.
    void openEqPage();
    void openOutputEq(int output);
    void openLimiter(int output);
    // The channel commands on the current strip.
    void renameCurrentStrip();
    void openCurrentStripEq();
    void openCurrentStripLimiter();
    // Shows another unit of the chain (1..the unit count); false when there is no such unit.
    bool showUnit(int unit);
    void renameCurrentUnit();

signals:
    void exitRequested();
    // The EQ page button, an input strip's curve or an output's MASTER EQ / LIMITER.
    void inputEqRequested(int channel);
    void outputEqRequested(int output);
    void limiterRequested(int output);
    // A login dialog of connectToAddress() is about to run (tests answer it).
    void loginDialogOpened(sonaro::ui::LoginDialog* dialog);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildHeader(QHBoxLayout* header);
    void buildActions();
    void buildTabs();
    void showRouting();
    void syncHighlight();
    bool administrator(const char* page);
    void updateAccount();
    void updateStripActions();
    void searchAndConnect();
    void reconnect();
    void showPage(Page page);
    void layoutChannelPage();
    void renameStrip(ChannelKind kind, int channel);
    void retranslate();
    void updateIndicator();
    // The picker lists the chain's units with their names; hidden for a single unit.
    void updateUnitPicker();
    void unitShown();

    SonaroCore& m_core;
    Page m_page = ChannelsPage;
    bool m_menuOpen = false;
    std::array<PaintedButton*, 5> m_pageButtons{};
    ConnectionIndicator* m_indicator = nullptr;
    FirstRunPanel* m_firstRun = nullptr;
    QLabel* m_unitLabel = nullptr;
    QLabel* m_accountLabel = nullptr;
    QLabel* m_unitCaption = nullptr;
    QComboBox* m_unitPicker = nullptr;
    QPointer<ChannelStrip> m_lastStrip;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_channelPage = nullptr;
    GroupTabBar* m_tabs = nullptr;
    QScrollArea* m_stripScroll = nullptr;
    QWidget* m_stripArea = nullptr;
    QHBoxLayout* m_stripLayout = nullptr;
    std::array<InputStrip*, kInputCount> m_inputs{};
    std::array<OutputStrip*, kOutputCount> m_outputs{};
    MatrixGrid* m_matrix = nullptr;
    SystemPage* m_system = nullptr;
    QMenu* m_popup = nullptr;
    Actions m_actions;
    InputEqWindow* m_inputEq = nullptr;
    OutputEqWindow* m_outputEq = nullptr;
};

} // namespace sonaro::ui
