#include "server/ApiHub.h"

#include "model/Version.h"
#include "server/ServerBackend.h"
#include "server/StateJson.h"
#include "server/UserStore.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace sonaro::server {

namespace {

const QStringList& eventCategories()
{
    static const QStringList categories{QStringLiteral("changes"), QStringLiteral("deliveries"),
                                        QStringLiteral("levels"), QStringLiteral("open"),
                                        QStringLiteral("link")};
    return categories;
}

QString compact(const QJsonObject& message)
{
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

QJsonObject eventMessage(const QString& type, QJsonObject fields = {})
{
    fields.insert("op", QStringLiteral("event"));
    fields.insert("type", type);
    return fields;
}

} // namespace

ApiHub::ApiHub(ServerBackend& backend, const UserStore& users, Options options, QObject* parent)
    : QObject(parent), m_backend(backend), m_users(users), m_options(std::move(options)),
      m_merger(
          [this](const ChangeId& id, double stored, quint64 ticket) {
              const PendingSet pending = m_pendingSets.take(ticket);
              if (!pending.client) return;
              const Reply reply =
                  applySet(pending.client, pending.requestId, id, stored, {}, pending.wait);
              if (reply)
                  sendReply(pending.client, pending.requestId, QStringLiteral("set"), *reply);
          },
          [this](quint64 ticket, double stored) {
              const PendingSet pending = m_pendingSets.take(ticket);
              if (!pending.client) return;
              UnitRecord newer = m_backend.record(pending.id.unit);
              SettingCatalogue::row(pending.id.setting).set(newer, pending.id.index, stored);
              sendReply(pending.client, pending.requestId, QStringLiteral("set"),
                        QJsonObject{{"status", apiStatus(ApiStatus::Ok)},
                                    {"key", SettingCatalogue::key(pending.id)},
                                    {"value", SettingCatalogue::jsonValue(newer, pending.id)},
                                    {"delivery", QStringLiteral("superseded")},
                                    {"confirmed", false}});
          },
          this, options.mergeIntervalMs)
{
    m_clock.start();
    m_waitTimer.setInterval(250);
    connect(&m_waitTimer, &QTimer::timeout, this, &ApiHub::expireWaiters);
    connect(&m_pingTimer, &QTimer::timeout, this, [this] {
        for (ApiClient* client : std::as_const(m_clients))
            if (!client->closing()) client->socket().ping();
    });
    m_pingTimer.start(m_options.pingMs);
    connect(&m_backend, &ServerBackend::changed, this, &ApiHub::onChanged);
    connect(&m_backend, &ServerBackend::confirmed, this,
            [this](const ChangeId& id) { onDelivery(id, true); });
    connect(&m_backend, &ServerBackend::notDelivered, this,
            [this](const ChangeId& id) { onDelivery(id, false); });
    connect(&m_backend, &ServerBackend::levelsChanged, this, &ApiHub::onLevels);
    connect(&m_backend, &ServerBackend::linkChanged, this, [this] {
        broadcast(QStringLiteral("link"),
                  eventMessage(QStringLiteral("link"), {{"link", m_backend.linkState()}}));
    });
}

ApiHub::~ApiHub()
{
    for (ApiClient* client : std::as_const(m_clients))
        client->disconnect(this);
}

void ApiHub::addClient(std::unique_ptr<QWebSocket> socket, std::optional<Identity> who)
{
    socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
    // Room for one whole message with its framing; the HTTP request bound was smaller.
    socket->setReadBufferSize(kMaxMessageBytes + 4096);
    if (clientCount() >= m_options.maxClients) {
        QWebSocket* refused = socket.release();
        connect(refused, &QWebSocket::disconnected, refused, &QObject::deleteLater);
        refused->close(static_cast<QWebSocketProtocol::CloseCode>(ApiClose::TooManyClients),
                       QStringLiteral("too many clients"));
        QTimer::singleShot(2000, refused, &QObject::deleteLater);
        return;
    }
    const bool known = who.has_value();
    const QString how = !known       ? QStringLiteral("required")
                        : who->token ? QStringLiteral("token")
                                     : QStringLiteral("session");
    auto* client = new ApiClient(
        std::move(socket), m_nextClientId++, std::move(who), [this] { return levelsText(); }, this);
    m_clients.append(client);
    connect(client, &ApiClient::textReceived, this, &ApiHub::handleText);
    connect(client, &ApiClient::binaryReceived, this, [this](ApiClient* c) {
        sendError(c, ApiStatus::Malformed, QStringLiteral("messages are JSON text, not binary"));
    });
    connect(client, &ApiClient::gone, this, &ApiHub::removeClient);
    client->send(
        QJsonObject{{"op", QStringLiteral("hello")},
                    {"schemaVersion", StateJson::kSchemaVersion},
                    {"server", QStringLiteral("sonaro-server %1").arg(QLatin1String(kVersion))},
                    {"clientId", static_cast<qint64>(client->id())},
                    {"authentication", how}});
    emit clientCountChanged(clientCount());
}

void ApiHub::removeClient(ApiClient* client)
{
    if (!m_clients.removeOne(client)) return;
    client->disconnect(this);
    client->deleteLater();
    emit clientCountChanged(clientCount());
}

void ApiHub::closeAll(ApiClose code, const QString& reason)
{
    for (ApiClient* client : std::as_const(m_clients))
        client->close(code, reason);
}

bool ApiHub::withinBudget(ApiClient* client, int requests)
{
    const qint64 now = m_clock.elapsed();
    if (client->budget().take(now, requests)) return true;
    if (!client->floodBudget().take(now)) {
        client->close(ApiClose::Flooding, QStringLiteral("too many requests"));
        return false;
    }
    // One notice a second at most: a flood is not answered message by message.
    if (client->lastRateNoticeMs < 0 || now - client->lastRateNoticeMs >= 1000) {
        client->lastRateNoticeMs = now;
        sendError(client, ApiStatus::RateLimited,
                  QStringLiteral("too many requests: the server runs about 100 a second for each "
                                 "client; requests beyond that are dropped"));
    }
    return false;
}

void ApiHub::handleText(ApiClient* client, const QString& text)
{
    if (client->closing()) return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    const QJsonObject message = document.object();
    const QString op = message.value("op").toString();
    const int requests = op == QLatin1String("batch")
                             ? std::max<int>(1, message.value("requests").toArray().size())
                             : 1;
    if (!withinBudget(client, requests)) return;
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        sendError(client, ApiStatus::Malformed,
                  error.error != QJsonParseError::NoError
                      ? QStringLiteral("not JSON: %1 at offset %2")
                            .arg(error.errorString())
                            .arg(error.offset)
                      : QStringLiteral("a message is a JSON object"));
        return;
    }
    if (op == QLatin1String("identify")) return identify(client, message);
    if (!client->identified()) {
        client->close(ApiClose::NotIdentified, QStringLiteral("identify first"));
        return;
    }
    if (op == QLatin1String("request")) {
        const Reply reply = runRequest(Request{client, message, false});
        if (reply) sendReply(client, message.value("id"), message.value("type").toString(), *reply);
    } else if (op == QLatin1String("batch")) {
        runBatch(client, message);
    } else {
        sendError(client, ApiStatus::UnknownOp,
                  QStringLiteral("op '%1' is none of identify, request, batch").arg(op));
    }
}

bool ApiHub::readEvents(const QJsonObject& message, QSet<QString>& events, int& rate,
                        QString* problem)
{
    if (message.contains("events")) {
        if (!message.value("events").isArray()) {
            *problem = QStringLiteral("events is a list of %1").arg(eventCategories().join(", "));
            return false;
        }
        events.clear();
        for (const QJsonValue& v : message.value("events").toArray()) {
            if (!eventCategories().contains(v.toString())) {
                *problem = QStringLiteral("'%1' is not an event category: %2")
                               .arg(v.toString(), eventCategories().join(", "));
                return false;
            }
            events.insert(v.toString());
        }
    }
    if (message.contains("levelsRate")) {
        const QJsonValue v = message.value("levelsRate");
        if (!v.isDouble() || v.toDouble() < 1 || v.toDouble() > ApiClient::kMaxLevelsRate) {
            *problem = QStringLiteral("levelsRate is a number of frames a second, 1 to %1")
                           .arg(ApiClient::kMaxLevelsRate);
            return false;
        }
        rate = v.toInt();
    }
    return true;
}

void ApiHub::identify(ApiClient* client, const QJsonObject& message)
{
    if (client->identified()) {
        sendError(client, ApiStatus::Failed, QStringLiteral("already identified"));
        return;
    }
    if (message.value("schemaVersion").toInt(-1) != StateJson::kSchemaVersion) {
        client->close(
            ApiClose::UnsupportedVersion,
            QStringLiteral("this server speaks schemaVersion %1").arg(StateJson::kSchemaVersion));
        return;
    }
    std::optional<Identity> who = client->who();
    if (message.contains("token")) who = m_users.identifyToken(message.value("token").toString());
    if (!who) {
        client->close(ApiClose::AuthenticationFailed,
                      message.contains("token")
                          ? QStringLiteral("unknown token")
                          : QStringLiteral("log in on the page or give a token"));
        return;
    }
    QSet<QString> events{QStringLiteral("changes"), QStringLiteral("deliveries"),
                         QStringLiteral("open"), QStringLiteral("link")};
    int rate = 10;
    QString problem;
    if (!readEvents(message, events, rate, &problem)) {
        sendError(client, ApiStatus::InvalidValue, problem);
        return;
    }
    client->identify(*who);
    client->setEvents(events, rate);
    client->send(QJsonObject{
        {"op", QStringLiteral("identified")},
        {"schemaVersion", StateJson::kSchemaVersion},
        {"user", who->name},
        {"role", roleName(who->role)},
        {"events", QJsonArray::fromStringList(QStringList(events.begin(), events.end()))},
        {"levelsRate", client->levelsRate()}});
    if (client->levelsRate() > 0) client->offerLevels();
}

void ApiHub::runBatch(ApiClient* client, const QJsonObject& message)
{
    const QJsonValue id = message.value("id");
    const QJsonValue requests = message.value("requests");
    QJsonObject response{{"op", QStringLiteral("batchResponse")}, {"id", id}};
    if (!requests.isArray() || requests.toArray().isEmpty()) {
        response.insert("status", apiStatus(ApiStatus::MissingField,
                                            QStringLiteral("requests is a list of requests")));
        client->send(response);
        return;
    }
    if (requests.toArray().size() > kMaxBatch) {
        response.insert(
            "status",
            apiStatus(ApiStatus::TooLarge,
                      QStringLiteral("a batch holds %1 requests at most").arg(kMaxBatch)));
        client->send(response);
        return;
    }
    const bool halt = message.value("haltOnFailure").toBool(false);
    QJsonArray results;
    for (const QJsonValue& item : requests.toArray()) {
        const QJsonObject request = item.toObject();
        QJsonObject result = *runRequest(Request{client, request, true});
        result.insert("type", request.value("type"));
        if (request.contains("id")) result.insert("id", request.value("id"));
        const bool ok = result.value("status").toObject().value("ok").toBool();
        results.append(result);
        if (!ok && halt) break;
    }
    response.insert("status", apiStatus(ApiStatus::Ok));
    response.insert("results", results);
    client->send(response);
}

void ApiHub::sendError(ApiClient* client, ApiStatus code, const QString& comment)
{
    client->send(
        QJsonObject{{"op", QStringLiteral("error")}, {"status", apiStatus(code, comment)}});
}

void ApiHub::sendReply(ApiClient* client, const QJsonValue& requestId, const QString& type,
                       const QJsonObject& reply)
{
    QJsonObject message = reply;
    message.insert("op", QStringLiteral("response"));
    message.insert("id", requestId);
    message.insert("type", type);
    client->send(message);
}

void ApiHub::broadcast(const QString& category, const QJsonObject& message)
{
    QString text; // serialised once, for the first client that wants it
    for (ApiClient* client : std::as_const(m_clients)) {
        if (!client->identified() || !client->subscribed(category)) continue;
        if (text.isEmpty()) text = compact(message);
        client->send(text);
    }
}

QString ApiHub::levelsText()
{
    if (m_levelsStale) {
        m_levelsText = compact(eventMessage(QStringLiteral("levels"),
                                            {{"levels", StateJson::levels(m_backend.record(1))}}));
        m_levelsStale = false;
    }
    return m_levelsText;
}

void ApiHub::onChanged(const QList<ChangeId>& ids, bool fromUnit)
{
    QJsonObject changes;
    for (const ChangeId& id : ids)
        if (id.valid() && StateJson::shown(SettingCatalogue::row(id.setting)))
            changes.insert(SettingCatalogue::key(id), StateJson::value(m_backend, id));
    if (changes.isEmpty()) return;
    QJsonObject fields{{"changes", changes}};
    if (fromUnit) {
        fields.insert("source", QStringLiteral("unit"));
    } else if (m_origin) {
        fields.insert("source", QStringLiteral("client"));
        fields.insert("clientId", static_cast<qint64>(m_origin->id()));
        if (m_origin->who()) fields.insert("user", m_origin->who()->name);
    } else {
        fields.insert("source", QStringLiteral("server"));
    }
    broadcast(QStringLiteral("changes"), eventMessage(QStringLiteral("changed"), fields));
}

void ApiHub::onDelivery(const ChangeId& id, bool delivered)
{
    // The link table (the groups) is the program's bookkeeping, not a setting clients see.
    if (!id.valid() || !StateJson::shown(SettingCatalogue::row(id.setting))) return;
    const QString delivery =
        delivered ? QStringLiteral("confirmed") : QStringLiteral("notDelivered");
    const QString key = SettingCatalogue::key(id);
    const QJsonValue value = StateJson::value(m_backend, id);
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (it->id != id) {
            ++it;
            continue;
        }
        if (it->client)
            sendReply(
                it->client, it->requestId, QStringLiteral("set"),
                QJsonObject{
                    {"status",
                     delivered ? apiStatus(ApiStatus::Ok)
                               : apiStatus(ApiStatus::Failed,
                                           QStringLiteral("the unit did not confirm %1").arg(key))},
                    {"key", key},
                    {"value", value},
                    {"delivery", delivery},
                    {"confirmed", delivered}});
        it = m_waiters.erase(it);
    }
    if (m_waiters.isEmpty()) m_waitTimer.stop();
    broadcast(
        QStringLiteral("deliveries"),
        eventMessage(
            QStringLiteral("delivery"),
            {{"key", key}, {"value", value}, {"delivery", delivery}, {"confirmed", delivered}}));
}

void ApiHub::onLevels()
{
    m_levelsStale = true;
    for (ApiClient* client : std::as_const(m_clients))
        if (client->identified()) client->offerLevels();
    const QJsonArray open = StateJson::levels(m_backend.record(1)).value("open").toArray();
    if (open != m_lastOpen) {
        m_lastOpen = open;
        broadcast(QStringLiteral("open"), eventMessage(QStringLiteral("open"), {{"open", open}}));
    }
}

void ApiHub::expireWaiters()
{
    const qint64 now = m_clock.elapsed();
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (it->deadlineMs > now) {
            ++it;
            continue;
        }
        if (it->client)
            sendReply(
                it->client, it->requestId, QStringLiteral("set"),
                QJsonObject{{"status",
                             apiStatus(ApiStatus::Ok, QStringLiteral("no answer from the unit yet; "
                                                                     "a delivery event follows"))},
                            {"key", SettingCatalogue::key(it->id)},
                            {"value", StateJson::value(m_backend, it->id)},
                            {"delivery", QStringLiteral("pending")},
                            {"confirmed", false}});
        it = m_waiters.erase(it);
    }
    if (m_waiters.isEmpty()) m_waitTimer.stop();
}

} // namespace sonaro::server
