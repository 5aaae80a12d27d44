#pragma once

#include "ChangeConfirmation.h"
#include "ConsoleOperator.h"
#include "CtlArguments.h"

#include "link/Discovery.h"
#include "link/LinkState.h"
#include "mixer/SonaroCore.h"
#include "model/UnitTable.h"
#include "store/DataDirectoryLock.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <bitset>
#include <functional>
#include <memory>

namespace sonaroctl {

// Exit statuses of sonaroctl.
enum ExitStatus : int
{
    kExitSuccess = 0,
    kExitFailure = 1,
    kExitUsage = 2,
    kExitRefused = 3,
    kExitNoAnswer = 4
};

// One run of one command as a small state machine on the event loop: nothing here sleeps or
// waits; every phase ends on a signal of the core or on its own time-out. The commands that talk
// to a unit run on the same SonaroCore the desktop program uses: login through the session,
// changes through the control surface, presets through the surface's file actions.
class CtlRunner : public QObject
{
    Q_OBJECT
public:
    // timingScale divides every link timing and every time-out of the run (tests).
    CtlRunner(CtlSettings settings, int timingScale, QObject* parent = nullptr);
    ~CtlRunner() override;

    // Starts the command; finished() reports its exit status.
    void start();
    // Ctrl-C or SIGTERM: monitor ends normally, any other command fails; both switch the status
    // stream off first.
    void interrupt();

signals:
    void finished(int status);

private:
    enum class Phase
    {
        Idle,
        LoggingIn,
        WaitingForState,
        Draining,
        Confirming,
        Administering, // an address or account change waits for the unit's answer
        Monitoring,
        Done
    };

    int scaled(int ms) const;
    void finish(int status, const QString& reason = {});
    void print(const QString& text);

    void startDiscover();
    void runDiscovery(const QHostAddress& bind, quint16 port);
    void startSession();
    void loggedIn(int units);
    void checkState();
    void act();
    bool applySetting(bool& changed);
    void drainThen(int status);
    // Waits until everything queued has left, then for the unit's confirmation; success runs
    // confirmed, anything unconfirmed ends the run with status 1 naming it.
    void confirmThen(const QString& what, std::function<void()> confirmed);
    void printSetReport(bool changed);
    QString setWords() const;
    void watchFrame(const QByteArray& frame, const QHostAddress& sender, quint16 port);
    void unitWentSilent(const QString& reason);
    void changeAddress();
    void setGroup();
    // watch: one JSON line per event.
    void watchEvent(const QJsonObject& event);
    void watchLevels(const sonaro::UnitRecord& record);
    void watchChanges(const QString& source);
    void changeAccount();

    CtlSettings m_settings;
    int m_timingScale;
    ConsoleOperator m_op;
    Phase m_phase = Phase::Idle;

    // discover
    std::unique_ptr<sonaro::UnitTable> m_discoveryTable;
    std::unique_ptr<sonaro::LinkState> m_discoveryState;
    std::unique_ptr<sonaro::Discovery> m_discovery;

    // every command that logs in
    std::unique_ptr<sonaro::DataDirectoryLock> m_lock; // held from the session's start to exit
    std::unique_ptr<sonaro::SonaroCore> m_core;
    bool m_loggedIn = false;
    int m_units = 0;
    bool m_validLogin = false;    // an accepting login answer with a possible unit count came
    bool m_stateAsked = false;    // the login's C left
    bool m_stateReported = false; // and the S that answers it arrived
    std::unique_ptr<ChangeConfirmation> m_confirmation;
    std::function<void()> m_afterDrain;
    QTimer m_silence;
    QMap<QString, QJsonValue> m_watched; // watch: the state as last told
    int m_lastOpen = -1;
    QElapsedTimer m_levelClock;
    bool m_streaming = false; // monitor: the first status frame arrived
    std::bitset<14> m_eqSlots;
    std::bitset<sonaro::kOutputCount> m_dynamics;
    QTimer m_deadline;
    QTimer m_drainPoll;
    int m_drainStatus = 0;
    QString m_socketError;
};

} // namespace sonaroctl
