#pragma once

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "mixer/EditorBase.h"

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace sonaro {

// The output EQ editor without its widgets: fifteen bands of one output, or of both outputs when
// the output strip is grouped and its group links EQ. Knob and drag edits wait for the 2000 ms
// tick; bypass and reset send at once. An output is sent as its three E blocks (slots 8..10 for
// output 0, 11..13 for output 1). Offline the changes wait for the unit (see EditorBase).
class OutputEqEditor : public EditorBase
{
    Q_OBJECT

public:
    static constexpr int kDefaultSendIntervalMs = 2000;

    OutputEqEditor(ControlSurface& surface, CommandPort& port, QObject* parent = nullptr);

    int output() const { return m_output; }
    bool linked() const;
    std::vector<int> targets() const;
    std::array<EqBand, kOutputEqBands> bands() const;
    int selectedBand() const { return m_selectedBand; }
    bool bypassed() const { return bypassed(m_output); }
    bool bypassed(int output) const;

    void computeCurve(ResponseCurve& curve) const;
    bool computeSelectedBandCurve(ResponseCurve& curve) const;

    // Opens the editor on an output (0 or 1) and takes over its strip's group data.
    void selectOutput(int output);
    void reloadLinks() override;
    void selectBand(int band);

    // One field of band b (OutputEqFrequency, OutputEqGain or OutputEqQ) in every target, held
    // to the field's range; the band's other fields stay.
    Outcome setBandValue(int band, SettingId field, double value);
    Outcome knobChanged(int band, double frequency, double gain, double q);
    // The fields of band b that the drag changed go into every target, nothing else.
    Outcome bandDragged(int band, double frequency, double gain);
    Outcome setBypassed(bool bypass);
    Outcome toggleBypass() { return setBypassed(!bypassed()); }
    Outcome reset();

signals:
    void stripChanged(int output);

private:
    // An edit of the outputs: every E block of a changed output goes (at once with now).
    Outcome editOutputs(const std::vector<int>& outputs, const std::function<void()>& change,
                        bool now);

    int m_output = 0;
    int m_selectedBand = -1;

    // What bypass took from each output; it counts only while the output is still flat.
    std::array<std::optional<std::array<double, kOutputEqBands>>, kOutputCount> m_bypass{};
};

} // namespace sonaro
