#include "dsp/TransferCurve.h"

#include <algorithm>

namespace sonaro {

void TransferCurve::update(const DynamicsSettings& settings)
{
    m_ratio = settings.ratio;
    m_threshold = settings.threshold;
}

double TransferCurve::outputFor(double input) const
{
    if (input <= m_threshold) return input;
    // At +20 dB this is (1 - 1/ratio) x threshold + 20 / ratio.
    return m_threshold + (input - m_threshold) / m_ratio;
}

std::array<CurvePoint, 3> TransferCurve::polyline() const
{
    const double kneeInput = std::clamp(m_threshold, kDynamicsGraphMin, kDynamicsGraphMax);
    return {CurvePoint{kDynamicsGraphMin, outputFor(kDynamicsGraphMin)},
            CurvePoint{kneeInput, outputFor(kneeInput)}, endPoint()};
}

} // namespace sonaro
