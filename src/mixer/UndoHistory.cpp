#include "mixer/UndoHistory.h"

#include "mixer/ControlSurface.h"

#include <map>
#include <set>

namespace sonaro {

namespace {

std::int64_t wireOf(const UnitRecord& r, const ChangeId& id, double value)
{
    UnitRecord copy = r;
    const SettingRow& row = SettingCatalogue::row(id.setting);
    row.set(copy, id.index, value);
    return row.wire(copy, id.index);
}

} // namespace

UndoHistory::UndoHistory(ControlSurface& surface, CommandPort& port, QObject* parent)
    : QObject(parent), m_surface(surface), m_port(port)
{
    for (const SettingRow& row : SettingCatalogue::rows())
        if (row.undoable)
            for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i)
                m_fields.push_back({1, row.id, i});
    m_unit = m_surface.unit();
    m_baseline = values();
    m_rest.setSingleShot(true);
    m_rest.setInterval(kRestMs);
    connect(&m_rest, &QTimer::timeout, this, &UndoHistory::commit);
}

std::vector<double> UndoHistory::values() const
{
    const UnitRecord& r = m_surface.table().current();
    std::vector<double> list;
    list.reserve(m_fields.size());
    for (const ChangeId& id : m_fields)
        list.push_back(SettingCatalogue::storedValue(r, id));
    return list;
}

void UndoHistory::commit()
{
    m_rest.stop();
    if (m_surface.unit() != m_unit) {
        clear();
        return;
    }
    const std::vector<double> now = values();
    Step step;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] != m_baseline[i]) step.push_back({static_cast<int>(i), m_baseline[i], now[i]});
    if (step.empty()) return;
    m_undo.push_back(std::move(step));
    while (int(m_undo.size()) > kDepth)
        m_undo.pop_front();
    m_redo.clear();
    m_baseline = now;
    emit availabilityChanged();
}

void UndoHistory::commitSoon()
{
    m_rest.start();
}

bool UndoHistory::canUndo() const
{
    return !m_undo.empty() || values() != m_baseline;
}

bool UndoHistory::undo()
{
    commit(); // a change still settling is the step undone first
    if (m_undo.empty()) return false;
    Step step = std::move(m_undo.back());
    m_undo.pop_back();
    apply(step, false);
    m_redo.push_back(std::move(step));
    emit availabilityChanged();
    return true;
}

bool UndoHistory::redo()
{
    commit();
    if (m_redo.empty()) return false;
    Step step = std::move(m_redo.back());
    m_redo.pop_back();
    apply(step, true);
    m_undo.push_back(std::move(step));
    emit availabilityChanged();
    return true;
}

void UndoHistory::clear()
{
    m_rest.stop();
    m_undo.clear();
    m_redo.clear();
    m_unit = m_surface.unit();
    m_baseline = values();
    emit availabilityChanged();
}

void UndoHistory::forget(int unit, const QList<ChangeId>& ids)
{
    if (unit != m_unit) return;
    std::set<int> fields;
    for (const ChangeId& id : ids)
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].setting == id.setting && m_fields[i].index == id.index)
                fields.insert(static_cast<int>(i));
    if (fields.empty()) return;
    const std::vector<double> now = values();
    for (int field : fields)
        m_baseline[static_cast<std::size_t>(field)] = now[static_cast<std::size_t>(field)];
    auto drop = [&](auto& steps) {
        for (Step& step : steps)
            std::erase_if(step, [&](const Change& c) { return fields.count(c.field) > 0; });
        std::erase_if(steps, [](const Step& step) { return step.empty(); });
    };
    drop(m_undo);
    drop(m_redo);
    emit availabilityChanged();
}

void UndoHistory::apply(const Step& step, bool forward)
{
    UnitRecord& record = m_surface.record();
    std::map<std::pair<char, int>, bool> frames;
    for (const Change& change : step) {
        const ChangeId& id = m_fields[static_cast<std::size_t>(change.field)];
        const double value = forward ? change.after : change.before;
        const SettingRow& row = SettingCatalogue::row(id.setting);
        if (wireOf(record, id, value) != row.wire(record, id.index))
            frames[{row.frame, SettingCatalogue::frameIndex(id.setting, id.index)}] = true;
        row.set(record, id.index, value);
        m_baseline[static_cast<std::size_t>(change.field)] = value;
    }
    // V and M as the strips send them, then the editors' frames in their order.
    for (char kind : {'V', 'M', 'E', 'G', 'B'})
        for (const auto& [frame, unused] : frames) {
            if (frame.first != kind) continue;
            CommandRequest request;
            request.kind = kind;
            request.unit = m_surface.unit();
            request.index = frame.second;
            m_port.submit(request);
        }
    for (int ch = 0; ch < kInputCount; ++ch)
        emit m_surface.inputStripChanged(ch);
    for (int out = 0; out < kOutputCount; ++out)
        emit m_surface.outputStripChanged(out);
    emit restored();
}

} // namespace sonaro
