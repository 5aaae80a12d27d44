#include "model/UnitTable.h"

namespace sonaro {

UnitTable::UnitTable()
{
    clear();
}

void UnitTable::clear()
{
    for (UnitRecord& r : m_records)
        r = zeroRecord();
}

void UnitTable::initialiseAccounts()
{
    UnitRecord& r = record(1);
    storeAccount(r.adminName, "admin");
    storeAccount(r.userName, "user");
    r.accountLevel = 2;
}

} // namespace sonaro
