#include "mixer/UnitTable.h"

namespace sonaro {

UnitTable::UnitTable()
{
    clear();
}

void UnitTable::setCurrentUnit(int unit)
{
    if (isValidUnit(unit)) m_currentUnit = unit;
}

void UnitTable::clear()
{
    for (UnitRecord& r : m_records)
        r = ZeroRecord();
}

void UnitTable::initialiseAccounts()
{
    UnitRecord& r = record(1);
    StoreAccount(r.adminName, "admin");
    StoreAccount(r.userName, "user");
    r.accountLevel = 2;
}

} // namespace sonaro
