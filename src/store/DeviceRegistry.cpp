#include "store/DeviceRegistry.h"

#include "model/UnitRecord.h"
#include "model/UnitTable.h"
#include "store/Database.h"

#include <algorithm>

namespace sonaro {

namespace {

const QString kSelectChannel =
    QStringLiteral("select * from Device where ID=? and IP=? and Type=?");

int channelCount(ChannelKind kind)
{
    return kind == ChannelKind::Input ? kInputCount : kOutputCount;
}

} // namespace

void DeviceRegistry::ensureChannelRows(int unitCount)
{
    Database::Batch batch(m_db);
    // The unit table holds 64 units; a larger count off the wire cannot be a real chain.
    const int units = std::min(unitCount, UnitTable::kMaxUnits);
    for (int unit = 1; unit <= units; ++unit) {
        for (const ChannelKind kind : {ChannelKind::Input, ChannelKind::Output}) {
            const int type = static_cast<int>(kind);
            const QString prefix =
                kind == ChannelKind::Input ? QStringLiteral("Input") : QStringLiteral("Output");
            for (int index = 0; index < channelCount(kind); ++index) {
                if (!m_db.openQuery(kSelectChannel, {index + 1, unit, type}).empty()) continue;
                // Device has six columns; SerialID and Data take their automatic values.
                m_db.executeSql(
                    QStringLiteral("insert into Device(ID,Name,IP,Type) values(?,?,?,?)"),
                    {index + 1, prefix + QString::number(index), unit, type});
            }
        }
    }
}

QString DeviceRegistry::renameChannel(int unit, ChannelKind kind, int channelIndex,
                                      const QString& currentName, const QString& newName)
{
    const int type = static_cast<int>(kind);
    QString shown = currentName;
    if (!m_db.openQuery(kSelectChannel, {channelIndex + 1, unit, type}).empty()) shown = newName;
    m_db.executeSql(QStringLiteral("update Device set Name=? where ID=? and IP=? and Type=?"),
                    {newName, channelIndex + 1, unit, type});
    return shown;
}

std::optional<QString> DeviceRegistry::channelName(int unit, ChannelKind kind, int channelIndex)
{
    std::optional<QString> name;
    for (const DbRow& row :
         m_db.openQuery(kSelectChannel, {channelIndex + 1, unit, static_cast<int>(kind)}))
        name = row.text("Name");
    return name;
}

void DeviceRegistry::resetChannelsForFactory()
{
    Database::Batch batch(m_db);
    m_db.executeSql(QStringLiteral("delete from DvLink"));
    for (const DbRow& row : m_db.openQuery(QStringLiteral("select * from Device"))) {
        const int id = row.integer("ID");
        const QString name = row.integer("Type") == static_cast<int>(ChannelKind::Output)
                                 ? QStringLiteral("MASTER %1").arg(id)
                                 : QStringLiteral("CHANNEL %1").arg(id);
        m_db.executeSql(QStringLiteral("update Device set Data=0,Name=? where SerialID=?"),
                        {name, row.integer("SerialID")});
    }
}

std::optional<DeviceRegistry::SerialChannel> DeviceRegistry::channelBySerial(int serialId)
{
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from Device where SerialID=?"), {serialId}))
        return SerialChannel{row.text("Name"), row.integer("Type")};
    return std::nullopt;
}

std::optional<QString> DeviceRegistry::unitName(int unit)
{
    for (const DbRow& row :
         m_db.openQuery(QStringLiteral("select * from UnitName where IP=?"), {unit}))
        return row.text("Name");
    return std::nullopt;
}

bool DeviceRegistry::renameUnit(int unit, const QString& name)
{
    {
        Database::Batch batch(m_db);
        m_db.executeSql(QStringLiteral("delete from UnitName where IP=?"), {unit});
        m_db.executeSql(QStringLiteral("insert into UnitName values(?,?)"), {unit, name});
    }
    return unitName(unit) == name;
}

} // namespace sonaro
