#pragma once

#include "link/LinkState.h"
#include "link/NetworkInterfaces.h"
#include "model/OperatorInterface.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class QUdpSocket;

namespace sonaro {

// One unit that answered the probe, as the search list shows it.
struct DiscoveredUnit
{
    QString address;   // normalised "%d.%d.%d.%d", from inside the P frame
    QString port;      // as received (five digits)
    QString firstName; // account names without the "&" filler
    QString secondName;
};

// The device search: probes hosts 2..254 of the /24 of the bound address (of the chosen
// interface when nothing is bound) with "%I,01,32C6#" on the link port, two attempts per host,
// and lists every unit that answers once, as its answer arrives. Probes are pipelined: they leave
// a few per millisecond and each waits for its answer in parallel; answers are listened for until
// the late-answer window after the last probe has passed, so a whole /24 takes less than 2 s.
// Only P frames from hosts of the swept network count; other datagrams are dropped and counted.
// The link must be stopped while it runs (it binds the link port).
class Discovery : public QObject
{
    Q_OBJECT
public:
    enum class Pace
    {
        Pipelined,     // many hosts in flight at once
        OneHostAtATime // 10 ms + 10 ms per attempt, host after host
    };

    Discovery(LinkState& state, OperatorInterface& ui, QObject* parent = nullptr);
    ~Discovery() override;

    // The networks a sweep can cover and the default among them (chooseSweepNetworks over the
    // machine's interfaces, or over the ones given to setInterfaces).
    SweepChoices sweepChoices() const;
    std::vector<SweepNetwork> sweepNetworks() const { return sweepChoices().networks; }
    // The interface addresses to choose from instead of the machine's (tests, and a dialog that
    // listed them already).
    void setInterfaces(std::vector<InterfaceAddress> interfaces)
    {
        m_interfaces = std::move(interfaces);
    }
    // Chooses the network of the next sweeps by its address (null: the default). An address that
    // is not among sweepNetworks() is never swept: the default is.
    void setSweepAddress(const QHostAddress& address) { m_sweepAddress = address; }

    // Starts a sweep; false when one is running or the socket cannot be set up (the reason in
    // errorText()).
    bool start(Pace pace = Pace::Pipelined);
    QString errorText() const { return m_errorText; }
    // Datagrams dropped because they came from outside the swept network.
    int droppedCount() const { return m_dropped; }
    bool isRunning() const { return m_running; }
    const std::vector<DiscoveredUnit>& results() const { return m_results; }

    // Adds the row of one P frame (checked; rows are keyed by the address inside the frame).
    // Returns the row's address, or an empty text when the frame was not a valid new row.
    QString addResult(std::string_view frame);

signals:
    void progress(int host); // 0..254
    void unitFound(const sonaro::DiscoveredUnit& unit);
    void finished();

private:
    struct Host
    {
        int attempts = 0;
        qint64 probedAt = 0;
        bool done = false;
    };

    void sweep(quint32 network, int ownHost);
    void tick();
    void readPending();
    void probe(int host);
    void finish();

    LinkState& m_state;
    OperatorInterface& m_ui;
    QUdpSocket* m_socket = nullptr;
    QTimer m_timer;
    bool m_running = false;
    quint32 m_network = 0; // a.b.c.0
    int m_ownHost = -1;
    int m_nextHost = 2;
    int m_maxInFlight = 0;
    int m_window = 0;
    int m_perTick = 0;
    std::array<Host, 256> m_hosts{};
    std::vector<int> m_inFlight;
    std::vector<DiscoveredUnit> m_results;
    QHostAddress m_sweepAddress;
    std::optional<std::vector<InterfaceAddress>> m_interfaces;
    QString m_errorText;
    qint64 m_lastProbeAt = 0;
    int m_dropped = 0;
};

} // namespace sonaro
