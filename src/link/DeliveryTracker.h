#pragma once

#include "link/Link.h"
#include "link/LinkState.h"
#include "model/LinkTable.h"
#include "model/OperatorInterface.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace sonaro {

// The operator's changes of V, M and G fields that the unit has not confirmed yet, per unit.
//
// A change is noted when the surface hands its command over (sent, or held while no unit is
// logged in). M is confirmed by its D answer carrying the asked value. V and G are never answered:
// once their sends have been quiet for readBackQuiet, C asks for the state report and S is
// compared with what was sent. A field that still differs is sent again, at most kMaxResends
// times, then reported as not delivered and the record takes the unit's value. Reports (S, O, D)
// never overwrite a field with a change waiting; every other field takes the unit's value, so
// changes made at the unit's front panel are kept.
//
// Changes held while no unit was connected (offline, or before a CONNECT to another unit) are
// offline changes: at the next login the operator chooses once whether they go to the unit or
// the unit's settings are taken. Changes held during a silence go again after the re-login's
// state report, without a question.
//
// The link table (the groups, J) is one more change of this kind, named "groups": the unit's
// report of its table (S, or N after a J) confirms it; while it waits the store keeps the
// operator's groups, and an offline table is part of the choice at the next login.
//
// Field names (stable; the connection indicator, sonaroctl and the event log show them), with
// N counted from 1 and "unit U: " in front for every unit but the first:
//   V: "input N gain", "input N mute", "output N gain" (with its mute), "threshold"
//   M: "input N phantom", "input N line", "input N low cut", "input N priority",
//      "output selection", "output N level", "threshold mode", "device mode", "panel lock"
//   G: "input N feedback", "input N EQ", "input N high-pass", "input N low-pass",
//      "output N limiter", "output N routing", "maximum open channels", "hold time"
class DeliveryTracker : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxResends = 5;

    DeliveryTracker(LinkState& state, Link& link, OperatorInterface& ui, QObject* parent = nullptr);

    // A field's name as documented above, for a unit.
    static QString fieldName(int unit, const QString& field);

    // Every change not yet confirmed, by name, in a fixed order (unit, then kind V, M, G).
    QStringList unconfirmedChanges() const;
    // True while a change of a logged-in unit waits for its confirmation (not offline ones).
    bool awaitingConfirmation() const;
    // Datagrams sent only to read the state back (C); the S answers come on top.
    int readBackRequests() const { return m_readBacks; }
    // Frames sent again because a report showed the unit without the change.
    int resendCount() const { return m_resends; }

    // The records as they stand now are what nobody changed (start-up, after reading data.ini).
    void rebase();
    // A login was accepted: the units' state is unknown until their S report came.
    void loginAccepted();
    // True when a V, M or G of unit may be built from the record now: the unit is logged in and
    // has reported its state since. Before that the record may lack changes made at the unit
    // meanwhile, which such a frame would take back; changes made then wait for the report.
    bool mayBuildFrames(int unit) const;
    // The operator changed fields that travel in kind (V, M or G) of unit: every field of that
    // kind that differs from what the tracker saw last is a change waiting for the unit.
    void noteChange(char kind, int unit);
    // The dispatcher wrote a report (S, O or D) of unit into its record: confirms, keeps waiting
    // fields from being overwritten, and sends again what the unit did not take.
    void reportApplied(char report, int unit);
    // The answer waits of an M of unit gave up for good while the unit seemed connected: the
    // read-back judges the switches as it judges V and G.
    void switchesGivenUp(int unit);
    // No unit is logged in any longer (offline, a search for another unit): what waits is an
    // offline change from now on.
    void markOffline();

    // The operator's link table for unit, handed to the link (sent) or kept while no unit is
    // logged in (held).
    void noteLinkTable(int unit, const LinkTable& table, bool sent);
    // The unit reported its link table. True when the store takes it; false while a different
    // table of the operator's waits for the unit (the operator's groups stay on screen).
    bool linkTableReported(int unit, const LinkTable& table, char report);
    // The offline changes of unit by name ("groups" for the link table), so that they outlive
    // a restart; restoreOfflineChanges takes such a list back, the values being the record's
    // and, for "groups", heldTable.
    QStringList offlineChanges(int unit) const;
    void restoreOfflineChanges(int unit, const QStringList& names, const LinkTable& heldTable);
    // The name of the link table's change.
    static QString groupsName() { return QStringLiteral("groups"); }

signals:
    void changeConfirmed(const QString& what);
    void changeResent(const QString& what, int attempt);
    void changeNotDelivered(const QString& what);
    // The record of unit took the unit's settings (the operator chose so): views refresh.
    void valuesTaken(int unit);
    // The operator chose the unit's link table over the groups prepared offline: the store
    // takes it.
    void linkTableTaken(int unit, const sonaro::LinkTable& table);

private:
    struct Field
    {
        char kind;
        QString name;
        bool inO; // reported by O too
        std::function<int(const UnitRecord&)> get;
        std::function<void(UnitRecord&, int)> set;
        std::function<int(int)> wire; // the value as the unit reports it back
    };
    struct Pending
    {
        int wanted = 0;
        int unitValue = 0;
        bool unitKnown = false;
        bool offline = false;
        int resends = 0;
    };
    // A change the unit reported on its own (its front panel): the value before and after.
    struct PanelChange
    {
        bool known = false;
        int before = 0;
        int after = 0;
        // A frame of ours of this kind was on its way when the change was reported: it may reach
        // the unit after the change and take it back.
        bool crossed = false;
    };
    // The operator's link table while the unit has not confirmed it.
    struct HeldTable
    {
        LinkTable table;
        bool offline = false;
        int resends = 0;
        std::optional<LinkTable> unitTable; // the unit's last report
    };
    struct UnitDelivery
    {
        std::vector<int> lastSeen;
        std::vector<PanelChange> panel;
        // What the last frame of each kind carried (an answer wait's resend carries it again).
        std::vector<int> sentValue;
        std::array<QByteArray, 3> lastFrame;
        std::map<int, Pending> pending; // by field index
        std::optional<HeldTable> table;
        qint64 lastTableSent = 0;
        std::array<qint64, 3> lastSent{};   // V, M, G
        std::array<qint64, 3> lastSentAt{}; // when, on the link's clock
        // When a report last covered each kind's fields.
        std::array<qint64, 3> lastCovered{};
        qint64 lastReadRequest = 0;
        bool awaitingSwitches = false;
        bool readSwitches = false; // an M gave up: the read-back judges the switches too
        bool asking = false;
        bool stateRead = false; // an S report came since the last login
    };

    static const std::vector<Field>& fields();
    static int kindSlot(char kind);
    void frameSent(const QByteArray& frame);
    void readBack();
    void confirm(int unit, int field);
    void notDelivered(int unit, int field);
    bool loggedIn(int unit) const;
    bool judged(const UnitDelivery& d, char kind, int unit, char report) const;
    void askOffline(int unit);
    void applyChoice(int unit, OfflineChoice choice);
    void sendTable(int unit);
    bool judgeTable(int unit, char report);
    bool hasLive(int unit, bool valuesOnly) const;
    UnitRecord& record(int unit) { return m_state.table.record(unit); }

    LinkState& m_state;
    Link& m_link;
    OperatorInterface& m_ui;
    std::vector<UnitDelivery> m_units;
    QTimer m_readBackTimer;
    qint64 m_sequence = 0;
    int m_readBacks = 0;
    int m_resends = 0;
};

} // namespace sonaro
