#pragma once

#include "model/SettingCatalogue.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The API's view of the unit, computed from the catalogue and the backend's records: every
// setting under its catalogue key with its value in the units the desktop shows, the levels and
// open states, the link, the catalogue itself for clients that build their controls from it, and
// EQ responses from the very coefficients the unit runs.
namespace sonaro::server {

class ServerBackend;

class StateJson
{
public:
    // Changes only when a client written for an older version would misread a message.
    static constexpr int kSchemaVersion = 1;

    // Settings the API shows: every row but the program's own bookkeeping (masks, the link
    // table). Settable: shown and with an operator control on the desktop.
    static bool shown(const SettingRow& row);
    static bool settable(const SettingRow& row);

    static QJsonValue value(const ServerBackend& backend, const ChangeId& id);
    // {"input.1.gain": -10, ..., "unit.2.input.1.gain": ...} for every unit.
    static QJsonObject settings(const ServerBackend& backend);
    // {"schemaVersion", "units", "link", "settings", "levels"}
    static QJsonObject state(const ServerBackend& backend);
    // Unit 1's levels: {"live", "inputs": [meter 0..1], "outputs": [...], "open": [bool],
    // "raw": {"inputs": [...], "outputs": [...]}}
    static QJsonObject levels(const UnitRecord& record);
    // The catalogue's rows as the page and control systems read them.
    static QJsonArray catalogue();

    // "input.3", "output.1", "unit.2.input.3": the channel's EQ response (frequencies, levels in
    // dB, the bands' handles); nullopt for anything else.
    static std::optional<QJsonObject> eqCurve(const ServerBackend& backend, const QString& channel);

    // The meter's share (0..1) of a level as the unit reports it, as the desktop's meters show it.
    static double meterShare(int level);
};

} // namespace sonaro::server
