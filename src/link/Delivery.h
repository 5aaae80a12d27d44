#pragma once

#include "link/Link.h"
#include "link/LinkState.h"
#include "model/LinkTable.h"
#include "model/OperatorInterface.h"
#include "model/SettingCatalogue.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <array>
#include <bitset>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace sonaro {

// Where a unit stands for delivery.
enum class UnitPhase
{
    LoggedOut,       // no login: changes are held
    WaitingForState, // logged in; its state report has not come since
    Live             // its state report came since the login: frames may be built
};

// The one owner of delivery: every operator change of a setting that travels to the unit (V, M,
// G, E, B and the link table J), from the moment the record holds it until the unit confirmed it
// or it is reported as not delivered.
//
// A change is noted when the surface or an editor hands its frame over. Each setting it carries
// that differs from what the unit is known to hold waits for the unit's confirmation:
//   M by the D that answers it, carrying the asked value;
//   V and G by reading the state back: C once their sends have been quiet for readBackQuiet, and
//     the S report compared with what was sent;
//   E and B by the Q or H that answers their slot or output;
//   J by the unit's S or N report of its link table.
// A setting the unit reports without the change goes again, at most kMaxResends times; an
// acknowledged frame whose answer wait gave up is queued again kRequeues times while the unit is
// logged in. Then the change is reported as not delivered and the record takes the unit's value.
//
// Reports from the unit are merged here, field by field, as they are applied: a setting with a
// change waiting keeps the operator's value, every other setting takes the unit's, so changes made
// at the unit's front panel (or by another controller) are kept and told (reportChanged).
//
// Changes made while no unit was logged in are offline changes: at the next login the operator
// chooses once whether they go to the unit or the unit's settings are taken. That question waits
// until the unit has reported the settings concerned. Changes held during a silence go again after
// the re-login's reports without a question. After a re-login the EQ and dynamics blocks are read
// again as well.
//
// Per unit: logged out -> waiting for the state report -> live. A frame of V, M or G is built only
// for a live unit, E and B only once their block was read since the login; anything refused waits
// here and goes when it may. At most one state request is outstanding per unit; a unit that does
// not answer is asked kMaxAsks times, then reported once.
class Delivery : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxResends = 5;
    static constexpr int kRequeues = 3;
    static constexpr int kMaxAsks = 5;
    // E or B frames of one slot remembered on their way; more are not sent within an answer's
    // time.
    static constexpr std::size_t kMaxInFlight = 16;
    static constexpr int kPauseBeforeGMs = 50; // after the editors' E frames, before their G

    Delivery(LinkState& state, Link& link, OperatorInterface& ui, QObject* parent = nullptr);

    UnitPhase phase(int unit) const;
    // The unit's state, EQ and dynamics have all been read since the login.
    bool isStateRead(int unit) const;
    // Every change not yet confirmed, in a fixed order (unit, setting, index).
    QList<ChangeId> unconfirmed() const;
    // The offline ones of unit.
    QList<ChangeId> offlineChanges(int unit) const;
    // Nothing waits for a logged-in unit: the link's queue is empty, no answer or state report
    // is awaited and no change waits for its confirmation.
    bool isIdle() const;
    // Datagrams sent only to read the state back (C), and frames sent again.
    int readBackRequests() const { return m_readBacks; }
    int resendCount() const { return m_resends; }

    // The records as they stand now are what nobody changed (start-up, after reading data.ini).
    void rebase();
    // A login was accepted: the units' state is unknown until their reports came.
    void loginAccepted(bool relogin);
    // No unit is logged in any longer (offline, a search for another unit).
    void markOffline();
    // Asked before a frame of kind is built from the record of unit (index: E slot, B output).
    bool mayBuild(char kind, int unit, int index) const;

    // The operator changed what a frame of kind carries (V, M, G; E with its slot, B with its
    // output) in the record of unit: every setting it carries that differs from what the unit is
    // known to hold waits for the unit from now on.
    void noteChange(char kind, int unit, int index = 0);
    // The frame goes while the unit is logged in (kind and unit as in noteChange); otherwise the
    // change waits for the unit. Fixed frames (L, C) go only while a unit is logged in.
    void send(LinkRequest request);
    // Noted E, B and G changes that have not been sent yet go now (the editors' send tick, their
    // buttons, the close of a window or of the program): E per slot, a pause, G, then B.
    void noteWaiting(char kind, int unit, int index);
    void sendWaiting();
    bool hasWaiting() const;

    // The operator's link table for unit: sent while the unit is logged in, else held.
    void sendLinkTable(int unit, const LinkTable& table, int pauseAfter);
    // The unit reported its link table. True when the store takes it; false while a different
    // table of the operator's waits for the unit.
    bool linkTableReported(int unit, const LinkTable& table, char report);
    // The link table waits for the unit.
    bool linkTableWaiting(int unit) const;
    // Changes restored from a previous run (their values are in the records already; the link
    // tables come from groupsOf for the units whose groups wait).
    void restoreOffline(const QList<ChangeId>& changes,
                        const std::function<LinkTable(int unit)>& groupsOf);

    // A report of unit, parsed into a copy of its record: merged into the record field by field.
    // report is the kind letter (S, O, D, A with the EQ slot, U with the output).
    void applyReport(char report, int unit, const UnitRecord& reported, int index = 0);
    // A whole answer to an acknowledged command came from the unit (D, Q with its slot, H with
    // its output); anything that answers nothing outstanding is ignored.
    void answerReceived(char answer, int unit, int index);
    // Any whole frame naming unit came from the unit: it answers since the login.
    void heard(int unit);
    // A change kept only here (a channel name in the database): stored or not.
    void localChangeDone(const ChangeId& id, bool stored);

signals:
    void changeConfirmed(const sonaro::ChangeId& id);
    void changeResent(const sonaro::ChangeId& id, int attempt);
    void changeNotDelivered(const sonaro::ChangeId& id);
    // The unit's own changes, taken into the record (front panel, another controller).
    void reportChanged(int unit, const QList<sonaro::ChangeId>& ids);
    // The state, EQ and dynamics of unit have been read since the login.
    void stateRead(int unit);
    // A unit that does not answer the state or block requests; told once per login.
    void unitUnanswered(int unit);
    // The operator chose the unit's settings: the record of unit took them.
    void valuesTaken(int unit);
    // The operator chose the unit's link table over the groups prepared offline.
    void linkTableTaken(int unit, const sonaro::LinkTable& table);
    // Nothing waits any longer (see isIdle).
    void idle();
    // The offline changes grew or shrank: whoever keeps them on disk writes them.
    void offlineChanged();

private:
    // Frame slots of a unit: V, M, G, the fourteen E slots, the two B outputs.
    static constexpr int kFrameSlots = 19;
    static constexpr int kFirstE = 3;
    static constexpr int kFirstB = kFirstE + 14;
    static constexpr int kBlocks = 16; // E slots and B outputs: what F and T read
    struct Tracked
    {
        ChangeId id; // unit 0: the field of every unit
        const SettingRow* row;
        int frameSlot;
    };
    struct Pending
    {
        double unitValue = 0;
        std::int64_t unitWire = 0;
        bool unitKnown = false;
        bool offline = false;
        int resends = 0;
    };
    // A change the unit reported on its own: the value before and after.
    struct PanelChange
    {
        bool known = false;
        std::int64_t before = 0;
        std::int64_t after = 0;
        double afterValue = 0;
        // A frame of ours was on its way when the change was reported: it may reach the unit
        // after the change and take it back.
        bool crossed = false;
    };
    struct HeldTable
    {
        LinkTable table;
        bool offline = false;
        int resends = 0;
        std::optional<LinkTable> unitTable;
    };
    struct UnitDelivery
    {
        std::vector<std::int64_t> lastSeen;
        std::vector<std::int64_t> sentValue;
        std::vector<PanelChange> panel;
        std::map<int, Pending> pending; // by tracked field
        std::array<QByteArray, kFrameSlots> lastFrame;
        std::array<qint64, kFrameSlots> lastSent{};
        std::array<qint64, kFrameSlots> lastSentAt{};
        std::array<qint64, kFrameSlots> lastCovered{};
        std::array<qint64, kFrameSlots> lastAsked{}; // C for V, M, G; F or T for a block
        std::array<int, kFrameSlots> requeues{};
        // E and B on their way, oldest first: when each left and the serial of the content it
        // carried (content[slot] is the serial of lastFrame). Q and H carry no values and the
        // unit answers in order, so an answer belongs to the oldest frame still without one.
        struct InFlight
        {
            qint64 at;
            int content;
        };
        std::array<std::deque<InFlight>, kFrameSlots> inFlight;
        std::array<int, kFrameSlots> content{};
        std::set<int> waiting; // frame slots noted and not yet sent
        std::optional<HeldTable> table;
        qint64 lastTableSent = 0;
        UnitPhase phase = UnitPhase::LoggedOut;
        std::bitset<kBlocks> blockRead;
        std::array<int, kBlocks> blockAsks{};
        int stateAsks = 0;
        qint64 stateAskedAt = -1; // on the link's clock; -1: no state request outstanding
        bool heard = false;
        bool awaitingSwitches = false;
        bool readSwitches = false; // an M gave up: the read-back judges the switches too
        bool asking = false;
        bool relogin = false;
        bool stateReadTold = false;
        bool unansweredTold = false;
    };

    static const std::vector<Tracked>& tracked();
    static const std::vector<int>& fieldsOf(int frameSlot);
    static int frameSlot(char kind, int index);
    static bool covers(char report, int frameSlot, const Tracked& field, int reportSlot);
    static char kindOf(int frameSlot);
    static int indexOf(int frameSlot);
    ChangeId idOf(int unit, int field) const;

    // How long after its frame an answer of the unit may still come: twice the answer wait.
    qint64 answerWindow(char command) const;

    UnitRecord& record(int unit) { return m_state.table.record(unit); }
    UnitDelivery& unitDelivery(int unit) { return m_units[static_cast<std::size_t>(unit)]; }
    const UnitDelivery& unitDelivery(int unit) const
    {
        return m_units[static_cast<std::size_t>(unit)];
    }
    bool loggedIn(int unit) const;
    bool hasLive(int unit, bool valuesOnly) const;

    void frameSent(const QByteArray& frame);
    void answerGivenUp(char kind, int unit, int index);
    void readBack();
    void askBlocks(int unit, bool all);
    // The request for the unit's report of the E slot or B output frameSlot.
    LinkRequest blockRequest(int unit, int frameSlot) const;
    bool judged(const UnitDelivery& d, int frameSlot, int unit, char report) const;
    void resend(int unit, int frameSlot);
    void confirm(int unit, int field);
    void notDelivered(int unit, int field);
    // The operator's changes of the frame slot that wait for the unit (none prepared offline).
    std::vector<int> waitingFields(int unit, int frameSlot) const;
    // The unit's report of the block judges the changes of the slot; asked up to kMaxAsks times.
    void askWhetherTaken(int frameSlot, int unit, int asks);
    bool fallingSilent() const;
    void holdForSilence(char kind, int unit, int index);
    void switchesGivenUp(int unit);
    void checkStateRead(int unit);
    void askOffline(int unit);
    bool offlineQuestionReady(int unit) const;
    void applyChoice(int unit, OfflineChoice choice);
    void enqueueTable(int unit, int pauseAfter);
    bool judgeTable(int unit, char report);
    void checkIdle();

    LinkState& m_state;
    Link& m_link;
    OperatorInterface& m_ui;
    std::vector<UnitDelivery> m_units;
    QTimer m_readBackTimer;
    qint64 m_sequence = 0;
    int m_readBacks = 0;
    int m_resends = 0;
    int m_logins = 0; // logins and re-logins answered: a frame held for a silence tells them
    bool m_wasIdle = true;
};

} // namespace sonaro
