#pragma once

#include "ui/ChannelStrip.h"

namespace sonaro::ui {

class PaintedButton;

// One input channel: open-state lamp, MIC/LINE, 48V, priority, mute, fader and meter.
class InputStrip : public ChannelStrip
{
    Q_OBJECT

public:
    InputStrip(ControlSurface& surface, UndoHistory* history, int channel,
               QWidget* parent = nullptr);

    void refresh() override;

    // The open-state lamp's caption (ACTIVE, WAITING) and the source switch's (MIC, LINE).
    static QString openStateText(int open);
    static QString sourceText(int line);

    PaintedButton* lineButton() const { return m_line; }
    PaintedButton* phantomButton() const { return m_phantom; }
    PaintedButton* priorityButton() const { return m_priority; }
    PaintedButton* muteButton() const { return m_mute; }
    PaintedButton* openIndicator() const { return m_open; }

signals:
    void eqRequested(int channel);

protected:
    void meterTick() override;
    void retranslate() override;

private:
    void nameStates();

    PaintedButton* m_open = nullptr;
    PaintedButton* m_line = nullptr;
    PaintedButton* m_phantom = nullptr;
    PaintedButton* m_priority = nullptr;
    PaintedButton* m_mute = nullptr;
    int m_openShown = -1;
};

} // namespace sonaro::ui
