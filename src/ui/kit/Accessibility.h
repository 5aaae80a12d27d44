#pragma once

namespace sonaro::ui {

// Assistive technology for the kit's painted controls: value controls (faders, knobs, read-outs)
// speak their name and value and take a value, meters speak their level, and the matrix exposes
// every crosspoint as a check box that can be toggled. The kit's constructors call it; the
// interfaces are installed once per process.
void installKitAccessibility();

} // namespace sonaro::ui
