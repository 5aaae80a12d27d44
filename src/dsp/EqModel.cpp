#include "dsp/EqModel.h"

#include <algorithm>

namespace sonaro {

const char* eqBandTypeLabel(EqBandType type)
{
    switch (type) {
    case EqBandType::Peak:
        return "EQ";
    case EqBandType::LowShelf:
        return "LowShelf";
    case EqBandType::HighShelf:
        return "HighShelf";
    }
    return "";
}

double highPassFrequency(int index)
{
    return kHighPassFrequency[static_cast<std::size_t>(
        std::clamp(index, 0, kFilterIndexCount - 1))];
}

double lowPassFrequency(int index)
{
    return kLowPassFrequency[static_cast<std::size_t>(std::clamp(index, 0, kFilterIndexCount - 1))];
}

std::optional<EqSlotTarget> eqSlotOf(int slot)
{
    if (slot < 0 || slot >= kEqSlotCount) return std::nullopt;
    if (slot < kInputCount) return EqSlotTarget{false, slot, 0};
    const int outputSlot = slot - kInputCount;
    return EqSlotTarget{true, outputSlot / kOutputEqBlocks,
                        (outputSlot % kOutputEqBlocks) * kBandsPerBlock};
}

EqBand inputEqBand(const UnitRecord& r, int input, int band)
{
    return EqBand{r.inputEq[band][kEqFrequency][input], r.inputEq[band][kEqGain][input],
                  r.inputEq[band][kEqQ][input], EqBandType{r.inputEqType[band][input]}};
}

void setInputEqBand(UnitRecord& r, int input, int band, const EqBand& value)
{
    r.inputEq[band][kEqFrequency][input] = value.frequency;
    r.inputEq[band][kEqGain][input] = value.gain;
    r.inputEq[band][kEqQ][input] = value.q;
    r.inputEqType[band][input] = static_cast<std::int32_t>(value.type);
}

EqBand outputEqBand(const UnitRecord& r, int output, int band)
{
    return EqBand{r.outputEq[output][kEqFrequency][band], r.outputEq[output][kEqGain][band],
                  r.outputEq[output][kEqQ][band], EqBandType{r.outputEqType[output][band]}};
}

void setOutputEqBand(UnitRecord& r, int output, int band, const EqBand& value)
{
    r.outputEq[output][kEqFrequency][band] = value.frequency;
    r.outputEq[output][kEqGain][band] = value.gain;
    r.outputEq[output][kEqQ][band] = value.q;
    r.outputEqType[output][band] = static_cast<std::int32_t>(value.type);
}

std::array<EqBand, kInputEqBands> inputEqBands(const UnitRecord& record, int input)
{
    std::array<EqBand, kInputEqBands> bands;
    for (int b = 0; b < kInputEqBands; ++b)
        bands[static_cast<std::size_t>(b)] = inputEqBand(record, input, b);
    return bands;
}

std::array<EqBand, kOutputEqBands> outputEqBands(const UnitRecord& record, int output)
{
    std::array<EqBand, kOutputEqBands> bands;
    for (int b = 0; b < kOutputEqBands; ++b)
        bands[static_cast<std::size_t>(b)] = outputEqBand(record, output, b);
    return bands;
}

std::optional<std::array<EqBand, kBandsPerBlock>> eqSlotBands(const UnitRecord& record, int slot)
{
    const auto target = eqSlotOf(slot);
    if (!target) return std::nullopt;
    std::array<EqBand, kBandsPerBlock> bands;
    for (int b = 0; b < kBandsPerBlock; ++b) {
        bands[static_cast<std::size_t>(b)] =
            target->output ? outputEqBand(record, target->channel, target->firstBand + b)
                           : inputEqBand(record, target->channel, b);
    }
    return bands;
}

bool setEqSlotBands(UnitRecord& record, int slot, const std::array<EqBand, kBandsPerBlock>& bands)
{
    const auto target = eqSlotOf(slot);
    if (!target) return false;
    for (int b = 0; b < kBandsPerBlock; ++b) {
        const EqBand& band = bands[static_cast<std::size_t>(b)];
        if (target->output)
            setOutputEqBand(record, target->channel, target->firstBand + b, band);
        else
            setInputEqBand(record, target->channel, b, band);
    }
    return true;
}

EqBand defaultInputEqBand(int band)
{
    return EqBand{kInputEqFactoryFrequency[band], 0.0, kEqResetQ, EqBandType::Peak};
}

EqBand defaultOutputEqBand(int band)
{
    return EqBand{kOutputEqFactoryFrequency[band], 0.0, kEqResetQ, EqBandType::Peak};
}

void resetInputEq(UnitRecord& record, int input)
{
    for (int b = 0; b < kInputEqBands; ++b)
        setInputEqBand(record, input, b, defaultInputEqBand(b));
    record.highPassIndex[input] = 0;
    record.lowPassIndex[input] = 0;
}

void resetOutputEq(UnitRecord& record, int output)
{
    for (int b = 0; b < kOutputEqBands; ++b) {
        EqBand band = defaultOutputEqBand(b);
        band.type = outputEqBand(record, output, b).type;
        setOutputEqBand(record, output, b, band);
    }
}

} // namespace sonaro
