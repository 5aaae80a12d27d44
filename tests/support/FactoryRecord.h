#pragma once

#include "model/UnitRecord.h"

namespace sonaro::testing {

// A record holding the unit's factory values, as a unit fresh from the factory reports them.
inline UnitRecord factoryRecord()
{
    UnitRecord record{};
    applyFactoryValues(record);
    return record;
}

} // namespace sonaro::testing
