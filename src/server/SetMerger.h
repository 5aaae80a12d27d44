#pragma once

#include "model/SettingCatalogue.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

// Bursts of set requests for one setting, merged as the desktop's fader merges its moves: the
// first value goes at once; values that follow within the interval wait, each replacing the one
// before it, and the newest goes when the interval is over. A replaced value's request is told
// which value took its place. Different settings never wait for each other.
namespace sonaro::server {

class SetMerger : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 40;

    // apply(id, stored, ticket) changes the setting; superseded(ticket, stored) tells a waiting
    // request that a newer value replaced it.
    using Apply = std::function<void(const ChangeId&, double, quint64)>;
    using Superseded = std::function<void(quint64, double)>;

    SetMerger(Apply apply, Superseded superseded, QObject* parent = nullptr,
              int intervalMs = kIntervalMs);

    void submit(const ChangeId& id, double stored, quint64 ticket);
    // Requests whose values wait for the end of their interval.
    int waiting() const;

private:
    struct Slot
    {
        qint64 lastAppliedMs = -1;
        bool pending = false;
        double value = 0;
        quint64 ticket = 0;
    };
    void flush();

    Apply m_apply;
    Superseded m_superseded;
    int m_intervalMs;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QHash<ChangeId, Slot> m_slots;
};

} // namespace sonaro::server
