#pragma once

#include "ui/ChannelStrip.h"

namespace sonaro::ui {

class CImageButton;

// One input channel: open-state lamp, MIC/LINE, 48V, priority, mute, fader and meter.
class InputStrip : public ChannelStrip
{
    Q_OBJECT

public:
    InputStrip(ControlSurface& surface, int channel, QWidget* parent = nullptr);

    void refresh() override;

    CImageButton* lineButton() const { return m_line; }
    CImageButton* phantomButton() const { return m_phantom; }
    CImageButton* priorityButton() const { return m_priority; }
    CImageButton* muteButton() const { return m_mute; }
    CImageButton* openIndicator() const { return m_open; }

signals:
    void eqRequested(int channel);

protected:
    void meterTick() override;
    void retranslate() override;

private:
    CImageButton* m_open = nullptr;
    CImageButton* m_line = nullptr;
    CImageButton* m_phantom = nullptr;
    CImageButton* m_priority = nullptr;
    CImageButton* m_mute = nullptr;
    int m_openShown = -1;
};

} // namespace sonaro::ui
