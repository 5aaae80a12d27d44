#pragma once

#include "Console.h"
#include "CtlArguments.h"

#include "mixer/SonaroCore.h"
#include "model/SettingCatalogue.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

namespace sonaro {
class DataDirectoryLock;
class EventLogFile;
} // namespace sonaro

namespace sonaroctl {

// One run of a command that logs in, on the same core as the desktop program: the data
// directory's lock, the login, the wait for the unit's state (the delivery's stateRead), the
// wait for the unit's verdict on every change a command makes (the delivery's changeConfirmed
// and changeNotDelivered), and the close. Nothing here judges a frame: the core does. Every
// phase ends on a signal of the core or on its own deadline.
class CtlSession : public QObject
{
    Q_OBJECT
public:
    // timingScale divides every link timing and every deadline (tests).
    CtlSession(const CtlSettings& settings, Console& console, int timingScale,
               QObject* parent = nullptr);
    ~CtlSession() override;

    const CtlSettings& settings() const { return m_settings; }
    Console& console() { return m_console; }
    sonaro::SonaroCore& core() { return *m_core; }
    int scaled(int ms) const;

    // Logs in; ready runs with the unit count once the unit's state, EQ and dynamics were read
    // (or at once after the login when waitForState is false).
    void start(bool waitForState, std::function<void(int units)> ready);

    // Runs action, which changes settings through the core, then waits for the unit's verdict
    // on every change it made. done runs with the changes the unit confirmed when all were;
    // anything the unit did not confirm ends the run with status 1, naming it. what names the
    // command in messages; whyInapplicable is said when the action does not apply.
    using Done = std::function<void(const QList<sonaro::ChangeId>& confirmed, bool changed)>;
    void change(const QString& what, const std::function<sonaro::Outcome()>& action, Done done,
                const QString& whyInapplicable = {});

    // An address or account change waits for the unit's answer, which drops the link on
    // purpose: answered runs then. The session's own time-out, a silence or the deadline fail.
    void administer(std::function<void()> answered);
    // monitor and watch: the unit streams; ended runs at the deadline (none when ms < 0), a
    // silence fails (lost is told first), an interrupt is a normal end.
    void stream(int ms, std::function<void()> ended,
                std::function<void(const QString& reason)> lost);
    void restartDeadline(int ms);

    void finish(int status, const QString& reason = {});
    // Ctrl-C or SIGTERM.
    void interrupt();

signals:
    void finished(int status);

private:
    enum class Phase
    {
        Idle,
        LoggingIn,
        WaitingForState,
        Acting,
        Confirming,
        Administering,
        Streaming,
        Done
    };

    bool openDataDirectory(QString& dataDir);
    bool createCore(const QString& dataDir);
    void wire();
    void loggedIn(int units);
    void stateRead(int unit);
    void connectionChanged(sonaro::Connection connection);
    void lost(const QString& reason);
    void verdict(const sonaro::ChangeId& id, bool confirmed);
    void settleChanges();
    void deadlinePassed();
    // "not confirmed by the unit: ..." and "not stored: ..." for ids, by their labels.
    QString labels(const QList<sonaro::ChangeId>& ids) const;
    QList<sonaro::ChangeId> awaited() const;
    void close(int status, const QString& reason);

    CtlSettings m_settings;
    Console& m_console;
    int m_timingScale;
    Phase m_phase = Phase::Idle;
    bool m_waitForState = true;
    bool m_stateRead = false;
    int m_units = 0;
    std::function<void(int)> m_ready;
    QSet<int> m_unanswered; // units of the chain that do not report their state
    std::unique_ptr<sonaro::DataDirectoryLock> m_lock;
    std::unique_ptr<sonaro::SonaroCore> m_core;
    std::unique_ptr<sonaro::EventLogFile> m_log;
    QString m_logProblem;
    QTimer m_deadline;

    // The change waited for.
    QString m_what;
    Done m_done;
    bool m_changed = false;
    bool m_collecting = false;
    QSet<sonaro::ChangeId> m_ours;
    QSet<sonaro::ChangeId> m_confirmed;
    QSet<sonaro::ChangeId> m_lost;

    std::function<void()> m_answered;
    std::function<void()> m_streamEnded;
    std::function<void(const QString&)> m_streamLost;
};

} // namespace sonaroctl
