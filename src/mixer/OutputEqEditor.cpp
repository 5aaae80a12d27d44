#include "mixer/OutputEqEditor.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

OutputEqEditor::OutputEqEditor(ControlSurface& surface, CommandPort& port, QObject* parent)
    : EditorBase(surface, port, kDefaultSendIntervalMs, parent)
{
}

bool OutputEqEditor::linked() const
{
    return links(m_group, kEqLink);
}

std::vector<int> OutputEqEditor::targets() const
{
    if (linked()) return {0, 1};
    return {m_output};
}

std::array<EqBand, kOutputEqBands> OutputEqEditor::bands() const
{
    return outputEqBands(record(), m_output);
}

bool OutputEqEditor::bypassed(int output) const
{
    if (output < 0 || output >= kOutputCount) return false;
    if (!m_bypass[static_cast<std::size_t>(output)]) return false;
    for (int b = 0; b < kOutputEqBands; ++b)
        if (record().outputEqAt(output, kEqGain, b) != 0.0) return false;
    return true;
}

void OutputEqEditor::computeCurve(ResponseCurve& curve) const
{
    outputChannelCurve(bands(), curve);
}

bool OutputEqEditor::computeSelectedBandCurve(ResponseCurve& curve) const
{
    if (m_selectedBand < 0) return false;
    outputBandCurve(outputEqBand(record(), m_output, m_selectedBand), curve);
    return true;
}

void OutputEqEditor::selectOutput(int output)
{
    m_output = std::clamp(output, 0, kOutputCount - 1);
    m_selectedBand = -1;
    reloadLinks();
    emit changed();
}

void OutputEqEditor::reloadLinks()
{
    m_group = m_surface.stripGroups().outputs[static_cast<std::size_t>(m_output)];
}

void OutputEqEditor::selectBand(int band)
{
    m_selectedBand = band >= 0 && band < kOutputEqBands ? band : -1;
    emit changed();
}

void OutputEqEditor::changedOutputs(const std::vector<int>& outputs, bool now)
{
    for (int out : outputs)
        for (int block = 0; block < kOutputEqBlocks; ++block)
            m_delivery.markE(outputEqSlot(out, block));
    if (now) {
        m_delivery.deliver();
        for (int out : outputs)
            emit stripChanged(out);
    }
    emit changed();
}

void OutputEqEditor::knobChanged(int band, double frequency, double gain, double q)
{
    if (band < 0 || band >= kOutputEqBands) return;
    const std::vector<int> outputs = targets();
    for (int out : outputs) {
        record().outputEqAt(out, kEqFrequency, band) =
            std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
        record().outputEqAt(out, kEqGain, band) = std::clamp(gain, kEqMinGain, kEqMaxGain);
        record().outputEqAt(out, kEqQ, band) = std::clamp(q, kEqMinQ, kEqMaxQ);
    }
    m_selectedBand = band;
    changedOutputs(outputs, false);
}

void OutputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kOutputEqBands || std::isnan(frequency) || std::isnan(gain)) return;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    const EqBand shown = outputEqBand(record(), m_output, band);
    const bool frequencyMoved = frequency != shown.frequency;
    const bool gainMoved = gain != shown.gain;
    m_selectedBand = band;
    if (!frequencyMoved && !gainMoved) {
        emit changed();
        return;
    }
    const std::vector<int> outputs = targets();
    for (int out : outputs) {
        if (frequencyMoved) record().outputEqAt(out, kEqFrequency, band) = frequency;
        if (gainMoved) record().outputEqAt(out, kEqGain, band) = gain;
    }
    changedOutputs(outputs, false);
}

void OutputEqEditor::toggleBypass()
{
    const bool restore = bypassed();
    std::vector<int> changed;
    for (int out : targets()) {
        auto& save = m_bypass[static_cast<std::size_t>(out)];
        if (restore) {
            if (!bypassed(out)) continue;
            for (int b = 0; b < kOutputEqBands; ++b)
                record().outputEqAt(out, kEqGain, b) = (*save)[static_cast<std::size_t>(b)];
            save.reset();
        } else {
            if (bypassed(out)) continue;
            std::array<double, kOutputEqBands> gains{};
            for (int b = 0; b < kOutputEqBands; ++b) {
                gains[static_cast<std::size_t>(b)] = record().outputEqAt(out, kEqGain, b);
                record().outputEqAt(out, kEqGain, b) = 0.0;
            }
            save = gains;
        }
        changed.push_back(out);
    }
    changedOutputs(changed, true);
}

void OutputEqEditor::reset()
{
    const std::vector<int> outputs = targets();
    for (int out : outputs) {
        m_bypass[static_cast<std::size_t>(out)].reset();
        resetOutputEq(record(), out);
    }
    m_selectedBand = -1;
    changedOutputs(outputs, true);
}

} // namespace sonaro
