#include "link/LoginCheck.h"

#include "link/Link.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace sonaro {

namespace {

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

LoginCheck::LoginCheck(LinkState& state, QObject* parent) : QObject(parent), m_state(state)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LoginCheck::poll);
}

LoginCheck::~LoginCheck()
{
    delete m_socket;
}

void LoginCheck::checkLogin(const QString& name, const QString& password)
{
    if (m_socket) return;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_state.bindAddress, m_state.port)) {
        m_errorText =
            Link::bindFailureText(m_state.bindAddress, m_state.port, socket->errorString());
        delete socket;
        // Reported on the next turn of the event loop, as every other outcome.
        QTimer::singleShot(0, this, [this] { emit finished(false); });
        return;
    }
    m_errorText.clear();
    m_socket = socket;
    m_reads = 0;
    const std::string frame = buildR(viewOf(name.toLatin1()), viewOf(password.toLatin1()));
    m_socket->writeDatagram(frame.data(), static_cast<qint64>(frame.size()),
                            QHostAddress(m_state.deviceAddress), m_state.port);
    m_timer.start(m_state.timings.checkLoginReadInterval);
}

void LoginCheck::poll()
{
    if (!m_socket) return;
    const QHostAddress unit(m_state.deviceAddress);
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(1024);
        // Only the unit's own answer counts.
        if (datagram.senderPort() != m_state.port ||
            !datagram.senderAddress().isEqual(unit, QHostAddress::TolerantConversion))
            continue;
        const QByteArray data = datagram.data();
        if (data.size() < 2 || data[1] != 'R') continue;
        std::string_view inner;
        const bool valid = checkIncomingFrame(viewOf(data), &inner) && inner.size() >= 12;
        const bool refused = !valid || (inner.substr(2, 2) == "FF" && inner.substr(5, 2) == "FF");
        finish(!refused);
        return;
    }
    if (++m_reads >= m_state.timings.checkLoginReads) finish(false);
}

void LoginCheck::finish(bool accepted)
{
    m_timer.stop();
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
    emit finished(accepted);
}

} // namespace sonaro
