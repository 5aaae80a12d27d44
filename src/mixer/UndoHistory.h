#pragma once

#include "model/UnitRecord.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <vector>

namespace sonaro {

class ControlSurface;

// Undo and redo of the operator's changes on the strips and in the editors. The history keeps
// the operator-editable fields of the record (gains, mutes and switches, filters, limiter
// enable, every EQ band, the limiter settings) as they stood before each step. A step ends when
// the operator's action is final: a fader or handle let go, a typed value, a button, a knob at
// rest. Everything changed since the previous step is one step, so a whole drag undoes at once.
//
// Undo and redo put the fields back and ask for exactly the commands whose values differ (V, M,
// G, E per slot, B per output), through the surface's port and the editors' delivery: while
// connected they go out, offline the editors' changes wait for the unit like any other.
class UndoHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDepth = 128;
    static constexpr int kRestMs = 500;

    // The history of this surface, made on first use (make it before the first change).
    static UndoHistory& of(ControlSurface& surface);

    // The operator's action is final: what changed since the last step becomes a step.
    void commit();
    // A control that moves in small steps (keys, the wheel): the step ends once it rests.
    void commitSoon();
    bool canUndo() const;
    bool canRedo() const { return !m_redo.empty(); }
    int undoCount() const { return int(m_undo.size()); }
    bool undo();
    bool redo();
    // Forgets every step: the record was replaced (preset, factory restore, the unit's state).
    void clear();

signals:
    // Undo or redo put values back: views read the record again.
    void restored();
    // What undo and redo can do changed.
    void availabilityChanged();

private:
    explicit UndoHistory(ControlSurface& surface);
    void apply(const UnitRecord& target);

    ControlSurface& m_surface;
    QTimer m_rest;
    UnitRecord m_baseline{}; // the editable fields after the last step
    std::deque<UnitRecord> m_undo;
    std::vector<UnitRecord> m_redo;
};

} // namespace sonaro
