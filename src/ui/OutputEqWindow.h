#pragma once

#include "mixer/OutputEqEditor.h"
#include "mixer/SonaroCore.h"

#include <QDialog>

#include <array>

class QLabel;

namespace sonaro::ui {

class PaintedButton;
class Knob;
class ResponseGraph;

// The output EQ editor window: "Edit " and the output's name, the response graph with fifteen
// band points, a frequency / gain / Q knob column per band, BYPASS and RESET. Modeless.
class OutputEqWindow : public QDialog
{
    Q_OBJECT

public:
    OutputEqWindow(SonaroCore& core, int output, QWidget* parent = nullptr);

    OutputEqEditor& editor() { return m_editor; }
    void openOutput(int output);

    ResponseGraph* graph() const { return m_graph; }
    QLabel* heading() const { return m_heading; }
    Knob* frequencyKnob(int band) const { return m_frequency[std::size_t(band)]; }
    Knob* gainKnob(int band) const { return m_gain[std::size_t(band)]; }
    Knob* qKnob(int band) const { return m_q[std::size_t(band)]; }
    PaintedButton* bypassButton() const { return m_bypass; }
    PaintedButton* resetButton() const { return m_reset; }

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void knobMoved(int band);
    void loadName();
    void refresh();
    void retranslate();

    SonaroCore& m_core;
    CommandPort& m_port;
    OutputEqEditor m_editor;
    QString m_name;

    QLabel* m_heading = nullptr;
    ResponseGraph* m_graph = nullptr;
    std::array<Knob*, kOutputEqBands> m_frequency{};
    std::array<Knob*, kOutputEqBands> m_gain{};
    std::array<Knob*, kOutputEqBands> m_q{};
    std::array<QLabel*, 2> m_rowCaptions{}; // f (Hz), GAIN (dB)
    PaintedButton* m_bypass = nullptr;
    PaintedButton* m_reset = nullptr;
};

} // namespace sonaro::ui
