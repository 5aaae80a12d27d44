#pragma once

// Running the sonaroctl program from a test, and a rogue unit to run it against: the program in
// a child process, everything else on loopback in this process, whose event loop keeps
// answering while the test waits for the child.

#include "protocol/FrameCodec.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sonaro::testing {

struct CtlResult
{
    int status = -1; // -1: did not end in time, -2: crashed
    QString out;
    QString err;
};

// Starts sonaroctl with the link's timings shrunk tenfold and neither SONARO_PASSWORD nor
// SONARO_DATA_DIR inherited. Standard input is closed unless input is given.
inline void startCtl(QProcess& process, const QStringList& arguments,
                     const QProcessEnvironment& extra = {}, const QByteArray& input = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONARO_TIMING_SCALE"), QStringLiteral("10"));
    env.remove(QStringLiteral("SONARO_PASSWORD"));
    env.remove(QStringLiteral("SONARO_NEW_PASSWORD"));
    env.remove(QStringLiteral("SONARO_DATA_DIR"));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
#ifdef SONAROCTL_PATH
    process.start(QStringLiteral(SONAROCTL_PATH), arguments);
#endif
    if (!input.isEmpty()) process.write(input);
    process.closeWriteChannel(); // no terminal: never a prompt
}

// Waits (with this process's event loop running) for a started sonaroctl to end.
inline CtlResult finishCtl(QProcess& process, int timeoutMs = 20000)
{
    CtlResult result;
    if (!process.waitForStarted(5000)) return result;
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished(2000);
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline CtlResult runCtl(const QStringList& arguments, const QProcessEnvironment& extra = {},
                        const QByteArray& input = {})
{
    QProcess process;
    startCtl(process, arguments, extra, input);
    return finishCtl(process);
}

// The options that point sonaroctl at a unit on loopback, with the link bound to 127.0.0.1.
inline QStringList linkArguments(const QString& dataDir, const QString& unitAddress, quint16 port,
                                 const QString& password)
{
    return {QStringLiteral("--data-dir"), dataDir,
            QStringLiteral("--bind"),     QStringLiteral("127.0.0.1"),
            QStringLiteral("--address"),  unitAddress,
            QStringLiteral("--port"),     QString::number(port),
            QStringLiteral("--password"), password};
}

inline QJsonObject jsonObjectOf(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// A virtual unit on loopback for sonaroctl to talk to, streaming every 20 ms; null when it
// cannot bind.
inline std::unique_ptr<VirtualUnit> startVirtualUnit(const QString& address, quint16 port,
                                                     int unitCount = 1)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(address);
    options.port = port;
    options.unitCount = unitCount;
    options.statusInterval = 20;
    auto unit = std::make_unique<VirtualUnit>(options);
    return unit->start() ? std::move(unit) : nullptr;
}

// What every sonaroctl test needs: the program, a data directory and a port free on the
// addresses the test's units use.
class CtlTest : public ::testing::Test
{
protected:
    // Call first in SetUp; false when the test cannot go on (skipped or failed).
    bool prepared(const std::vector<QString>& unitAddresses)
    {
        prepare(unitAddresses);
        return !IsSkipped() && !HasFatalFailure();
    }

    QTemporaryDir dir;
    quint16 port = 0;

private:
    void prepare(const std::vector<QString>& unitAddresses)
    {
#ifndef SONAROCTL_PATH
        GTEST_SKIP() << "built without the sonaroctl program";
#endif
        ASSERT_TRUE(dir.isValid());
        port = freeLoopbackPort(unitAddresses);
        ASSERT_NE(port, 0);
    }
};

// A unit that answers as the test says: every datagram it receives goes to the handler, which
// returns the frames to send back to the sender. Bound to a 127.x address only.
class RogueUnit
{
public:
    using Handler = std::function<std::vector<std::string>(const QByteArray& frame)>;

    RogueUnit(const QString& address, quint16 port, Handler handler) : m_handler(std::move(handler))
    {
        m_bound = m_socket.bind(QHostAddress(address), port);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray frame(static_cast<int>(m_socket.pendingDatagramSize()), '\0');
                QHostAddress from;
                quint16 fromPort = 0;
                m_socket.readDatagram(frame.data(), frame.size(), &from, &fromPort);
                if (!from.isLoopback()) continue;
                m_received.push_back(frame);
                m_client = from;
                m_clientPort = fromPort;
                for (const std::string& answer : m_handler(frame))
                    send(answer);
            }
        });
    }

    bool bound() const { return m_bound; }
    void send(const std::string& frame)
    {
        if (m_clientPort == 0) return;
        m_socket.writeDatagram(frame.data(), static_cast<qint64>(frame.size()), m_client,
                               m_clientPort);
    }
    const std::vector<QByteArray>& received() const { return m_received; }
    int count(char kind) const
    {
        int n = 0;
        for (const QByteArray& f : m_received)
            if (f.size() > 1 && f[1] == kind) ++n;
        return n;
    }

private:
    QUdpSocket m_socket;
    Handler m_handler;
    bool m_bound = false;
    QHostAddress m_client;
    quint16 m_clientPort = 0;
    std::vector<QByteArray> m_received;
};

// A frame with its checksum broken.
inline std::string withBadChecksum(std::string frame)
{
    if (frame.size() > 2) frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    return frame;
}

} // namespace sonaro::testing
