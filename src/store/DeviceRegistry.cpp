#include "store/DeviceRegistry.h"

#include "mixer/UnitRecord.h"
#include "mixer/UnitTable.h"
#include "store/CDbConnection.h"

#include <algorithm>

namespace sonaro {

namespace {

const QString kSelectChannel =
    QStringLiteral("select * from Device where ID=? and IP=? and Type=?");

int ChannelCount(ChannelKind kind)
{
    return kind == ChannelKind::Input ? kInputCount : kOutputCount;
}

} // namespace

void DeviceRegistry::EnsureChannelRows(int unitCount)
{
    CDbConnection::Batch batch(m_db);
    // The unit table holds 64 units; a larger count off the wire cannot be a real chain.
    const int units = std::min(unitCount, UnitTable::kMaxUnits);
    for (int unit = 1; unit <= units; ++unit) {
        for (const ChannelKind kind : {ChannelKind::Input, ChannelKind::Output}) {
            const int type = static_cast<int>(kind);
            const QString prefix =
                kind == ChannelKind::Input ? QStringLiteral("Input") : QStringLiteral("Output");
            for (int index = 0; index < ChannelCount(kind); ++index) {
                if (!m_db.OpenQuery(kSelectChannel, {index + 1, unit, type}).empty()) continue;
                // Device has six columns; SerialID and Data take their automatic values.
                m_db.ExecuteSql(
                    QStringLiteral("insert into Device(ID,Name,IP,Type) values(?,?,?,?)"),
                    {index + 1, prefix + QString::number(index), unit, type});
            }
        }
    }
}

QString DeviceRegistry::RenameChannel(int unit, ChannelKind kind, int channelIndex,
                                      const QString& currentName, const QString& newName)
{
    const int type = static_cast<int>(kind);
    QString shown = currentName;
    if (!m_db.OpenQuery(kSelectChannel, {channelIndex + 1, unit, type}).empty()) shown = newName;
    m_db.ExecuteSql(QStringLiteral("update Device set Name=? where ID=? and IP=? and Type=?"),
                    {newName, channelIndex + 1, unit, type});
    return shown;
}

std::optional<QString> DeviceRegistry::ChannelName(int unit, ChannelKind kind, int channelIndex)
{
    std::optional<QString> name;
    for (const DbRow& row :
         m_db.OpenQuery(kSelectChannel, {channelIndex + 1, unit, static_cast<int>(kind)}))
        name = row.text("Name");
    return name;
}

void DeviceRegistry::ResetChannelsForFactory()
{
    CDbConnection::Batch batch(m_db);
    m_db.ExecuteSql(QStringLiteral("delete from DvLink"));
    for (const DbRow& row : m_db.OpenQuery(QStringLiteral("select * from Device"))) {
        const int id = row.integer("ID");
        const QString name = row.integer("Type") == static_cast<int>(ChannelKind::Output)
                                 ? QStringLiteral("MASTER %1").arg(id)
                                 : QStringLiteral("CHANNEL %1").arg(id);
        m_db.ExecuteSql(QStringLiteral("update Device set Data=0,Name=? where SerialID=?"),
                        {name, row.integer("SerialID")});
    }
}

} // namespace sonaro
