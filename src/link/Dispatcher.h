#pragma once

#include "link/Link.h"
#include "link/LinkState.h"
#include "model/OperatorInterface.h"
#include "protocol/Commands.h"

#include <QObject>
#include <QString>

#include <string_view>

namespace sonaro {

class Delivery;

// Handles every frame the unit sends: validates it, writes the records, queues the follow-up
// requests and tells the view what to redraw. Frames naming a unit outside 1..64 or an output
// other than 0 and 1 are ignored. Connects itself to the link: a datagram is believed only when
// it comes from the unit's address and port while a unit is expected; anything else is dropped
// and counted.
class Dispatcher : public QObject
{
    Q_OBJECT
public:
    Dispatcher(LinkState& state, Link& link, OperatorInterface& ui, QObject* parent = nullptr);

    // One datagram from the link: dropped (and counted) unless it comes from the unit's address
    // and link port while the connection expects the unit; dispatched otherwise.
    void receive(const QByteArray& frame, const QHostAddress& sender, quint16 senderPort);
    // One received datagram (at least 6 characters), its sender already trusted.
    void dispatch(std::string_view frame);

    // Datagrams dropped so far: from another sender, while no unit was expected, or a login,
    // address or account answer nobody asked for.
    int droppedCount() const { return m_dropped; }

    // Drops the link: status stream off twice, every unit not connected, indicator off.
    void dropLink();
    // Turns the connection indicator on or off (signalled only when it changes).
    void setIndicator(bool on);
    // After a disconnect the unit owes us a silent stream: frames it still sends are answered
    // with the stream-off again (a few times) instead of being logged. A new login ends it.
    void setStreamOffOwed(bool owed)
    {
        m_streamOffOwed = owed;
        m_streamOffRepeats = 0;
    }
    // Merges every report (S, O, D, A, U) into the records and hears every answer; without it
    // reports are written as they come.
    void setDelivery(Delivery* delivery) { m_delivery = delivery; }

signals:
    // A datagram was dropped unread (the reason in a few words, for an event log).
    void frameDropped(const QByteArray& frame, const QString& reason);
    // The login answer was accepted: units 1..unitCount are connected. Emitted before the
    // follow-up requests are queued; the store makes sure their channel rows exist.
    void unitsReported(int unitCount);
    // The unit reported its link table (S or N); the store keeps it.
    void linkTableReported(int unit, sonaro::LinkTable table);
    // The strips must be refreshed from the records (O, D, S).
    void stateChanged();
    // Levels or open states changed (L, Z).
    void levelsChanged();
    void eqReceived(int unit, int slot);
    void dynamicsReceived(int unit, int output);
    // The groups must be reloaded from the store (S, N).
    void groupsChanged();
    void indicatorChanged(bool on);
    // Every unit is now not connected and the device tree must be emptied.
    void linkDropped();
    // A confirmed address change: the new address and port of the link.
    void addressReported(const QString& address, quint16 port);
    void loginRefused();
    // A login after a silence was accepted; the state report is not yet asked for.
    void reloggedIn();
    void loginAccepted(int unitCount);
    // The unit went on streaming after a disconnect; the stream-off went again (told once).
    void streamOffRepeated();

private:
    bool handleR(std::string_view inner);
    void afterLogin();
    void handleL(std::string_view inner);
    void handleZ(std::string_view inner);
    void handleA(std::string_view inner);
    bool handleP(std::string_view inner);
    void handleK(std::string_view inner);
    void handleU(std::string_view inner);
    void handleY(std::string_view inner);
    bool handleO(std::string_view inner);
    bool handleS(std::string_view inner);
    bool handleN(std::string_view inner);
    bool handleD(std::string_view inner);
    // A report parsed into a copy of unit's record goes into the record.
    void merge(char report, int unit, const UnitRecord& reported, int index = 0);
    void heard(int unit);
    // The head of the chain: the unit the link logs in to, whose answers speak for all.
    UnitRecord& head() { return m_state.table.record(1); }
    void drop(std::string_view frame, const char* reason);
    void repeatStreamOff();

    LinkState& m_state;
    Link& m_link;
    OperatorInterface& m_ui;
    Delivery* m_delivery = nullptr;
    int m_dropped = 0;
    static constexpr int kStreamOffRepeats = 5;
    bool m_streamOffOwed = false;
    int m_streamOffRepeats = 0;
    qint64 m_lastStreamOff = 0;
};

} // namespace sonaro
