#include "unit/UnitFrames.h"

#include "link/AddressFile.h"
#include "link/FrameCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace sonaro {

namespace {

std::string Byte(int value)
{
    return Hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

std::string Word(long value)
{
    return Hex4(static_cast<unsigned>(std::clamp<long>(value, 0, 0xFFFF)));
}

std::string Digit(int value)
{
    return std::string(1, static_cast<char>('0' + std::clamp(value, 0, 9)));
}

std::string SwitchBytes(const UnitRecord& r)
{
    std::string bytes;
    for (int ch = 0; ch < kInputCount; ++ch)
        bytes += Hex2(InputSwitchByte(r, ch));
    return bytes;
}

std::string Gains(const UnitRecord& r)
{
    std::string gains;
    for (int ch = 0; ch < kInputCount; ++ch)
        gains += Byte(r.inputGain[ch]);
    return gains;
}

std::string OutputGains(const UnitRecord& r)
{
    return Byte(r.outputMute[0] ? 0 : r.outputGain[0]) +
           Byte(r.outputMute[1] ? 0 : r.outputGain[1]);
}

void AddBand(std::vector<std::string>& groups, double frequency, double gain, double q, int type)
{
    groups.push_back(Word(std::lround(frequency)));
    groups.push_back(Word((static_cast<long>(type & 3) << 14) | (std::lround(q * 10) & 0x3FFF)));
    groups.push_back(Word(std::lround(gain * 10 + 150)));
}

} // namespace

std::string PaddedAddress(std::string_view address)
{
    const std::string normal = NormaliseAddress(address);
    int a = 0, b = 0, c = 0, d = 0;
    std::sscanf(normal.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%03d.%03d.%03d.%03d", std::clamp(a, 0, 999),
                  std::clamp(b, 0, 999), std::clamp(c, 0, 999), std::clamp(d, 0, 999));
    return buffer;
}

std::string BuildReplyR(bool accepted, int unitCount)
{
    if (!accepted) return BuildFrame('R', {"FF", "FF"});
    char count[8];
    std::snprintf(count, sizeof count, "%02d", std::clamp(unitCount, 0, 99));
    return BuildFrame('R', {"00", count});
}

std::string BuildReplyL(const std::array<int, 10>& levels, int openBits)
{
    std::string bytes;
    for (int level : levels)
        bytes += Byte(level);
    return BuildFrame('L', {bytes, Byte(openBits)});
}

std::string BuildReplyZ(int unit, int openBits)
{
    return BuildFrame('Z', {Byte(unit), Byte(openBits)});
}

std::string BuildReplyA(const UnitRecord& r, int unit, int slot)
{
    std::vector<std::string> groups{Byte(unit), Byte(slot)};
    for (int b = 0; b < kInputEqBands; ++b) {
        if (slot < 8) {
            AddBand(groups, r.inputEqAt(b, kEqFrequency, slot), r.inputEqAt(b, kEqGain, slot),
                    r.inputEqAt(b, kEqQ, slot), r.inputEqType[b][slot]);
        } else {
            const int output = std::clamp((slot - 8) / 3, 0, 1);
            const int band = ((slot - 8) % 3) * 5 + b;
            AddBand(groups, r.outputEqAt(output, kEqFrequency, band),
                    r.outputEqAt(output, kEqGain, band), r.outputEqAt(output, kEqQ, band),
                    r.outputEqType[output][band]);
        }
    }
    return BuildFrame('A', groups);
}

std::string BuildReplyP(int unit, std::string_view address, int port, std::string_view firstName,
                        std::string_view secondName)
{
    char target[40];
    std::snprintf(target, sizeof target, "%s:%05d", PaddedAddress(address).c_str(),
                  std::clamp(port, 0, 99999));
    return BuildFrame('P', {Byte(unit), target, PadAccount(firstName), PadAccount(secondName)});
}

std::string BuildReplyK(int unit, int count)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", std::clamp(count, 0, 99));
    return BuildFrame('K', {Byte(unit), text});
}

std::string BuildReplyU(const UnitRecord& r, int unit, int output)
{
    return BuildFrame('U', {Byte(unit), Byte(output), Word(std::lround(r.limiterRatio[output])),
                            Word(std::lround((r.limiterThreshold[output] + 80.0) * 10)),
                            Word(r.limiterAttack[output]), Word(r.limiterRelease[output])});
}

std::string BuildReplyQ(int unit, int slot)
{
    return BuildFrame('Q', {Byte(unit), Byte(slot)});
}

std::string BuildReplyH(int unit, int output)
{
    return BuildFrame('H', {Byte(unit), Byte(output)});
}

std::string BuildReplyY(int unit, std::string_view name, std::string_view password)
{
    return BuildFrame('Y', {Byte(unit), PadAccount(name), PadAccount(password)});
}

std::string BuildReplyO(const UnitRecord& r, int unit)
{
    return BuildFrame('O', {Byte(unit), Gains(r), OutputGains(r), Byte(r.threshold)});
}

std::string BuildReplyS(const UnitRecord& r, int unit, const LinkTable& links)
{
    std::string fbk, editor, highPass, lowPass, groups, flags;
    int mutes = 0;
    for (int ch = 0; ch < kInputCount; ++ch) {
        fbk += Digit(r.feedback[ch]);
        // The per-input value travels as one hexadecimal digit: its low nibble.
        editor += Hex1(static_cast<unsigned>(r.eqEditorValue[ch]) & 0xF);
    }
    for (std::size_t ch = 0; ch < std::size(r.inputMute); ++ch)
        if (r.inputMute[ch] != 0) mutes |= 1 << ch;
    for (int ch = kInputCount - 1; ch >= 0; --ch) {
        highPass += Hex1(static_cast<unsigned>(std::clamp(r.highPassIndex[ch], 0, 15)));
        lowPass += Hex1(static_cast<unsigned>(std::clamp(r.lowPassIndex[ch], 0, 15)));
    }
    for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
        groups += Digit(links.group[ch]);
        flags += Hex2(links.flags[ch]);
    }
    return BuildFrame('S', {Byte(unit), Digit(r.limiterEnable[0]) + Digit(r.limiterEnable[1]), fbk,
                            editor, Byte(r.routing[0]) + Byte(r.routing[1]), "0000", SwitchBytes(r),
                            Hex2(OutputSwitchByte(r)), Hex2(UnitSwitchByte(r)), Gains(r),
                            OutputGains(r), Byte(r.threshold), Byte(r.maxOpenChannels),
                            Byte(r.holdTime), highPass, lowPass, groups, Byte(mutes), flags});
}

std::string BuildReplyN(int unit, const LinkTable& links)
{
    std::string groups, flags;
    for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
        groups += Digit(links.group[ch]);
        flags += Hex2(links.flags[ch]);
    }
    return BuildFrame('N', {Byte(unit), groups, flags});
}

std::string BuildReplyD(const UnitRecord& r, int unit)
{
    return BuildFrame(
        'D', {Byte(unit), SwitchBytes(r), Hex2(OutputSwitchByte(r)), Hex2(UnitSwitchByte(r))});
}

} // namespace sonaro
