#pragma once

#include "model/UnitRecord.h"
#include "model/ValueConventions.h"

#include <array>
#include <cstdint>
#include <optional>

// The equaliser data of one unit: five bands and two filters per input, fifteen bands per
// output. The record keeps them in parallel arrays; these accessors give them as bands.
namespace sonaro {

enum class EqBandType : std::int32_t
{
    Peak = 0,
    LowShelf = 1,
    HighShelf = 2,
};

// "EQ", "LowShelf", "HighShelf"; an empty text for a type outside 0..2.
const char* eqBandTypeLabel(EqBandType type);

// One band as stored: whatever value it was given (the editors clamp, the model does not).
struct EqBand
{
    double frequency = 1000.0; // Hz
    double gain = 0.0;         // dB
    double q = 0.5;
    EqBandType type = EqBandType::Peak;
};

constexpr int kBandsPerBlock = 5;
constexpr int kOutputEqBlocks = kOutputEqBands / kBandsPerBlock;
constexpr int kEqSlotCount = kInputCount + kOutputCount * kOutputEqBlocks; // 14
constexpr double kEqResetQ = 0.5;

// The editors' limits and the filter tables are value conventions (model/ValueConventions.h).
// The table value for a stored index; an index outside 0..10 is clamped into the table.
double highPassFrequency(int index);
double lowPassFrequency(int index);

// What an EQ slot addresses on the wire: slots 0..7 the five bands of input 0..7; slots 8..13
// block (slot - 8) mod 3 of output (slot - 8) / 3, that is bands 5 x block .. 5 x block + 4.
struct EqSlotTarget
{
    bool output = false;
    int channel = 0;   // input 0..7 or output 0..1
    int firstBand = 0; // 0 for inputs; 0, 5 or 10 for outputs
};
std::optional<EqSlotTarget> eqSlotOf(int slot);
// The slot of an output block (output 0..1, block 0..2).
constexpr int outputEqSlot(int output, int block)
{
    return kInputCount + output * kOutputEqBlocks + block;
}

// Band accessors; input 0..7, band 0..4, output 0..1, band 0..14 (callers check).
EqBand inputEqBand(const UnitRecord& record, int input, int band);
void setInputEqBand(UnitRecord& record, int input, int band, const EqBand& value);
EqBand outputEqBand(const UnitRecord& record, int output, int band);
void setOutputEqBand(UnitRecord& record, int output, int band, const EqBand& value);

std::array<EqBand, kInputEqBands> inputEqBands(const UnitRecord& record, int input);
std::array<EqBand, kOutputEqBands> outputEqBands(const UnitRecord& record, int output);

// The five bands of an EQ slot; nullopt for a slot outside 0..13.
std::optional<std::array<EqBand, kBandsPerBlock>> eqSlotBands(const UnitRecord& record, int slot);
// Stores five bands into an EQ slot; a slot outside 0..13 stores nothing (returns false).
bool setEqSlotBands(UnitRecord& record, int slot, const std::array<EqBand, kBandsPerBlock>& bands);

// The editors' Reset values: the factory frequencies, gain 0.0, Q 0.5, type Peak.
EqBand defaultInputEqBand(int band);
EqBand defaultOutputEqBand(int band);
// Input Reset: every band to its default and both filter indexes to 0 (off).
void resetInputEq(UnitRecord& record, int input);
// Output Reset: frequency, gain and Q of all fifteen bands; the stored types stay.
void resetOutputEq(UnitRecord& record, int output);

} // namespace sonaro
