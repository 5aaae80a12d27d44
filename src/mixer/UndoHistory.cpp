#include "mixer/UndoHistory.h"

#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "mixer/ControlSurface.h"
#include "mixer/EditorDelivery.h"
#include "protocol/Commands.h"

#include <cstring>

namespace sonaro {

namespace {

// Calls `f` with each operator-editable field of the record.
template <typename F> void forEachEditable(F&& f)
{
    f(&UnitRecord::inputGain);
    f(&UnitRecord::outputGain);
    f(&UnitRecord::inputMute);
    f(&UnitRecord::outputMute);
    f(&UnitRecord::inputLine);
    f(&UnitRecord::inputPhantom);
    f(&UnitRecord::inputPriority);
    f(&UnitRecord::outputLevelType);
    f(&UnitRecord::highPassIndex);
    f(&UnitRecord::lowPassIndex);
    f(&UnitRecord::limiterEnable);
    f(&UnitRecord::inputEq);
    f(&UnitRecord::inputEqType);
    f(&UnitRecord::outputEq);
    f(&UnitRecord::outputEqType);
    f(&UnitRecord::limiterRatio);
    f(&UnitRecord::limiterThreshold);
    f(&UnitRecord::limiterAttack);
    f(&UnitRecord::limiterRelease);
}

void copyEditable(const UnitRecord& from, UnitRecord& to)
{
    forEachEditable(
        [&](auto member) { std::memcpy(&(to.*member), &(from.*member), sizeof(to.*member)); });
}

bool sameEditable(const UnitRecord& a, const UnitRecord& b)
{
    bool same = true;
    forEachEditable([&](auto member) {
        same = same && std::memcmp(&(a.*member), &(b.*member), sizeof(a.*member)) == 0;
    });
    return same;
}

bool sameBands(const std::optional<std::array<EqBand, kBandsPerBlock>>& a,
               const std::optional<std::array<EqBand, kBandsPerBlock>>& b)
{
    if (!a || !b) return !a && !b;
    for (std::size_t i = 0; i < a->size(); ++i) {
        const EqBand& x = (*a)[i];
        const EqBand& y = (*b)[i];
        if (x.frequency != y.frequency || x.gain != y.gain || x.q != y.q || x.type != y.type)
            return false;
    }
    return true;
}

bool sameDynamics(const DynamicsSettings& a, const DynamicsSettings& b)
{
    return a.ratio == b.ratio && a.threshold == b.threshold && a.attack == b.attack &&
           a.release == b.release;
}

} // namespace

UndoHistory::UndoHistory(ControlSurface& surface) : QObject(&surface), m_surface(surface)
{
    copyEditable(m_surface.record(), m_baseline);
    m_rest.setSingleShot(true);
    m_rest.setInterval(kRestMs);
    connect(&m_rest, &QTimer::timeout, this, &UndoHistory::commit);
    connect(&m_surface, &ControlSurface::refreshNeeded, this, &UndoHistory::clear);
}

UndoHistory& UndoHistory::of(ControlSurface& surface)
{
    if (auto* h = surface.findChild<UndoHistory*>(QString(), Qt::FindDirectChildrenOnly)) return *h;
    return *new UndoHistory(surface);
}

void UndoHistory::commit()
{
    m_rest.stop();
    const UnitRecord& now = m_surface.record();
    if (sameEditable(now, m_baseline)) return;
    m_undo.push_back(m_baseline);
    while (int(m_undo.size()) > kDepth)
        m_undo.pop_front();
    m_redo.clear();
    copyEditable(now, m_baseline);
    emit availabilityChanged();
}

void UndoHistory::commitSoon()
{
    m_rest.start();
}

bool UndoHistory::canUndo() const
{
    return !m_undo.empty() || !sameEditable(m_surface.table().current(), m_baseline);
}

bool UndoHistory::undo()
{
    commit(); // a change still settling is the step undone first
    if (m_undo.empty()) return false;
    const UnitRecord target = m_undo.back();
    m_undo.pop_back();
    m_redo.push_back(m_baseline);
    apply(target);
    emit availabilityChanged();
    return true;
}

bool UndoHistory::redo()
{
    commit();
    if (m_redo.empty()) return false;
    const UnitRecord target = m_redo.back();
    m_redo.pop_back();
    m_undo.push_back(m_baseline);
    apply(target);
    emit availabilityChanged();
    return true;
}

void UndoHistory::clear()
{
    m_rest.stop();
    m_undo.clear();
    m_redo.clear();
    copyEditable(m_surface.record(), m_baseline);
    emit availabilityChanged();
}

void UndoHistory::apply(const UnitRecord& target)
{
    UnitRecord& record = m_surface.record();
    const UnitRecord before = record;
    copyEditable(target, record);
    copyEditable(target, m_baseline);
    const int unit = m_surface.unit();

    // E, G's editor fields and B take the editors' path: sent now, or kept for the unit.
    EditorDelivery& delivery = EditorDelivery::of(m_surface, m_surface.commandPort());
    for (int slot = 0; slot < kEqSlotCount; ++slot)
        if (!sameBands(eqSlotBands(before, slot), eqSlotBands(record, slot))) delivery.markE(slot);
    for (int input = 0; input < kInputCount; ++input)
        if (before.highPassIndex[input] != record.highPassIndex[input] ||
            before.lowPassIndex[input] != record.lowPassIndex[input])
            delivery.markFilters(input);
    for (int output = 0; output < kOutputCount; ++output) {
        if (before.limiterEnable[output] != record.limiterEnable[output])
            delivery.markLimiterEnable(output);
        if (!sameDynamics(dynamicsOf(before, output), dynamicsOf(record, output)))
            delivery.markB(output);
    }
    // V and M as the strips send them: only while connected.
    if (m_surface.connected()) {
        for (char kind : {'V', 'M'}) {
            const bool differs = kind == 'V' ? buildV(before, unit) != buildV(record, unit)
                                             : buildM(before, unit) != buildM(record, unit);
            if (!differs) continue;
            CommandRequest request;
            request.kind = kind;
            request.unit = unit;
            m_surface.commandPort().submit(request);
        }
    }
    delivery.deliver();

    for (int ch = 0; ch < kInputCount; ++ch)
        emit m_surface.inputStripChanged(ch);
    for (int out = 0; out < kOutputCount; ++out)
        emit m_surface.outputStripChanged(out);
    emit restored();
}

} // namespace sonaro
