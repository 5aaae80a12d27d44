#pragma once

#include "dsp/DynamicsModel.h"
#include "dsp/TransferCurve.h"
#include "mixer/CommandPort.h"
#include "mixer/ControlSurface.h"

#include <QObject>
#include <QTimer>

#include <vector>

namespace sonaro {

// The limiter editor without its widgets: the dynamics settings of one output, or of both
// outputs when the output strip is grouped and its group links the limiter. A ratio picked from
// the list reaches both outputs whenever the strip is grouped, whatever the limiter link says.
// Read-out, list and drag edits mark their outputs dirty and a 1000 ms tick sends B for each;
// RESET sends B at once; the DRC button sends G. Nothing is sent while the unit is offline.
class LimiterEditor : public QObject
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
    bool dirty() const { return !m_dirty.empty(); }

    // What the read-outs and lists show.
    int thresholdRaw() const;
    int attackRaw() const;
    int releaseRaw() const;
    int ratioRaw() const;
    int attackListIndex() const;
    int releaseListIndex() const;
    int ratioListIndex() const;

    void selectOutput(int output);
    void reloadLinks();

    // Read-outs: raw values, clamped to their ranges.
    void thresholdReadoutChanged(int raw);
    void attackReadoutChanged(int raw);
    void releaseReadoutChanged(int raw);
    void ratioReadoutChanged(int raw);
    // Lists: entry indexes.
    void attackListSelected(int index);
    void releaseListSelected(int index);
    void ratioListSelected(int index);
    // Graph handles: the knee to input level x, the end point to output level y.
    void kneeDragged(double x);
    void endPointDragged(double y);

    void toggleEnable();
    void reset();

    void tick();
    void setSendInterval(int ms);
    int sendInterval() const { return m_timer.interval(); }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }

signals:
    void changed();

private:
    template <typename Edit> void apply(const std::vector<int>& outputs, Edit edit);
    UnitRecord& record() { return m_surface.record(); }
    const UnitRecord& record() const { return m_surface.table().current(); }
    void sendB(const std::vector<int>& outputs);

    ControlSurface& m_surface;
    CommandPort& m_port;
    QTimer m_timer;
    int m_output = 0;
    StripGroupData m_group;
    std::vector<int> m_dirty;
};

} // namespace sonaro
