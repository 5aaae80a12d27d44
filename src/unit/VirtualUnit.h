#pragma once

#include "model/UnitRecord.h"
#include "protocol/Commands.h"
#include "unit/AutomixModel.h"

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <random>
#include <string>
#include <vector>

class QUdpSocket;

namespace sonaro {

// Factory accounts of a virtual unit: administrator "admin" with password "888888" and user
// "user" with password "666666".
struct VirtualUnitOptions
{
    QHostAddress address = QHostAddress(QStringLiteral("127.0.0.2"));
    quint16 port = 5000;
    int unitNumber = 1;
    // Reported by the login answer. Above 1 the unit plays a cascade: units 1..unitCount, each
    // with its own settings and link table, addressed by the unit number of every frame.
    int unitCount = 1;
    QString adminName = QStringLiteral("admin");
    QString adminPassword = QStringLiteral("888888");
    QString userName = QStringLiteral("user");
    QString userPassword = QStringLiteral("666666");
    int statusInterval = 50; // ms between status frames while the stream is on
    // Fault injection.
    double dropIncoming = 0.0;    // probability that a received frame is ignored
    double dropOutgoing = 0.0;    // probability that a frame to send is lost
    double corruptChecksum = 0.0; // probability that a sent frame has a wrong checksum
    int answerDelay = 0;          // ms before each answer leaves
    // As a real unit: nothing but a login (and a search probe) is answered or applied before an
    // accepted login from the same address and port.
    bool refuseBeforeLogin = false;
    int frontPanelInterval = 0; // ms between front-panel changes sent on its own; 0: none
    // JSON lines of every datagram received, readable by its owner only, login and account
    // fields masked; empty: no log.
    QString logPath;
    unsigned seed = 1;
};

// A mixer unit in software: the unit side of every exchange, answering each request to the
// sender's address and port.
class VirtualUnit : public QObject
{
    Q_OBJECT
public:
    explicit VirtualUnit(VirtualUnitOptions options = {}, QObject* parent = nullptr);
    ~VirtualUnit() override;

    bool start();
    void stop();
    bool isRunning() const { return m_socket != nullptr; }
    quint16 port() const { return m_options.port; }
    QHostAddress address() const { return m_options.address; }

    // Neither answers nor streams for the next ms milliseconds (received frames are still logged).
    void silence(int ms);
    void setDropIncoming(double p) { m_options.dropIncoming = p; }
    void setDropOutgoing(double p) { m_options.dropOutgoing = p; }
    void setAnswerDelay(int ms) { m_options.answerDelay = ms; }
    void setCorruptChecksum(double p) { m_options.corruptChecksum = p; }
    void setRefuseBeforeLogin(bool refuse) { m_options.refuseBeforeLogin = refuse; }
    // The next count frames of this kind are lost on their way in.
    void dropNext(char kind, int count) { m_dropNext[static_cast<unsigned char>(kind)] = count; }

    // One change made at the unit's front panel, told to the program as the unit tells it: an
    // input gain (O), a switch (D), the open inputs (Z) or the unit count (K), in turn.
    void frontPanelChange();

    // Sends a frame of the unit's own (a front-panel change, a count) to the program it last
    // heard from, under the same fault injection as every answer.
    void sendToClient(std::string frame) { reply(std::move(frame)); }

    // The settings of the first unit (the one the status stream describes), or of unit n of a
    // cascade.
    UnitRecord& record() { return m_records.front(); }
    const UnitRecord& record() const { return m_records.front(); }
    UnitRecord& record(int unit) { return m_records[index(unit)]; }
    const LinkTable& linkTable() const { return m_links.front(); }
    const LinkTable& linkTable(int unit) const { return m_links[index(unit)]; }
    bool streaming() const { return m_streamTimer.isActive(); }
    QString password(const QString& account) const;

    // Every datagram received, in order (also the ones dropped by fault injection).
    const std::vector<QByteArray>& received() const { return m_received; }
    int receivedCount(char kind) const;
    // When each of them arrived, in ms on a monotonic clock (the pacing log's times).
    const std::vector<qint64>& receivedAt() const { return m_receivedAt; }
    void clearReceived()
    {
        m_received.clear();
        m_receivedAt.clear();
    }

signals:
    void frameReceived(const QByteArray& frame);
    // A received frame that the unit's fault settings (loss, silence) threw away.
    void frameDropped(const QByteArray& frame);

private:
    void readPending();
    void handle(const QByteArray& frame, const QHostAddress& from, quint16 fromPort);
    void reply(std::string frame);
    void sendStatus();
    void log(const QByteArray& frame, const QHostAddress& from, quint16 fromPort, bool dropped);
    bool chance(double p);
    bool silent() const;

    VirtualUnitOptions m_options;
    QUdpSocket* m_socket = nullptr;
    // The record of the unit a frame names: nullptr for a unit outside a cascade. A single unit
    // answers whatever number it is sent, as one unit does.
    std::size_t index(int unit) const;
    std::vector<UnitRecord> m_records;
    std::vector<LinkTable> m_links;
    AutomixModel m_automix;
    QTimer m_streamTimer;
    QTimer m_frontPanelTimer;
    int m_frontPanelStep = 0;
    // The address and port that logged in last (refuseBeforeLogin).
    QHostAddress m_loggedIn;
    quint16 m_loggedInPort = 0;
    QHostAddress m_client;
    quint16 m_clientPort = 0;
    qint64 m_silentUntil = 0;
    std::mt19937 m_random;
    std::array<int, 256> m_dropNext{};
    std::vector<QByteArray> m_received;
    std::vector<qint64> m_receivedAt;
    QFile m_log;
    qint64 m_startedAt = 0;
};

} // namespace sonaro
