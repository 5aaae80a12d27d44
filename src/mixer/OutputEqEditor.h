#pragma once

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "mixer/CommandPort.h"
#include "mixer/ControlSurface.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <vector>

namespace sonaro {

// The output EQ editor without its widgets: fifteen bands of one output, or of both outputs when
// the output strip is grouped and its group links EQ. Every edit (knob, drag, bypass, reset)
// marks its outputs dirty; a 2000 ms tick sends the three E blocks of every dirty output (slots
// 8..10 for output 0, 11..13 for output 1). Nothing is sent while the unit is not connected.
class OutputEqEditor : public QObject
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
    bool bypassed() const { return m_bypass; }
    bool dirty() const { return !m_dirty.empty(); }

    void computeCurve(ResponseCurve& curve) const;
    bool computeSelectedBandCurve(ResponseCurve& curve) const;

    // Opens the editor on an output (0 or 1) and takes over its strip's group data.
    void selectOutput(int output);
    void reloadLinks();
    void selectBand(int band);

    void knobChanged(int band, double frequency, double gain, double q);
    void bandDragged(int band, double frequency, double gain);
    void toggleBypass();
    void reset();

    // While connected: sends E for the blocks of every dirty output and clears the dirty set.
    // Offline the edits stay dirty until the unit is back.
    void tick();
    void setSendInterval(int ms);
    int sendInterval() const { return m_timer.interval(); }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }

signals:
    void changed();
    void stripChanged(int output);

private:
    UnitRecord& record() { return m_surface.record(); }
    const UnitRecord& record() const { return m_surface.table().current(); }
    void markDirty(const std::vector<int>& outputs);

    ControlSurface& m_surface;
    CommandPort& m_port;
    QTimer m_timer;
    int m_output = 0;
    StripGroupData m_group;
    int m_selectedBand = -1;

    // Each bypassed output keeps its own gains, so a linked pair gets its own values back.
    struct BypassSave
    {
        int output;
        std::array<double, kOutputEqBands> gains;
    };
    bool m_bypass = false;
    std::vector<BypassSave> m_bypassSaves;
    std::vector<int> m_dirty;
};

} // namespace sonaro
