#pragma once

#include <functional>

namespace sonaro::testing {

// Runs the event loop until the condition holds or the time is up; true when it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);
// Runs the event loop for the given time.
void spin(int ms);

} // namespace sonaro::testing
