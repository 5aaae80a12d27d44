#pragma once

#include "mixer/ControlSurface.h"

#include <QFrame>
#include <QTimer>

#include <cstdint>
#include <span>

class QLabel;
class QVBoxLayout;

namespace sonaro {
class UndoHistory;
}

namespace sonaro::ui {

class Fader;
class LevelMeter;
class ResponseGraph;

// What input and output strips share: the name (double-click renames), the channel number, the
// gain fader with its dB read-out, the level meter and the 30 ms meter timer that runs while the
// strip is visible. The context menu (right button, the menu key) offers the channel commands.
class ChannelStrip : public QFrame
{
    Q_OBJECT

public:
    // Strips share the page's width between these bounds.
    static constexpr int kStripMinWidth = 118;
    static constexpr int kStripMaxWidth = 420;
    static constexpr int kMeterTickMs = 30;

    ChannelStrip(ControlSurface& surface, UndoHistory* history, int channel,
                 QWidget* parent = nullptr);

    int channel() const { return m_channel; }
    QString name() const;
    void setName(const QString& name);
    Fader* fader() const { return m_fader; }
    LevelMeter* meter() const { return m_meter; }
    ResponseGraph* curve() const { return m_curve; }

    // Sets every control from the current unit's record.
    virtual void refresh() = 0;

    // The meter's value for a reported level: the level is clamped to 80..191 (and written back,
    // so that a wild report does not linger), then scaled to the meter's 0..50.
    static int meterPushValue(std::int32_t& level);
    // The dB a fader position stands for (the top, position 0, is +10 dB).
    static int dbForFaderPosition(int position);

signals:
    void renameRequested(int channel);
    // A click on the small EQ curve.
    void curveClicked(int channel);
    // The context menu of the strip, at a global position.
    void commandsRequested(QPoint globalPosition);

protected:
    // One tick of the meter timer.
    virtual void meterTick() = 0;
    virtual void retranslate() = 0;

    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Adds the controls between the header and the fader.
    QVBoxLayout* controlsLayout() const { return m_controls; }
    void setHeaderText(const QString& text);
    // Names the shared controls for assistive technology: the strip, the fader, the meter and
    // the curve ("Input 3 gain" ...), in the current language.
    void nameSharedControls(ChangeId gain, const QString& stripTitle, const QString& level,
                            const QString& curve);
    // The current unit's record, as the strip shows it.
    const UnitRecord& record() { return m_surface.table().current(); }
    // Levels and open states are live only while the current unit is connected and reports
    // them (the first unit of a chain); otherwise the strip shows silence and dark lamps,
    // whatever a state file or a lost unit left behind.
    bool isLive();
    // Whether levels exist at all for the unit shown: the meter is greyed and says why when not.
    bool showLevelsKnown();
    // The meter at a push value (0..50), repainted only when it changes.
    void showMeter(int push);
    // The operator's action is final: it becomes one step of the undo history.
    void undoStep();
    void setFaderPosition(int position);
    // Draws the channel's EQ curve (241 points over the response grid).
    void setCurve(std::span<const double> values, std::span<const double> lowPass = {},
                  std::span<const double> highPass = {});

    ControlSurface& m_surface;
    UndoHistory* m_history;
    int m_channel;
    int m_meterShown = -1;

private:
    QLabel* m_number = nullptr;
    QLabel* m_name = nullptr;
    QVBoxLayout* m_controls = nullptr;
    Fader* m_fader = nullptr;
    LevelMeter* m_meter = nullptr;
    ResponseGraph* m_curve = nullptr;
    QTimer m_timer;
};

} // namespace sonaro::ui
