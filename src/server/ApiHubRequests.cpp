// The API's requests: one function per request type, all answering with a status from
// ApiStatus.h and the fields docs/api.md names.
#include "server/ApiHub.h"

#include "server/ServerBackend.h"
#include "server/StateJson.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

namespace sonaro::server {

namespace {

QJsonObject failure(ApiStatus code, const QString& comment)
{
    return QJsonObject{{"status", apiStatus(code, comment)}};
}

QJsonObject success(QJsonObject fields = {})
{
    fields.insert("status", apiStatus(ApiStatus::Ok));
    return fields;
}

QString jsonTypeName(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a text");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Kinds whose JSON numbers are values in the shown unit, held to the row's range.
bool rangedNumber(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Level:
    case ValueKind::Frequency:
    case ValueKind::Decibel:
    case ValueKind::Quality:
    case ValueKind::Milliseconds:
    case ValueKind::Ratio:
    case ValueKind::Count:
    case ValueKind::HoldTime:
        return true;
    default:
        return false;
    }
}

QString shownNumber(double v)
{
    return QString::number(v, 'g', 10);
}

struct ParsedSet
{
    std::optional<double> stored;
    QString text; // for names
    ApiStatus problemCode = ApiStatus::Ok;
    QString problem;
};

ParsedSet parseSetValue(const SettingRow& row, const QString& key, const QJsonValue& value)
{
    ParsedSet out;
    if (value.isUndefined()) {
        out.problemCode = ApiStatus::MissingField;
        out.problem = QStringLiteral("set needs a value for %1").arg(key);
        return out;
    }
    if (row.kind == ValueKind::Text) {
        if (!value.isString()) {
            out.problemCode = ApiStatus::WrongType;
            out.problem = QStringLiteral("%1 takes a text, not %2").arg(key, jsonTypeName(value));
        } else if (value.toString().size() > row.max) {
            out.problemCode = ApiStatus::InvalidValue;
            out.problem = QStringLiteral("%1 is %2 characters at most").arg(key).arg(row.max);
        } else {
            out.text = value.toString();
        }
        return out;
    }
    if (value.isArray() || value.isObject() || value.isNull() ||
        (value.isBool() && row.kind != ValueKind::Switch)) {
        out.problemCode = ApiStatus::WrongType;
        out.problem = QStringLiteral("%1 takes %2, not %3")
                          .arg(key,
                               row.kind == ValueKind::Switch || row.kind == ValueKind::BandType
                                   ? QStringLiteral("a word")
                                   : QStringLiteral("a number"),
                               jsonTypeName(value));
        return out;
    }
    if (value.isDouble() && rangedNumber(row.kind) && row.kind != ValueKind::Ratio &&
        (!std::isfinite(value.toDouble()) || value.toDouble() < row.min ||
         value.toDouble() > row.max)) {
        out.problemCode = ApiStatus::InvalidValue;
        out.problem = QStringLiteral("%1 is outside %2 to %3 %4")
                          .arg(shownNumber(value.toDouble()), shownNumber(row.min),
                               shownNumber(row.max), QLatin1String(row.unitText))
                          .trimmed();
        return out;
    }
    const SettingCatalogue::Parsed parsed = SettingCatalogue::parseJson(row.id, value);
    // A text with a unit ("+20 dB") is held to the range by the catalogue, which says so.
    if (!parsed.stored || parsed.adjusted.contains(QLatin1String(" is outside "))) {
        out.problemCode = ApiStatus::InvalidValue;
        out.problem = parsed.stored ? parsed.adjusted : parsed.problem;
        return out;
    }
    out.stored = parsed.stored;
    return out;
}

} // namespace

ApiHub::Reply ApiHub::runRequest(const Request& request)
{
    const QString type = request.message.value("type").toString();
    if (type == QLatin1String("set")) return requestSet(request);
    if (type == QLatin1String("get")) return requestGet(request);
    if (type == QLatin1String("getState")) return success({{"state", StateJson::state(m_backend)}});
    if (type == QLatin1String("getCatalogue"))
        return success({{"catalogue", StateJson::catalogue()}});
    if (type == QLatin1String("subscribe")) return requestSubscribe(request);
    if (type == QLatin1String("getEqCurve")) return requestEqCurve(request);
    if (type == QLatin1String("listPresets") || type == QLatin1String("recallPreset") ||
        type == QLatin1String("savePreset"))
        return requestPresets(request, type);
    return failure(ApiStatus::UnknownRequestType,
                   type.isEmpty() ? QStringLiteral("a request needs a type")
                                  : QStringLiteral("'%1' is not a request type").arg(type));
}

QJsonObject ApiHub::requestGet(const Request& request)
{
    const QString key = request.message.value("key").toString();
    const auto id = SettingCatalogue::parseKey(key);
    if (!id || id->unit > m_backend.unitCount() ||
        !StateJson::shown(SettingCatalogue::row(id->setting)))
        return failure(ApiStatus::UnknownKey, QStringLiteral("no setting '%1'").arg(key));
    return success({{"key", key}, {"value", StateJson::value(m_backend, *id)}});
}

ApiHub::Reply ApiHub::requestSet(const Request& request)
{
    const QJsonObject& m = request.message;
    if (!m.value("key").isString())
        return failure(ApiStatus::MissingField, QStringLiteral("set needs a key (a text)"));
    const QString key = m.value("key").toString();
    const auto id = SettingCatalogue::parseKey(key);
    if (!id || id->unit > m_backend.unitCount() ||
        !StateJson::shown(SettingCatalogue::row(id->setting)))
        return failure(ApiStatus::UnknownKey, QStringLiteral("no setting '%1'").arg(key));
    const SettingRow& row = SettingCatalogue::row(id->setting);
    if (!StateJson::settable(row))
        return failure(ApiStatus::ReadOnly, QStringLiteral("%1 is shown but not set through the "
                                                           "API")
                                                .arg(key));
    const Identity& who = *request.client->who();
    if (row.administrator && who.role != Role::Administrator)
        return failure(
            ApiStatus::Forbidden,
            QStringLiteral("%1 is an administrator setting; %2 is an operator").arg(key, who.name));
    const ParsedSet parsed = parseSetValue(row, key, m.value("value"));
    if (parsed.problemCode != ApiStatus::Ok) return failure(parsed.problemCode, parsed.problem);
    const bool wait = m.value("wait").toBool(false) && !request.batch;
    if (row.kind == ValueKind::Text || request.batch)
        return applySet(request.client, m.value("id"), *id, parsed.stored.value_or(0), parsed.text,
                        wait);
    const quint64 ticket = m_nextTicket++;
    m_pendingSets.insert(ticket, PendingSet{request.client, m.value("id"), *id, wait});
    m_merger.submit(*id, *parsed.stored, ticket);
    return std::nullopt;
}

ApiHub::Reply ApiHub::applySet(ApiClient* client, const QJsonValue& requestId, const ChangeId& id,
                               double stored, const QString& text, bool wait)
{
    const bool name = SettingCatalogue::row(id.setting).kind == ValueKind::Text;
    const QString key = SettingCatalogue::key(id);
    // Names live in the program's database and need no unit; settings do.
    if (const QString why = name ? QString() : m_backend.whyNoChanges(); !why.isEmpty())
        return QJsonObject{{"status", apiStatus(ApiStatus::Inapplicable, why)},
                           {"key", key},
                           {"value", StateJson::value(m_backend, id)}};
    QString problem;
    m_origin = client;
    const Outcome outcome = name ? m_backend.rename(id, text, &problem) : m_backend.set(id, stored);
    m_origin = nullptr;
    QJsonObject fields{{"key", key}, {"value", StateJson::value(m_backend, id)}};
    if (!problem.isEmpty()) {
        fields.insert("status", apiStatus(ApiStatus::Failed, problem));
        return fields;
    }
    switch (outcome) {
    case Outcome::Applied:
        if (wait && !name) {
            m_waiters.append(
                Waiter{client, requestId, id, m_clock.elapsed() + m_options.waitTimeoutMs});
            if (!m_waitTimer.isActive()) m_waitTimer.start();
            return std::nullopt;
        }
        // Names live in the program's database: nothing for the unit to confirm.
        fields.insert("delivery", name ? QStringLiteral("confirmed") : QStringLiteral("pending"));
        fields.insert("confirmed", name);
        return success(fields);
    case Outcome::Unchanged:
        fields.insert("delivery", QStringLiteral("unchanged"));
        fields.insert("confirmed", false);
        return success(fields);
    case Outcome::Refused:
        fields.insert("status", apiStatus(ApiStatus::RefusedByUnit,
                                          QStringLiteral("the unit's account the server logs in "
                                                         "with may not change %1")
                                              .arg(key)));
        return fields;
    case Outcome::Inapplicable:
    case Outcome::Declined: // no question is asked of a remote client; kept for completeness
        fields.insert("status", apiStatus(ApiStatus::Inapplicable,
                                          QStringLiteral("%1 does not apply now (a muted channel, "
                                                         "the automatic threshold)")
                                              .arg(key)));
        return fields;
    }
    return failure(ApiStatus::Failed, QStringLiteral("unknown outcome"));
}

QJsonObject ApiHub::requestSubscribe(const Request& request)
{
    QSet<QString> events = request.client->events();
    int rate = request.client->levelsRate() > 0 ? request.client->levelsRate() : 10;
    QString problem;
    if (!readEvents(request.message, events, rate, &problem))
        return failure(ApiStatus::InvalidValue, problem);
    request.client->setEvents(events, rate);
    if (request.client->levelsRate() > 0) request.client->offerLevels();
    return success(
        {{"events", QJsonArray::fromStringList(QStringList(events.begin(), events.end()))},
         {"levelsRate", request.client->levelsRate()}});
}

QJsonObject ApiHub::requestEqCurve(const Request& request)
{
    const QString channel = request.message.value("channel").toString();
    const auto curve = StateJson::eqCurve(m_backend, channel);
    if (!curve)
        return failure(ApiStatus::UnknownKey,
                       QStringLiteral("no channel '%1' (input.1 to input.8, output.1, output.2)")
                           .arg(channel));
    return success({{"curve", *curve}});
}

QString ApiHub::presetPath(const QString& name, QString* problem) const
{
    static const QRegularExpression plain(QStringLiteral("^[^/\\\\.][^/\\\\]{0,63}$"));
    if (!plain.match(name).hasMatch()) {
        *problem =
            QStringLiteral("'%1' is not a preset name (1 to 64 characters, no folders)").arg(name);
        return {};
    }
    QString file = name;
    if (!file.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive)) file += QLatin1String(".ini");
    return QDir(m_options.presetFolder).filePath(file);
}

QJsonObject ApiHub::requestPresets(const Request& request, const QString& type)
{
    if (type == QLatin1String("listPresets")) {
        QStringList names;
        for (const QFileInfo& f :
             QDir(m_options.presetFolder)
                 .entryInfoList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name))
            names << f.completeBaseName();
        return success({{"presets", QJsonArray::fromStringList(names)}});
    }
    const bool save = type == QLatin1String("savePreset");
    if (save && request.client->who()->role != Role::Administrator)
        return failure(ApiStatus::Forbidden,
                       QStringLiteral("saving a preset is for administrators; %1 is an operator")
                           .arg(request.client->who()->name));
    QString problem;
    const QString path = presetPath(request.message.value("name").toString(), &problem);
    if (path.isEmpty()) return failure(ApiStatus::InvalidValue, problem);
    if (!save && !QFileInfo::exists(path))
        return failure(
            ApiStatus::UnknownKey,
            QStringLiteral("no preset '%1'").arg(request.message.value("name").toString()));
    if (!save) {
        if (const QString why = m_backend.whyNoChanges(); !why.isEmpty())
            return failure(ApiStatus::Inapplicable, why);
    }
    if (save) QDir().mkpath(m_options.presetFolder);
    m_origin = request.client;
    const bool administrator = request.client->who()->role == Role::Administrator;
    const bool done = save ? m_backend.savePreset(path, &problem)
                           : m_backend.recallPreset(path, administrator, &problem);
    m_origin = nullptr;
    if (!done) return failure(ApiStatus::Failed, problem);
    QJsonObject fields{{"name", QFileInfo(path).completeBaseName()}};
    // A recalled preset goes to the unit setting by setting: delivery events follow.
    if (!save) fields.insert("delivery", QStringLiteral("pending"));
    return success(fields);
}

} // namespace sonaro::server
