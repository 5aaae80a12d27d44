#pragma once

#include "dsp/DynamicsModel.h"

#include <array>

namespace sonaro {

struct CurvePoint
{
    double input;  // dB
    double output; // dB
};

// The static input/output characteristic of one output's dynamics processor, drawn over
// -140..+20 dB on both axes: slope 1 up to the knee at (threshold, threshold), slope 1/ratio
// above it up to the end point at input +20 dB.
class TransferCurve
{
public:
    TransferCurve() = default;
    explicit TransferCurve(const DynamicsSettings& settings) { update(settings); }

    void update(const DynamicsSettings& settings);

    double threshold() const { return m_threshold; }
    double ratio() const { return m_ratio; }
    double slopeBelow() const { return 1.0; }
    double slopeAbove() const { return 1.0 / m_ratio; }

    // The two draggable handles: graph point 0 (knee) and graph point 1 (end point).
    CurvePoint knee() const { return {m_threshold, m_threshold}; }
    CurvePoint endPoint() const { return {kDynamicsGraphMax, outputFor(kDynamicsGraphMax)}; }

    // Output level for an input level.
    double outputFor(double input) const;

    // Left edge, knee and end point; a knee outside the graph is moved onto its edge.
    std::array<CurvePoint, 3> polyline() const;

private:
    double m_ratio = 1.0;
    double m_threshold = 0.0;
};

} // namespace sonaro
