#pragma once

namespace sonaro {
class VirtualUnit;
}

// The tests' hand on the demo unit (sonaro-server --demo --demo-commands): one command a line on
// standard input.
//   panel KEY JSON-VALUE   a change at the unit's front panel, reported as the unit reports it
//   drop KIND COUNT        the next COUNT frames of KIND (V, M, G, E, B) are lost on their way in
void playDemoCommands(sonaro::VirtualUnit& unit);
