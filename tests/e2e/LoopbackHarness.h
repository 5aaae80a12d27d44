#pragma once

#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "link/Session.h"
#include "model/OperatorInterface.h"
#include "model/RecordingOperator.h"
#include "model/UnitTable.h"
#include "unit/VirtualUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <vector>

namespace sonaro::testing {

// Runs the event loop until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

// Runs the event loop for the given time.
inline void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

// A UDP port that is free on 127.0.0.1 and on each of the given loopback addresses right now.
inline quint16 freeLoopbackPort(const std::vector<QString>& others = {QStringLiteral("127.0.0.2")})
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0)) continue;
        const quint16 port = probe.localPort();
        bool free = true;
        std::vector<std::unique_ptr<QUdpSocket>> held;
        for (const QString& address : others) {
            auto socket = std::make_unique<QUdpSocket>();
            if (!socket->bind(QHostAddress(address), port)) free = false;
            held.push_back(std::move(socket));
        }
        if (free) return port;
    }
    return 0;
}

// The program's side of the link (link, dispatcher, session) bound to 127.0.0.1, with the
// timings shrunk ten times, talking to a virtual unit on 127.0.0.2.
struct LoopbackHarness
{
    explicit LoopbackHarness(int divisor = 10, int unitCount = 1)
        : port(freeLoopbackPort()), state(table, LinkTimings{}.scaled(divisor)), link(state),
          dispatcher(state, link, ui), session(state, link, dispatcher, ui)
    {
        state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        state.deviceAddress = QStringLiteral("127.0.0.2");
        state.port = port;
        table.initialiseAccounts();
        QObject::connect(&link, &Link::frameSent, &dispatcher,
                         [this](const QByteArray& frame) { sent.push_back(frame); });
        VirtualUnitOptions options;
        options.address = QHostAddress(QStringLiteral("127.0.0.2"));
        options.port = port;
        options.unitCount = unitCount;
        options.statusInterval = 10;
        unit = std::make_unique<VirtualUnit>(options);
    }

    bool startBoth() { return unit->start() && session.start(); }

    // Logs in as the administrator and waits until the unit streams status frames.
    bool login(const QString& password = QStringLiteral("888888"))
    {
        session.storeLogin(QStringLiteral("admin"), password);
        session.sendLogin();
        return waitFor([this] { return unit->streaming() && state.indicatorOn; }, 3000);
    }

    int sentCount(char kind) const
    {
        int count = 0;
        for (const QByteArray& frame : sent)
            if (frame.size() > 1 && frame[1] == kind) ++count;
        return count;
    }

    quint16 port;
    UnitTable table;
    LinkState state;
    RecordingOperator ui;
    Link link;
    Dispatcher dispatcher;
    Session session;
    std::unique_ptr<VirtualUnit> unit;
    std::vector<QByteArray> sent;
};

} // namespace sonaro::testing
