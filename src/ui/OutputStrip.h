#pragma once

#include "ui/ChannelStrip.h"

namespace sonaro::ui {

class PaintedButton;

// One output: LINE/MIC level, mute, the limiter and master EQ editors, fader and meter.
class OutputStrip : public ChannelStrip
{
    Q_OBJECT

public:
    OutputStrip(ControlSurface& surface, UndoHistory* history, int channel,
                QWidget* parent = nullptr);

    void refresh() override;

    // The level switch's caption: LINE or MIC.
    static QString levelText(int levelType);

    PaintedButton* levelButton() const { return m_level; }
    PaintedButton* muteButton() const { return m_mute; }
    PaintedButton* limiterButton() const { return m_limiter; }
    PaintedButton* eqButton() const { return m_eq; }
    // Set once the output's equaliser was opened with MASTER EQ.
    bool eqOn() const { return m_eqOn; }

signals:
    void limiterRequested(int output);
    void eqRequested(int output);

protected:
    void meterTick() override;
    void retranslate() override;

private:
    PaintedButton* m_level = nullptr;
    PaintedButton* m_mute = nullptr;
    PaintedButton* m_limiter = nullptr;
    PaintedButton* m_eq = nullptr;
    bool m_eqOn = false;
};

} // namespace sonaro::ui
