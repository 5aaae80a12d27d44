#include "mixer/InputEqEditor.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

namespace {

// The high-pass read-out in the off position when a channel is loaded. The off slot of the
// frequency table only holds a drawing placeholder, so the read-out names the lowest corner the
// operator's list offers instead.
const QString kHighPassOffText = QStringLiteral("50Hz");

int filterIndexForPosition(int position)
{
    return InputEqEditor::kFilterPositions - position;
}

void appendUnique(std::vector<int>& set, int channel)
{
    if (std::find(set.begin(), set.end(), channel) == set.end()) set.push_back(channel);
}

} // namespace

InputEqEditor::InputEqEditor(ControlSurface& surface, CommandPort& port, OperatorInterface& op,
                             QObject* parent)
    : QObject(parent), m_surface(surface), m_port(port), m_op(op)
{
    m_timer.setInterval(kDefaultSendIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &InputEqEditor::tick);
    updateFilterTexts();
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
    if (!linked()) return {m_channel};
    std::vector<int> list;
    for (int ch : m_group.linkedChannels)
        if (ch >= 0 && ch < kInputCount) appendUnique(list, ch);
    if (list.empty()) list.push_back(m_channel);
    return list;
}

void InputEqEditor::computeCurves(InputCurves& curves) const
{
    computeInputCurves(m_bands, m_highPassOn ? filterIndexForPosition(m_highPassPosition) : 0,
                       m_lowPassOn ? filterIndexForPosition(m_lowPassPosition) : 0, curves);
}

bool InputEqEditor::computeSelectedBandCurve(ResponseCurve& curve) const
{
    if (m_selectedBand < 0) return false;
    inputBandCurve(m_bands[static_cast<std::size_t>(m_selectedBand)], curve);
    return true;
}

// --- channel ----------------------------------------------------------------------------------

void InputEqEditor::selectChannel(int channel)
{
    m_channel = std::clamp(channel, 0, kInputCount - 1);
    reloadLinks();
    loadChannel();
}

void InputEqEditor::reloadLinks()
{
    m_group = m_surface.stripGroups().inputs[static_cast<std::size_t>(m_channel)];
}

void InputEqEditor::loadChannel()
{
    const UnitRecord& r = record();
    m_selectedBand = -1;
    m_bands = inputEqBands(r, m_channel);
    const int hp = r.highPassIndex[m_channel];
    const int lp = r.lowPassIndex[m_channel];
    m_highPassOn = hp != 0;
    m_lowPassOn = lp != 0;
    m_highPassPosition = std::clamp(kFilterPositions - hp, 1, kFilterPositions);
    m_lowPassPosition = std::clamp(kFilterPositions - lp, 1, kFilterPositions);
    updateFilterTexts();
    if (!m_highPassOn) m_highPassText = kHighPassOffText;
    emit changed();
}

void InputEqEditor::updateFilterTexts()
{
    m_highPassText = QStringLiteral("%1Hz").arg(
        static_cast<int>(highPassFrequency(filterIndexForPosition(m_highPassPosition))));
    m_lowPassText = QString::number(
        static_cast<int>(lowPassFrequency(filterIndexForPosition(m_lowPassPosition))));
}

void InputEqEditor::selectBand(int band)
{
    m_selectedBand = band >= 0 && band < kInputEqBands ? band : -1;
    emit changed();
}

// --- band edits -------------------------------------------------------------------------------

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
    EqBand& shown = m_bands[static_cast<std::size_t>(band)];
    shown.frequency = frequency;
    shown.gain = gain;
    shown.q = q;
    m_selectedBand = band;
    markDirty(channels);
    emit changed();
}

void InputEqEditor::gainSliderMoved(int band, int position)
{
    if (band < 0 || band >= kInputEqBands) return;
    const EqBand& shown = m_bands[static_cast<std::size_t>(band)];
    knobChanged(band, shown.frequency, gainForSliderPosition(position), shown.q);
}

void InputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kInputEqBands) return;
    EqBand& moved = m_bands[static_cast<std::size_t>(band)];
    moved.frequency = frequency;
    moved.gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    // The graph's points all go into every target, so linked channels take the whole picture.
    UnitRecord& r = record();
    const std::vector<int> channels = targets();
    for (int b = 0; b < kInputEqBands; ++b) {
        EqBand& shown = m_bands[static_cast<std::size_t>(b)];
        shown.frequency = std::clamp(shown.frequency, kEqMinFrequency, kEqMaxFrequency);
        for (int ch : channels) {
            r.inputEqAt(b, kEqFrequency, ch) = shown.frequency;
            r.inputEqAt(b, kEqGain, ch) = shown.gain;
        }
    }
    m_selectedBand = band;
    markDirty(channels);
    emit changed();
}

void InputEqEditor::setBandType(int band, EqBandType type)
{
    if (band < 0 || band >= kInputEqBands) return;
    const int value = std::clamp(static_cast<int>(type), 0, 2);
    const std::vector<int> channels = targets();
    for (int ch : channels)
        record().inputEqType[band][ch] = value;
    m_bands[static_cast<std::size_t>(band)].type = static_cast<EqBandType>(value);
    markDirty(channels);
    emit changed();
}

// --- filters ----------------------------------------------------------------------------------

void InputEqEditor::storeHighPass(const std::vector<int>& channels)
{
    const int index = m_highPassOn ? filterIndexForPosition(m_highPassPosition) : 0;
    for (int ch : channels)
        record().highPassIndex[ch] = index;
}

void InputEqEditor::storeLowPass(const std::vector<int>& channels)
{
    const int index = m_lowPassOn ? filterIndexForPosition(m_lowPassPosition) : 0;
    for (int ch : channels)
        record().lowPassIndex[ch] = index;
}

void InputEqEditor::toggleHighPass()
{
    m_highPassOn = !m_highPassOn;
    const std::vector<int> channels = targets();
    storeHighPass(channels);
    sendG();
    emit changed();
    refreshStrips(channels);
}

void InputEqEditor::toggleLowPass()
{
    if (!connected()) {
        // The record keeps its index, so the curve keeps showing what the record holds.
        m_op.showMessage(Severity::Error, QStringLiteral("Cannot connect."));
        return;
    }
    m_lowPassOn = !m_lowPassOn;
    const std::vector<int> channels = targets();
    storeLowPass(channels);
    sendG();
    emit changed();
    refreshStrips(channels);
}

void InputEqEditor::highPassSliderMoved(int position)
{
    m_highPassPosition = std::clamp(position, 1, kFilterPositions);
    updateFilterTexts();
    if (m_highPassOn) {
        const std::vector<int> channels = targets();
        storeHighPass(channels);
        sendG();
        refreshStrips(channels);
    }
    emit changed();
}

void InputEqEditor::lowPassSliderMoved(int position)
{
    m_lowPassPosition = std::clamp(position, 1, kFilterPositions);
    updateFilterTexts();
    if (m_lowPassOn) {
        const std::vector<int> channels = targets();
        storeLowPass(channels);
        sendG();
        refreshStrips(channels);
    }
    emit changed();
}

// --- buttons ----------------------------------------------------------------------------------

void InputEqEditor::toggleBypass()
{
    UnitRecord& r = record();
    std::vector<int> channels;
    if (!m_bypass) {
        m_bypassSaves.clear();
        for (int ch : targets()) {
            BypassSave save{ch, {}, r.highPassIndex[ch]};
            for (int b = 0; b < kInputEqBands; ++b) {
                save.gains[static_cast<std::size_t>(b)] = r.inputEqAt(b, kEqGain, ch);
                r.inputEqAt(b, kEqGain, ch) = 0.0;
            }
            r.highPassIndex[ch] = 0;
            r.lowPassIndex[ch] = 0;
            m_bypassSaves.push_back(save);
            channels.push_back(ch);
        }
        m_bypass = true;
    } else {
        for (const BypassSave& save : m_bypassSaves) {
            for (int b = 0; b < kInputEqBands; ++b)
                r.inputEqAt(b, kEqGain, save.channel) = save.gains[static_cast<std::size_t>(b)];
            r.highPassIndex[save.channel] = save.highPassIndex;
            // The low-pass filter stays off after a bypass.
            r.lowPassIndex[save.channel] = 0;
            channels.push_back(save.channel);
        }
        m_bypassSaves.clear();
        m_bypass = false;
    }
    loadChannel();
    refreshStrips(channels);
    sendEThenG(channels);
}

void InputEqEditor::reset()
{
    m_bypass = false;
    m_bypassSaves.clear();
    const std::vector<int> channels = targets();
    for (int ch : channels)
        resetInputEq(record(), ch);
    loadChannel();
    refreshStrips(channels);
    sendEThenG(channels);
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
        for (int b = 0; b < kInputEqBands; ++b)
            setInputEqBand(r, ch, b, bands[static_cast<std::size_t>(b)]);
        r.highPassIndex[ch] = hp;
        r.lowPassIndex[ch] = lp;
    }
    loadChannel();
    refreshStrips(channels);
    sendEThenG(channels);
    return true;
}

// --- sending ----------------------------------------------------------------------------------

void InputEqEditor::markDirty(const std::vector<int>& channels)
{
    for (int ch : channels)
        appendUnique(m_dirty, ch);
}

void InputEqEditor::refreshStrips(const std::vector<int>& channels)
{
    for (int ch : channels)
        emit stripChanged(ch);
}

void InputEqEditor::sendEThenG(const std::vector<int>& channels)
{
    if (!connected() || channels.empty()) return;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        CommandRequest e;
        e.kind = 'E';
        e.unit = m_surface.unit();
        e.index = channels[i]; // input channels are EQ slots 0..7
        e.pauseAfterMs = i + 1 == channels.size() ? kPauseBeforeGMs : 0;
        m_port.submit(e);
    }
    sendG();
}

void InputEqEditor::sendG()
{
    if (!connected()) return;
    CommandRequest g;
    g.kind = 'G';
    g.unit = m_surface.unit();
    m_port.submit(g);
}

void InputEqEditor::tick()
{
    // An edit made while the unit is away waits for it: after a login that follows a silence
    // the EQ is not read back, so a forgotten edit would leave the unit different.
    if (m_dirty.empty() || !connected()) return;
    std::vector<int> channels;
    channels.swap(m_dirty);
    for (int ch : channels) {
        CommandRequest e;
        e.kind = 'E';
        e.unit = m_surface.unit();
        e.index = ch;
        m_port.submit(e);
    }
}

void InputEqEditor::setSendInterval(int ms)
{
    m_timer.setInterval(std::max(1, ms));
}

} // namespace sonaro
