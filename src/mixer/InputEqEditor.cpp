#include "mixer/InputEqEditor.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

namespace {

int filterIndexForPosition(int position)
{
    return InputEqEditor::kFilterPositions -
           std::clamp(position, 1, InputEqEditor::kLastFilterPosition);
}

int positionForFilterIndex(int index)
{
    return std::clamp(InputEqEditor::kFilterPositions - index, 1,
                      InputEqEditor::kLastFilterPosition);
}

} // namespace

InputEqEditor::InputEqEditor(ControlSurface& surface, CommandPort& port, OperatorInterface& op,
                             QObject* parent)
    : EditorBase(surface, port, kDefaultSendIntervalMs, parent), m_op(op)
{
}

int InputEqEditor::gainSliderPosition(double gain)
{
    return std::clamp(150 - static_cast<int>(gain * 10.0), 0, kGainSliderMax);
}

double InputEqEditor::gainForSliderPosition(int position)
{
    return (150 - std::clamp(position, 0, kGainSliderMax)) / 10.0;
}

bool InputEqEditor::linked() const
{
    return links(m_group, kEqLink) && !m_group.linkedChannels.empty();
}

std::vector<int> InputEqEditor::targets() const
{
    return linkedTargets(m_channel, kInputCount, linked());
}

std::array<EqBand, kInputEqBands> InputEqEditor::bands() const
{
    return inputEqBands(record(), m_channel);
}

bool InputEqEditor::bypassed(int channel) const
{
    if (channel < 0 || channel >= kInputCount) return false;
    if (!m_bypass[static_cast<std::size_t>(channel)]) return false;
    const UnitRecord& r = record();
    if (r.highPassIndex[channel] != 0 || r.lowPassIndex[channel] != 0) return false;
    for (int b = 0; b < kInputEqBands; ++b)
        if (r.inputEqAt(b, kEqGain, channel) != 0.0) return false;
    return true;
}

bool InputEqEditor::highPassOn() const
{
    return record().highPassIndex[m_channel] != 0;
}

bool InputEqEditor::lowPassOn() const
{
    return record().lowPassIndex[m_channel] != 0;
}

int InputEqEditor::highPassPosition() const
{
    return highPassOn() ? positionForFilterIndex(record().highPassIndex[m_channel])
                        : m_highPassPosition;
}

int InputEqEditor::lowPassPosition() const
{
    return lowPassOn() ? positionForFilterIndex(record().lowPassIndex[m_channel])
                       : m_lowPassPosition;
}

QString InputEqEditor::highPassText() const
{
    return QStringLiteral("%1Hz").arg(
        static_cast<int>(highPassFrequency(filterIndexForPosition(highPassPosition()))));
}

QString InputEqEditor::lowPassText() const
{
    return QString::number(
        static_cast<int>(lowPassFrequency(filterIndexForPosition(lowPassPosition()))));
}

void InputEqEditor::computeCurves(InputCurves& curves) const
{
    const UnitRecord& r = record();
    computeInputCurves(bands(), r.highPassIndex[m_channel], r.lowPassIndex[m_channel], curves);
}

bool InputEqEditor::computeSelectedBandCurve(ResponseCurve& curve) const
{
    if (m_selectedBand < 0) return false;
    inputBandCurve(inputEqBand(record(), m_channel, m_selectedBand), curve);
    return true;
}

// --- channel ----------------------------------------------------------------------------------

void InputEqEditor::selectChannel(int channel)
{
    m_channel = std::clamp(channel, 0, kInputCount - 1);
    m_selectedBand = -1;
    m_highPassPosition = kLastFilterPosition;
    m_lowPassPosition = kLastFilterPosition;
    reloadLinks();
    emit changed();
}

void InputEqEditor::reloadLinks()
{
    m_group = m_surface.stripGroups().inputs[static_cast<std::size_t>(m_channel)];
}

void InputEqEditor::loadChannel()
{
    emit changed();
}

void InputEqEditor::selectBand(int band)
{
    m_selectedBand = band >= 0 && band < kInputEqBands ? band : -1;
    emit changed();
}

// --- band edits -------------------------------------------------------------------------------

void InputEqEditor::changedChannels(const std::vector<int>& channels, bool filters, bool now)
{
    for (int ch : channels) {
        m_delivery.markE(ch); // input channels are EQ slots 0..7
        if (filters) m_delivery.markFilters(ch);
    }
    if (now) {
        m_delivery.deliver();
        for (int ch : channels)
            emit stripChanged(ch);
    }
    emit changed();
}

void InputEqEditor::knobChanged(int band, double frequency, double gain, double q)
{
    if (band < 0 || band >= kInputEqBands) return;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    q = std::clamp(q, kEqMinQ, kEqMaxQ);
    UnitRecord& r = record();
    const std::vector<int> channels = targets();
    for (int ch : channels) {
        r.inputEqAt(band, kEqFrequency, ch) = frequency;
        r.inputEqAt(band, kEqQ, ch) = q;
        r.inputEqAt(band, kEqGain, ch) = gain;
    }
    m_selectedBand = band;
    changedChannels(channels, false, false);
}

void InputEqEditor::gainSliderMoved(int band, int position)
{
    if (band < 0 || band >= kInputEqBands) return;
    const EqBand shown = inputEqBand(record(), m_channel, band);
    knobChanged(band, shown.frequency, gainForSliderPosition(position), shown.q);
}

void InputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kInputEqBands || std::isnan(frequency) || std::isnan(gain)) return;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    UnitRecord& r = record();
    const EqBand shown = inputEqBand(r, m_channel, band);
    const bool frequencyMoved = frequency != shown.frequency;
    const bool gainMoved = gain != shown.gain;
    m_selectedBand = band;
    if (!frequencyMoved && !gainMoved) {
        emit changed();
        return;
    }
    const std::vector<int> channels = targets();
    for (int ch : channels) {
        if (frequencyMoved) r.inputEqAt(band, kEqFrequency, ch) = frequency;
        if (gainMoved) r.inputEqAt(band, kEqGain, ch) = gain;
    }
    changedChannels(channels, false, false);
}

void InputEqEditor::setBandType(int band, EqBandType type)
{
    if (band < 0 || band >= kInputEqBands) return;
    const int value = std::clamp(static_cast<int>(type), 0, 2);
    const std::vector<int> channels = targets();
    for (int ch : channels)
        record().inputEqType[band][ch] = value;
    changedChannels(channels, false, false);
}

// --- filters ----------------------------------------------------------------------------------

void InputEqEditor::storeFilter(bool highPass, int index)
{
    const std::vector<int> channels = targets();
    for (int ch : channels) {
        (highPass ? record().highPassIndex : record().lowPassIndex)[ch] = index;
        m_delivery.markFilters(ch);
    }
    m_delivery.deliver();
    emit changed();
    for (int ch : channels)
        emit stripChanged(ch);
}

void InputEqEditor::toggleHighPass()
{
    // Off keeps the slider where the cut-off was; on takes the cut-off the slider stands on.
    m_highPassPosition = highPassPosition();
    storeFilter(true, highPassOn() ? 0 : filterIndexForPosition(m_highPassPosition));
}

void InputEqEditor::toggleLowPass()
{
    m_lowPassPosition = lowPassPosition();
    storeFilter(false, lowPassOn() ? 0 : filterIndexForPosition(m_lowPassPosition));
}

void InputEqEditor::highPassSliderMoved(int position)
{
    position = std::clamp(position, 1, kLastFilterPosition);
    if (position == highPassPosition()) return;
    m_highPassPosition = position;
    if (highPassOn())
        storeFilter(true, filterIndexForPosition(position));
    else
        emit changed();
}

void InputEqEditor::lowPassSliderMoved(int position)
{
    position = std::clamp(position, 1, kLastFilterPosition);
    if (position == lowPassPosition()) return;
    m_lowPassPosition = position;
    if (lowPassOn())
        storeFilter(false, filterIndexForPosition(position));
    else
        emit changed();
}

// --- buttons ----------------------------------------------------------------------------------

void InputEqEditor::toggleBypass()
{
    UnitRecord& r = record();
    std::vector<int> channels;
    const bool restore = bypassed();
    for (int ch : targets()) {
        std::optional<BypassSave>& save = m_bypass[static_cast<std::size_t>(ch)];
        if (restore) {
            if (!bypassed(ch)) continue;
            for (int b = 0; b < kInputEqBands; ++b)
                r.inputEqAt(b, kEqGain, ch) = save->gains[static_cast<std::size_t>(b)];
            r.highPassIndex[ch] = save->highPassIndex;
            r.lowPassIndex[ch] = save->lowPassIndex;
            save.reset();
        } else {
            if (bypassed(ch)) continue;
            BypassSave s;
            for (int b = 0; b < kInputEqBands; ++b) {
                s.gains[static_cast<std::size_t>(b)] = r.inputEqAt(b, kEqGain, ch);
                r.inputEqAt(b, kEqGain, ch) = 0.0;
            }
            s.highPassIndex = r.highPassIndex[ch];
            s.lowPassIndex = r.lowPassIndex[ch];
            r.highPassIndex[ch] = 0;
            r.lowPassIndex[ch] = 0;
            save = s;
        }
        channels.push_back(ch);
    }
    changedChannels(channels, true, true);
}

void InputEqEditor::reset()
{
    const std::vector<int> channels = targets();
    for (int ch : channels) {
        m_bypass[static_cast<std::size_t>(ch)].reset();
        resetInputEq(record(), ch);
    }
    m_selectedBand = -1;
    changedChannels(channels, true, true);
}

bool InputEqEditor::copyFrom(int sourceChannel)
{
    if (sourceChannel < 0 || sourceChannel >= kInputCount) return false;
    if (!m_op.confirm(Severity::Information, QStringLiteral("Overwrite the current EQ settings")))
        return false;
    UnitRecord& r = record();
    // Read the source first: it may be one of the targets.
    const std::array<EqBand, kInputEqBands> bands = inputEqBands(r, sourceChannel);
    const int hp = r.highPassIndex[sourceChannel];
    const int lp = r.lowPassIndex[sourceChannel];
    const std::vector<int> channels = targets();
    for (int ch : channels) {
        std::optional<BypassSave>& save = m_bypass[static_cast<std::size_t>(ch)];
        if (bypassed(ch) && ch != sourceChannel) {
            // A bypassed channel stays flat; the copy is what switching bypass off brings back.
            for (int b = 0; b < kInputEqBands; ++b) {
                EqBand flat = bands[static_cast<std::size_t>(b)];
                save->gains[static_cast<std::size_t>(b)] = flat.gain;
                flat.gain = 0.0;
                setInputEqBand(r, ch, b, flat);
            }
            save->highPassIndex = hp;
            save->lowPassIndex = lp;
            continue;
        }
        for (int b = 0; b < kInputEqBands; ++b)
            setInputEqBand(r, ch, b, bands[static_cast<std::size_t>(b)]);
        r.highPassIndex[ch] = hp;
        r.lowPassIndex[ch] = lp;
    }
    changedChannels(channels, true, true);
    return true;
}

} // namespace sonaro
