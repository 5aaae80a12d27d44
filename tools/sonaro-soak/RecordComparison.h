#pragma once

#include "model/UnitRecord.h"

#include <string>
#include <vector>

namespace sonaro {

// The fields the program sends to a unit (V, M, G, E, B) compared as they travel on the wire:
// the program's record against the unit's. Returns the names of the fields that differ, e.g.
// "inputGain[3]" or "inputEq[ch 2 band 4].gain".
std::vector<std::string> differingFields(const UnitRecord& program, const UnitRecord& unit);

} // namespace sonaro
