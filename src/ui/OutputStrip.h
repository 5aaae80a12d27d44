#pragma once

#include "ui/ChannelStrip.h"

namespace sonaro::ui {

class CImageButton;

// One output: LINE/MIC level, mute, the limiter and master EQ editors, fader and meter.
class OutputStrip : public ChannelStrip
{
    Q_OBJECT

public:
    OutputStrip(ControlSurface& surface, int channel, QWidget* parent = nullptr);

    void refresh() override;

    CImageButton* levelButton() const { return m_level; }
    CImageButton* muteButton() const { return m_mute; }
    CImageButton* limiterButton() const { return m_limiter; }
    CImageButton* eqButton() const { return m_eq; }
    // Set once the output's equaliser was opened with MASTER EQ.
    bool eqOn() const { return m_eqOn; }

signals:
    void limiterRequested(int output);
    void eqRequested(int output);

protected:
    void meterTick() override;
    void retranslate() override;

private:
    CImageButton* m_level = nullptr;
    CImageButton* m_mute = nullptr;
    CImageButton* m_limiter = nullptr;
    CImageButton* m_eq = nullptr;
    bool m_eqOn = false;
};

} // namespace sonaro::ui
