#pragma once

#include "mixer/CommandPort.h"
#include "model/SettingCatalogue.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <vector>

namespace sonaro {

class ControlSurface;

// Undo and redo of the operator's changes of the settings the catalogue marks undoable (gains,
// mutes and switches, filters, limiter enable, every EQ band, the limiter settings) on the unit
// shown. A step ends when the operator's action is final: a fader or handle let go, a typed
// value, a button, a knob at rest. Everything changed since the previous step is one step, so a
// whole drag undoes at once.
//
// The unit's own reports do not end the history: a setting the unit changed by itself (its front
// panel, another controller) leaves the steps that held it, and the rest stay. A record replaced
// on purpose (a preset, the factory restore, another unit chosen) clears the history.
//
// Undo and redo put the settings back and send exactly the frames that carry what differs (V, M,
// G, E per slot, B per output) through the port: while connected they go out, offline they wait
// for the unit like any other change.
class UndoHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDepth = 128;
    static constexpr int kRestMs = 500;

    UndoHistory(ControlSurface& surface, CommandPort& port, QObject* parent = nullptr);

    // The operator's action is final: what changed since the last step becomes a step.
    void commit();
    // A control that moves in small steps (keys, the wheel): the step ends once it rests.
    void commitSoon();
    bool canUndo() const;
    bool canRedo() const { return !m_redo.empty(); }
    int undoCount() const { return int(m_undo.size()); }
    bool undo();
    bool redo();
    // Forgets every step: the record was replaced on purpose.
    void clear();
    // The unit reported these settings changed by itself: they leave the history.
    void forget(int unit, const QList<sonaro::ChangeId>& ids);

signals:
    // Undo or redo put values back: views read the record again.
    void restored();
    // What undo and redo can do changed.
    void availabilityChanged();

private:
    struct Change
    {
        int field;
        double before;
        double after;
    };
    using Step = std::vector<Change>;

    std::vector<double> values() const;
    void apply(const Step& step, bool forward);

    ControlSurface& m_surface;
    CommandPort& m_port;
    std::vector<ChangeId> m_fields; // the undoable settings, unit 1 standing for the unit shown
    QTimer m_rest;
    int m_unit = 1;
    std::vector<double> m_baseline; // the values after the last step
    std::deque<Step> m_undo;
    std::vector<Step> m_redo;
};

} // namespace sonaro
