#pragma once

#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "mixer/CommandPort.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <array>
#include <map>

namespace sonaro {

class ControlSurface;

// What the editors changed and the unit has not been sent yet: E slots, B outputs and the
// editors' fields of G (filter indexes, limiter enable). One per (surface, command port), owned
// by the surface, so a change outlives the editor and the window it was made in.
//
// Each change keeps the values the operator gave it until it is sent. A report from the unit
// (the state read after a login) never wins over them: offline changes wait until the unit's
// state has been read after the next login, are put back into the record and then sent.
class EditorDelivery : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPauseBeforeGMs = 50;
    static constexpr int kOfflineRetryMs = 250;

    // The delivery of this surface and port, made on first use.
    static EditorDelivery& of(ControlSurface& surface, CommandPort& port);

    // Call after the record holds the operator's new values.
    void markE(int slot);
    void markB(int output);
    void markFilters(int input);
    void markLimiterEnable(int output);
    bool pending() const { return !m_e.empty() || !m_b.empty() || hasG(); }

    // While connected: E for every changed slot in slot order (a 50 ms pause before G when G
    // follows), G, then B for every changed output. Offline nothing leaves and everything waits
    // for the unit. True when something was sent.
    bool deliver();
    // The changes that wait for the unit's next login, by name ("eq SLOT", "dynamics OUTPUT",
    // "filters INPUT", "limiter OUTPUT"), so that they outlive a restart: restoreWaiting takes
    // such a list back with the values the record holds now (read from the state file).
    QStringList waitingChanges() const;
    void restoreWaiting(const QStringList& names);
    void setRetryInterval(int ms) { m_retry.setInterval(ms > 0 ? ms : 1); }

private:
    EditorDelivery(ControlSurface& surface, CommandPort& port);
    bool hasG() const { return !m_filters.empty() || !m_limiterEnable.empty(); }
    void noteChange();
    void restore();
    void recapture();
    void stateRead();

    struct Filters
    {
        int highPass = 0;
        int lowPass = 0;
    };

    ControlSurface& m_surface;
    CommandPort& m_port;
    QTimer m_retry;
    std::map<int, std::array<EqBand, kBandsPerBlock>> m_e; // slot -> its bands
    std::map<int, DynamicsSettings> m_b;                   // output -> settings
    std::map<int, Filters> m_filters;                      // input -> indexes
    std::map<int, int> m_limiterEnable;                    // output -> flag
    // Offline changes wait for the unit's state to be read after the next login; should no
    // state report come, they go after kStateWaitTicks retries with the unit connected.
    static constexpr int kStateWaitTicks = 8;
    bool m_waitForState = false;
    int m_connectedTicks = 0;
};

} // namespace sonaro
