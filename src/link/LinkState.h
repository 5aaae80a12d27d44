#pragma once

#include "link/Connection.h"
#include "link/LinkTimings.h"
#include "model/UnitTable.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QString>

#include <array>
#include <cstdint>

namespace sonaro {

constexpr quint16 kDefaultLinkPort = 5000;

// Monotonic times kept beside each unit's record. The record's own time stamps hold local time
// because they are part of the file format; time-outs are measured here.
struct UnitClock
{
    qint64 lastHeard = 0;
    qint64 loginSent = 0;
    qint64 switchesSent = 0;
};

// The process-wide state of the device link, shared by the link, the dispatcher, the session
// and the discovery: where the unit is, where the connection stands, and the monotonic clocks.
class LinkState
{
public:
    explicit LinkState(UnitTable& table, LinkTimings timings = {}) : table(table), timings(timings)
    {
        m_clock.start();
    }

    UnitTable& table;
    LinkTimings timings;

    // The unit the link talks to and the port used locally and remotely.
    QString deviceAddress = QStringLiteral("192.168.0.188");
    // While an address change is in progress: the address the unit was asked to move to (a unit
    // that moved may answer from there).
    QString requestedAddress;
    quint16 port = kDefaultLinkPort;
    // Local address the link, the login check and the discovery bind (Any when not set).
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    // ip.ini; empty when the program keeps no address file.
    QString addressFilePath;

    // Where the connection stands; the session moves it, everything else only reads it.
    Connection connection = Connection::Offline;
    // The connection indicator: on while status frames arrive.
    bool indicatorOn = false;

    qint64 now() const { return m_clock.elapsed(); }
    UnitClock& clock(int unit) { return m_clocks[static_cast<std::size_t>(unit)]; }

    // Stamps both the record's local-time field and the monotonic clock.
    void stampLastHeard(int unit)
    {
        if (!UnitTable::isValidUnit(unit)) return;
        table.record(unit).lastHeardTime = currentTimeStamp();
        clock(unit).lastHeard = now();
    }
    void stampLoginSent(int unit)
    {
        if (!UnitTable::isValidUnit(unit)) return;
        table.record(unit).loginSentTime = currentTimeStamp();
        clock(unit).loginSent = now();
    }
    void stampSwitchesSent(int unit)
    {
        if (!UnitTable::isValidUnit(unit)) return;
        table.record(unit).switchesSentTime = currentTimeStamp();
        clock(unit).switchesSent = now();
    }

private:
    QElapsedTimer m_clock;
    std::array<UnitClock, UnitTable::kMaxUnits + 1> m_clocks{};
};

} // namespace sonaro
