#include "link/Discovery.h"

#include "link/AddressFile.h"
#include "model/UnitRecord.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "link/Link.h"

#include <algorithm>

namespace sonaro {

namespace {

constexpr int kFirstHost = 2;
constexpr int kLastHost = 254;
constexpr int kAttempts = 2;
// What one read batch may collect, as the one-host-at-a-time search does.
constexpr qsizetype kCollectBytes = 10240;
constexpr qint64 kDatagramBytes = 2560;
constexpr int kFramesPerBatch = 256;
// The one-host-at-a-time attempt: 10 ms pause, then up to 10 ms for an answer.
constexpr int kOneHostWindow = 20;

QString unpadded(std::string_view field)
{
    std::string text(field);
    while (!text.empty() && text.back() == kAccountFiller)
        text.pop_back();
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool inNetwork(quint32 ip, quint32 network)
{
    return (ip & 0xFFFFFF00u) == network;
}

} // namespace

Discovery::Discovery(LinkState& state, OperatorInterface& ui, QObject* parent)
    : QObject(parent), m_state(state), m_ui(ui)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Discovery::tick);
}

Discovery::~Discovery()
{
    delete m_socket;
}

bool Discovery::start(Pace pace)
{
    if (m_running) return false;
    const bool pipelined = pace == Pace::Pipelined;
    m_maxInFlight = pipelined ? kLastHost : 1;
    m_window = pipelined ? m_state.timings.probeAnswerWindow : kOneHostWindow;
    m_perTick = pipelined ? std::max(1, m_state.timings.probesPerTick) : 1;

    // The chosen network when it is one of the choices, else the default.
    const SweepChoices choices = sweepChoices();
    const SweepNetwork* chosen =
        choices.defaultIndex < 0
            ? nullptr
            : &choices.networks[static_cast<std::size_t>(choices.defaultIndex)];
    for (const SweepNetwork& n : choices.networks)
        if (!m_sweepAddress.isNull() && n.address.isEqual(m_sweepAddress)) chosen = &n;
    bool ok = false;
    const quint32 own = chosen ? chosen->address.toIPv4Address(&ok) : 0;
    if (!ok || own == 0) {
        m_errorText = QCoreApplication::translate("sonaro::Discovery",
                                                  "No network to search: no IPv4 interface is up.");
        return false;
    }

    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_state.bindAddress, m_state.port)) {
        m_errorText =
            Link::bindFailureText(m_state.bindAddress, m_state.port, socket->errorString());
        delete socket;
        return false;
    }
    m_errorText.clear();
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &Discovery::readPending);
    m_running = true;
    m_results.clear();
    emit progress(0);
    sweep(own & 0xFFFFFF00u, static_cast<int>(own & 0xFF));
    return true;
}

SweepChoices Discovery::sweepChoices() const
{
    return chooseSweepNetworks(m_interfaces ? *m_interfaces : systemInterfaceAddresses(),
                               m_state.bindAddress, defaultRouteInterface());
}

void Discovery::sweep(quint32 network, int ownHost)
{
    m_network = network;
    m_ownHost = ownHost;
    m_hosts.fill(Host{});
    m_inFlight.clear();
    m_nextHost = kFirstHost;
    m_timer.start(m_state.timings.probeTick);
    tick();
}

void Discovery::probe(int host)
{
    Host& h = m_hosts[static_cast<std::size_t>(host)];
    ++h.attempts;
    h.probedAt = m_state.now();
    m_lastProbeAt = h.probedAt;
    static const std::string probeFrame = buildI(1);
    m_socket->writeDatagram(probeFrame.data(), static_cast<qint64>(probeFrame.size()),
                            QHostAddress(m_network | static_cast<quint32>(host)), m_state.port);
}

void Discovery::tick()
{
    if (!m_running || !m_socket) return;
    const qint64 now = m_state.now();
    int budget = m_perTick;
    // Probes whose window passed: a second attempt, or the host is done.
    for (int host : m_inFlight) {
        Host& h = m_hosts[static_cast<std::size_t>(host)];
        if (h.done || now - h.probedAt < m_window) continue;
        if (h.attempts >= kAttempts)
            h.done = true;
        else if (budget > 0) {
            probe(host);
            --budget;
        }
    }
    std::erase_if(m_inFlight,
                  [this](int host) { return m_hosts[static_cast<std::size_t>(host)].done; });
    while (budget > 0 && m_nextHost <= kLastHost &&
           static_cast<int>(m_inFlight.size()) < m_maxInFlight) {
        const int host = m_nextHost++;
        emit progress(host);
        if (host == m_ownHost) continue; // not ourselves
        probe(host);
        m_inFlight.push_back(host);
        --budget;
    }
    if (m_nextHost > kLastHost && m_inFlight.empty()) {
        // Every host had its attempts; late answers are still listed for a while.
        const qint64 left = m_lastProbeAt + m_state.timings.lateAnswerWindow - now;
        if (left <= 0)
            finish();
        else
            m_timer.start(static_cast<int>(left));
    }
}

void Discovery::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        // One batch: datagrams up to the collection limit, split into at most 256 frames.
        QByteArray collected;
        std::vector<QHostAddress> senders;
        while (m_socket->hasPendingDatagrams() && collected.size() < kCollectBytes) {
            const QNetworkDatagram datagram = m_socket->receiveDatagram(kDatagramBytes);
            bool ok = false;
            const quint32 ip = datagram.senderAddress().toIPv4Address(&ok);
            if (!ok || !inNetwork(ip, m_network) || (ip & 0xFF) == 0 || (ip & 0xFF) == 0xFF) {
                ++m_dropped; // only hosts of the swept network answer a probe
                continue;
            }
            QByteArray data = datagram.data();
            if (collected.size() + data.size() > kCollectBytes) break;
            collected += data;
            senders.push_back(datagram.senderAddress());
        }
        for (const QHostAddress& sender : senders) {
            bool ok = false;
            const quint32 ip = sender.toIPv4Address(&ok);
            if (ok && inNetwork(ip, m_network)) m_hosts[ip & 0xFF].done = true;
        }
        const std::string_view text(collected.constData(),
                                    static_cast<std::size_t>(collected.size()));
        int start = 0;
        for (int frames = 0; frames < kFramesPerBatch; ++frames) {
            const int end = findPattern(text, "#", start);
            if (end < 0) break;
            const std::string_view frame = text.substr(static_cast<std::size_t>(start),
                                                       static_cast<std::size_t>(end - start + 1));
            start = end + 1;
            if (frame.size() > 1 && frame[1] == 'P') addResult(frame);
        }
        if (collected.isEmpty()) break; // a datagram larger than the whole batch: skip it
    }
    if (m_running && m_nextHost > kLastHost) tick();
}

QString Discovery::addResult(std::string_view frame)
{
    std::string_view inner;
    if (!checkIncomingFrame(frame, &inner) || inner.size() < 47 || inner[0] != 'P') return {};
    DiscoveredUnit unit;
    unit.address = QString::fromStdString(normaliseAddress(inner.substr(5, 15)));
    const std::string_view port = inner.substr(21, 5);
    unit.port = QString::fromLatin1(port.data(), static_cast<qsizetype>(port.size()));
    unit.firstName = unpadded(inner.substr(27, 7));
    unit.secondName = unpadded(inner.substr(35, 7));
    // The unit's own address marks its host as answered, whoever carried the datagram.
    bool ok = false;
    const quint32 ip = QHostAddress(unit.address).toIPv4Address(&ok);
    if (ok && (ip & 0xFFFFFF00u) == m_network) m_hosts[ip & 0xFF].done = true;
    const bool listed =
        std::any_of(m_results.begin(), m_results.end(),
                    [&](const DiscoveredUnit& row) { return row.address == unit.address; });
    if (listed) return {};
    m_results.push_back(unit);
    emit unitFound(unit);
    return unit.address;
}

void Discovery::finish()
{
    m_timer.stop();
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_running = false;
    emit progress(kLastHost);
    m_ui.showMessage(Severity::Information, QStringLiteral("Search finished."));
    emit finished();
}

} // namespace sonaro
