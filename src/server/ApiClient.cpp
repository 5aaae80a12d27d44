#include "server/ApiClient.h"

#include <QJsonDocument>

namespace sonaro::server {

namespace {

// A control system may send a fader's every move; a flood is many times more than that.
constexpr double kRequestsPerSecond = 100;
constexpr double kRequestBurst = 200;
constexpr double kRefusalsPerSecond = 50;
constexpr double kRefusalBurst = 500;
constexpr int kIdentifyWithinMs = 10000;

} // namespace

ApiClient::ApiClient(std::unique_ptr<QWebSocket> socket, quint64 id, std::optional<Identity> who,
                     LevelsText levels, QObject* parent)
    : QObject(parent), m_socket(std::move(socket)), m_id(id), m_who(std::move(who)),
      m_levels(std::move(levels)), m_budget(kRequestsPerSecond, kRequestBurst),
      m_floodBudget(kRefusalsPerSecond, kRefusalBurst)
{
    m_clock.start();
    m_levelsTimer.setSingleShot(true);
    connect(&m_levelsTimer, &QTimer::timeout, this, &ApiClient::sendLevels);
    m_identifyTimer.setSingleShot(true);
    connect(&m_identifyTimer, &QTimer::timeout, this, [this] {
        if (!m_identified)
            close(ApiClose::NotIdentified, QStringLiteral("no identify message in time"));
    });
    m_identifyTimer.start(kIdentifyWithinMs);
    connect(m_socket.get(), &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { emit textReceived(this, text); });
    connect(m_socket.get(), &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray&) { emit binaryReceived(this); });
    connect(m_socket.get(), &QWebSocket::disconnected, this, [this] { emit gone(this); });
}

ApiClient::~ApiClient()
{
    m_socket->disconnect(this);
}

void ApiClient::identify(const Identity& who)
{
    m_who = who;
    m_identified = true;
    m_identifyTimer.stop();
}

void ApiClient::setEvents(const QSet<QString>& events, int levelsRate)
{
    m_events = events;
    m_levelsRate =
        events.contains(QStringLiteral("levels")) ? std::clamp(levelsRate, 1, kMaxLevelsRate) : 0;
    if (m_levelsRate == 0) m_levelsTimer.stop();
}

bool ApiClient::send(const QString& text)
{
    if (m_closing) return false;
    if (m_socket->bytesToWrite() > kDropBacklog) {
        close(ApiClose::TooSlow, QStringLiteral("the client reads too slowly"));
        return false;
    }
    m_socket->sendTextMessage(text);
    return true;
}

bool ApiClient::send(const QJsonObject& message)
{
    return send(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void ApiClient::offerLevels()
{
    if (m_levelsRate == 0 || m_closing || m_levelsTimer.isActive()) return;
    const qint64 period = 1000 / m_levelsRate;
    const qint64 since = m_lastLevelsMs < 0 ? period : m_clock.elapsed() - m_lastLevelsMs;
    if (since >= period)
        sendLevels();
    else
        m_levelsTimer.start(static_cast<int>(period - since));
}

void ApiClient::sendLevels()
{
    if (m_levelsRate == 0 || m_closing) return;
    m_lastLevelsMs = m_clock.elapsed();
    // Behind a backlog this frame would arrive late: leave it out, a newer one follows.
    if (m_socket->bytesToWrite() > kMeterBacklog) return;
    m_socket->sendTextMessage(m_levels());
}

void ApiClient::close(ApiClose code, const QString& reason)
{
    if (m_closing) return;
    m_closing = true;
    m_levelsTimer.stop();
    m_identifyTimer.stop();
    m_socket->close(static_cast<QWebSocketProtocol::CloseCode>(code), reason);
    // A peer that never answers the close handshake is cut off.
    QTimer::singleShot(2000, m_socket.get(), &QWebSocket::abort);
}

} // namespace sonaro::server
