#include "dsp/DspCommands.h"

#include "dsp/DeviceCoefficients.h"
#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "link/FrameCodec.h"

#include <algorithm>
#include <vector>

namespace sonaro {

namespace {

std::string Byte(int value)
{
    return Hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

} // namespace

std::string BuildE(const UnitRecord& record, int unit, int slot)
{
    const auto bands = EqSlotBands(record, slot);
    if (!bands) return {};
    std::vector<std::string> groups{Byte(unit), Byte(slot)};
    for (std::string& group : EncodeEqBlock(*bands))
        groups.push_back(std::move(group));
    return BuildFrame('E', groups);
}

std::string BuildB(const UnitRecord& record, int unit, int output)
{
    if (output < 0 || output >= kOutputCount) return {};
    std::vector<std::string> groups{Byte(unit), Byte(output)};
    for (std::string& group : EncodeDynamics(DynamicsOf(record, output)))
        groups.push_back(std::move(group));
    return BuildFrame('B', groups);
}

} // namespace sonaro
