#pragma once

#include "link/LinkState.h"
#include "protocol/Commands.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>

class QUdpSocket;

namespace sonaro {

// One queued send. A request without a frame is built from the unit's record when it leaves,
// so it always carries the newest state.
struct LinkRequest
{
    char kind = 0;
    int unit = 0;
    int index = 0;                // EQ slot or output for E and B
    std::string frame;            // fixed text; empty: built when it leaves
    int times = 1;                // sent this many times in a row; never merged when above 1
    int delayBefore = 0;          // ms after the previous request finished
    int pauseAfter = -1;          // ms after each datagram; -1: the link's send pause
    std::function<void()> onSent; // runs when the first datagram has left
    qint64 enqueuedAt = 0;
    int sentCount = 0;
};

// The device link: one UDP socket bound to (bind address, link port) on the main thread, a paced
// send queue and the answer waits of the acknowledged commands. Nothing here blocks: pauses are
// kept by timers.
class Link : public QObject
{
    Q_OBJECT
public:
    using FrameBuilder = std::function<std::string(const UnitRecord&, int unit, int index)>;

    explicit Link(LinkState& state, QObject* parent = nullptr);
    ~Link() override;

    // Binds the link port; false (and "Winsock error!" with the address, port and cause through
    // the error signal) on failure.
    bool start();
    // The message of a port that cannot be bound: "Winsock error!", then address, port, cause.
    static QString bindFailureText(const QHostAddress& address, quint16 port, const QString& cause);
    // Closes the socket at once, so that another socket can bind the port; drops the queue.
    void stop();
    bool isRunning() const;
    quint16 localPort() const;

    // Sends one whole datagram to the device address and link port now. True only when the
    // whole frame left; false while stopped. The queue keeps its pause after it.
    bool sendFrame(std::string_view frame);

    // Queues a request for V, M, G, E or B of a unit; a request for the same (kind, unit, index)
    // already waiting is not added again.
    void send(char kind, int unit, int index = 0, int times = 1);
    // Queues a fixed frame (R, L, C, F, T, I, X, J); the same frame already waiting unsent is
    // not added again.
    void sendText(char kind, std::string frame, int times = 1);
    void enqueue(LinkRequest request);
    int queuedCount() const { return static_cast<int>(m_queue.size()); }
    // Forgets every queued request and the answer wait in progress.
    void discardQueued();
    // Nothing queued and no answer awaited (queueIdle() tells when this becomes true).
    bool isQueueIdle() const { return m_queue.empty() && !m_waitActive; }
    // Asked before a frame is built from a unit's record (index: E slot, B output); a request it
    // refuses is dropped unsent (the delivery keeps what it carried and sends it when it may).
    void setBuildCheck(std::function<bool(char kind, int unit, int index)> mayBuild)
    {
        m_mayBuild = std::move(mayBuild);
    }
    // A request for (kind, unit), and index unless it is -1, waits unsent in the queue.
    bool isQueued(char kind, int unit, int index = -1) const;

    // Builders for the coefficient frames E and B (the DSP code's buildE and buildB unless
    // replaced, e.g. by a test).
    void setFrameBuilder(char kind, FrameBuilder builder);

    // A whole D, Q or H from the unit: when it answers the wait in progress (the same unit, and
    // for Q and H the same slot or output), the wait ends at once. True when it did.
    bool answerArrived(char answerKind, int unit, int index);
    bool answerPending(char command) const;

signals:
    // Every datagram of at least 6 characters, cut at the first zero byte, with its sender.
    void frameReceived(const QByteArray& frame, const QHostAddress& sender, quint16 senderPort);
    // Every datagram that left whole.
    void frameSent(const QByteArray& frame);
    // An acknowledged command (kind, unit, E slot or B output) gave up waiting for its answer.
    void answerGivenUp(char command, int unit, int index);
    // The queue ran empty and no answer is awaited.
    void queueIdle();
    void socketError(const QString& message);

private:
    void readPending();
    void schedule();
    void pump();
    void waitCycle();
    void finishWait();
    void tellIfIdle();
    std::string buildFrame(const LinkRequest& request) const;
    int pendingIndex(char command) const;

    LinkState& m_state;
    QUdpSocket* m_socket = nullptr;
    std::deque<LinkRequest> m_queue;
    QTimer m_pumpTimer;
    QTimer m_waitTimer;
    qint64 m_lastSentAt = -1000000;
    qint64 m_readyAt = 0; // the previous request finished (its pause or its wait is over)
    std::function<bool(char, int, int)> m_mayBuild;
    FrameBuilder m_buildE;
    FrameBuilder m_buildB;

    bool m_pending[3] = {false, false, false}; // M, E, B answer pending
    bool m_waitActive = false;
    const AnswerWaitPolicy* m_waitPolicy = nullptr;
    std::string m_waitFrame;
    int m_waitUnit = 0;
    int m_waitIndex = 0;
    int m_waitCycle = 0;
    int m_waitPause = 0; // the pause of the request that waits, kept after its answer
};

} // namespace sonaro
