#pragma once

#include "link/Delivery.h"
#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "link/LoginCheck.h"
#include "model/OperatorInterface.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <utility>
#include <vector>

class QUdpSocket;

namespace sonaro {

// How the search dialog was closed.
enum class OpenMode
{
    Cancel = 0,
    Open = 1,
    Offline = 2
};

// The connection to a unit as one state machine (see Connection): connect and login, login
// retries, the link watchdog, disconnect, and the address and account changes with their
// time-outs. Each state's repeats run only while it holds, so leaving a state ends them. Runs on
// the main thread, driven by two timers (the watchdog tick and the administration tick).
class Session : public QObject
{
    Q_OBJECT
public:
    Session(LinkState& state, Link& link, Dispatcher& dispatcher, Delivery& delivery,
            OperatorInterface& ui, QObject* parent = nullptr);

    // Where the connection stands.
    Connection connection() const { return m_state.connection; }

    // Starts the link and both ticks.
    bool start();
    // Program exit: what is queued goes out (bounded by the drain limit), then the status
    // stream off and the link stopped. Returns when the link is closed.
    void shutdown();

    // Connect, first half: "Already connect" when the current unit is connected (false);
    // otherwise stops the link so that the search dialog and the login check can bind the port.
    // A typed address means no search: the connection goes straight to it.
    bool beginConnect(const QString& typedAddress = QString());
    // The address typed for the connect under way; empty while the search chooses.
    QString typedAddress() const { return m_typedAddress; }
    // Connect, second half, with the search dialog's result: restarts the link and, for Open,
    // sends the login after the restart delay.
    void finishConnect(OpenMode mode);
    // Stores the login dialog's name and password in the current unit's record and sets the
    // account level (1 for "admin&&", 2 for "user&&&", unchanged otherwise).
    void storeLogin(const QString& name, const QString& password);
    // Sends R with the current unit's login and starts logging in (a new login: whatever the
    // previous state repeated ends here).
    void sendLogin();

    // Every unit not connected and the indicator off at once; what is queued still goes out
    // (bounded by the drain limit), then the status stream off twice; offline.
    void disconnect();

    // The 100 ms tick: M answer wait expiry, login retries, watchdog.
    void linkTimerTick();

    // The unit the search dialog chose: the link talks to address from now on, and ip.ini keeps
    // it for the next start (when the program keeps an address file).
    void useDeviceAddress(const QString& address);

    // The address change of the system page: I with the new address and the link port.
    bool changeAddress(const QHostAddress& address);
    // The account change of the system page; false with the message when a check fails.
    bool changeAccount(const QString& account, const QString& oldPassword,
                       const QString& newPassword, const QString& confirmation);
    // The 1000 ms tick: time-outs of the two changes.
    void adminTimerTick();

signals:
    // Three login requests stayed unanswered.
    void connectFailed();
    // The connection moved to another state.
    void connectionChanged(sonaro::Connection connection);
    // A disconnect or exit has drained the queue and switched the stream off.
    void closed();

private:
    // Moves the state machine; leaving a state ends its repeats and timers.
    void enter(Connection next);
    void sendLoginFrame();
    void beginClosing(bool exiting);
    void closingTick();
    void finishClosing();
    void loginAnswered();
    void linkDropped();

    // The head of the chain: the unit the link logs in to, whose answers speak for all.
    UnitRecord& head() { return m_state.table.record(1); }
    void error(const QString& text) { m_ui.showMessage(Severity::Error, text); }

    LinkState& m_state;
    Link& m_link;
    Dispatcher& m_dispatcher;
    Delivery& m_delivery;
    OperatorInterface& m_ui;
    QTimer m_linkTimer;
    QTimer m_adminTimer;
    // The login that follows a search, after the restart delay.
    QTimer m_loginDelay;
    // The drain of a disconnect or exit.
    QTimer m_closingTimer;
    qint64 m_closingStart = 0;
    bool m_exiting = false;
    int m_loginTries = 0;
    qint64 m_adminStart = 0;
    QString m_typedAddress;
};

} // namespace sonaro
