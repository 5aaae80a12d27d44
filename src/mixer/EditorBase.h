#pragma once

#include "mixer/CommandPort.h"
#include "mixer/ControlSurface.h"
#include "mixer/EditorDelivery.h"

#include <QObject>
#include <QTimer>

#include <vector>

namespace sonaro {

// What the three editors share: the strip's group data and the channels an edit reaches, and the
// way edits reach the unit. Every edit marks what it changed in the surface's EditorDelivery;
// continuous edits (knobs, sliders, drags, read-outs) wait for the send tick, button actions
// deliver at once. Offline nothing is lost: the changes wait in the delivery for the unit. An
// editor delivers what is pending when it is flushed and when it is destroyed.
class EditorBase : public QObject
{
    Q_OBJECT

public:
    ~EditorBase() override;

    // Any change not yet handed to the link.
    bool dirty() const { return m_delivery.pending(); }

    // The send tick: while connected, everything pending goes out.
    void tick() { m_delivery.deliver(); }
    // Closing the editor, the program or the connection: everything pending goes out now
    // (offline it waits for the unit).
    void flush() { m_delivery.deliver(); }
    void setSendInterval(int ms);
    int sendInterval() const { return m_timer.interval(); }
    // The tick runs on the editor's own timer while started.
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }

    // The group data changed (group tab, group dialog): take the strip's links again.
    virtual void reloadLinks() = 0;

signals:
    // The editor's controls and curves should be read again.
    void changed();

protected:
    EditorBase(ControlSurface& surface, CommandPort& port, int sendIntervalMs, QObject* parent);

    UnitRecord& record() { return m_surface.record(); }
    const UnitRecord& record() const { return m_surface.table().current(); }
    bool connected() const { return m_surface.connected(); }
    // The strip's linked channels when it is grouped and its group links this kind of control
    // (checked by the caller), limited to 0..count-1; the own channel alone otherwise.
    std::vector<int> linkedTargets(int own, int count, bool linked) const;

    ControlSurface& m_surface;
    EditorDelivery& m_delivery;
    StripGroupData m_group;

private:
    QTimer m_timer;
};

} // namespace sonaro
