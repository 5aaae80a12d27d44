#pragma once

#include "model/UnitRecord.h"

#include <string>

// The two coefficient commands. Like the other builders they read the record when called, so a
// frame built late carries the newest settings.
namespace sonaro {

// E: one EQ block, slot 0..13 (0..7 the input channels, 8..10 the three five-band blocks of
// output 0, 11..13 those of output 1). 269 characters; empty for a slot outside 0..13.
std::string buildE(const UnitRecord& record, int unit, int slot);

// B: the dynamics settings of output 0 or 1. 126 characters; empty for another output.
std::string buildB(const UnitRecord& record, int unit, int output);

} // namespace sonaro
