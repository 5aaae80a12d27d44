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

std::vector<ChangeId> InputEqEditor::bandIds(const std::vector<int>& channels, int band) const
{
    std::vector<ChangeId> ids;
    for (int ch : channels)
        for (SettingId field : {SettingId::InputEqFrequency, SettingId::InputEqGain,
                                SettingId::InputEqQ, SettingId::InputEqType})
            ids.push_back(id(field, ch * kInputEqBands + band));
    return ids;
}

std::vector<ChangeId> InputEqEditor::channelIds(const std::vector<int>& channels) const
{
    std::vector<ChangeId> ids;
    for (int band = 0; band < kInputEqBands; ++band)
        for (const ChangeId& i : bandIds(channels, band))
            ids.push_back(i);
    for (int ch : channels) {
        ids.push_back(id(SettingId::HighPass, ch));
        ids.push_back(id(SettingId::LowPass, ch));
    }
    return ids;
}

Outcome InputEqEditor::buttonEdit(const std::vector<int>& channels,
                                  const std::function<void()>& change)
{
    const Outcome outcome = edit(channelIds(channels), change, true, true);
    for (int ch : channels)
        emit stripChanged(ch);
    return outcome;
}

Outcome InputEqEditor::setBandValue(int band, SettingId field, double value)
{
    if (band < 0 || band >= kInputEqBands || std::isnan(value)) return Outcome::Inapplicable;
    const SettingRow& row = SettingCatalogue::row(field);
    if (row.scope != SettingScope::InputBand) return Outcome::Inapplicable;
    value = std::clamp(value, row.min, row.max);
    if (field == SettingId::InputEqType)
        return setBandType(band, static_cast<EqBandType>(static_cast<int>(value)));
    EqBand shown = inputEqBand(record(), m_channel, band);
    (field == SettingId::InputEqFrequency ? shown.frequency
     : field == SettingId::InputEqGain    ? shown.gain
                                          : shown.q) = value;
    return knobChanged(band, shown.frequency, shown.gain, shown.q);
}

Outcome InputEqEditor::knobChanged(int band, double frequency, double gain, double q)
{
    if (band < 0 || band >= kInputEqBands) return Outcome::Inapplicable;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    q = std::clamp(q, kEqMinQ, kEqMaxQ);
    m_selectedBand = band;
    const std::vector<int> channels = targets();
    return edit(
        bandIds(channels, band),
        [&] {
            UnitRecord& r = record();
            for (int ch : channels) {
                r.inputEqAt(band, kEqFrequency, ch) = frequency;
                r.inputEqAt(band, kEqQ, ch) = q;
                r.inputEqAt(band, kEqGain, ch) = gain;
            }
        },
        false);
}

Outcome InputEqEditor::gainSliderMoved(int band, int position)
{
    if (band < 0 || band >= kInputEqBands) return Outcome::Inapplicable;
    const EqBand shown = inputEqBand(record(), m_channel, band);
    return knobChanged(band, shown.frequency, gainForSliderPosition(position), shown.q);
}

Outcome InputEqEditor::bandDragged(int band, double frequency, double gain)
{
    if (band < 0 || band >= kInputEqBands || std::isnan(frequency) || std::isnan(gain))
        return Outcome::Inapplicable;
    frequency = std::clamp(frequency, kEqMinFrequency, kEqMaxFrequency);
    gain = std::clamp(gain, kEqMinGain, kEqMaxGain);
    const EqBand shown = inputEqBand(record(), m_channel, band);
    const bool frequencyMoved = frequency != shown.frequency;
    const bool gainMoved = gain != shown.gain;
    m_selectedBand = band;
    const std::vector<int> channels = targets();
    return edit(
        bandIds(channels, band),
        [&] {
            UnitRecord& r = record();
            for (int ch : channels) {
                if (frequencyMoved) r.inputEqAt(band, kEqFrequency, ch) = frequency;
                if (gainMoved) r.inputEqAt(band, kEqGain, ch) = gain;
            }
        },
        false);
}

Outcome InputEqEditor::setBandType(int band, EqBandType type)
{
    if (band < 0 || band >= kInputEqBands) return Outcome::Inapplicable;
    const int value = std::clamp(static_cast<int>(type), 0, 2);
    const std::vector<int> channels = targets();
    return edit(
        bandIds(channels, band),
        [&] {
            for (int ch : channels)
                record().inputEqType[band][ch] = value;
        },
        false);
}

// --- filters ----------------------------------------------------------------------------------

Outcome InputEqEditor::storeFilter(bool highPass, int index)
{
    const std::vector<int> channels = targets();
    std::vector<ChangeId> ids;
    for (int ch : channels)
        ids.push_back(id(highPass ? SettingId::HighPass : SettingId::LowPass, ch));
    // The filters travel in G, which goes at once.
    const Outcome outcome = edit(
        ids,
        [&] {
            for (int ch : channels)
                (highPass ? record().highPassIndex : record().lowPassIndex)[ch] = index;
        },
        true);
    if (outcome == Outcome::Applied)
        for (int ch : channels)
            emit stripChanged(ch);
    return outcome;
}

Outcome InputEqEditor::setFilter(bool highPass, int index)
{
    index = std::clamp(index, 0, kFilterIndexCount - 1);
    // The slider stays where the cut-off was when the filter goes off.
    if (index > 0)
        (highPass ? m_highPassPosition : m_lowPassPosition) = positionForFilterIndex(index);
    return storeFilter(highPass, index);
}

Outcome InputEqEditor::toggleHighPass()
{
    // Off keeps the slider where the cut-off was; on takes the cut-off the slider stands on.
    m_highPassPosition = highPassPosition();
    return storeFilter(true, highPassOn() ? 0 : filterIndexForPosition(m_highPassPosition));
}

Outcome InputEqEditor::toggleLowPass()
{
    m_lowPassPosition = lowPassPosition();
    return storeFilter(false, lowPassOn() ? 0 : filterIndexForPosition(m_lowPassPosition));
}

Outcome InputEqEditor::highPassSliderMoved(int position)
{
    position = std::clamp(position, 1, kLastFilterPosition);
    if (position == highPassPosition()) return Outcome::Unchanged;
    m_highPassPosition = position;
    if (highPassOn()) return storeFilter(true, filterIndexForPosition(position));
    emit changed();
    return Outcome::Unchanged;
}

Outcome InputEqEditor::lowPassSliderMoved(int position)
{
    position = std::clamp(position, 1, kLastFilterPosition);
    if (position == lowPassPosition()) return Outcome::Unchanged;
    m_lowPassPosition = position;
    if (lowPassOn()) return storeFilter(false, filterIndexForPosition(position));
    emit changed();
    return Outcome::Unchanged;
}

// --- buttons ----------------------------------------------------------------------------------

Outcome InputEqEditor::setBypassed(bool bypass)
{
    if (bypass == bypassed()) return Outcome::Unchanged;
    const std::vector<int> channels = targets();
    return buttonEdit(channels, [&] {
        UnitRecord& r = record();
        for (int ch : channels) {
            std::optional<BypassSave>& save = m_bypass[static_cast<std::size_t>(ch)];
            if (!bypass) {
                if (!bypassed(ch)) continue;
                for (int b = 0; b < kInputEqBands; ++b)
                    r.inputEqAt(b, kEqGain, ch) = save->gains[static_cast<std::size_t>(b)];
                r.highPassIndex[ch] = save->highPassIndex;
                r.lowPassIndex[ch] = save->lowPassIndex;
                save.reset();
                continue;
            }
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
    });
}

Outcome InputEqEditor::reset()
{
    const std::vector<int> channels = targets();
    m_selectedBand = -1;
    return buttonEdit(channels, [&] {
        for (int ch : channels) {
            m_bypass[static_cast<std::size_t>(ch)].reset();
            resetInputEq(record(), ch);
        }
    });
}

Outcome InputEqEditor::copyFrom(int sourceChannel)
{
    if (sourceChannel < 0 || sourceChannel >= kInputCount) return Outcome::Inapplicable;
    if (!m_op.confirm(Severity::Information, QStringLiteral("Overwrite the current EQ settings")))
        return Outcome::Declined;
    UnitRecord& r = record();
    // Read the source first: it may be one of the targets.
    const std::array<EqBand, kInputEqBands> bands = inputEqBands(r, sourceChannel);
    const int hp = r.highPassIndex[sourceChannel];
    const int lp = r.lowPassIndex[sourceChannel];
    const std::vector<int> channels = targets();
    return buttonEdit(channels, [&] {
        for (int ch : channels) {
            std::optional<BypassSave>& save = m_bypass[static_cast<std::size_t>(ch)];
            if (bypassed(ch) && ch != sourceChannel) {
                // A bypassed channel stays flat; the copy is what switching bypass off brings
                // back.
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
    });
}

} // namespace sonaro
