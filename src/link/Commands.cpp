#include "link/Commands.h"

#include "link/FrameCodec.h"

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

// Byte fields are two digits on the wire; a stray value outside 0..255 is clamped so that the
// frame keeps its fixed length.
std::string Byte(int value)
{
    return Hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

unsigned Bit(int flag, int position)
{
    return (flag ? 1u : 0u) << position;
}

} // namespace

std::string BuildR(std::string_view user, std::string_view password)
{
    return BuildFrame('R', {PadAccount(user), PadAccount(password)});
}

std::string BuildL(bool on)
{
    return BuildFrame('L', {on ? "01" : "00"});
}

std::string BuildC(int unit)
{
    return BuildFrame('C', {Byte(unit)});
}

std::string BuildF(int unit, int slot)
{
    return BuildFrame('F', {Byte(unit), Byte(slot)});
}

std::string BuildT(int unit, int output)
{
    return BuildFrame('T', {Byte(unit), Byte(output)});
}

std::string BuildV(const UnitRecord& r, int unit)
{
    std::string inputs;
    for (int ch = 0; ch < kInputCount; ++ch)
        inputs += Byte(r.inputGain[ch]);
    std::string outputs;
    // A muted output travels as gain 0; its stored gain is kept for the un-mute.
    for (int out = 0; out < kOutputCount; ++out)
        outputs += Byte(r.outputMute[out] ? 0 : r.outputGain[out]);
    unsigned muteMask = 0;
    for (int ch = 0; ch < kInputCount; ++ch)
        muteMask |= Bit(r.inputMute[ch], ch);
    return BuildFrame('V', {Byte(unit), inputs, outputs, Byte(r.threshold), Hex2(muteMask)});
}

std::uint8_t InputSwitchByte(const UnitRecord& r, int ch)
{
    return static_cast<std::uint8_t>(Bit(r.inputPhantom[ch], 0) | Bit(r.inputLine[ch], 1) |
                                     Bit(r.inputLowCut[ch], 3) | Bit(r.inputPriority[ch], 4));
}

std::uint8_t OutputSwitchByte(const UnitRecord& r)
{
    return static_cast<std::uint8_t>(Bit(r.outputFlagA, 1) | Bit(r.outputFlagB, 3) |
                                     Bit(r.outputFlagC, 5) | Bit(r.outputLevelType[0], 6) |
                                     Bit(r.outputLevelType[1], 7));
}

std::uint8_t UnitSwitchByte(const UnitRecord& r)
{
    return static_cast<std::uint8_t>(Bit(r.thresholdMode, 1) | Bit(r.deviceMode, 3) |
                                     Bit(r.panelLock, 5));
}

std::string BuildM(const UnitRecord& r, int unit)
{
    std::string inputs;
    for (int ch = 0; ch < kInputCount; ++ch)
        inputs += Hex2(InputSwitchByte(r, ch));
    return BuildFrame('M',
                      {Byte(unit), inputs, Hex2(OutputSwitchByte(r)), Hex2(UnitSwitchByte(r))});
}

std::string BuildG(const UnitRecord& r, int unit)
{
    unsigned fbk = 0;
    for (int ch = 0; ch < kInputCount; ++ch)
        fbk |= Bit(r.feedback[ch], ch);
    const unsigned drc = Bit(r.limiterEnable[0], 4) | Bit(r.limiterEnable[1], 0);
    std::string editorValues;
    for (int ch = 0; ch < kInputCount; ++ch)
        editorValues += Byte(r.eqEditorValue[ch]);
    const std::string routing = Byte(r.routing[0]) + Byte(r.routing[1]);
    // Filter indexes run from input 8 down to input 1, one digit each.
    std::string highPass, lowPass;
    for (int ch = kInputCount - 1; ch >= 0; --ch) {
        highPass += Hex1(static_cast<unsigned>(std::clamp(r.highPassIndex[ch], 0, 15)));
        lowPass += Hex1(static_cast<unsigned>(std::clamp(r.lowPassIndex[ch], 0, 15)));
    }
    return BuildFrame('G', {Byte(unit), Hex2(fbk), Hex2(drc), editorValues, routing,
                            Byte(r.maxOpenChannels), Byte(r.holdTime), highPass, lowPass});
}

std::string BuildJ(int unit, const LinkTable& table)
{
    std::string groups, flags;
    for (int ch = 0; ch < LinkTable::kChannels; ++ch) {
        const int group = std::clamp(table.group[static_cast<std::size_t>(ch)], 0, 9);
        groups += static_cast<char>('0' + group);
        flags += Hex2(group == 0 ? 0u : table.flags[static_cast<std::size_t>(ch)]);
    }
    return BuildFrame('J', {Byte(unit), groups, flags});
}

std::string BuildI(int unit, std::string_view address, int port)
{
    if (address.empty()) return BuildFrame('I', {Byte(unit)});
    char portText[16];
    std::snprintf(portText, sizeof portText, "%05d", std::clamp(port, 0, 99999));
    std::string target(address);
    target += ':';
    target += portText;
    return BuildFrame('I', {Byte(unit), target});
}

std::string BuildX(int unit, std::string_view account, std::string_view oldPassword,
                   std::string_view newPassword)
{
    const std::string name = PadAccount(account);
    return BuildFrame('X',
                      {Byte(unit), name, PadAccount(oldPassword), name, PadAccount(newPassword)});
}

const AnswerWaitPolicy& AnswerWaitFor(char command)
{
    static const AnswerWaitPolicy m{'M', 'D', {20, 0, 0, 0}, 1, 20, false};
    // E checks first and waits after: cycle k runs at (k - 1) x 10 ms, so its resends on cycles
    // 10, 20, 30 and 40 leave at 90, 190, 290 and 390 ms.
    static const AnswerWaitPolicy e{'E', 'Q', {9, 19, 29, 39}, 4, 39, true};
    static const AnswerWaitPolicy b{'B', 'H', {30, 0, 0, 0}, 1, 30, false};
    switch (command) {
    case 'E':
        return e;
    case 'B':
        return b;
    default:
        return m;
    }
}

bool IsAcknowledged(char command)
{
    return command == 'M' || command == 'E' || command == 'B';
}

} // namespace sonaro
