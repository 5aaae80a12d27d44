#include "link/DeliveryTracker.h"

#include "protocol/FrameCodec.h"

#include <QPointer>

#include <algorithm>

namespace sonaro {

namespace {

int identity(int value)
{
    return value;
}

// A muted output travels as gain 0; the field holds the mute above the gain.
constexpr int kMuteShift = 8;

QString numbered(const char* before, int index, const char* after)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(before))
        .arg(index + 1)
        .arg(QLatin1String(after));
}

} // namespace

const std::vector<DeliveryTracker::Field>& DeliveryTracker::fields()
{
    static const std::vector<Field> all = [] {
        std::vector<Field> f;
        auto flag = [&](char kind, QString name, std::int32_t UnitRecord::*member) {
            f.push_back({kind, std::move(name), false,
                         [member](const UnitRecord& r) { return r.*member != 0 ? 1 : 0; },
                         [member](UnitRecord& r, int v) { r.*member = v; }, identity});
        };
        using Row = std::int32_t(UnitRecord::*)[kInputCount];
        auto inputFlag = [&](char kind, const char* what, Row row, int ch) {
            f.push_back({kind, numbered("input", ch, what), false,
                         [row, ch](const UnitRecord& r) { return (r.*row)[ch] != 0 ? 1 : 0; },
                         [row, ch](UnitRecord& r, int v) { (r.*row)[ch] = v; }, identity});
        };
        auto inputValue = [&](char kind, const char* what, Row row, int ch, bool inO) {
            f.push_back({kind, numbered("input", ch, what), inO,
                         [row, ch](const UnitRecord& r) { return (r.*row)[ch]; },
                         [row, ch](UnitRecord& r, int v) { (r.*row)[ch] = v; }, identity});
        };
        // V
        for (int ch = 0; ch < kInputCount; ++ch)
            inputValue('V', "gain", &UnitRecord::inputGain, ch, true);
        for (int ch = 0; ch < kInputCount; ++ch)
            inputFlag('V', "mute", &UnitRecord::inputMute, ch);
        for (int out = 0; out < kOutputCount; ++out) {
            f.push_back({'V', numbered("output", out, "gain"), true,
                         [out](const UnitRecord& r) {
                             return (r.outputMute[out] != 0 ? 1 << kMuteShift : 0) |
                                    (r.outputGain[out] & 0xFF);
                         },
                         [out](UnitRecord& r, int v) {
                             r.outputMute[out] = (v >> kMuteShift) & 1;
                             r.outputGain[out] = v & 0xFF;
                         },
                         [](int v) { return (v >> kMuteShift) & 1 ? 0 : v & 0xFF; }});
        }
        f.push_back({'V', QStringLiteral("threshold"), true,
                     [](const UnitRecord& r) { return r.threshold; },
                     [](UnitRecord& r, int v) { r.threshold = v; }, identity});
        // M
        for (int ch = 0; ch < kInputCount; ++ch) {
            inputFlag('M', "phantom", &UnitRecord::inputPhantom, ch);
            inputFlag('M', "line", &UnitRecord::inputLine, ch);
            inputFlag('M', "low cut", &UnitRecord::inputLowCut, ch);
            inputFlag('M', "priority", &UnitRecord::inputPriority, ch);
        }
        f.push_back({'M', QStringLiteral("output selection"), false,
                     [](const UnitRecord& r) {
                         return (r.outputFlagA != 0 ? 1 : 0) | (r.outputFlagB != 0 ? 2 : 0) |
                                (r.outputFlagC != 0 ? 4 : 0);
                     },
                     [](UnitRecord& r, int v) {
                         r.outputFlagA = v & 1;
                         r.outputFlagB = (v >> 1) & 1;
                         r.outputFlagC = (v >> 2) & 1;
                     },
                     identity});
        for (int out = 0; out < kOutputCount; ++out) {
            f.push_back({'M', numbered("output", out, "level"), false,
                         [out](const UnitRecord& r) { return r.outputLevelType[out] != 0 ? 1 : 0; },
                         [out](UnitRecord& r, int v) { r.outputLevelType[out] = v; }, identity});
        }
        flag('M', QStringLiteral("threshold mode"), &UnitRecord::thresholdMode);
        flag('M', QStringLiteral("device mode"), &UnitRecord::deviceMode);
        flag('M', QStringLiteral("panel lock"), &UnitRecord::panelLock);
        // G
        for (int ch = 0; ch < kInputCount; ++ch) {
            inputFlag('G', "feedback", &UnitRecord::feedback, ch);
            inputValue('G', "EQ", &UnitRecord::eqEditorValue, ch, false);
            inputValue('G', "high-pass", &UnitRecord::highPassIndex, ch, false);
            inputValue('G', "low-pass", &UnitRecord::lowPassIndex, ch, false);
        }
        for (int out = 0; out < kOutputCount; ++out) {
            f.push_back({'G', numbered("output", out, "limiter"), false,
                         [out](const UnitRecord& r) { return r.limiterEnable[out] != 0 ? 1 : 0; },
                         [out](UnitRecord& r, int v) { r.limiterEnable[out] = v; }, identity});
            f.push_back({'G', numbered("output", out, "routing"), false,
                         [out](const UnitRecord& r) { return r.routing[out] & 0xFF; },
                         [out](UnitRecord& r, int v) { r.routing[out] = v; }, identity});
        }
        f.push_back({'G', QStringLiteral("maximum open channels"), false,
                     [](const UnitRecord& r) { return r.maxOpenChannels; },
                     [](UnitRecord& r, int v) { r.maxOpenChannels = v; }, identity});
        f.push_back({'G', QStringLiteral("hold time"), false,
                     [](const UnitRecord& r) { return r.holdTime; },
                     [](UnitRecord& r, int v) { r.holdTime = v; }, identity});
        return f;
    }();
    return all;
}

int DeliveryTracker::kindSlot(char kind)
{
    switch (kind) {
    case 'V':
        return 0;
    case 'M':
        return 1;
    case 'G':
        return 2;
    default:
        return -1;
    }
}

QString DeliveryTracker::fieldName(int unit, const QString& field)
{
    return unit == 1 ? field : QStringLiteral("unit %1: %2").arg(unit).arg(field);
}

DeliveryTracker::DeliveryTracker(LinkState& state, Link& link, OperatorInterface& ui,
                                 QObject* parent)
    : QObject(parent), m_state(state), m_link(link), m_ui(ui), m_units(UnitTable::kMaxUnits + 1)
{
    m_readBackTimer.setSingleShot(true);
    connect(&m_readBackTimer, &QTimer::timeout, this, &DeliveryTracker::readBack);
    connect(&m_link, &Link::frameSent, this, &DeliveryTracker::frameSent);
    rebase();
}

void DeliveryTracker::rebase()
{
    const auto& all = fields();
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
        d.lastSeen.resize(all.size());
        d.panel.assign(all.size(), PanelChange{});
        for (std::size_t i = 0; i < all.size(); ++i)
            d.lastSeen[i] = all[i].get(record(unit));
        d.sentValue = d.lastSeen;
    }
}

void DeliveryTracker::loginAccepted()
{
    for (UnitDelivery& d : m_units)
        d.stateRead = false;
    // A lost state request is asked again.
    m_readBackTimer.start(m_state.timings.readBackRetry);
}

bool DeliveryTracker::mayBuildFrames(int unit) const
{
    return UnitTable::isValidUnit(unit) && loggedIn(unit) &&
           m_units[static_cast<std::size_t>(unit)].stateRead;
}

QStringList DeliveryTracker::unconfirmedChanges() const
{
    QStringList names;
    const auto& all = fields();
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        const UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
        for (const auto& entry : d.pending)
            names << fieldName(unit, all[static_cast<std::size_t>(entry.first)].name);
        if (d.table) names << fieldName(unit, groupsName());
    }
    return names;
}

bool DeliveryTracker::hasLive(int unit, bool valuesOnly) const
{
    const auto& all = fields();
    const UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    if (d.table && !d.table->offline) return true;
    for (const auto& entry : d.pending) {
        if (entry.second.offline) continue;
        if (!valuesOnly || all[static_cast<std::size_t>(entry.first)].kind != 'M') return true;
    }
    return false;
}

bool DeliveryTracker::awaitingConfirmation() const
{
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        if (loggedIn(unit) && hasLive(unit, false)) return true;
    return false;
}

bool DeliveryTracker::loggedIn(int unit) const
{
    return isLoggedIn(m_state.connection) && m_state.table.record(unit).connected;
}

void DeliveryTracker::noteChange(char kind, int unit)
{
    if (kindSlot(kind) < 0 || !UnitTable::isValidUnit(unit)) return;
    const auto& all = fields();
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    // A change made while no unit is logged in waits for the operator's choice at the next
    // login; during a silence (re-logging) it simply goes again once the unit is back.
    const bool offline = m_state.connection != Connection::Relogging && !loggedIn(unit);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind != kind) continue;
        const int value = all[i].get(record(unit));
        // Unchanged since the tracker last looked: nothing new (a waiting change keeps its
        // state and its count of resends).
        if (value == d.lastSeen[i]) continue;
        const int index = static_cast<int>(i);
        auto it = d.pending.find(index);
        if (it == d.pending.end()) it = d.pending.emplace(index, Pending{}).first;
        d.panel[i].known = false; // the operator's value replaces the unit's own change
        it->second.wanted = value;
        it->second.offline = offline;
        it->second.resends = 0;
        d.lastSeen[i] = value;
    }
}

void DeliveryTracker::frameSent(const QByteArray& frame)
{
    if (frame.size() < 6) return;
    const char kind = frame[1];
    const int unit = static_cast<int>(hexField(
        std::string_view(frame.constData(), static_cast<std::size_t>(frame.size())), 3, 2));
    if (!UnitTable::isValidUnit(unit)) return;
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    if (kind == 'C') {
        d.lastReadRequest = ++m_sequence;
        return;
    }
    if (kind == 'J') {
        d.lastTableSent = ++m_sequence;
        m_readBackTimer.start(m_state.timings.readBackQuiet);
        return;
    }
    const int slot = kindSlot(kind);
    if (slot < 0) return;
    d.lastSent[static_cast<std::size_t>(slot)] = ++m_sequence;
    d.lastSentAt[static_cast<std::size_t>(slot)] = m_state.now();
    // The frame was built from the record just now, unless it is a resend of the same datagram.
    if (frame != d.lastFrame[static_cast<std::size_t>(slot)]) {
        d.lastFrame[static_cast<std::size_t>(slot)] = frame;
        const auto& all = fields();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].kind == kind) d.sentValue[i] = all[i].get(record(unit));
    }
    if (kind == 'M') {
        d.awaitingSwitches = true;
        return;
    }
    // A burst of V and G is read back once it has been quiet for a moment.
    m_readBackTimer.start(m_state.timings.readBackQuiet);
}

void DeliveryTracker::readBack()
{
    bool again = false;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
        if (loggedIn(unit) && !d.stateRead) {
            // The login's state request (or its answer) is still on its way or was lost.
            again = true;
            if (m_link.isQueued('C', unit)) continue;
            ++m_readBacks;
            m_link.sendText('C', buildC(unit));
            continue;
        }
        if (!loggedIn(unit) || !hasLive(unit, !d.readSwitches)) continue;
        again = true;
        // What is still queued will restart the quiet time when it leaves.
        if (m_link.isQueued('V', unit) || m_link.isQueued('G', unit) || m_link.isQueued('J', unit))
            continue;
        ++m_readBacks;
        m_link.sendText('C', buildC(unit));
    }
    // A lost C or S is asked again.
    if (again) m_readBackTimer.start(m_state.timings.readBackRetry);
}

bool DeliveryTracker::judged(const UnitDelivery& d, char kind, int unit, char report) const
{
    if (!loggedIn(unit) || m_link.isQueued(kind, unit)) return false;
    const qint64 sent = d.lastSent[static_cast<std::size_t>(kindSlot(kind))];
    if (report == 'S') return d.lastReadRequest > sent;
    // D answers an M; a D of the front panel judges nothing.
    return report == 'D' && kind == 'M' && d.awaitingSwitches;
}

void DeliveryTracker::reportApplied(char report, int unit)
{
    if (!UnitTable::isValidUnit(unit)) return;
    const auto& all = fields();
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    UnitRecord& r = record(unit);
    std::vector<int> differing;
    bool offlineDiffers = false;
    bool panelRestored[3] = {false, false, false};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Field& field = all[i];
        const bool covered =
            report == 'S' || (report == 'D' && field.kind == 'M') || (report == 'O' && field.inO);
        if (!covered) continue;
        const int reported = field.get(r);
        const auto it = d.pending.find(static_cast<int>(i));
        if (it == d.pending.end()) {
            PanelChange& panel = d.panel[i];
            if (panel.known) {
                panel.known = false;
                // A frame of ours built before the unit's own change reached the unit after
                // it and took the change back: the unit's change is restored.
                if (panel.crossed && reported == panel.before && reported != panel.after &&
                    d.sentValue[i] == panel.before) {
                    field.set(r, panel.after);
                    d.lastSeen[i] = panel.after;
                    d.pending[static_cast<int>(i)].wanted = panel.after;
                    panelRestored[kindSlot(field.kind)] = true;
                    continue;
                }
            }
            if (reported != d.lastSeen[i]) {
                // Only a frame sent since the previous report, and just before this one, can
                // cross the change; the first report after a start (the record from the state
                // file) crosses nothing, nor does a frame long gone (lost in a silence): a later
                // report with the old value is then another change at the unit. An S answers
                // our read-back and shows the unit after our frames arrived: nothing crossed it.
                const std::size_t slot = static_cast<std::size_t>(kindSlot(field.kind));
                const bool recent =
                    m_state.now() - d.lastSentAt[slot] <= m_state.timings.crossingWindow;
                panel = {true, d.lastSeen[i], reported,
                         report != 'S' && d.lastSent[slot] > d.lastCovered[slot] && recent};
            }
            d.lastSeen[i] = reported;
            continue;
        }
        Pending& p = it->second;
        p.unitValue = reported;
        p.unitKnown = true;
        if (field.wire(reported) == field.wire(p.wanted)) {
            d.lastSeen[i] = reported;
            confirm(unit, static_cast<int>(i));
            continue;
        }
        // The operator's change is still on its way or was lost: the report does not win.
        field.set(r, p.wanted);
        d.lastSeen[i] = p.wanted;
        if (p.offline)
            offlineDiffers = true;
        else if (judged(d, field.kind, unit, report))
            differing.push_back(static_cast<int>(i));
    }
    // The link table came with this report and was judged on its own (linkTableReported).
    if (report == 'S' && d.table && d.table->offline && d.table->unitTable) offlineDiffers = true;
    if (report == 'D') d.awaitingSwitches = false;
    if (report == 'S' && judged(d, 'M', unit, report)) d.readSwitches = false;
    if (report == 'S' && loggedIn(unit)) d.stateRead = true;
    const qint64 coveredAt = ++m_sequence;
    for (char kind : {'V', 'M', 'G'}) {
        const bool covers =
            report == 'S' || (report == 'D' && kind == 'M') || (report == 'O' && kind == 'V');
        if (covers) d.lastCovered[static_cast<std::size_t>(kindSlot(kind))] = coveredAt;
    }

    bool resend[3] = {panelRestored[0], panelRestored[1], panelRestored[2]};
    for (int index : differing) {
        Pending& p = d.pending[index];
        const Field& field = all[static_cast<std::size_t>(index)];
        if (p.resends >= kMaxResends) {
            notDelivered(unit, index);
            continue;
        }
        ++p.resends;
        resend[kindSlot(field.kind)] = true;
        emit changeResent(fieldName(unit, field.name), p.resends);
    }
    for (char kind : {'V', 'M', 'G'}) {
        if (!resend[kindSlot(kind)]) continue;
        ++m_resends;
        m_link.send(kind, unit);
    }

    if (offlineDiffers && report == 'S' && !d.asking && loggedIn(unit)) {
        d.asking = true;
        // Asked after this report has been handled; the answer may come at once.
        QTimer::singleShot(0, this, [this, unit] { askOffline(unit); });
    }
}

void DeliveryTracker::confirm(int unit, int field)
{
    m_units[static_cast<std::size_t>(unit)].pending.erase(field);
    emit changeConfirmed(fieldName(unit, fields()[static_cast<std::size_t>(field)].name));
}

void DeliveryTracker::notDelivered(int unit, int field)
{
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    const Field& f = fields()[static_cast<std::size_t>(field)];
    const auto it = d.pending.find(field);
    if (it == d.pending.end()) return;
    // The screen shows what the unit has, not what never arrived.
    if (it->second.unitKnown) {
        f.set(record(unit), it->second.unitValue);
        d.lastSeen[static_cast<std::size_t>(field)] = it->second.unitValue;
    }
    d.pending.erase(it);
    emit changeNotDelivered(fieldName(unit, f.name));
}

void DeliveryTracker::switchesGivenUp(int unit)
{
    if (!UnitTable::isValidUnit(unit)) return;
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    d.awaitingSwitches = false;
    // The unit may only have fallen silent: its state report decides, as for V and G.
    d.readSwitches = true;
    m_readBackTimer.start(m_state.timings.readBackQuiet);
}

void DeliveryTracker::markOffline()
{
    m_readBackTimer.stop();
    for (UnitDelivery& d : m_units) {
        for (auto& entry : d.pending)
            entry.second.offline = true;
        d.awaitingSwitches = false;
        d.asking = false;
        if (d.table) d.table->offline = true;
    }
}

void DeliveryTracker::noteLinkTable(int unit, const LinkTable& table, bool sent)
{
    if (!UnitTable::isValidUnit(unit)) return;
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    HeldTable held;
    held.table = table;
    held.offline = !sent && m_state.connection != Connection::Relogging && !loggedIn(unit);
    if (d.table) held.unitTable = d.table->unitTable;
    d.table = held;
}

bool DeliveryTracker::linkTableReported(int unit, const LinkTable& table, char report)
{
    if (!UnitTable::isValidUnit(unit)) return true;
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    if (!d.table) return true;
    d.table->unitTable = table;
    if (d.table->table == table) {
        d.table.reset();
        emit changeConfirmed(fieldName(unit, groupsName()));
        return true;
    }
    // Offline groups wait for the operator's choice; live ones go again.
    return d.table->offline ? false : judgeTable(unit, report);
}

bool DeliveryTracker::judgeTable(int unit, char report)
{
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    // N answers a J; S judges only a J sent before the read-back asked for it.
    const bool judged = loggedIn(unit) && !m_link.isQueued('J', unit) &&
                        (report == 'N' ? d.lastTableSent > 0 : d.lastReadRequest > d.lastTableSent);
    if (!judged) return false;
    if (d.table->resends >= kMaxResends) {
        // The store takes what the unit has.
        d.table.reset();
        emit changeNotDelivered(fieldName(unit, groupsName()));
        return true;
    }
    ++d.table->resends;
    ++m_resends;
    emit changeResent(fieldName(unit, groupsName()), d.table->resends);
    sendTable(unit);
    return false;
}

void DeliveryTracker::sendTable(int unit)
{
    const UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    if (!d.table) return;
    LinkRequest request;
    request.kind = 'J';
    request.unit = unit;
    request.frame = buildJ(unit, d.table->table);
    m_link.enqueue(std::move(request));
}

QStringList DeliveryTracker::offlineChanges(int unit) const
{
    QStringList names;
    if (!UnitTable::isValidUnit(unit)) return names;
    const auto& all = fields();
    const UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    for (const auto& [index, p] : d.pending)
        if (p.offline) names << all[static_cast<std::size_t>(index)].name;
    if (d.table && d.table->offline) names << groupsName();
    return names;
}

void DeliveryTracker::restoreOfflineChanges(int unit, const QStringList& names,
                                            const LinkTable& heldTable)
{
    if (!UnitTable::isValidUnit(unit)) return;
    const auto& all = fields();
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    for (const QString& name : names) {
        if (name == groupsName()) {
            HeldTable held;
            held.table = heldTable;
            held.offline = true;
            d.table = held;
            continue;
        }
        const auto field =
            std::find_if(all.begin(), all.end(), [&](const Field& f) { return f.name == name; });
        if (field == all.end()) continue; // a name this version does not know
        const std::size_t i = static_cast<std::size_t>(field - all.begin());
        Pending p;
        p.wanted = field->get(record(unit));
        p.offline = true;
        d.pending[static_cast<int>(i)] = p;
        d.lastSeen[i] = p.wanted;
    }
}

void DeliveryTracker::askOffline(int unit)
{
    const auto& all = fields();
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    QStringList differences;
    for (const auto& [index, p] : d.pending) {
        const Field& field = all[static_cast<std::size_t>(index)];
        if (p.offline && p.unitKnown && field.wire(p.unitValue) != field.wire(p.wanted))
            differences << fieldName(unit, field.name);
    }
    if (d.table && d.table->offline && d.table->unitTable)
        differences << fieldName(unit, groupsName());
    if (differences.isEmpty() || !loggedIn(unit)) {
        d.asking = false;
        return;
    }
    QPointer<DeliveryTracker> self(this);
    m_ui.chooseOfflineSettings(differences, [self, unit](OfflineChoice choice) {
        if (self) self->applyChoice(unit, choice);
    });
}

void DeliveryTracker::applyChoice(int unit, OfflineChoice choice)
{
    const auto& all = fields();
    UnitDelivery& d = m_units[static_cast<std::size_t>(unit)];
    d.asking = false;
    bool send[3] = {false, false, false};
    std::vector<int> taken;
    for (auto& [index, p] : d.pending) {
        if (!p.offline) continue;
        const Field& field = all[static_cast<std::size_t>(index)];
        if (choice == OfflineChoice::TakeUnits) {
            if (p.unitKnown) taken.push_back(index);
            continue;
        }
        p.offline = false;
        p.resends = 0;
        if (!p.unitKnown || field.wire(p.unitValue) != field.wire(p.wanted))
            send[kindSlot(field.kind)] = true;
    }
    for (int index : taken) {
        const Pending& p = d.pending[index];
        all[static_cast<std::size_t>(index)].set(record(unit), p.unitValue);
        d.lastSeen[static_cast<std::size_t>(index)] = p.unitValue;
        d.pending.erase(index);
    }
    if (!taken.empty()) emit valuesTaken(unit);
    bool sendGroups = false;
    if (d.table && d.table->offline) {
        if (choice == OfflineChoice::TakeUnits) {
            if (d.table->unitTable) {
                const LinkTable unitTable = *d.table->unitTable;
                d.table.reset();
                emit linkTableTaken(unit, unitTable);
            }
        } else {
            d.table->offline = false;
            d.table->resends = 0;
            sendGroups = true;
        }
    }
    // Only the kinds that carry a difference go; while the unit is away they wait for the next
    // login's state report.
    if (!loggedIn(unit)) return;
    for (char kind : {'M', 'V', 'G'})
        if (send[kindSlot(kind)]) m_link.send(kind, unit);
    if (sendGroups) sendTable(unit);
}

} // namespace sonaro
