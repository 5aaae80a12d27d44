#pragma once

#include "link/DeliveryTracker.h"
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
    Session(LinkState& state, Link& link, Dispatcher& dispatcher, OperatorInterface& ui,
            QObject* parent = nullptr);

    // Where the connection stands.
    Connection connection() const { return m_state.connection; }

    // The operator's changes the unit has not confirmed yet, and their confirmations, resends
    // and losses (the names are listed in DeliveryTracker.h).
    DeliveryTracker& deliveries() { return m_deliveries; }
    QStringList unconfirmedChanges() const { return m_deliveries.unconfirmedChanges(); }

    // Starts the link and both ticks.
    bool start();
    // Program exit: what is queued goes out (bounded by the drain limit), then the status
    // stream off and the link stopped. Returns when the link is closed.
    void shutdown();

    // Connect, first half: "Already connect" when the current unit is connected (false);
    // otherwise stops the link so that the search dialog and the login check can bind the port.
    bool beginConnect();
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
    // An operator change (by name) reached the unit, went again, or could not be delivered.
    void changeConfirmed(const QString& what);
    void changeResent(const QString& what, int attempt);
    void changeNotDelivered(const QString& what);

private:
    // An acknowledged command (M, E, B) as the link queues it.
    struct Acknowledged
    {
        char kind = 0;
        int unit = 0;
        int index = 0;
        bool operator==(const Acknowledged&) const = default;
    };
    // Moves the state machine; leaving a state ends its repeats and timers.
    void enter(Connection next);
    void sendLoginFrame();
    void beginClosing(bool exiting);
    void closingTick();
    void finishClosing();
    void loginAnswered();
    void linkDropped();
    void noteSent(const QByteArray& frame);
    void noteReceived(const QByteArray& frame);
    void answerGivenUp(char command);
    void resendUnanswered();

    UnitRecord& current() { return m_state.table.current(); }
    void error(const QString& text) { m_ui.showMessage(Severity::Error, text); }

    LinkState& m_state;
    Link& m_link;
    Dispatcher& m_dispatcher;
    OperatorInterface& m_ui;
    DeliveryTracker m_deliveries;
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
    // The last acknowledged command sent, how often each command gave up in a row, and the
    // commands left unanswered until the next login.
    Acknowledged m_lastAcknowledged;
    std::vector<std::pair<Acknowledged, int>> m_giveUps;
    std::vector<Acknowledged> m_unanswered;
};

} // namespace sonaro
