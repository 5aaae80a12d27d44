#pragma once

#include "dsp/DynamicsModel.h"
#include "dsp/TransferCurve.h"
#include "mixer/EditorBase.h"

#include <vector>

namespace sonaro {

// The limiter editor without its widgets: the dynamics settings of one output, or of both
// outputs when the output strip is grouped and its group links the limiter. A ratio picked from
// the list reaches both outputs whenever the strip is grouped, whatever the limiter link says.
// Read-out, list and drag edits wait for the 1000 ms tick, which sends B for every changed output;
// RESET sends B at once, the DRC button G. Offline the changes wait for the unit (see EditorBase).
class LimiterEditor : public EditorBase
{
    Q_OBJECT

public:
    static constexpr int kDefaultSendIntervalMs = 1000;

    LimiterEditor(ControlSurface& surface, CommandPort& port, QObject* parent = nullptr);

    int output() const { return m_output; }
    bool linked() const;
    bool grouped() const { return m_group.grouped; }
    std::vector<int> targets() const;
    DynamicsSettings settings() const;
    TransferCurve curve() const { return TransferCurve(settings()); }
    bool enabled() const;

    // What the read-outs and lists show.
    int thresholdRaw() const;
    int attackRaw() const;
    int releaseRaw() const;
    int ratioRaw() const;
    int attackListIndex() const;
    int releaseListIndex() const;
    int ratioListIndex() const;

    void selectOutput(int output);
    void reloadLinks() override;

    // One setting of the limiter (LimiterThreshold, LimiterRatio, LimiterAttack, LimiterRelease
    // as stored values, LimiterEnable 0 or 1) in every target, held to its range.
    Outcome setValue(SettingId field, double value);

    // Read-outs: raw values, clamped to their ranges (ratio: kRatioReadoutInfinite is "INF:1").
    Outcome thresholdReadoutChanged(int raw);
    Outcome attackReadoutChanged(int raw);
    Outcome releaseReadoutChanged(int raw);
    Outcome ratioReadoutChanged(int raw);
    // Lists: entry indexes.
    Outcome attackListSelected(int index);
    Outcome releaseListSelected(int index);
    Outcome ratioListSelected(int index);
    // Graph handles: the knee to input level x, the end point to output level y.
    Outcome kneeDragged(double x);
    Outcome endPointDragged(double y);

    Outcome toggleEnable();
    Outcome reset();

private:
    template <typename Edit> Outcome apply(const std::vector<int>& outputs, Edit change);
    std::vector<ChangeId> dynamicsIds(const std::vector<int>& outputs) const;

    int m_output = 0;
};

} // namespace sonaro
