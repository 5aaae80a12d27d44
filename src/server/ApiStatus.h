#pragma once

#include <QJsonObject>
#include <QString>

// The API's status codes (docs/api.md lists them with their meaning) and its close codes. A code
// keeps its number forever; new problems get new numbers.
namespace sonaro::server {

enum class ApiStatus
{
    Ok = 100,
    // The message itself.
    Malformed = 200,          // not JSON, or not an object
    UnknownOp = 201,          // "op" missing or not one of identify, request, batch
    UnknownRequestType = 202, // "type" missing or unknown
    MissingField = 203,       // a field the request needs is not there
    WrongType = 204,          // a field has the wrong JSON type
    UnknownKey = 205,         // no setting, channel or preset of that name
    InvalidValue = 206,       // out of range, not one of the words, not a filter cut-off
    ReadOnly = 207,           // shown, but not changed through the API
    TooLarge = 208,           // a batch of too many requests, a name too long
    // Permission and the unit.
    Forbidden = 300,     // an administrator setting or action for an operator
    RefusedByUnit = 301, // the unit's account may not change it
    Inapplicable = 302,  // does not apply now (muted channel, Auto threshold, ...)
    Failed = 303,        // the action failed; the comment says why
    // The connection.
    NotIdentified = 400,
    AuthenticationFailed = 401,
    UnsupportedVersion = 402,
    RateLimited = 429
};

// WebSocket close codes of the API (4000-4999 are the application's).
enum class ApiClose
{
    NotIdentified = 4000,
    AuthenticationFailed = 4001,
    UnsupportedVersion = 4002,
    Flooding = 4003,
    TooSlow = 4004,
    TooManyClients = 4005,
    ServerStopping = 4006
};

inline QJsonObject apiStatus(ApiStatus code, const QString& comment = {})
{
    QJsonObject status{{"code", static_cast<int>(code)}, {"ok", code == ApiStatus::Ok}};
    if (!comment.isEmpty()) status.insert("comment", comment);
    return status;
}

} // namespace sonaro::server
