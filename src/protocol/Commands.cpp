#include "protocol/Commands.h"

#include "protocol/FrameCodec.h"

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

// Byte fields are two digits on the wire; a stray value outside 0..255 is clamped so that the
// frame keeps its fixed length.
std::string byteText(int value)
{
    return hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

unsigned bitOf(int flag, int position)
{
    return (flag ? 1u : 0u) << position;
}

} // namespace

std::string buildR(std::string_view user, std::string_view password)
{
    return buildFrame('R', {padAccount(user), padAccount(password)});
}

std::string buildL(bool on)
{
    return buildFrame('L', {on ? "01" : "00"});
}

std::string buildC(int unit)
{
    return buildFrame('C', {byteText(unit)});
}

std::string buildF(int unit, int slot)
{
    return buildFrame('F', {byteText(unit), byteText(slot)});
}

std::string buildT(int unit, int output)
{
    return buildFrame('T', {byteText(unit), byteText(output)});
}

std::string buildV(const UnitRecord& r, int unit)
{
    std::string inputs;
    for (int ch = 0; ch < kInputCount; ++ch)
        inputs += byteText(r.inputGain[ch]);
    std::string outputs;
    // A muted output travels as gain 0; its stored gain is kept for the un-mute.
    for (int out = 0; out < kOutputCount; ++out)
        outputs += byteText(r.outputMute[out] ? 0 : r.outputGain[out]);
    unsigned muteMask = 0;
    for (int ch = 0; ch < kInputCount; ++ch)
        muteMask |= bitOf(r.inputMute[ch], ch);
    return buildFrame('V',
                      {byteText(unit), inputs, outputs, byteText(r.threshold), hex2(muteMask)});
}

std::uint8_t inputSwitchByte(const UnitRecord& r, int ch)
{
    return static_cast<std::uint8_t>(bitOf(r.inputPhantom[ch], 0) | bitOf(r.inputLine[ch], 1) |
                                     bitOf(r.inputLowCut[ch], 3) | bitOf(r.inputPriority[ch], 4));
}

std::uint8_t outputSwitchByte(const UnitRecord& r)
{
    return static_cast<std::uint8_t>(bitOf(r.outputFlagA, 1) | bitOf(r.outputFlagB, 3) |
                                     bitOf(r.outputFlagC, 5) | bitOf(r.outputLevelType[0], 6) |
                                     bitOf(r.outputLevelType[1], 7));
}

std::uint8_t unitSwitchByte(const UnitRecord& r)
{
    return static_cast<std::uint8_t>(bitOf(r.thresholdMode, 1) | bitOf(r.deviceMode, 3) |
                                     bitOf(r.panelLock, 5));
}

namespace {

int flagAt(int byte, int position)
{
    return (byte >> position) & 1;
}

} // namespace

void applyInputSwitchByte(UnitRecord& r, int ch, int byte)
{
    if (ch < 0 || ch >= kInputCount) return;
    r.inputPhantom[ch] = flagAt(byte, 0);
    r.inputLine[ch] = flagAt(byte, 1);
    r.inputLowCut[ch] = flagAt(byte, 3);
    r.inputPriority[ch] = flagAt(byte, 4);
}

void applyOutputSwitchByte(UnitRecord& r, int byte)
{
    r.outputFlagA = flagAt(byte, 1);
    r.outputFlagB = flagAt(byte, 3);
    r.outputFlagC = flagAt(byte, 5);
    r.outputLevelType[0] = flagAt(byte, 6);
    r.outputLevelType[1] = flagAt(byte, 7);
}

void applyUnitSwitchByte(UnitRecord& r, int byte)
{
    r.thresholdMode = flagAt(byte, 1);
    r.deviceMode = flagAt(byte, 3);
    r.panelLock = flagAt(byte, 5);
}

std::string buildM(const UnitRecord& r, int unit)
{
    std::string inputs;
    for (int ch = 0; ch < kInputCount; ++ch)
        inputs += hex2(inputSwitchByte(r, ch));
    return buildFrame('M',
                      {byteText(unit), inputs, hex2(outputSwitchByte(r)), hex2(unitSwitchByte(r))});
}

std::string buildG(const UnitRecord& r, int unit)
{
    unsigned fbk = 0;
    for (int ch = 0; ch < kInputCount; ++ch)
        fbk |= bitOf(r.feedback[ch], ch);
    const unsigned drc = bitOf(r.limiterEnable[0], 4) | bitOf(r.limiterEnable[1], 0);
    std::string editorValues;
    for (int ch = 0; ch < kInputCount; ++ch)
        editorValues += byteText(r.eqEditorValue[ch]);
    const std::string routing = byteText(r.routing[0]) + byteText(r.routing[1]);
    // Filter indexes run from input 8 down to input 1, one digit each.
    std::string highPass, lowPass;
    for (int ch = kInputCount - 1; ch >= 0; --ch) {
        highPass += hex1(static_cast<unsigned>(std::clamp(r.highPassIndex[ch], 0, 15)));
        lowPass += hex1(static_cast<unsigned>(std::clamp(r.lowPassIndex[ch], 0, 15)));
    }
    return buildFrame('G', {byteText(unit), hex2(fbk), hex2(drc), editorValues, routing,
                            byteText(r.maxOpenChannels), byteText(r.holdTime), highPass, lowPass});
}

std::string buildJ(int unit, const LinkTable& table)
{
    std::string groups, flags;
    for (int ch = 0; ch < LinkTable::kChannels; ++ch) {
        const int group = std::clamp(table.group[static_cast<std::size_t>(ch)], 0, 9);
        groups += static_cast<char>('0' + group);
        flags += hex2(group == 0 ? 0u : table.flags[static_cast<std::size_t>(ch)]);
    }
    return buildFrame('J', {byteText(unit), groups, flags});
}

std::string buildI(int unit, std::string_view address, int port)
{
    if (address.empty()) return buildFrame('I', {byteText(unit)});
    char portText[16];
    std::snprintf(portText, sizeof portText, "%05d", std::clamp(port, 0, 99999));
    std::string target(address);
    target += ':';
    target += portText;
    return buildFrame('I', {byteText(unit), target});
}

std::string buildX(int unit, std::string_view account, std::string_view oldPassword,
                   std::string_view newPassword)
{
    const std::string name = padAccount(account);
    return buildFrame(
        'X', {byteText(unit), name, padAccount(oldPassword), name, padAccount(newPassword)});
}

const AnswerWaitPolicy& answerWaitFor(char command)
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

bool isAcknowledged(char command)
{
    return command == 'M' || command == 'E' || command == 'B';
}

} // namespace sonaro
