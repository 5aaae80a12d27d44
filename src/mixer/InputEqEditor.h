#pragma once

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "mixer/EditorBase.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace sonaro {

// The input EQ editor without its widgets: which channels an edit reaches, the curves drawn from
// the record, the filter sliders, bypass, reset and copy.
//
// Knob, slider, drag and type edits change the record and wait for the 2000 ms tick, which sends
// E for every changed channel. Button actions (bypass, reset, copy, the filter buttons and
// sliders) send at once: E for every changed channel, a 50 ms pause, then G, which carries the
// filter indexes. Offline the changes wait for the unit (see EditorBase).
class InputEqEditor : public EditorBase
{
    Q_OBJECT

public:
    static constexpr int kDefaultSendIntervalMs = 2000;
    // Filter slider position p selects filter index kFilterPositions - p. Index 0 is off, so the
    // slider runs from 1 (the highest index) to kLastFilterPosition (index 1, the first real
    // cut-off); the buttons switch a filter on and off.
    static constexpr int kFilterPositions = 11;
    static constexpr int kLastFilterPosition = kFilterPositions - 1;
    // The gain sliders: position 150 - gain x 10, so 0 is +15 dB and 300 is -15 dB.
    static constexpr int kGainSliderMax = 300;

    InputEqEditor(ControlSurface& surface, CommandPort& port, OperatorInterface& op,
                  QObject* parent = nullptr);

    // --- what the window shows (read from the record every time) -----------------------------
    int channel() const { return m_channel; }
    // The channels an edit reaches: the linked channels when the channel is grouped and its
    // group links EQ, otherwise the channel alone.
    std::vector<int> targets() const;
    bool linked() const;
    std::array<EqBand, kInputEqBands> bands() const;
    int selectedBand() const { return m_selectedBand; } // -1: none
    // The shown channel is bypassed: its gains and filters wait in a bypass save.
    bool bypassed() const { return bypassed(m_channel); }
    bool bypassed(int channel) const;
    bool highPassOn() const;
    bool lowPassOn() const;
    int highPassPosition() const;
    int lowPassPosition() const;
    // The cut-off the slider stands on (the one the button switches on when it is off).
    QString highPassText() const;
    QString lowPassText() const;
    static int gainSliderPosition(double gain);
    static double gainForSliderPosition(int position);

    void computeCurves(InputCurves& curves) const;
    bool computeSelectedBandCurve(ResponseCurve& curve) const;

    // --- operator actions --------------------------------------------------------------------
    // Channel button / open: takes over the channel's group data and shows it.
    void selectChannel(int channel);
    // The record changed under the editor (report, preset, factory restore): show it again.
    void loadChannel();
    void reloadLinks() override;
    void selectBand(int band);

    // One field of band b (InputEqFrequency, InputEqGain, InputEqQ or InputEqType) in every
    // target, held to the field's range; the band's other fields stay.
    Outcome setBandValue(int band, SettingId field, double value);
    // A knob of band b: frequency, gain and Q as the knobs hold them (clamped to their ranges).
    Outcome knobChanged(int band, double frequency, double gain, double q);
    Outcome gainSliderMoved(int band, int position);
    // The graph moved band b's point to (frequency, gain): the fields that changed go into every
    // target; the other bands and fields stay as each channel has them.
    Outcome bandDragged(int band, double frequency, double gain);
    Outcome setBandType(int band, EqBandType type);

    // A filter to filter index 0 (off) .. 10 in every target, sent at once.
    Outcome setFilter(bool highPass, int index);
    Outcome toggleHighPass();
    Outcome toggleLowPass();
    Outcome highPassSliderMoved(int position);
    Outcome lowPassSliderMoved(int position);

    Outcome setBypassed(bool bypass);
    Outcome toggleBypass() { return setBypassed(!bypassed()); }
    Outcome reset();
    // "COPY EQ": asks first (Declined when the operator says No).
    Outcome copyFrom(int sourceChannel);

signals:
    // The channel's own curve changed where the strips show it (bypass, reset, copy, filters).
    void stripChanged(int channel);

private:
    std::vector<ChangeId> bandIds(const std::vector<int>& channels, int band) const;
    std::vector<ChangeId> channelIds(const std::vector<int>& channels) const;
    // A button action on channels: the changed ones go at once and their strips redraw.
    Outcome buttonEdit(const std::vector<int>& channels, const std::function<void()>& change);
    Outcome storeFilter(bool highPass, int index);

    OperatorInterface& m_op;
    int m_channel = 0;
    int m_selectedBand = -1;
    // Where the sliders stand while their filter is off.
    int m_highPassPosition = kLastFilterPosition;
    int m_lowPassPosition = kLastFilterPosition;

    // What bypass took from a channel, kept per channel so that bypass, reset and copy on other
    // channels never touch it. A save counts only while the channel is still flat; anything
    // that gives the channel an EQ again (a report, a preset) ends the bypass.
    struct BypassSave
    {
        std::array<double, kInputEqBands> gains{};
        int highPassIndex = 0;
        int lowPassIndex = 0;
    };
    std::array<std::optional<BypassSave>, kInputCount> m_bypass{};
};

} // namespace sonaro
