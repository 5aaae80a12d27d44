#include "link/Link.h"

#include "dsp/DspCommands.h"
#include "protocol/FrameCodec.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>

namespace sonaro {

namespace {

// A datagram is read up to its first zero byte; anything shorter than this is noise.
constexpr int kMinimumFrame = 6;
constexpr qint64 kReceiveBuffer = 1024;
constexpr qint64 kClockResolutionMs = 1;

} // namespace

Link::Link(LinkState& state, QObject* parent)
    : QObject(parent), m_state(state), m_buildE(buildE), m_buildB(buildB)
{
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &Link::pump);
    m_waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_waitTimer, &QTimer::timeout, this, &Link::waitCycle);
}

Link::~Link()
{
    stop();
}

bool Link::start()
{
    if (m_socket) return true;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_state.bindAddress, m_state.port)) {
        const QString cause = socket->errorString();
        delete socket;
        emit socketError(bindFailureText(m_state.bindAddress, m_state.port, cause));
        return false;
    }
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &Link::readPending);
    return true;
}

void Link::discardQueued()
{
    m_queue.clear();
    m_pumpTimer.stop();
    m_waitTimer.stop();
    m_waitActive = false;
    m_waitPolicy = nullptr;
    QTimer::singleShot(0, this, &Link::tellIfIdle);
}

void Link::stop()
{
    discardQueued();
    if (!m_socket) return;
    // Closing frees the port at once; the object goes later, because stop() may run inside a
    // handler of a datagram this socket is still delivering.
    m_socket->close();
    m_socket->disconnect(this);
    m_socket->deleteLater();
    m_socket = nullptr;
}

QString Link::bindFailureText(const QHostAddress& address, quint16 port, const QString& cause)
{
    return QStringLiteral("Winsock error!\nPort %1 on %2 cannot be used: %3")
        .arg(port)
        .arg(address.toString(), cause);
}

bool Link::isRunning() const
{
    return m_socket != nullptr;
}

quint16 Link::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

bool Link::sendFrame(std::string_view frame)
{
    // The clock counts whole milliseconds and the datagram leaves a little after this stamp:
    // one more millisecond keeps every pause at least as long as asked.
    m_lastSentAt = m_state.now() + kClockResolutionMs;
    m_readyAt = std::max(m_readyAt, m_lastSentAt + m_state.timings.sendPause);
    if (!m_socket) return false;
    const QHostAddress target(m_state.deviceAddress);
    const qint64 sent = m_socket->writeDatagram(frame.data(), static_cast<qint64>(frame.size()),
                                                target, m_state.port);
    if (sent != static_cast<qint64>(frame.size())) return false;
    emit frameSent(QByteArray(frame.data(), static_cast<qsizetype>(frame.size())));
    return true;
}

void Link::send(char kind, int unit, int index, int times)
{
    LinkRequest request;
    request.kind = kind;
    request.unit = unit;
    request.index = index;
    request.times = times;
    enqueue(std::move(request));
}

void Link::sendText(char kind, std::string frame, int times)
{
    // The same frame already waiting would only say the same thing again.
    const bool waiting = std::any_of(m_queue.begin(), m_queue.end(), [&](const auto& r) {
        return r.sentCount == 0 && r.kind == kind && r.times == times && r.frame == frame &&
               r.delayBefore == 0 && r.pauseAfter < 0 && !r.onSent;
    });
    if (waiting) return;
    LinkRequest request;
    request.kind = kind;
    request.frame = std::move(frame);
    request.times = times;
    enqueue(std::move(request));
}

void Link::enqueue(LinkRequest request)
{
    if (!m_socket) return; // a stopped link sends nothing, so nothing is kept for later
    if (request.frame.empty() && request.times == 1) {
        // The request that waits will be built from the newest state when it leaves.
        const bool waiting = std::any_of(m_queue.begin(), m_queue.end(), [&](const auto& r) {
            return r.frame.empty() && r.times == 1 && r.sentCount == 0 && r.kind == request.kind &&
                   r.unit == request.unit && r.index == request.index;
        });
        if (waiting) return;
    }
    request.enqueuedAt = m_state.now();
    m_queue.push_back(std::move(request));
    schedule();
}

bool Link::isQueued(char kind, int unit, int index) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [&](const LinkRequest& r) {
        return r.sentCount == 0 && r.kind == kind && r.unit == unit &&
               (index < 0 || r.index == index);
    });
}

void Link::setFrameBuilder(char kind, FrameBuilder builder)
{
    if (kind == 'E') m_buildE = std::move(builder);
    if (kind == 'B') m_buildB = std::move(builder);
}

int Link::pendingIndex(char command) const
{
    switch (command) {
    case 'M':
    case 'D':
        return 0;
    case 'E':
    case 'Q':
        return 1;
    case 'B':
    case 'H':
        return 2;
    default:
        return -1;
    }
}

bool Link::answerPending(char command) const
{
    const int i = pendingIndex(command);
    return i >= 0 && m_pending[i];
}

bool Link::answerArrived(char answerKind, int unit, int index)
{
    const int i = pendingIndex(answerKind);
    if (i < 0 || !m_waitActive || !m_waitPolicy || m_waitPolicy->answer != answerKind) return false;
    // An answer for another unit, slot or output answers nothing we wait for.
    if (unit != m_waitUnit || (answerKind != 'D' && index != m_waitIndex)) return false;
    m_pending[i] = false;
    finishWait();
    return true;
}

void Link::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(kReceiveBuffer);
        QByteArray text = datagram.data();
        if (const qsizetype nul = text.indexOf('\0'); nul >= 0) text.truncate(nul);
        if (text.size() < kMinimumFrame) continue;
        emit frameReceived(text, datagram.senderAddress(),
                           static_cast<quint16>(datagram.senderPort()));
    }
}

std::string Link::buildFrame(const LinkRequest& request) const
{
    if (!request.frame.empty()) return request.frame;
    if (!UnitTable::isValidUnit(request.unit)) return {};
    const UnitRecord& record = m_state.table.record(request.unit);
    switch (request.kind) {
    case 'V':
        return buildV(record, request.unit);
    case 'M':
        return buildM(record, request.unit);
    case 'G':
        return buildG(record, request.unit);
    case 'E':
        return m_buildE ? m_buildE(record, request.unit, request.index) : std::string();
    case 'B':
        return m_buildB ? m_buildB(record, request.unit, request.index) : std::string();
    default:
        return {};
    }
}

void Link::tellIfIdle()
{
    if (isQueueIdle()) emit queueIdle();
}

void Link::schedule()
{
    if (m_queue.empty() && !m_waitActive) {
        // Told on the next turn: whoever emptied the queue finishes first.
        QTimer::singleShot(0, this, &Link::tellIfIdle);
        return;
    }
    if (m_waitActive || m_queue.empty() || !m_socket) return;
    const LinkRequest& next = m_queue.front();
    const qint64 base = next.sentCount > 0 ? m_readyAt : std::max(m_readyAt, next.enqueuedAt);
    const qint64 due = base + (next.sentCount > 0 ? 0 : next.delayBefore);
    const qint64 wait = std::max<qint64>(0, due - m_state.now());
    if (m_pumpTimer.isActive()) m_pumpTimer.stop();
    m_pumpTimer.start(static_cast<int>(wait));
}

void Link::pump()
{
    if (m_waitActive || m_queue.empty() || !m_socket) return;
    LinkRequest& request = m_queue.front();
    if (request.frame.empty() && m_mayBuild &&
        !m_mayBuild(request.kind, request.unit, request.index)) {
        m_queue.pop_front();
        schedule();
        return;
    }
    const std::string frame = buildFrame(request);
    if (frame.empty()) { // nothing to build it from (no builder, bad unit): drop it
        m_queue.pop_front();
        schedule();
        return;
    }
    const char kind = request.kind;
    if (kind == 'M' && request.sentCount == 0 && UnitTable::isValidUnit(request.unit)) {
        // The record remembers an M waiting for its D (the watchdog clears it later).
        m_state.table.record(request.unit).switchesPending = 1;
        m_state.stampSwitchesSent(request.unit);
    }
    const bool acknowledged = isAcknowledged(kind);
    // The flag is set as the datagram leaves, so an early answer always finds it set.
    if (acknowledged) m_pending[pendingIndex(kind)] = true;
    sendFrame(frame);
    const int pause = request.pauseAfter >= 0 ? request.pauseAfter : m_state.timings.sendPause;
    m_readyAt = m_lastSentAt + pause;
    ++request.sentCount;
    if (request.sentCount == 1 && request.onSent) request.onSent();
    if (m_queue.empty() || &m_queue.front() != &request) return; // onSent changed the queue
    const bool done = request.sentCount >= request.times;
    if (acknowledged) {
        m_waitActive = true;
        m_waitPause = pause;
        m_waitPolicy = &answerWaitFor(kind);
        m_waitFrame = frame;
        m_waitUnit = request.unit;
        m_waitIndex = request.index;
        m_waitCycle = 0;
        m_waitTimer.start(m_state.timings.answerPoll);
        if (done) m_queue.pop_front();
        return;
    }
    if (done) m_queue.pop_front();
    schedule();
}

void Link::waitCycle()
{
    if (!m_waitActive) return;
    ++m_waitCycle;
    const int i = pendingIndex(m_waitPolicy->command);
    if (!m_pending[i]) {
        finishWait();
        return;
    }
    const auto& resendAt = m_waitPolicy->resendAt;
    if (std::find(resendAt.begin(), resendAt.begin() + m_waitPolicy->resendCount, m_waitCycle) !=
        resendAt.begin() + m_waitPolicy->resendCount)
        sendFrame(m_waitFrame);
    if (m_waitCycle >= m_waitPolicy->giveUpAt) {
        if (m_waitPolicy->clearPendingOnGiveUp) m_pending[i] = false;
        const char command = m_waitPolicy->command;
        const int unit = m_waitUnit;
        const int index = m_waitIndex;
        finishWait();
        emit answerGivenUp(command, unit, index);
    }
}

void Link::finishWait()
{
    m_waitTimer.stop();
    m_waitActive = false;
    m_waitPolicy = nullptr;
    // The request's pause counts from the answer (or from giving up): the unit is busy until it
    // has answered, and may drop what arrives sooner.
    m_readyAt = std::max(m_lastSentAt + m_state.timings.sendPause,
                         m_state.now() + kClockResolutionMs + m_waitPause);
    schedule();
}

} // namespace sonaro
