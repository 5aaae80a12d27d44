#pragma once

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "mixer/CommandPort.h"
#include "mixer/ControlSurface.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <vector>

namespace sonaro {

// The input EQ editor without its widgets: which channels an edit reaches, the display copy the
// curves are drawn from, the filter sliders, bypass, reset and copy, and the background send.
//
// Knob, slider, drag and type edits mark their channels dirty; a 2000 ms tick sends E for every
// dirty channel. Button actions (bypass, reset, copy) send at once: E for every target, a 50 ms
// pause, then G, which carries the filter indexes. The filter buttons and sliders send G alone.
// Nothing is sent while the unit is not connected; the record and the curves change anyway.
class InputEqEditor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultSendIntervalMs = 2000;
    static constexpr int kPauseBeforeGMs = 50;
    // The filter sliders have 11 positions; position p selects filter index 11 - p, so the
    // bottom position 11 is index 0 (off).
    static constexpr int kFilterPositions = 11;
    // The gain sliders: position 150 - gain x 10, so 0 is +15 dB and 300 is -15 dB.
    static constexpr int kGainSliderMax = 300;

    InputEqEditor(ControlSurface& surface, CommandPort& port, OperatorInterface& op,
                  QObject* parent = nullptr);

    // --- what the window shows ---------------------------------------------------------------
    int channel() const { return m_channel; }
    // The channels an edit reaches: the linked channels when the channel is grouped and its
    // group links EQ, otherwise the channel alone.
    std::vector<int> targets() const;
    bool linked() const;
    const std::array<EqBand, kInputEqBands>& bands() const { return m_bands; }
    int selectedBand() const { return m_selectedBand; } // -1: none
    bool bypassed() const { return m_bypass; }
    bool highPassOn() const { return m_highPassOn; }
    bool lowPassOn() const { return m_lowPassOn; }
    int highPassPosition() const { return m_highPassPosition; }
    int lowPassPosition() const { return m_lowPassPosition; }
    QString highPassText() const { return m_highPassText; }
    QString lowPassText() const { return m_lowPassText; }
    static int gainSliderPosition(double gain);
    static double gainForSliderPosition(int position);
    // Any edit not yet sent.
    bool dirty() const { return !m_dirty.empty(); }

    // The three series and the selected band's own curve (empty optional: no band selected).
    void computeCurves(InputCurves& curves) const;
    bool computeSelectedBandCurve(ResponseCurve& curve) const;

    // --- operator actions --------------------------------------------------------------------
    // Channel button / open: takes over the channel's group data and loads it.
    void selectChannel(int channel);
    // Sets every control from the record (after a channel change, reset, bypass, copy).
    void loadChannel();
    // The group data changed (group tab, group dialog): take the channel's links again.
    void reloadLinks();
    void selectBand(int band);

    // A knob of band b: frequency, gain and Q as the knobs hold them (clamped to their ranges).
    void knobChanged(int band, double frequency, double gain, double q);
    void gainSliderMoved(int band, int position);
    // The graph moved band b's point to (frequency, gain); the other points stay where they are.
    void bandDragged(int band, double frequency, double gain);
    void setBandType(int band, EqBandType type);

    void toggleHighPass();
    // Needs the unit: offline it shows "Cannot connect." and changes nothing.
    void toggleLowPass();
    void highPassSliderMoved(int position);
    void lowPassSliderMoved(int position);

    void toggleBypass();
    void reset();
    // "COPY EQ": asks first; true when the copy was made.
    bool copyFrom(int sourceChannel);

    // --- background send ---------------------------------------------------------------------
    // While connected: sends E for every dirty channel and clears the dirty set. Offline the
    // edits stay dirty until the unit is back.
    void tick();
    void setSendInterval(int ms);
    int sendInterval() const { return m_timer.interval(); }
    // The tick runs on the editor's own timer while started.
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }

signals:
    // The editor's controls and curves should be read again.
    void changed();
    // The channel's own curve changed where the strips show it (bypass, reset, copy, filters).
    void stripChanged(int channel);

private:
    UnitRecord& record() { return m_surface.record(); }
    bool connected() const { return m_surface.connected(); }
    void markDirty(const std::vector<int>& channels);
    void refreshStrips(const std::vector<int>& channels);
    void sendEThenG(const std::vector<int>& channels);
    void sendG();
    void storeHighPass(const std::vector<int>& channels);
    void storeLowPass(const std::vector<int>& channels);
    void updateFilterTexts();

    ControlSurface& m_surface;
    CommandPort& m_port;
    OperatorInterface& m_op;
    QTimer m_timer;

    int m_channel = 0;
    StripGroupData m_group;
    std::array<EqBand, kInputEqBands> m_bands{};
    int m_selectedBand = -1;
    bool m_highPassOn = false;
    bool m_lowPassOn = false;
    int m_highPassPosition = kFilterPositions;
    int m_lowPassPosition = kFilterPositions;
    QString m_highPassText;
    QString m_lowPassText;

    // Bypass keeps what it zeroed per channel, so that switching it off gives every channel its
    // own gains back, even after another channel was selected meanwhile.
    struct BypassSave
    {
        int channel;
        std::array<double, kInputEqBands> gains;
        int highPassIndex;
    };
    bool m_bypass = false;
    std::vector<BypassSave> m_bypassSaves;

    // Channels edited since the last tick. A set rather than one flag, so that an edit is sent
    // even when another channel is selected before the tick.
    std::vector<int> m_dirty;
};

} // namespace sonaro
