#pragma once

#include "link/LinkState.h"
#include "model/OperatorInterface.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
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

// The device search: probes hosts 2..254 of the /24 of the bound address (of the host's own
// address when nothing is bound) with "%I,01,32C6#" on the link port, two attempts per host,
// and lists every unit that answers once. Probes are pipelined: they leave a few per
// millisecond and each waits for its answer in parallel, so a whole /24 takes well under a
// second. The link must be stopped while it runs (it binds the link port).
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

    // Starts a sweep; false when one is running or the socket cannot be set up.
    bool start(Pace pace = Pace::Pipelined);
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
};

} // namespace sonaro
