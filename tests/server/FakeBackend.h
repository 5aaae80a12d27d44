#pragma once

#include "server/ServerBackend.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <optional>
#include <vector>

namespace sonaro::testing {

// A backend without a unit: records in memory that set() changes at once, with the unit's side
// played by the test (front-panel changes, confirmations, levels).
class FakeBackend : public server::ServerBackend
{
    Q_OBJECT

public:
    explicit FakeBackend(int units = 1);

    struct Set
    {
        ChangeId id;
        double stored;
    };
    QList<Set> sets;
    QStringList recalled;
    // Outcome of every set() while given (Refused, Inapplicable) instead of applying it.
    std::optional<Outcome> forcedOutcome;
    // Confirms (or reports as not delivered) every applied change after this many ms; -1: never.
    int confirmAfterMs = -1;
    bool deliveryFails = false;

    UnitRecord& mutableRecord(int unit) { return m_records.at(static_cast<std::size_t>(unit - 1)); }
    // The unit's side.
    void frontPanel(const ChangeId& id, double stored);
    void setLevels(int inputLevel, int outputLevel, std::uint32_t openMask);

    const UnitRecord& record(int unit) const override;
    int unitCount() const override { return static_cast<int>(m_records.size()); }
    QString channelName(const ChangeId& nameId) const override;
    QJsonObject linkState() const override;
    Outcome set(const ChangeId& id, double stored) override;
    Outcome rename(const ChangeId& nameId, const QString& name, QString* problem) override;
    bool recallPreset(const QString& path, bool administrator, QString* problem) override;
    bool savePreset(const QString& path, QString* problem) override;

private:
    std::vector<UnitRecord> m_records;
    QHash<ChangeId, QString> m_names;
};

} // namespace sonaro::testing
