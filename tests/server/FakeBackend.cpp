#include "server/FakeBackend.h"

#include <QFile>
#include <QTimer>

namespace sonaro::testing {

FakeBackend::FakeBackend(int units)
{
    for (int u = 0; u < units; ++u) {
        UnitRecord r = zeroRecord();
        applyFactoryValues(r);
        r.connected = 1;
        m_records.push_back(r);
    }
}

const UnitRecord& FakeBackend::record(int unit) const
{
    return m_records.at(static_cast<std::size_t>(unit - 1));
}

QString FakeBackend::channelName(const ChangeId& nameId) const
{
    return m_names.value(nameId);
}

QJsonObject FakeBackend::linkState() const
{
    return QJsonObject{{"connection", QStringLiteral("connected")},
                       {"address", QStringLiteral("127.0.0.2")},
                       {"port", 5100}};
}

Outcome FakeBackend::set(const ChangeId& id, double stored)
{
    sets.append(Set{id, stored});
    if (forcedOutcome) return *forcedOutcome;
    const SettingRow& row = SettingCatalogue::row(id.setting);
    UnitRecord& r = mutableRecord(id.unit);
    if (row.get(r, id.index) == stored) return Outcome::Unchanged;
    row.set(r, id.index, stored);
    emit changed({id}, false);
    if (confirmAfterMs >= 0) {
        QTimer::singleShot(confirmAfterMs, this, [this, id] {
            if (deliveryFails)
                emit notDelivered(id);
            else
                emit confirmed(id);
        });
    }
    return Outcome::Applied;
}

Outcome FakeBackend::rename(const ChangeId& nameId, const QString& name, QString*)
{
    if (m_names.value(nameId) == name) return Outcome::Unchanged;
    m_names.insert(nameId, name);
    emit changed({nameId}, false);
    return Outcome::Applied;
}

void FakeBackend::frontPanel(const ChangeId& id, double stored)
{
    SettingCatalogue::row(id.setting).set(mutableRecord(id.unit), id.index, stored);
    emit changed({id}, true);
}

void FakeBackend::setLevels(int inputLevel, int outputLevel, std::uint32_t openMask)
{
    UnitRecord& r = mutableRecord(1);
    for (int i = 0; i < kInputCount; ++i) {
        r.inputLevel[i] = inputLevel;
        r.inputOpen[i] = (openMask >> i) & 1;
    }
    for (int o = 0; o < kOutputCount; ++o)
        r.outputLevel[o] = outputLevel;
    emit levelsChanged();
}

// A preset is the file's name: the tests look only at where it is kept.
bool FakeBackend::recallPreset(const QString& path, bool, QString*)
{
    recalled << path;
    return true;
}

bool FakeBackend::savePreset(const QString& path, QString* problem)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) return true;
    *problem = file.errorString();
    return false;
}

} // namespace sonaro::testing
