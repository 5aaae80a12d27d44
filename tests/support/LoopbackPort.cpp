#include "LoopbackPort.h"

#include <QHostAddress>
#include <QUdpSocket>

#include <memory>

namespace sonaro::testing {

quint16 freeLoopbackPort(const std::vector<QString>& others)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(kProgramAddress), 0)) continue;
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

} // namespace sonaro::testing
