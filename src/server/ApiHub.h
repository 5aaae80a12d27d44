#pragma once

#include "server/ApiClient.h"
#include "server/Identity.h"
#include "server/RequestBudget.h"
#include "server/SetMerger.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

#include <memory>
#include <optional>

// The JSON API over WebSocket: clients identify themselves, send requests (alone or in batches)
// and receive the events they subscribed to. Every setting is addressed by its catalogue key and
// changed through the backend after the permission check; every reply to a change says what the
// unit made of it (confirmed, pending with a later delivery event, not delivered, unchanged).
// docs/api.md describes the messages.
namespace sonaro::server {

class ServerBackend;
class UserStore;

class ApiHub : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int maxClients = 100;
        QString presetFolder;
        int mergeIntervalMs = SetMerger::kIntervalMs;
        int waitTimeoutMs = 10000; // a request with "wait" is answered by then at the latest
        int pingMs = 15000;        // keeps idle connections alive and finds dead ones
    };
    static constexpr int kMaxBatch = 64;
    static constexpr qint64 kMaxMessageBytes = 64 * 1024;

    ApiHub(ServerBackend& backend, const UserStore& users, Options options,
           QObject* parent = nullptr);
    ~ApiHub() override;

    // A WebSocket whose path and origin were checked; who: the session or token of its upgrade.
    void addClient(std::unique_ptr<QWebSocket> socket, std::optional<Identity> who);
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    void closeAll(ApiClose code, const QString& reason);

signals:
    void clientCountChanged(int count);

private:
    struct PendingSet
    {
        QPointer<ApiClient> client;
        QJsonValue requestId;
        ChangeId id;
        bool wait = false;
    };
    struct Waiter
    {
        QPointer<ApiClient> client;
        QJsonValue requestId;
        ChangeId id;
        qint64 deadlineMs = 0;
    };
    struct Request
    {
        ApiClient* client = nullptr;
        QJsonObject message;
        bool batch = false;
    };
    using Reply = std::optional<QJsonObject>; // nullopt: answered later

    // Connection and messages (ApiHub.cpp).
    void removeClient(ApiClient* client);
    void handleText(ApiClient* client, const QString& text);
    bool withinBudget(ApiClient* client, int requests);
    void identify(ApiClient* client, const QJsonObject& message);
    bool readEvents(const QJsonObject& message, QSet<QString>& events, int& rate, QString* problem);
    void runBatch(ApiClient* client, const QJsonObject& message);
    void sendError(ApiClient* client, ApiStatus code, const QString& comment);
    void broadcast(const QString& category, const QJsonObject& event);
    QString levelsText();
    void onChanged(const QList<ChangeId>& ids, bool fromUnit);
    void onDelivery(const ChangeId& id, bool delivered);
    void onLevels();
    void expireWaiters();

    // Requests (ApiHubRequests.cpp).
    Reply runRequest(const Request& request);
    Reply requestSet(const Request& request);
    QJsonObject requestGet(const Request& request);
    QJsonObject requestSubscribe(const Request& request);
    QJsonObject requestPresets(const Request& request, const QString& type);
    QJsonObject requestEqCurve(const Request& request);
    Reply applySet(ApiClient* client, const QJsonValue& requestId, const ChangeId& id,
                   double stored, const QString& text, bool wait);
    void sendReply(ApiClient* client, const QJsonValue& requestId, const QString& type,
                   const QJsonObject& reply);
    QString presetPath(const QString& name, QString* problem) const;

    ServerBackend& m_backend;
    const UserStore& m_users;
    Options m_options;
    QList<ApiClient*> m_clients;
    quint64 m_nextClientId = 1;
    QElapsedTimer m_clock;
    SetMerger m_merger;
    QHash<quint64, PendingSet> m_pendingSets;
    quint64 m_nextTicket = 1;
    QList<Waiter> m_waiters;
    QTimer m_waitTimer;
    QTimer m_pingTimer;
    ApiClient* m_origin = nullptr; // the client whose request is being applied
    QString m_levelsText;
    bool m_levelsStale = true;
    QJsonArray m_lastOpen;
};

} // namespace sonaro::server
