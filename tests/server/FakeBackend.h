#pragma once

#include "server/ServerBackend.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace sonaro::testing {

// A backend of one unit without a unit: a record in memory that set() changes at once, with the
// unit's side played by the test (front-panel changes, confirmations, levels).
class FakeBackend : public server::ServerBackend
{
    Q_OBJECT

public:
    FakeBackend()
    {
        applyFactoryValues(m_record);
        m_record.connected = 1;
    }

    struct Set
    {
        ChangeId id;
        double stored;
    };
    QList<Set> sets;
    QStringList recalled;
    // Outcome of every set() while given (Refused, Inapplicable) instead of applying it.
    std::optional<Outcome> forcedOutcome;
    // Confirms every applied change after this many ms; -1: never.
    int confirmAfterMs = -1;

    UnitRecord& mutableRecord(int) { return m_record; }
    // The unit's side.
    void frontPanel(const ChangeId& id, double stored)
    {
        SettingCatalogue::row(id.setting).set(m_record, id.index, stored);
        emit changed({id}, true);
    }
    void setLevels(int inputLevel, int outputLevel, std::uint32_t openMask)
    {
        for (int i = 0; i < kInputCount; ++i) {
            m_record.inputLevel[i] = inputLevel;
            m_record.inputOpen[i] = (openMask >> i) & 1;
        }
        for (int& level : m_record.outputLevel)
            level = outputLevel;
        emit levelsChanged();
    }

    const UnitRecord& record(int) const override { return m_record; }
    int unitCount() const override { return 1; }
    QString channelName(const ChangeId& nameId) const override { return m_names.value(nameId); }
    QJsonObject linkState() const override
    {
        return QJsonObject{{"connection", QStringLiteral("connected")},
                           {"address", QStringLiteral("127.0.0.2")},
                           {"port", 5100}};
    }
    Outcome set(const ChangeId& id, double stored) override
    {
        sets.append(Set{id, stored});
        if (forcedOutcome) return *forcedOutcome;
        const SettingRow& row = SettingCatalogue::row(id.setting);
        if (row.get(m_record, id.index) == stored) return Outcome::Unchanged;
        row.set(m_record, id.index, stored);
        emit changed({id}, false);
        if (confirmAfterMs >= 0)
            QTimer::singleShot(confirmAfterMs, this, [this, id] { emit confirmed(id); });
        return Outcome::Applied;
    }
    Outcome rename(const ChangeId& nameId, const QString& name, QString*) override
    {
        if (m_names.value(nameId) == name) return Outcome::Unchanged;
        m_names.insert(nameId, name);
        emit changed({nameId}, false);
        return Outcome::Applied;
    }
    // A preset is the file's name: the tests look only at where it is kept.
    bool recallPreset(const QString& path, bool, QString*) override
    {
        recalled << path;
        return true;
    }
    bool savePreset(const QString& path, QString* problem) override
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) return true;
        *problem = file.errorString();
        return false;
    }

private:
    UnitRecord m_record = zeroRecord();
    QHash<ChangeId, QString> m_names;
};

} // namespace sonaro::testing
