#pragma once

#include "mixer/InputEqEditor.h"
#include "mixer/SonaroCore.h"

#include <QDialog>

#include <array>
#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QSlider;

namespace sonaro::ui {

class Fader;
class PaintedButton;
class Knob;
class ResponseGraph;
class GroupTabBar;

// The input EQ editor window: channel buttons and group tabs, the response graph with the five
// band points, per band a type selector, frequency / gain / Q knobs and a gain slider, the
// high-pass and low-pass buttons with their sliders, BYPASS, RESET and COPY EQ. Modeless. What
// an action changes and sends is the InputEqEditor's business; the window only shows it.
class InputEqWindow : public QDialog
{
    Q_OBJECT

public:
    InputEqWindow(SonaroCore& core, int channel, QWidget* parent = nullptr);

    InputEqEditor& editor() { return m_editor; }
    // Opens the editor on another channel (main view, input strip).
    void openChannel(int channel);

    ResponseGraph* graph() const { return m_graph; }
    PaintedButton* channelButton(int ch) const { return m_channelButtons[std::size_t(ch)]; }
    Knob* frequencyKnob(int band) const { return m_bands[std::size_t(band)].frequency; }
    Knob* gainKnob(int band) const { return m_bands[std::size_t(band)].gain; }
    Knob* qKnob(int band) const { return m_bands[std::size_t(band)].q; }
    Fader* gainSlider(int band) const { return m_bands[std::size_t(band)].slider; }
    QComboBox* typeSelector(int band) const { return m_bands[std::size_t(band)].type; }
    PaintedButton* bypassButton() const { return m_bypass; }
    PaintedButton* resetButton() const { return m_reset; }
    PaintedButton* copyButton() const { return m_copy; }
    PaintedButton* highPassButton() const { return m_highPass; }
    PaintedButton* lowPassButton() const { return m_lowPass; }
    QSlider* highPassSlider() const { return m_highPassSlider; }
    QSlider* lowPassSlider() const { return m_lowPassSlider; }
    QLabel* highPassReadout() const { return m_highPassReadout; }
    QLabel* lowPassReadout() const { return m_lowPassReadout; }
    QComboBox* copySource() const { return m_copySource; }
    QListWidget* channelList() const { return m_channelList; }
    GroupTabBar* groupTabs() const { return m_tabs; }

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct BandControls
    {
        QComboBox* type = nullptr;
        Knob* frequency = nullptr;
        Knob* gain = nullptr;
        Knob* q = nullptr;
        Fader* slider = nullptr;
        QLabel* title = nullptr;
    };

    void buildBand(int band, QGridLayout* grid, QWidget* box);
    void loadChannelNames();
    void knobMoved(int band);
    void groupTabChanged();
    void refresh();
    void retranslate();
    void nameControls();

    SonaroCore& m_core;
    CommandPort& m_port;
    InputEqEditor m_editor;

    GroupTabBar* m_tabs = nullptr;
    std::array<PaintedButton*, kInputCount> m_channelButtons{};
    ResponseGraph* m_graph = nullptr;
    std::array<BandControls, kInputEqBands> m_bands{};
    PaintedButton* m_highPass = nullptr;
    PaintedButton* m_lowPass = nullptr;
    QSlider* m_highPassSlider = nullptr;
    QSlider* m_lowPassSlider = nullptr;
    QLabel* m_highPassReadout = nullptr;
    QLabel* m_lowPassReadout = nullptr;
    QLabel* m_highPassCaption = nullptr;
    QLabel* m_lowPassCaption = nullptr;
    QLabel* m_highPassUnit = nullptr;
    QLabel* m_lowPassUnit = nullptr;
    PaintedButton* m_bypass = nullptr;
    PaintedButton* m_reset = nullptr;
    PaintedButton* m_copy = nullptr;
    QLabel* m_copyFromCaption = nullptr;
    QLabel* m_copyAreaCaption = nullptr;
    QComboBox* m_copySource = nullptr;
    QListWidget* m_channelList = nullptr;
    std::array<QLabel*, 4> m_rowCaptions{}; // f (Hz), GAIN (dB), Q, TYPE
    int m_page = 0;
    int m_namedChannel = -1;
    std::vector<int> m_pageChannels; // inputs of the shown group tab
};

} // namespace sonaro::ui
