#pragma once

#include "mixer/StateFile.h"
#include "model/GroupTable.h"
#include "model/SettingCatalogue.h"
#include "model/UnitRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

// How sonaroctl prints settings: every list is the catalogue's, keyed by its stable keys
// ("input.3.gain") and labelled with its labels ("Input 3 gain"), values in the units the
// desktop shows.
namespace sonaroctl {

// The version of the JSON of login, show, preset show, set and watch; raised whenever a field is
// renamed or removed or changes its meaning (new fields keep it).
constexpr int kSchemaVersion = 2;

// The value of a setting the record does not hold (a channel name, the groups); undefined when
// there is none to tell.
using OtherValue = std::function<QJsonValue(const sonaro::ChangeId& id)>;

// Every setting of the record, as unit 1's: key -> value.
QJsonObject settingsJson(const sonaro::UnitRecord& record, const OtherValue& other = {});
// One line per setting an operator sees: label and value.
QString settingsText(const sonaro::UnitRecord& record, const OtherValue& other = {});
// The settings whose stored values no unit takes (a damaged or foreign file).
QList<sonaro::ChangeId> outOfRange(const sonaro::UnitRecord& record);

// The five groups of the database: slot, members (inputs 1..8, outputs as out1/out2), links.
QJsonArray groupTableJson(const sonaro::GroupTable& table);
QString groupTableText(const sonaro::GroupTable& table);
// The groups a preset file carries, as channel serial ids.
QJsonArray groupsJson(const sonaro::GroupFileRecords& groups);

// One status line: input and output levels and the open state of each input.
QJsonObject levelsJson(const sonaro::UnitRecord& record);
QString levelsText(const sonaro::UnitRecord& record);

QString jsonLine(const QJsonObject& object);
QString jsonArrayLine(const QJsonArray& array);

} // namespace sonaroctl
