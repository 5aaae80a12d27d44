#pragma once

#include "model/UnitRecord.h"

#include <array>

namespace sonaro {

enum class Language : int
{
    English = 1,
    Chinese = 2
};

// The records of all units, addressed by unit number 1..64, plus the current unit number that
// selects the record the pages show, and the label language. Owned by the main thread.
class UnitTable
{
public:
    static constexpr int kMaxUnits = 64;

    UnitTable();

    static bool isValidUnit(int unit) { return unit >= 1 && unit <= kMaxUnits; }

    // unit must be 1..64 (checked by the callers that read it off the wire).
    UnitRecord& record(int unit) { return m_records[static_cast<std::size_t>(unit - 1)]; }
    const UnitRecord& record(int unit) const
    {
        return m_records[static_cast<std::size_t>(unit - 1)];
    }

    int currentUnit() const { return m_currentUnit; }
    // The unit the pages show; a number outside 1..64 is ignored.
    void setCurrentUnit(int unit)
    {
        if (isValidUnit(unit)) m_currentUnit = unit;
    }
    UnitRecord& current() { return record(m_currentUnit); }
    const UnitRecord& current() const { return record(m_currentUnit); }

    Language language() const { return m_language; }
    void setLanguage(Language language) { m_language = language; }
    bool english() const { return m_language == Language::English; }

    // Zero-fills every record (the view does this before reading the state file).
    void clear();
    // The view's start-up values of record 1: the unit's account names "admin"/"user" and the
    // user account level.
    void initialiseAccounts();

private:
    std::array<UnitRecord, kMaxUnits> m_records;
    int m_currentUnit = 1;
    Language m_language = Language::Chinese;
};

} // namespace sonaro
