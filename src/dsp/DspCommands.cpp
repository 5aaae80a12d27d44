#include "dsp/DspCommands.h"

#include "dsp/DeviceCoefficients.h"
#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "protocol/FrameCodec.h"

#include <algorithm>
#include <vector>

namespace sonaro {

namespace {

std::string byteText(int value)
{
    return hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

} // namespace

std::string buildE(const UnitRecord& record, int unit, int slot)
{
    const auto bands = eqSlotBands(record, slot);
    if (!bands) return {};
    std::vector<std::string> groups{byteText(unit), byteText(slot)};
    for (std::string& group : encodeEqBlock(*bands))
        groups.push_back(std::move(group));
    return buildFrame('E', groups);
}

std::string buildB(const UnitRecord& record, int unit, int output)
{
    if (output < 0 || output >= kOutputCount) return {};
    std::vector<std::string> groups{byteText(unit), byteText(output)};
    for (std::string& group : encodeDynamics(dynamicsOf(record, output)))
        groups.push_back(std::move(group));
    return buildFrame('B', groups);
}

} // namespace sonaro
