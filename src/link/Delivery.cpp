#include "link/Delivery.h"

#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <QPointer>

#include <algorithm>

namespace sonaro {

namespace {

constexpr int kProtocolBulkPauseMs = 100; // the bulk pause LinkTimings::bulkPause stands for

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

// --- the fields, by frame slot ---------------------------------------------------------------

const std::vector<Delivery::Tracked>& Delivery::tracked()
{
    static const std::vector<Tracked> all = [] {
        std::vector<Tracked> list;
        for (const SettingRow& row : SettingCatalogue::rows()) {
            if (row.frame != 'V' && row.frame != 'M' && row.frame != 'G' && row.frame != 'E' &&
                row.frame != 'B')
                continue;
            for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i)
                list.push_back({{0, row.id, i},
                                &row,
                                frameSlot(row.frame, SettingCatalogue::frameIndex(row.id, i))});
        }
        return list;
    }();
    return all;
}

const std::vector<int>& Delivery::fieldsOf(int slot)
{
    static const std::array<std::vector<int>, kFrameSlots> bySlot = [] {
        std::array<std::vector<int>, kFrameSlots> lists;
        const auto& all = tracked();
        for (std::size_t i = 0; i < all.size(); ++i)
            lists[static_cast<std::size_t>(all[i].frameSlot)].push_back(static_cast<int>(i));
        return lists;
    }();
    return bySlot[static_cast<std::size_t>(slot)];
}

int Delivery::frameSlot(char kind, int index)
{
    switch (kind) {
    case 'V':
        return 0;
    case 'M':
        return 1;
    case 'G':
        return 2;
    case 'E':
        return index >= 0 && index < kFirstB - kFirstE ? kFirstE + index : -1;
    case 'B':
        return index >= 0 && index < kOutputCount ? kFirstB + index : -1;
    default:
        return -1;
    }
}

char Delivery::kindOf(int slot)
{
    static constexpr char kinds[] = {'V', 'M', 'G'};
    if (slot < kFirstE) return kinds[slot];
    return slot < kFirstB ? 'E' : 'B';
}

int Delivery::indexOf(int slot)
{
    if (slot < kFirstE) return 0;
    return slot < kFirstB ? slot - kFirstE : slot - kFirstB;
}

bool Delivery::covers(char report, int slot, const Tracked& field, int reportSlot)
{
    switch (report) {
    case 'S':
        return slot < kFirstE;
    case 'O':
        return (field.row->reports & kReportO) != 0;
    case 'D':
        return slot == 1;
    case 'A':
    case 'U':
        return slot == reportSlot;
    default:
        return false;
    }
}

ChangeId Delivery::idOf(int unit, int field) const
{
    ChangeId id = tracked()[static_cast<std::size_t>(field)].id;
    id.unit = unit;
    return id;
}

// --- construction and state ------------------------------------------------------------------

Delivery::Delivery(LinkState& state, Link& link, OperatorInterface& ui, QObject* parent)
    : QObject(parent), m_state(state), m_link(link), m_ui(ui),
      m_units(static_cast<std::size_t>(UnitTable::kMaxUnits) + 1)
{
    m_readBackTimer.setSingleShot(true);
    connect(&m_readBackTimer, &QTimer::timeout, this, &Delivery::readBack);
    connect(&m_link, &Link::frameSent, this, &Delivery::frameSent);
    connect(&m_link, &Link::answerGivenUp, this, &Delivery::answerGivenUp);
    connect(&m_link, &Link::queueIdle, this, &Delivery::checkIdle);
    rebase();
}

bool Delivery::loggedIn(int unit) const
{
    return isLoggedIn(m_state.connection) && m_state.table.record(unit).connected;
}

UnitPhase Delivery::phase(int unit) const
{
    if (!UnitTable::isValidUnit(unit) || !loggedIn(unit)) return UnitPhase::LoggedOut;
    return unitDelivery(unit).phase;
}

bool Delivery::isStateRead(int unit) const
{
    if (phase(unit) != UnitPhase::Live) return false;
    // Its EQ and dynamics have been read as well.
    return unitDelivery(unit).blockRead.all();
}

void Delivery::rebase()
{
    const auto& all = tracked();
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitDelivery& d = unitDelivery(unit);
        d.lastSeen.resize(all.size());
        d.panel.assign(all.size(), PanelChange{});
        const UnitRecord& r = record(unit);
        for (std::size_t i = 0; i < all.size(); ++i)
            d.lastSeen[i] = all[i].row->wire(r, all[i].id.index);
        d.sentValue = d.lastSeen;
    }
}

QList<ChangeId> Delivery::unconfirmed() const
{
    QList<ChangeId> ids;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        const UnitDelivery& d = unitDelivery(unit);
        for (const auto& entry : d.pending)
            ids << idOf(unit, entry.first);
        if (d.table) ids << ChangeId{unit, SettingId::Groups, 0};
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

QList<ChangeId> Delivery::offlineChanges(int unit) const
{
    QList<ChangeId> ids;
    if (!UnitTable::isValidUnit(unit)) return ids;
    const UnitDelivery& d = unitDelivery(unit);
    for (const auto& [field, p] : d.pending)
        if (p.offline) ids << idOf(unit, field);
    if (d.table && d.table->offline) ids << ChangeId{unit, SettingId::Groups, 0};
    return ids;
}

bool Delivery::hasLive(int unit, bool valuesOnly) const
{
    const UnitDelivery& d = unitDelivery(unit);
    if (d.table && !d.table->offline) return true;
    for (const auto& [field, p] : d.pending) {
        if (p.offline) continue;
        const int slot = tracked()[static_cast<std::size_t>(field)].frameSlot;
        // E and B are judged by their answers, M by D; the read-back is for V and G.
        if (!valuesOnly || slot == 0 || slot == 2) return true;
    }
    return false;
}

bool Delivery::isIdle() const
{
    if (!m_link.isQueueIdle()) return false;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        if (!loggedIn(unit)) continue;
        const UnitDelivery& d = unitDelivery(unit);
        // A unit counted in later (a K report) but never part of the login waits for nothing.
        if (d.phase == UnitPhase::LoggedOut) continue;
        if (d.phase != UnitPhase::Live) {
            if (d.unansweredTold) continue;
            return false;
        }
        if (!d.waiting.empty() || hasLive(unit, false)) return false;
        if (!d.unansweredTold && !isStateRead(unit)) return false;
    }
    return true;
}

void Delivery::checkIdle()
{
    const bool now = isIdle();
    if (now && !m_wasIdle) {
        m_wasIdle = true;
        emit idle();
        return;
    }
    m_wasIdle = now;
}

// --- logins ----------------------------------------------------------------------------------

void Delivery::loginAccepted(bool relogin)
{
    const int head = 1; // it answered the login
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitDelivery& d = unitDelivery(unit);
        // Told before the session moves on: the units the answer reported are logged in.
        d.phase = record(unit).connected ? UnitPhase::WaitingForState : UnitPhase::LoggedOut;
        d.blockRead.reset();
        d.blockAsks.fill(relogin ? 0 : 1); // the login's own requests are the first ask
        d.requeues.fill(0);
        d.stateAsks = 0;
        d.stateAskedAt = -1;
        d.heard = unit == head;
        d.relogin = relogin;
        d.stateReadTold = false;
        d.unansweredTold = false;
    }
    ++m_logins;
    m_wasIdle = false;
    // A lost state request is asked again.
    m_readBackTimer.start(m_state.timings.readBackRetry);
}

void Delivery::markOffline()
{
    m_readBackTimer.stop();
    for (UnitDelivery& d : m_units) {
        for (auto& entry : d.pending)
            entry.second.offline = true;
        d.phase = UnitPhase::LoggedOut;
        d.awaitingSwitches = false;
        d.asking = false;
        d.stateAskedAt = -1;
        d.waiting.clear();
        if (d.table) d.table->offline = true;
    }
}

void Delivery::heard(int unit)
{
    if (UnitTable::isValidUnit(unit)) unitDelivery(unit).heard = true;
}

bool Delivery::mayBuild(char kind, int unit, int index) const
{
    const int slot = frameSlot(kind, index);
    if (slot < 0) return true;
    // The drain at exit and disconnect sends what is left.
    if (m_state.connection == Connection::Closing) return true;
    if (phase(unit) != UnitPhase::Live) return false;
    // A block is built only from fields the unit reported or the operator set.
    if (slot >= kFirstE)
        return unitDelivery(unit).blockRead[static_cast<std::size_t>(slot - kFirstE)];
    return true;
}

// --- the operator's changes -----------------------------------------------------------------

void Delivery::noteChange(char kind, int unit, int index)
{
    const int slot = frameSlot(kind, index);
    if (slot < 0 || !UnitTable::isValidUnit(unit)) return;
    const auto& all = tracked();
    UnitDelivery& d = unitDelivery(unit);
    const UnitRecord& r = record(unit);
    // A change made while no unit is logged in waits for the operator's choice at the next
    // login; during a silence (re-logging) it simply goes again once the unit is back.
    const bool offline = m_state.connection != Connection::Relogging && !loggedIn(unit);
    bool touched = false;
    for (int field : fieldsOf(slot)) {
        const auto f = static_cast<std::size_t>(field);
        const std::int64_t value = all[f].row->wire(r, all[f].id.index);
        // Unchanged since the last look: nothing new (a waiting change keeps its resends).
        if (value == d.lastSeen[f]) continue;
        Pending& p = d.pending[field];
        d.panel[f].known = false; // the operator's value replaces the unit's own change
        p.offline = offline;
        p.resends = 0;
        d.lastSeen[f] = value;
        touched = true;
    }
    // A block whose report never came is asked for again: the new change needs it.
    if (touched && slot >= kFirstE && loggedIn(unit)) {
        const auto b = static_cast<std::size_t>(slot - kFirstE);
        if (!d.blockRead[b] && d.blockAsks[b] >= kMaxAsks) {
            d.blockAsks[b] = 0;
            if (!m_readBackTimer.isActive()) m_readBackTimer.start(m_state.timings.readBackRetry);
        }
    }
    m_wasIdle = false;
    if (touched && offline) emit offlineChanged();
}

void Delivery::send(LinkRequest request)
{
    const int slot = frameSlot(request.kind, request.index);
    if (slot >= 0) {
        noteChange(request.kind, request.unit, request.index);
        unitDelivery(request.unit).waiting.erase(slot);
    }
    if (!UnitTable::isValidUnit(request.unit) || !loggedIn(request.unit)) return;
    m_link.enqueue(std::move(request));
}

void Delivery::noteWaiting(char kind, int unit, int index)
{
    const int slot = frameSlot(kind, index);
    if (slot < 0 || !UnitTable::isValidUnit(unit)) return;
    noteChange(kind, unit, index);
    unitDelivery(unit).waiting.insert(slot);
}

bool Delivery::hasWaiting() const
{
    return std::any_of(m_units.begin(), m_units.end(),
                       [](const UnitDelivery& d) { return !d.waiting.empty(); });
}

void Delivery::sendWaiting()
{
    const LinkTimings& t = m_state.timings;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitDelivery& d = unitDelivery(unit);
        if (d.waiting.empty()) continue;
        const std::set<int> frameSlots = std::exchange(d.waiting, {});
        // Offline everything waits for the unit's reports after the next login.
        if (!loggedIn(unit)) continue;
        const bool g = frameSlots.count(2) > 0;
        int lastE = -1;
        for (int slot : frameSlots)
            if (slot >= kFirstE && slot < kFirstB) lastE = slot;
        auto request = [&](int slot) {
            LinkRequest r;
            r.kind = kindOf(slot);
            r.unit = unit;
            r.index = indexOf(slot);
            // A short pause lets the unit take the blocks before the switches that follow.
            if (g && slot == lastE)
                r.pauseAfter = t.sendPause + kPauseBeforeGMs * t.bulkPause / kProtocolBulkPauseMs;
            m_link.enqueue(std::move(r));
        };
        for (int slot : frameSlots)
            if (slot >= kFirstE && slot < kFirstB) request(slot);
        for (int slot : frameSlots)
            if (slot < kFirstE) request(slot);
        for (int slot : frameSlots)
            if (slot >= kFirstB) request(slot);
    }
    checkIdle();
}

// --- what left and what came back ------------------------------------------------------------

void Delivery::frameSent(const QByteArray& frame)
{
    if (frame.size() < 6) return;
    const std::string_view text = viewOf(frame);
    const char kind = frame[1];
    const int unit = static_cast<int>(hexField(text, 3, 2));
    if (!UnitTable::isValidUnit(unit)) return;
    const int index = frame.size() >= 8 ? static_cast<int>(hexField(text, 6, 2)) : 0;
    UnitDelivery& d = unitDelivery(unit);
    switch (kind) {
    case 'C':
        for (int slot = 0; slot < kFirstE; ++slot)
            d.lastAsked[static_cast<std::size_t>(slot)] = ++m_sequence;
        d.stateAskedAt = m_state.now();
        ++d.stateAsks;
        return;
    case 'F':
    case 'T': {
        const int slot = frameSlot(kind == 'F' ? 'E' : 'B', index);
        if (slot >= 0) d.lastAsked[static_cast<std::size_t>(slot)] = ++m_sequence;
        return;
    }
    case 'J':
        d.lastTableSent = ++m_sequence;
        m_readBackTimer.start(m_state.timings.readBackQuiet);
        return;
    default:
        break;
    }
    const int slot = frameSlot(kind, kind == 'E' || kind == 'B' ? index : 0);
    if (slot < 0) return;
    const auto s = static_cast<std::size_t>(slot);
    d.lastSent[s] = ++m_sequence;
    d.lastSentAt[s] = m_state.now();
    // The frame was built from the record just now, unless it is a resend of the same datagram.
    if (frame != d.lastFrame[s]) {
        d.lastFrame[s] = frame;
        ++d.content[s];
        const auto& all = tracked();
        const UnitRecord& r = record(unit);
        for (int field : fieldsOf(slot)) {
            const auto f = static_cast<std::size_t>(field);
            d.sentValue[f] = all[f].row->wire(r, all[f].id.index);
        }
    }
    if (kind == 'E' || kind == 'B') {
        auto& flying = d.inFlight[s];
        flying.push_back({m_state.now(), d.content[s]});
        if (flying.size() > kMaxInFlight) flying.pop_front();
    }
    if (kind == 'M') {
        d.awaitingSwitches = true;
        return;
    }
    // A burst of V and G is read back once it has been quiet for a moment.
    if (kind == 'V' || kind == 'G') m_readBackTimer.start(m_state.timings.readBackQuiet);
}

void Delivery::answerReceived(char answer, int unit, int index)
{
    if (!UnitTable::isValidUnit(unit)) return;
    const char command = answer == 'D' ? 'M' : answer == 'Q' ? 'E' : answer == 'H' ? 'B' : 0;
    const int slot = frameSlot(command, command == 'M' ? 0 : index);
    if (slot < 0) return;
    const bool waited = m_link.answerArrived(answer, unit, index);
    UnitDelivery& d = unitDelivery(unit);
    if (command == 'M') {
        // D carries the switches: applyReport judges them.
        if (waited) d.requeues[1] = 0;
        return;
    }
    // Q and H carry no values: they confirm what the frame they answer carried. That is the
    // oldest frame of the slot still without an answer; one older than any answer can be is
    // taken as lost.
    const auto s = static_cast<std::size_t>(slot);
    auto& flying = d.inFlight[s];
    const qint64 now = m_state.now();
    const qint64 window = answerWindow(command);
    while (!flying.empty() && now - flying.front().at > window)
        flying.pop_front();
    const bool current = !flying.empty() && flying.front().content == d.content[s];
    if (!flying.empty()) flying.pop_front();
    const auto& all = tracked();
    const UnitRecord& r = record(unit);
    std::vector<int> confirmed;
    for (const auto& [field, p] : d.pending) {
        const auto f = static_cast<std::size_t>(field);
        if (all[f].frameSlot != slot || p.offline || d.lastSent[s] == 0) continue;
        if (d.sentValue[f] == all[f].row->wire(r, all[f].id.index)) confirmed.push_back(field);
    }
    if (!current && !confirmed.empty()) {
        // The answer of a frame with older values: what the slot holds now is not confirmed.
        // Once the answers to such frames are over, it goes again unless its own answer came.
        if (waited) {
            QTimer::singleShot(window, this, [this, unit, slot, content = d.content[s]] {
                UnitDelivery& later = unitDelivery(unit);
                if (!loggedIn(unit) || later.content[static_cast<std::size_t>(slot)] != content)
                    return;
                for (const auto& [field, p] : later.pending)
                    if (tracked()[static_cast<std::size_t>(field)].frameSlot == slot &&
                        !p.offline) {
                        m_link.send(kindOf(slot), unit, indexOf(slot));
                        return;
                    }
            });
        }
        return;
    }
    if (!waited && confirmed.empty()) return; // answers nothing outstanding
    d.requeues[static_cast<std::size_t>(slot)] = 0;
    for (int field : confirmed) {
        Pending& p = d.pending[field];
        p.unitValue = all[static_cast<std::size_t>(field)].row->get(
            r, all[static_cast<std::size_t>(field)].id.index);
        p.unitWire = d.sentValue[static_cast<std::size_t>(field)];
        p.unitKnown = true;
        confirm(unit, field);
    }
    checkIdle();
}

qint64 Delivery::answerWindow(char command) const
{
    return 2LL * answerWaitFor(command).giveUpAt * m_state.timings.answerPoll;
}

void Delivery::answerGivenUp(char kind, int unit, int index)
{
    const int slot = frameSlot(kind, kind == 'M' ? 0 : index);
    if (slot < 0 || !UnitTable::isValidUnit(unit)) return;
    UnitDelivery& d = unitDelivery(unit);
    int& requeues = d.requeues[static_cast<std::size_t>(slot)];
    // The unit has not confirmed the change; it keeps its old settings unless it goes again.
    if (loggedIn(unit) && requeues < kRequeues) {
        ++requeues;
        m_link.send(kind, unit, index);
        return;
    }
    requeues = 0;
    // Not logged in (a silence): it goes again once the unit's reports after the re-login show
    // that the unit lacks it.
    if (!loggedIn(unit)) return;
    if (kind == 'M') {
        // The unit may only have fallen silent: its state report decides, as for V and G.
        switchesGivenUp(unit);
        return;
    }
    if (fallingSilent()) {
        // Nothing at all came from the unit for a while, not even its status stream: it did not
        // refuse the change, it is going silent. The change is judged as one made during a
        // silence; should the unit be heard again without a re-login, the frame goes again.
        holdForSilence(kind, unit, index);
        return;
    }
    // The unit streams but answered none of the frames: the answers may be what was lost. Its
    // report of the block decides, as the state report does for M.
    askWhetherTaken(slot, unit, 1);
}

std::vector<int> Delivery::waitingFields(int unit, int slot) const
{
    std::vector<int> fields;
    for (const auto& [field, p] : unitDelivery(unit).pending)
        if (tracked()[static_cast<std::size_t>(field)].frameSlot == slot && !p.offline)
            fields.push_back(field);
    return fields;
}

void Delivery::askWhetherTaken(int slot, int unit, int asks)
{
    if (waitingFields(unit, slot).empty()) return;
    LinkRequest request = blockRequest(unit, slot);
    // The wait for the report starts when the request leaves: a busy queue is not a silent unit.
    request.onSent = [self = QPointer<Delivery>(this), slot, unit, asks, logins = m_logins] {
        if (!self) return;
        const qint64 covered = self->unitDelivery(unit).lastCovered[static_cast<std::size_t>(slot)];
        QTimer::singleShot(self->m_state.timings.readBackRetry, self, [=, d = self.data()] {
            if (d->m_logins != logins || !d->loggedIn(unit)) return;
            // A report came: it confirmed the change or sent it again.
            if (d->unitDelivery(unit).lastCovered[static_cast<std::size_t>(slot)] != covered)
                return;
            if (asks < kMaxAsks) {
                d->askWhetherTaken(slot, unit, asks + 1);
                return;
            }
            for (int field : d->waitingFields(unit, slot))
                d->notDelivered(unit, field);
            d->checkIdle();
        });
    };
    m_link.enqueue(std::move(request));
}

bool Delivery::fallingSilent() const
{
    // The head of the chain streams for the whole chain; a small share of the silence the
    // watchdog waits for tells a unit that stopped from frames lost on the way.
    const LinkTimings& t = m_state.timings;
    return m_state.now() - m_state.clock(1).lastHeard > t.silenceTimeout / 6;
}

void Delivery::holdForSilence(char kind, int unit, int index)
{
    QTimer::singleShot(m_state.timings.silenceTimeout, this,
                       [this, kind, unit, index, logins = m_logins] {
                           const int slot = frameSlot(kind, kind == 'M' ? 0 : index);
                           if (m_logins != logins || !loggedIn(unit))
                               return; // the re-login's reports judge it
                           if (!waitingFields(unit, slot).empty()) m_link.send(kind, unit, index);
                       });
}

void Delivery::switchesGivenUp(int unit)
{
    UnitDelivery& d = unitDelivery(unit);
    d.awaitingSwitches = false;
    d.readSwitches = true;
    m_readBackTimer.start(m_state.timings.readBackQuiet);
}

bool Delivery::judged(const UnitDelivery& d, int slot, int unit, char report) const
{
    const char kind = kindOf(slot);
    if (!loggedIn(unit) || m_link.isQueued(kind, unit, indexOf(slot))) return false;
    const auto s = static_cast<std::size_t>(slot);
    switch (report) {
    case 'S':
    case 'A':
    case 'U':
        // The report answers a request that left after our last frame.
        return d.lastAsked[s] > d.lastSent[s];
    case 'D':
        // D answers an M; a D of the front panel judges nothing.
        return slot == 1 && d.awaitingSwitches;
    default:
        return false;
    }
}

void Delivery::applyReport(char report, int unit, const UnitRecord& reported, int index)
{
    if (!UnitTable::isValidUnit(unit)) return;
    const int reportSlot = report == 'A'   ? frameSlot('E', index)
                           : report == 'U' ? frameSlot('B', index)
                                           : -1;
    if ((report == 'A' || report == 'U') && reportSlot < 0) return;
    const auto& all = tracked();
    UnitDelivery& d = unitDelivery(unit);
    UnitRecord& r = record(unit);
    d.heard = true;
    std::vector<int> differing;
    QList<ChangeId> changedByUnit;
    std::array<bool, kFrameSlots> resendSlot{};
    for (std::size_t f = 0; f < all.size(); ++f) {
        const Tracked& field = all[f];
        if (!covers(report, field.frameSlot, field, reportSlot)) continue;
        const SettingRow& row = *field.row;
        const int i = field.id.index;
        const std::int64_t reportedWire = row.wire(reported, i);
        const double reportedValue = row.get(reported, i);
        const auto it = d.pending.find(static_cast<int>(f));
        if (it == d.pending.end()) {
            PanelChange& panel = d.panel[f];
            const auto s = static_cast<std::size_t>(field.frameSlot);
            if (panel.known) {
                panel.known = false;
                // A frame of ours built before the unit's own change reached the unit after it
                // and took the change back: the unit's change is restored.
                if (panel.crossed && reportedWire == panel.before && reportedWire != panel.after &&
                    d.sentValue[f] == panel.before) {
                    row.set(r, i, panel.afterValue);
                    d.lastSeen[f] = panel.after;
                    d.pending[static_cast<int>(f)];
                    resendSlot[s] = true;
                    continue;
                }
            }
            if (reportedWire != d.lastSeen[f]) {
                changedByUnit << ChangeId{unit, field.id.setting, i};
                // Only a frame sent since the previous report, and just before this one, can
                // cross the change; the first report after a start crosses nothing, nor does a
                // frame long gone (lost in a silence). An S, A or U answers our own request and
                // shows the unit after our frames arrived: nothing crossed it.
                const bool recent =
                    m_state.now() - d.lastSentAt[s] <= m_state.timings.crossingWindow;
                panel = {true, d.lastSeen[f], reportedWire, reportedValue,
                         (report == 'O' || report == 'D') && d.lastSent[s] > d.lastCovered[s] &&
                             recent};
            }
            row.set(r, i, reportedValue);
            d.lastSeen[f] = reportedWire;
            continue;
        }
        Pending& p = it->second;
        p.unitValue = reportedValue;
        p.unitWire = reportedWire;
        p.unitKnown = true;
        const std::int64_t wanted = row.wire(r, i);
        if (reportedWire == wanted) {
            d.lastSeen[f] = reportedWire;
            confirm(unit, static_cast<int>(f));
            continue;
        }
        // The operator's change is still on its way or was lost: the report does not win.
        d.lastSeen[f] = wanted;
        if (!p.offline && judged(d, field.frameSlot, unit, report))
            differing.push_back(static_cast<int>(f));
    }

    const bool logged = loggedIn(unit);
    if (report == 'D') d.awaitingSwitches = false;
    if (report == 'S') {
        if (judged(d, 1, unit, report)) d.readSwitches = false;
        d.stateAskedAt = -1;
    }
    if ((report == 'A' || report == 'U') && logged)
        d.blockRead.set(static_cast<std::size_t>(reportSlot - kFirstE));
    const qint64 coveredAt = ++m_sequence;
    for (int slot = 0; slot < kFrameSlots; ++slot) {
        const bool covered = report == 'S'   ? slot < kFirstE
                             : report == 'D' ? slot == 1
                             : report == 'O' ? slot == 0
                                             : slot == reportSlot;
        if (covered) d.lastCovered[static_cast<std::size_t>(slot)] = coveredAt;
    }

    for (int field : differing) {
        Pending& p = d.pending[field];
        if (p.resends >= kMaxResends) {
            notDelivered(unit, field);
            continue;
        }
        ++p.resends;
        resendSlot[static_cast<std::size_t>(all[static_cast<std::size_t>(field)].frameSlot)] = true;
        emit changeResent(idOf(unit, field), p.resends);
    }
    for (int slot = 0; slot < kFrameSlots; ++slot) {
        if (!resendSlot[static_cast<std::size_t>(slot)]) continue;
        ++m_resends;
        m_link.send(kindOf(slot), unit, indexOf(slot));
    }

    if (report == 'S' && logged && d.phase == UnitPhase::WaitingForState) {
        d.phase = UnitPhase::Live;
        // After a silence the unit may have been restarted or changed by another controller:
        // its EQ and dynamics are read again.
        if (d.relogin) askBlocks(unit, true);
        // Blocks refused while the state was unknown go now that they may be built.
        for (int slot = kFirstE; slot < kFrameSlots; ++slot) {
            const auto s = static_cast<std::size_t>(slot);
            const bool waits = std::any_of(d.pending.begin(), d.pending.end(), [&](const auto& e) {
                return !e.second.offline &&
                       all[static_cast<std::size_t>(e.first)].frameSlot == slot;
            });
            if (waits && d.blockRead[s - kFirstE] && d.lastSent[s] < d.lastAsked[s] &&
                !m_link.isQueued(kindOf(slot), unit, indexOf(slot)))
                m_link.send(kindOf(slot), unit, indexOf(slot));
        }
    }
    if (!changedByUnit.isEmpty()) emit reportChanged(unit, changedByUnit);
    checkStateRead(unit);

    // Changes made offline are asked about once the unit has reported what they concern.
    if (logged && !d.asking && d.phase == UnitPhase::Live && !offlineChanges(unit).isEmpty() &&
        offlineQuestionReady(unit)) {
        d.asking = true;
        // Asked after this report has been handled; the answer may come at once.
        QTimer::singleShot(0, this, [this, unit] { askOffline(unit); });
    }
    checkIdle();
}

void Delivery::checkStateRead(int unit)
{
    UnitDelivery& d = unitDelivery(unit);
    if (d.stateReadTold || !isStateRead(unit)) return;
    d.stateReadTold = true;
    emit stateRead(unit);
}

void Delivery::askBlocks(int unit, bool all)
{
    UnitDelivery& d = unitDelivery(unit);
    for (int block = 0; block < kBlocks; ++block) {
        const auto b = static_cast<std::size_t>(block);
        if (d.blockRead[b] || (!all && d.blockAsks[b] >= kMaxAsks)) continue;
        LinkRequest request = blockRequest(unit, kFirstE + block);
        if (m_link.isQueued(request.kind, unit, request.index)) continue;
        ++d.blockAsks[b];
        m_link.enqueue(std::move(request));
    }
}

LinkRequest Delivery::blockRequest(int unit, int slot) const
{
    const LinkTimings& t = m_state.timings;
    const bool eq = kindOf(slot) == 'E';
    LinkRequest request;
    request.kind = eq ? 'F' : 'T';
    request.unit = unit;
    request.index = indexOf(slot);
    request.frame = eq ? buildF(unit, request.index) : buildT(unit, request.index);
    if (eq)
        request.delayBefore = t.eqRequestPause;
    else
        request.pauseAfter = t.sendPause + t.dynamicsRequestPause;
    return request;
}

void Delivery::readBack()
{
    const LinkTimings& t = m_state.timings;
    qint64 next = -1;
    auto again = [&](qint64 in) { next = next < 0 ? in : std::min(next, in); };
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        if (!loggedIn(unit)) continue;
        UnitDelivery& d = unitDelivery(unit);
        // At most one state request is outstanding: the next waits for the retry interval.
        const qint64 since = d.stateAskedAt >= 0 ? m_state.now() - d.stateAskedAt : -1;
        const bool outstanding = since >= 0 && since < t.readBackRetry;
        if (d.phase == UnitPhase::LoggedOut) continue; // not part of this login
        if (d.phase == UnitPhase::WaitingForState) {
            if (d.unansweredTold) continue;
            if (outstanding || m_link.isQueued('C', unit)) {
                again(outstanding ? t.readBackRetry - since : t.readBackRetry);
                continue;
            }
            // Asked again only while it answers at all, and only so often.
            if (d.stateAsks >= kMaxAsks || (d.stateAsks > 0 && !d.heard)) {
                d.unansweredTold = true;
                emit unitUnanswered(unit);
                continue;
            }
            ++m_readBacks;
            m_link.sendText('C', buildC(unit));
            again(t.readBackRetry);
            continue;
        }
        // Blocks whose report was lost are asked again.
        if (!d.blockRead.all()) {
            bool left = false;
            for (int block = 0; block < kBlocks; ++block)
                left = left || (!d.blockRead[static_cast<std::size_t>(block)] &&
                                d.blockAsks[static_cast<std::size_t>(block)] < kMaxAsks);
            if (left) {
                askBlocks(unit, false);
                again(t.readBackRetry);
            } else {
                // Changes to a block the unit never reported cannot be built: they are told as
                // not delivered instead of waiting for good.
                std::vector<int> stuck;
                for (const auto& [field, p] : d.pending) {
                    const int slot = tracked()[static_cast<std::size_t>(field)].frameSlot;
                    if (slot >= kFirstE && !p.offline &&
                        !d.blockRead[static_cast<std::size_t>(slot - kFirstE)])
                        stuck.push_back(field);
                }
                for (int field : stuck)
                    notDelivered(unit, field);
                if (!d.unansweredTold) {
                    d.unansweredTold = true;
                    emit unitUnanswered(unit);
                }
            }
        }
        if (!hasLive(unit, !d.readSwitches)) continue;
        if (outstanding) {
            again(t.readBackRetry - since);
            continue;
        }
        // What is still queued restarts the quiet time when it leaves.
        if (m_link.isQueued('V', unit) || m_link.isQueued('G', unit) ||
            m_link.isQueued('J', unit)) {
            again(t.readBackRetry);
            continue;
        }
        ++m_readBacks;
        m_link.sendText('C', buildC(unit));
        again(t.readBackRetry);
    }
    if (next >= 0) m_readBackTimer.start(static_cast<int>(std::max<qint64>(1, next)));
    checkIdle();
}

void Delivery::confirm(int unit, int field)
{
    unitDelivery(unit).pending.erase(field);
    emit changeConfirmed(idOf(unit, field));
}

void Delivery::notDelivered(int unit, int field)
{
    UnitDelivery& d = unitDelivery(unit);
    const auto it = d.pending.find(field);
    if (it == d.pending.end()) return;
    const Tracked& t = tracked()[static_cast<std::size_t>(field)];
    // The screen shows what the unit has, not what never arrived.
    if (it->second.unitKnown) {
        t.row->set(record(unit), t.id.index, it->second.unitValue);
        d.lastSeen[static_cast<std::size_t>(field)] = it->second.unitWire;
    }
    d.pending.erase(it);
    emit changeNotDelivered(idOf(unit, field));
}

void Delivery::localChangeDone(const ChangeId& id, bool stored)
{
    if (stored)
        emit changeConfirmed(id);
    else
        emit changeNotDelivered(id);
}

// --- offline work ----------------------------------------------------------------------------

void Delivery::restoreOffline(const QList<ChangeId>& changes,
                              const std::function<LinkTable(int unit)>& groupsOf)
{
    const auto& all = tracked();
    for (const ChangeId& id : changes) {
        if (!id.valid()) continue;
        UnitDelivery& d = unitDelivery(id.unit);
        if (id.setting == SettingId::Groups) {
            HeldTable held;
            held.table = groupsOf(id.unit);
            held.offline = true;
            d.table = held;
            continue;
        }
        const auto field = std::find_if(all.begin(), all.end(), [&](const Tracked& t) {
            return t.id.setting == id.setting && t.id.index == id.index;
        });
        if (field == all.end()) continue; // not carried to the unit
        const auto f = static_cast<std::size_t>(field - all.begin());
        Pending p;
        p.offline = true;
        d.pending[static_cast<int>(f)] = p;
        d.lastSeen[f] = field->row->wire(record(id.unit), id.index);
    }
}

bool Delivery::offlineQuestionReady(int unit) const
{
    const UnitDelivery& d = unitDelivery(unit);
    // Every setting in the question has been reported by the unit (or its block never came).
    for (const auto& [field, p] : d.pending) {
        if (!p.offline || p.unitKnown) continue;
        const int slot = tracked()[static_cast<std::size_t>(field)].frameSlot;
        if (slot < kFirstE) return false;
        const auto b = static_cast<std::size_t>(slot - kFirstE);
        if (!d.blockRead[b] && d.blockAsks[b] < kMaxAsks) return false;
    }
    return true;
}

void Delivery::askOffline(int unit)
{
    const auto& all = tracked();
    UnitDelivery& d = unitDelivery(unit);
    const UnitRecord& r = record(unit);
    QList<ChangeId> differences;
    for (const auto& [field, p] : d.pending) {
        const Tracked& t = all[static_cast<std::size_t>(field)];
        if (p.offline && (!p.unitKnown || p.unitWire != t.row->wire(r, t.id.index)))
            differences << idOf(unit, field);
    }
    if (d.table && d.table->offline && d.table->unitTable)
        differences << ChangeId{unit, SettingId::Groups, 0};
    if (differences.isEmpty() || !loggedIn(unit)) {
        d.asking = false;
        return;
    }
    std::sort(differences.begin(), differences.end());
    QPointer<Delivery> self(this);
    m_ui.chooseOfflineSettings(differences, [self, unit](OfflineChoice choice) {
        if (self) self->applyChoice(unit, choice);
    });
}

void Delivery::applyChoice(int unit, OfflineChoice choice)
{
    const auto& all = tracked();
    UnitDelivery& d = unitDelivery(unit);
    d.asking = false;
    std::set<int> frameSlots;
    std::vector<int> taken;
    std::vector<int> unknown;
    const UnitRecord& r = record(unit);
    for (auto& [field, p] : d.pending) {
        if (!p.offline) continue;
        const Tracked& t = all[static_cast<std::size_t>(field)];
        if (choice == OfflineChoice::TakeUnits) {
            (p.unitKnown ? taken : unknown).push_back(field);
            continue;
        }
        p.offline = false;
        p.resends = 0;
        if (!p.unitKnown || p.unitWire != t.row->wire(r, t.id.index))
            frameSlots.insert(t.frameSlot);
    }
    for (int field : taken) {
        const Pending& p = d.pending[field];
        const Tracked& t = all[static_cast<std::size_t>(field)];
        t.row->set(record(unit), t.id.index, p.unitValue);
        d.lastSeen[static_cast<std::size_t>(field)] = p.unitWire;
        d.pending.erase(field);
    }
    // The unit never reported these: nothing of the unit's can replace them.
    for (int field : unknown)
        notDelivered(unit, field);
    if (!taken.empty()) emit valuesTaken(unit);
    emit offlineChanged();
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
    // Only the frames that carry a difference go; while the unit is away they wait for the next
    // login's reports.
    if (loggedIn(unit)) {
        for (int slot : {1, 0, 2})
            if (frameSlots.count(slot)) m_link.send(kindOf(slot), unit, indexOf(slot));
        for (int slot : frameSlots)
            if (slot >= kFirstE) m_link.send(kindOf(slot), unit, indexOf(slot));
        if (sendGroups) enqueueTable(unit, 0);
    }
    checkIdle();
}

// --- the link table --------------------------------------------------------------------------

void Delivery::sendLinkTable(int unit, const LinkTable& table, int pauseAfter)
{
    if (!UnitTable::isValidUnit(unit)) return;
    UnitDelivery& d = unitDelivery(unit);
    HeldTable held;
    held.table = table;
    held.offline = m_state.connection != Connection::Relogging && !loggedIn(unit);
    if (d.table) held.unitTable = d.table->unitTable;
    d.table = held;
    m_wasIdle = false;
    if (held.offline) emit offlineChanged();
    if (loggedIn(unit)) enqueueTable(unit, pauseAfter);
}

bool Delivery::linkTableWaiting(int unit) const
{
    return UnitTable::isValidUnit(unit) && unitDelivery(unit).table.has_value();
}

void Delivery::enqueueTable(int unit, int pauseAfter)
{
    const UnitDelivery& d = unitDelivery(unit);
    if (!d.table) return;
    LinkRequest request;
    request.kind = 'J';
    request.unit = unit;
    request.frame = buildJ(unit, d.table->table);
    request.pauseAfter = pauseAfter;
    LinkState* state = &m_state;
    request.onSent = [state, unit] { state->stampLastHeard(unit); };
    m_link.enqueue(std::move(request));
}

bool Delivery::linkTableReported(int unit, const LinkTable& table, char report)
{
    if (!UnitTable::isValidUnit(unit)) return true;
    UnitDelivery& d = unitDelivery(unit);
    if (!d.table) return true;
    d.table->unitTable = table;
    if (d.table->table == table) {
        d.table.reset();
        emit changeConfirmed({unit, SettingId::Groups, 0});
        return true;
    }
    // Offline groups wait for the operator's choice; live ones go again.
    return d.table->offline ? false : judgeTable(unit, report);
}

bool Delivery::judgeTable(int unit, char report)
{
    UnitDelivery& d = unitDelivery(unit);
    // N answers a J; S judges only a J sent before the read-back asked for it.
    const bool judgedNow = loggedIn(unit) && !m_link.isQueued('J', unit) &&
                           (report == 'N' ? d.lastTableSent > 0 : d.lastAsked[0] > d.lastTableSent);
    if (!judgedNow) return false;
    if (d.table->resends >= kMaxResends) {
        // The store takes what the unit has.
        d.table.reset();
        emit changeNotDelivered({unit, SettingId::Groups, 0});
        return true;
    }
    ++d.table->resends;
    ++m_resends;
    emit changeResent({unit, SettingId::Groups, 0}, d.table->resends);
    enqueueTable(unit, -1);
    return false;
}

} // namespace sonaro
