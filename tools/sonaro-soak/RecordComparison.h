#pragma once

#include "model/UnitRecord.h"

#include <string>
#include <vector>

namespace sonaro {

// The settings the program sends to a unit (V, M, G, E, B) compared as they travel on the wire:
// the program's record against the unit's. Returns the catalogue keys of those that differ,
// e.g. "input.3.gain" or "input.2.eq.4.gain".
std::vector<std::string> differingFields(const UnitRecord& program, const UnitRecord& unit);

} // namespace sonaro
