#pragma once

#include "link/Delivery.h"
#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "link/Session.h"
#include "model/RecordingOperator.h"
#include "model/UnitTable.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <QUdpSocket>

#include <memory>
#include <string>
#include <vector>

namespace sonaro::testing {

// The program's side of the link (link, dispatcher, session) bound to 127.0.0.1, with the
// timings shrunk ten times, talking to a virtual unit on 127.0.0.2.
struct LoopbackHarness
{
    explicit LoopbackHarness(int divisor = 10)
        : port(freeLoopbackPort()), state(table, LinkTimings{}.scaled(divisor)), link(state),
          dispatcher(state, link, ui), delivery(state, link, ui),
          session(state, link, dispatcher, delivery, ui)
    {
        dispatcher.setDelivery(&delivery);
        state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        state.deviceAddress = QStringLiteral("127.0.0.2");
        state.port = port;
        table.initialiseAccounts();
        QObject::connect(&link, &Link::frameSent, &dispatcher,
                         [this](const QByteArray& frame) { sent.push_back(frame); });
        VirtualUnitOptions options;
        options.address = QHostAddress(QStringLiteral("127.0.0.2"));
        options.port = port;
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

    // Both started, logged in, and the login's requests all answered.
    bool startLoggedIn()
    {
        return startBoth() && login() && waitFor([this] { return delivery.isIdle(); }, 2000);
    }

    // The kind letters of the frames the unit received, in order ("RFF...").
    std::string unitKinds() const
    {
        std::string kinds;
        for (const QByteArray& frame : unit->received())
            kinds += frame.size() > 1 ? frame[1] : '?';
        return kinds;
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
    Delivery delivery;
    Session session;
    std::unique_ptr<VirtualUnit> unit;
    std::vector<QByteArray> sent;
};

} // namespace sonaro::testing
