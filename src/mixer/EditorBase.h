#pragma once

#include "mixer/CommandPort.h"
#include "mixer/ControlSurface.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace sonaro {

// What the three editors share: the strip's group data and the channels an edit reaches, and the
// way edits reach the unit. Every edit is typed: it names the settings it may change and returns
// Unchanged when none of them did (nothing is sent then). Continuous edits (knobs, sliders,
// drags, read-outs) are noted with the delivery and leave at the send tick; button actions leave
// at once. The delivery keeps what was noted, so a change outlives the editor and its window.
class EditorBase : public QObject
{
    Q_OBJECT

public:
    ~EditorBase() override;

    // Any change noted and not yet handed to the link.
    bool dirty() const { return m_port.hasWaiting(); }

    // The send tick: while connected, everything noted goes out.
    void tick() { m_port.sendWaiting(); }
    // Closing the editor, the program or the connection: everything noted goes out now
    // (offline it waits for the unit).
    void flush() { m_port.sendWaiting(); }
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

    // Runs change, which may alter the settings ids of the current unit, and returns Applied
    // when one of them changed, Unchanged otherwise. The frames that carry the changed ones are
    // noted (and sent at once with now); a button action (always) sends the frames of all of
    // them whether or not they changed, as the unit's own editors do.
    Outcome edit(const std::vector<ChangeId>& ids, const std::function<void()>& change, bool now,
                 bool always = false);
    ChangeId id(SettingId setting, int index) const { return {m_surface.unit(), setting, index}; }

    ControlSurface& m_surface;
    CommandPort& m_port;
    StripGroupData m_group;

private:
    QTimer m_timer;
};

} // namespace sonaro
