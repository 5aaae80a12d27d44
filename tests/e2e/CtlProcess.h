#pragma once

// Running the sonaroctl program from a test, and a rogue unit to run it against: the program in
// a child process, everything else on loopback in this process, whose event loop keeps
// answering while the test waits for the child.

#include "protocol/FrameCodec.h"
#include "support/EventLoop.h"
#include "support/FactoryRecord.h"
#include "support/LoopbackPort.h"
#include "unit/UnitFrames.h"
#include "unit/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace sonaro::testing {

struct CtlResult
{
    int status = -1; // -1: did not end in time, -2: crashed or killed
    QString out;
    QString err;
};

// One run of sonaroctl: the link's timings shrunk tenfold, neither SONARO_PASSWORD nor
// SONARO_DATA_DIR inherited, standard input closed unless input is given.
struct CtlRun
{
    QStringList arguments;
    QProcessEnvironment environment; // added to the inherited one
    QByteArray input;
    QString standardOutputFile; // instead of a pipe
    rlim_t fileSizeLimit = 0;   // the child's RLIMIT_FSIZE; 0: unlimited
    int timeoutMs = 20000;
};

inline void startCtl(QProcess& process, const CtlRun& run)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONARO_TIMING_SCALE"), QStringLiteral("10"));
    for (const char* key : {"SONARO_PASSWORD", "SONARO_NEW_PASSWORD", "SONARO_DATA_DIR"})
        env.remove(QString::fromLatin1(key));
    for (const QString& key : run.environment.keys())
        env.insert(key, run.environment.value(key));
    process.setProcessEnvironment(env);
    if (!run.standardOutputFile.isEmpty()) process.setStandardOutputFile(run.standardOutputFile);
    if (run.fileSizeLimit > 0) {
        const rlim_t limit = run.fileSizeLimit;
        process.setChildProcessModifier([limit] {
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
        });
    }
#ifdef SONAROCTL_PATH
    process.start(QStringLiteral(SONAROCTL_PATH), run.arguments);
#endif
    if (!run.input.isEmpty()) process.write(run.input);
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

inline CtlResult runCtl(const CtlRun& run)
{
    QProcess process;
    startCtl(process, run);
    return finishCtl(process, run.timeoutMs);
}

inline CtlResult runCtl(const QStringList& arguments, const QProcessEnvironment& extra = {},
                        const QByteArray& input = {})
{
    CtlRun run;
    run.arguments = arguments;
    run.environment = extra;
    run.input = input;
    return runCtl(run);
}

// The options that point sonaroctl at a unit on loopback, with the link bound to 127.0.0.1.
inline QStringList linkArguments(const QString& dataDir, const QString& unitAddress, quint16 port,
                                 const QString& password = QStringLiteral("888888"))
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

inline int hexAt(const QByteArray& frame, int position)
{
    return frame.mid(position, 2).toInt(nullptr, 16);
}

// A unit whose answers the test scripts, bound to a 127.x address only. Unless the script
// answers a frame itself (a non-empty answer, or silentKinds), it answers as a sound unit does:
// the login, the state (with its link table), the EQ and dynamics blocks, the acknowledgements;
// M is applied and answered by D. A status frame goes every 20 ms while it streams.
class RogueUnit
{
public:
    using Script = std::function<std::vector<std::string>(const QByteArray& frame)>;

    RogueUnit(const QString& address, quint16 port, Script script = {})
        : m_port(port), m_script(std::move(script))
    {
        record = factoryRecord();
        record.unitNumber = 1;
        m_bound = m_socket.bind(QHostAddress(address), port);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { readPending(); });
        QObject::connect(&m_stream, &QTimer::timeout, &m_socket, [this] {
            if (streaming) send(buildReplyL({}, 0));
        });
        m_stream.start(20);
    }

    bool bound() const { return m_bound; }
    void send(const std::string& frame)
    {
        if (m_clientPort == 0) return;
        m_socket.writeDatagram(frame.data(), static_cast<qint64>(frame.size()), m_client,
                               m_clientPort);
    }
    // The same frame from another 127.x address on the same port: a forger on the network.
    void forge(const QString& address, const std::string& frame)
    {
        auto& socket = m_forgers[address];
        if (!socket) {
            socket = std::make_unique<QUdpSocket>();
            socket->bind(QHostAddress(address), m_port);
        }
        socket->writeDatagram(frame.data(), static_cast<qint64>(frame.size()), m_client,
                              m_clientPort);
    }
    int count(char kind) const
    {
        int n = 0;
        for (const QByteArray& f : m_received)
            if (f.size() > 1 && f[1] == kind) ++n;
        return n;
    }
    const std::vector<QByteArray>& received() const { return m_received; }

    UnitRecord record{};
    LinkTable links{};
    QByteArray silentKinds; // never answered
    bool streaming = true;

private:
    void readPending()
    {
        while (m_socket.hasPendingDatagrams()) {
            QByteArray frame(static_cast<int>(m_socket.pendingDatagramSize()), '\0');
            QHostAddress from;
            quint16 fromPort = 0;
            m_socket.readDatagram(frame.data(), frame.size(), &from, &fromPort);
            if (!from.isLoopback() || frame.size() < 2) continue;
            m_received.push_back(frame);
            m_client = from;
            m_clientPort = fromPort;
            if (silentKinds.contains(frame[1])) continue;
            std::vector<std::string> answers =
                m_script ? m_script(frame) : std::vector<std::string>{};
            if (answers.empty()) answers = soundAnswer(frame);
            for (const std::string& answer : answers)
                send(answer);
        }
    }

    std::vector<std::string> soundAnswer(const QByteArray& frame)
    {
        switch (frame[1]) {
        case 'R':
            return {buildReplyR(true, 1)};
        case 'C':
            return {buildReplyS(record, 1, links)};
        case 'F':
            return {buildReplyA(record, 1, hexAt(frame, 6))};
        case 'T':
            return {buildReplyU(record, 1, hexAt(frame, 6))};
        case 'E':
            return {buildReplyQ(1, hexAt(frame, 6))};
        case 'B':
            return {buildReplyH(1, hexAt(frame, 6))};
        case 'M':
            applySwitches(frame);
            return {buildReplyD(record, 1)};
        default:
            return {};
        }
    }

    void applySwitches(const QByteArray& frame)
    {
        for (int ch = 0; ch < kInputCount; ++ch)
            applyInputSwitchByte(record, ch, hexAt(frame, 6 + 2 * ch));
        applyOutputSwitchByte(record, hexAt(frame, 23));
        applyUnitSwitchByte(record, hexAt(frame, 26));
    }

    QUdpSocket m_socket;
    QTimer m_stream;
    quint16 m_port;
    Script m_script;
    bool m_bound = false;
    QHostAddress m_client;
    quint16 m_clientPort = 0;
    std::vector<QByteArray> m_received;
    std::map<QString, std::unique_ptr<QUdpSocket>> m_forgers;
};

// A frame with its checksum broken.
inline std::string withBadChecksum(std::string frame)
{
    if (frame.size() > 2) frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    return frame;
}

} // namespace sonaro::testing
