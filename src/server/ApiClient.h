#pragma once

#include "server/ApiStatus.h"
#include "server/Identity.h"
#include "server/RequestBudget.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QWebSocket>

#include <functional>
#include <memory>
#include <optional>

// One WebSocket connection of the API: who it is, which events it asked for, its request budget,
// and its outgoing queue. State messages (responses, changes, deliveries) are never dropped; a
// client whose backlog grows past a bound is disconnected instead. Meter frames are sent at the
// client's own rate, the newest level winning: a frame that would wait behind a backlog is left
// out, the next one carries newer levels anyway.
namespace sonaro::server {

class ApiClient : public QObject
{
    Q_OBJECT

public:
    // Backlogs (bytes the socket has not written yet) past which meters pause and past which
    // the client is dropped.
    static constexpr qint64 kMeterBacklog = 64 * 1024;
    static constexpr qint64 kDropBacklog = 4 * 1024 * 1024;
    static constexpr int kMaxLevelsRate = 30;

    // The newest levels message, built once per level report for every client.
    using LevelsText = std::function<QString()>;

    ApiClient(std::unique_ptr<QWebSocket> socket, quint64 id, std::optional<Identity> who,
              LevelsText levels, QObject* parent = nullptr);
    ~ApiClient() override;

    quint64 id() const { return m_id; }
    QWebSocket& socket() { return *m_socket; }
    bool identified() const { return m_identified; }
    const std::optional<Identity>& who() const { return m_who; }
    // Identity from the upgrade (session cookie or bearer token), before identify.
    void identify(const Identity& who);

    bool subscribed(const QString& category) const { return m_events.contains(category); }
    void setEvents(const QSet<QString>& events, int levelsRate);
    const QSet<QString>& events() const { return m_events; }
    int levelsRate() const { return m_levelsRate; }

    RequestBudget& budget() { return m_budget; }
    // Requests refused for want of budget take from this one; a client that empties it floods.
    RequestBudget& floodBudget() { return m_floodBudget; }
    qint64 lastRateNoticeMs = -1;

    // Responses and events that must arrive; false when the client was dropped as too slow.
    bool send(const QString& text);
    bool send(const QJsonObject& message);
    // New levels are there: sent now or when the client's period is over.
    void offerLevels();
    void close(ApiClose code, const QString& reason);
    bool closing() const { return m_closing; }

signals:
    void textReceived(sonaro::server::ApiClient* client, const QString& text);
    void binaryReceived(sonaro::server::ApiClient* client);
    void gone(sonaro::server::ApiClient* client);

private:
    void sendLevels();

    std::unique_ptr<QWebSocket> m_socket;
    quint64 m_id;
    std::optional<Identity> m_who;
    bool m_identified = false;
    bool m_closing = false;
    LevelsText m_levels;
    QSet<QString> m_events;
    int m_levelsRate = 0;
    RequestBudget m_budget;
    RequestBudget m_floodBudget;
    QElapsedTimer m_clock;
    qint64 m_lastLevelsMs = -1;
    QTimer m_levelsTimer;
    QTimer m_identifyTimer;
};

} // namespace sonaro::server
