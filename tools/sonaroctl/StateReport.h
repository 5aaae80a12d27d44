#pragma once

#include "mixer/StateFile.h"
#include "model/GroupTable.h"
#include "model/UnitRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

// How sonaroctl prints a unit's state: one JSON object (for --json) and a text form for people.
// Channel, output and band numbers are counted from 1 as the desktop labels them; gains are in
// dB as the read-outs show them.
namespace sonaroctl {

// The version of the JSON that show, preset show and login print; raised whenever a field is
// renamed or removed or changes its meaning (new fields keep it).
constexpr int kSchemaVersion = 1;

// Channel names as the database holds them; empty where it has none.
struct ChannelNames
{
    QStringList inputs;
    QStringList outputs;
};
void addNames(QJsonObject& state, const ChannelNames& names);
QString namesText(const ChannelNames& names);

// The state as "path": value pairs named as the JSON names them ("inputs[3].gainDb",
// "outputs[1].eq[14].q"), without the levels and open states that stream on their own.
QMap<QString, QJsonValue> flatState(const QJsonObject& state);

QJsonObject recordJson(const sonaro::UnitRecord& record);
QString recordText(const sonaro::UnitRecord& record);

// The fields whose values no unit would take (a damaged or foreign file), named as the report
// names them, with the raw value; empty when every value is in its range.
QStringList outOfRange(const sonaro::UnitRecord& record);

QJsonArray groupsJson(const sonaro::GroupFileRecords& groups);
QString groupsText(const sonaro::GroupFileRecords& groups);

// The five groups of the database: slot, members (inputs 1..8, outputs as out1/out2) and links.
QJsonArray groupTableJson(const sonaro::GroupTable& table);
QString groupTableText(const sonaro::GroupTable& table);

// One status line: input and output levels and the open state of each input.
QJsonObject levelsJson(const sonaro::UnitRecord& record);
QString levelsText(const sonaro::UnitRecord& record);

} // namespace sonaroctl
