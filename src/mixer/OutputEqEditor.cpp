#include "mixer/OutputEqEditor.h"

#include <algorithm>

namespace sonaro {

namespace {

void appendUnique(std::vector<int>& set, int value)
{
    if (std::find(set.begin(), set.end(), value) == set.end()) set.push_back(value);
}

} // namespace

OutputEqEditor::OutputEqEditor(ControlSurface& surface, CommandPort& port, QObject* parent)
    : QObject(parent), m_surface(surface), m_port(port)
{
    m_timer.setInterval(kDefaultSendIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &OutputEqEditor::tick);
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
    markDirty(outputs);
    emit changed();
}

void OutputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kOutputEqBands) return;
    const std::vector<int> outputs = targets();
    for (int out : outputs) {
        record().outputEqAt(out, kEqFrequency, band) = std::min(frequency, kEqMaxFrequency);
        record().outputEqAt(out, kEqGain, band) = std::clamp(gain, kEqMinGain, kEqMaxGain);
        for (int b = 0; b < kOutputEqBands; ++b) {
            double& f = record().outputEqAt(out, kEqFrequency, b);
            f = std::max(f, kEqMinFrequency);
        }
    }
    m_selectedBand = band;
    markDirty(outputs);
    emit changed();
}

void OutputEqEditor::toggleBypass()
{
    const std::vector<int> outputs = targets();
    if (!m_bypass) {
        m_bypassSaves.clear();
        for (int out : outputs) {
            BypassSave save{out, {}};
            for (int b = 0; b < kOutputEqBands; ++b) {
                save.gains[static_cast<std::size_t>(b)] = record().outputEqAt(out, kEqGain, b);
                record().outputEqAt(out, kEqGain, b) = 0.0;
            }
            m_bypassSaves.push_back(save);
        }
        markDirty(outputs);
        m_bypass = true;
        for (int out : outputs)
            emit stripChanged(out);
    } else {
        for (const BypassSave& save : m_bypassSaves) {
            for (int b = 0; b < kOutputEqBands; ++b)
                record().outputEqAt(save.output, kEqGain, b) =
                    save.gains[static_cast<std::size_t>(b)];
            appendUnique(m_dirty, save.output);
            emit stripChanged(save.output);
        }
        m_bypassSaves.clear();
        m_bypass = false;
    }
    emit changed();
}

void OutputEqEditor::reset()
{
    m_bypass = false;
    m_bypassSaves.clear();
    const std::vector<int> outputs = targets();
    for (int out : outputs)
        resetOutputEq(record(), out);
    m_selectedBand = -1;
    markDirty(outputs);
    for (int out : outputs)
        emit stripChanged(out);
    emit changed();
}

void OutputEqEditor::markDirty(const std::vector<int>& outputs)
{
    for (int out : outputs)
        appendUnique(m_dirty, out);
}

void OutputEqEditor::tick()
{
    // An edit made while the unit is away waits for it (the EQ is not read back after a
    // login that follows a silence).
    if (m_dirty.empty() || !m_surface.connected()) return;
    std::vector<int> outputs;
    outputs.swap(m_dirty);
    std::sort(outputs.begin(), outputs.end());
    for (int out : outputs)
        for (int block = 0; block < kOutputEqBlocks; ++block) {
            CommandRequest e;
            e.kind = 'E';
            e.unit = m_surface.unit();
            e.index = outputEqSlot(out, block);
            m_port.submit(e);
        }
}

void OutputEqEditor::setSendInterval(int ms)
{
    m_timer.setInterval(std::max(1, ms));
}

} // namespace sonaro
