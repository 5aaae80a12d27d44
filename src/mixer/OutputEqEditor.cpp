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

Outcome OutputEqEditor::editOutputs(const std::vector<int>& outputs,
                                    const std::function<void()>& change, bool now)
{
    std::vector<ChangeId> ids;
    for (int out : outputs)
        for (int band = 0; band < kOutputEqBands; ++band)
            for (SettingId field : {SettingId::OutputEqFrequency, SettingId::OutputEqGain,
                                    SettingId::OutputEqQ, SettingId::OutputEqType})
                ids.push_back(id(field, out * kOutputEqBands + band));
    // An output's EQ goes as its three blocks, whichever band changed; a button sends them even
    // when nothing changed.
    const Outcome outcome = edit(ids, change, now, now);
    if (outcome == Outcome::Applied && !now) {
        for (int out : outputs)
            for (int block = 0; block < kOutputEqBlocks; ++block) {
                CommandRequest request;
                request.kind = 'E';
                request.unit = m_surface.unit();
                request.index = outputEqSlot(out, block);
                m_port.noteWaiting(request);
            }
    }
    if (now)
        for (int out : outputs)
            emit stripChanged(out);
    return outcome;
}

Outcome OutputEqEditor::setBandValue(int band, SettingId field, double value)
{
    if (band < 0 || band >= kOutputEqBands || std::isnan(value)) return Outcome::Inapplicable;
    const SettingRow& row = SettingCatalogue::row(field);
    if (row.scope != SettingScope::OutputBand || field == SettingId::OutputEqType)
        return Outcome::Inapplicable;
    EqBand shown = outputEqBand(record(), m_output, band);
    (field == SettingId::OutputEqFrequency ? shown.frequency
     : field == SettingId::OutputEqGain    ? shown.gain
                                           : shown.q) = std::clamp(value, row.min, row.max);
    return knobChanged(band, shown.frequency, shown.gain, shown.q);
}

Outcome OutputEqEditor::knobChanged(int band, double frequency, double gain, double q)
{
    if (band < 0 || band >= kOutputEqBands) return Outcome::Inapplicable;
    m_selectedBand = band;
    const std::vector<int> outputs = targets();
    return editOutputs(
        outputs,
        [&] {
            for (int out : outputs) {
                record().outputEqAt(out, kEqFrequency, band) =
                    std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
                record().outputEqAt(out, kEqGain, band) = std::clamp(gain, kEqMinGain, kEqMaxGain);
                record().outputEqAt(out, kEqQ, band) = std::clamp(q, kEqMinQ, kEqMaxQ);
            }
        },
        false);
}

Outcome OutputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kOutputEqBands || std::isnan(frequency) || std::isnan(gain))
        return Outcome::Inapplicable;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    const EqBand shown = outputEqBand(record(), m_output, band);
    const bool frequencyMoved = frequency != shown.frequency;
    const bool gainMoved = gain != shown.gain;
    m_selectedBand = band;
    const std::vector<int> outputs = targets();
    return editOutputs(
        outputs,
        [&] {
            for (int out : outputs) {
                if (frequencyMoved) record().outputEqAt(out, kEqFrequency, band) = frequency;
                if (gainMoved) record().outputEqAt(out, kEqGain, band) = gain;
            }
        },
        false);
}

Outcome OutputEqEditor::setBypassed(bool bypass)
{
    if (bypass == bypassed()) return Outcome::Unchanged;
    std::vector<int> outputs;
    for (int out : targets())
        if (bypassed(out) != bypass) outputs.push_back(out);
    return editOutputs(
        outputs,
        [&] {
            for (int out : outputs) {
                auto& save = m_bypass[static_cast<std::size_t>(out)];
                if (!bypass) {
                    for (int b = 0; b < kOutputEqBands; ++b)
                        record().outputEqAt(out, kEqGain, b) = (*save)[static_cast<std::size_t>(b)];
                    save.reset();
                    continue;
                }
                std::array<double, kOutputEqBands> gains{};
                for (int b = 0; b < kOutputEqBands; ++b) {
                    gains[static_cast<std::size_t>(b)] = record().outputEqAt(out, kEqGain, b);
                    record().outputEqAt(out, kEqGain, b) = 0.0;
                }
                save = gains;
            }
        },
        true);
}

Outcome OutputEqEditor::reset()
{
    const std::vector<int> outputs = targets();
    m_selectedBand = -1;
    return editOutputs(
        outputs,
        [&] {
            for (int out : outputs) {
                m_bypass[static_cast<std::size_t>(out)].reset();
                resetOutputEq(record(), out);
            }
        },
        true);
}

} // namespace sonaro
