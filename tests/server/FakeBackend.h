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
public:
    FakeBackend()
    {
        applyFactoryValues(unit);
        unit.connected = 1;
    }

    QList<std::pair<ChangeId, double>> sets; // every set(): the setting and its stored value
    QStringList recalled;
    // Outcome of every set() while given (Refused, Inapplicable) instead of applying it.
    std::optional<Outcome> forcedOutcome;
    // Confirms every applied change after this many ms; -1: never.
    int confirmAfterMs = -1;
    UnitRecord unit = zeroRecord();
    QHash<ChangeId, QString> names;

    // The unit's side.
    void frontPanel(const ChangeId& id, double stored)
    {
        SettingCatalogue::row(id.setting).set(unit, id.index, stored);
        emit changed({id}, true);
    }
    void setLevels(int inputLevel, std::uint32_t openMask)
    {
        for (int i = 0; i < kInputCount; ++i) {
            unit.inputLevel[i] = inputLevel;
            unit.inputOpen[i] = (openMask >> i) & 1;
        }
        emit levelsChanged();
    }

    const UnitRecord& record(int) const override { return unit; }
    int unitCount() const override { return 1; }
    QString channelName(const ChangeId& nameId) const override { return names.value(nameId); }
    QJsonObject linkState() const override { return QJsonObject{{"connection", "connected"}}; }
    Outcome set(const ChangeId& id, double stored) override
    {
        sets.append({id, stored});
        if (forcedOutcome) return *forcedOutcome;
        const SettingRow& row = SettingCatalogue::row(id.setting);
        if (row.get(unit, id.index) == stored) return Outcome::Unchanged;
        row.set(unit, id.index, stored);
        emit changed({id}, false);
        if (confirmAfterMs >= 0)
            QTimer::singleShot(confirmAfterMs, this, [this, id] { emit confirmed(id); });
        return Outcome::Applied;
    }
    Outcome rename(const ChangeId& nameId, const QString& name, QString*) override
    {
        if (names.value(nameId) == name) return Outcome::Unchanged;
        names.insert(nameId, name);
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
};

} // namespace sonaro::testing
