#include "dsp/ResponseGrid.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

int nearestGridIndex(double frequency)
{
    if (std::isnan(frequency)) return kGridPoints - 1; // no grid value reaches it
    // The first point at or above the frequency (the grid ascends).
    const auto upper = std::lower_bound(ResponseGrid.begin(), ResponseGrid.end(), frequency);
    if (upper == ResponseGrid.end()) return kGridPoints - 1;
    const int i = static_cast<int>(upper - ResponseGrid.begin());
    // Strictly nearer to the lower point, or it goes up: a tie takes the upper point.
    if (i > 0 && frequency - *(upper - 1) < *upper - frequency) return i - 1;
    return i;
}

} // namespace sonaro
