#include "unit/UnitFrames.h"

#include "link/AddressFile.h"
#include "protocol/FrameCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace sonaro {

namespace {

std::string byteText(int value)
{
    return hex2(static_cast<unsigned>(std::clamp(value, 0, 255)));
}

std::string wordText(long value)
{
    return hex4(static_cast<unsigned>(std::clamp<long>(value, 0, 0xFFFF)));
}

std::string digitText(int value)
{
    return std::string(1, static_cast<char>('0' + std::clamp(value, 0, 9)));
}

std::string switchBytes(const UnitRecord& r)
{
    std::string bytes;
    for (int ch = 0; ch < kInputCount; ++ch)
        bytes += hex2(inputSwitchByte(r, ch));
    return bytes;
}

std::string gainsText(const UnitRecord& r)
{
    std::string gains;
    for (int ch = 0; ch < kInputCount; ++ch)
        gains += byteText(r.inputGain[ch]);
    return gains;
}

std::string outputGains(const UnitRecord& r)
{
    return byteText(r.outputMute[0] ? 0 : r.outputGain[0]) +
           byteText(r.outputMute[1] ? 0 : r.outputGain[1]);
}

void addBand(std::vector<std::string>& groups, double frequency, double gain, double q, int type)
{
    groups.push_back(wordText(std::lround(frequency)));
    groups.push_back(
        wordText((static_cast<long>(type & 3) << 14) | (std::lround(q * 10) & 0x3FFF)));
    groups.push_back(wordText(std::lround(gain * 10 + 150)));
}

} // namespace

std::string paddedAddress(std::string_view address)
{
    const std::string normal = normaliseAddress(address);
    int a = 0, b = 0, c = 0, d = 0;
    std::sscanf(normal.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%03d.%03d.%03d.%03d", std::clamp(a, 0, 999),
                  std::clamp(b, 0, 999), std::clamp(c, 0, 999), std::clamp(d, 0, 999));
    return buffer;
}

std::string buildReplyR(bool accepted, int unitCount)
{
    if (!accepted) return buildFrame('R', {"FF", "FF"});
    char count[8];
    std::snprintf(count, sizeof count, "%02d", std::clamp(unitCount, 0, 99));
    return buildFrame('R', {"00", count});
}

std::string buildReplyL(const std::array<int, 10>& levels, int openBits)
{
    std::string bytes;
    for (int level : levels)
        bytes += byteText(level);
    return buildFrame('L', {bytes, byteText(openBits)});
}

std::string buildReplyZ(int unit, int openBits)
{
    return buildFrame('Z', {byteText(unit), byteText(openBits)});
}

std::string buildReplyA(const UnitRecord& r, int unit, int slot)
{
    std::vector<std::string> groups{byteText(unit), byteText(slot)};
    for (int b = 0; b < kInputEqBands; ++b) {
        if (slot < 8) {
            addBand(groups, r.inputEqAt(b, kEqFrequency, slot), r.inputEqAt(b, kEqGain, slot),
                    r.inputEqAt(b, kEqQ, slot), r.inputEqType[b][slot]);
        } else {
            const int output = std::clamp((slot - 8) / 3, 0, 1);
            const int band = ((slot - 8) % 3) * 5 + b;
            addBand(groups, r.outputEqAt(output, kEqFrequency, band),
                    r.outputEqAt(output, kEqGain, band), r.outputEqAt(output, kEqQ, band),
                    r.outputEqType[output][band]);
        }
    }
    return buildFrame('A', groups);
}

std::string buildReplyP(int unit, std::string_view address, int port, std::string_view firstName,
                        std::string_view secondName)
{
    char target[40];
    std::snprintf(target, sizeof target, "%s:%05d", paddedAddress(address).c_str(),
                  std::clamp(port, 0, 99999));
    return buildFrame('P', {byteText(unit), target, padAccount(firstName), padAccount(secondName)});
}

std::string buildReplyK(int unit, int count)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", std::clamp(count, 0, 99));
    return buildFrame('K', {byteText(unit), text});
}

std::string buildReplyU(const UnitRecord& r, int unit, int output)
{
    return buildFrame('U', {byteText(unit), byteText(output),
                            wordText(std::lround(r.limiterRatio[output])),
                            wordText(std::lround((r.limiterThreshold[output] + 80.0) * 10)),
                            wordText(r.limiterAttack[output]), wordText(r.limiterRelease[output])});
}

std::string buildReplyQ(int unit, int slot)
{
    return buildFrame('Q', {byteText(unit), byteText(slot)});
}

std::string buildReplyH(int unit, int output)
{
    return buildFrame('H', {byteText(unit), byteText(output)});
}

std::string buildReplyY(int unit, std::string_view name, std::string_view password)
{
    return buildFrame('Y', {byteText(unit), padAccount(name), padAccount(password)});
}

std::string buildReplyO(const UnitRecord& r, int unit)
{
    return buildFrame('O', {byteText(unit), gainsText(r), outputGains(r), byteText(r.threshold)});
}

std::string buildReplyS(const UnitRecord& r, int unit, const LinkTable& links)
{
    std::string fbk, editor, highPass, lowPass, groups, flags;
    int mutes = 0;
    for (int ch = 0; ch < kInputCount; ++ch) {
        fbk += digitText(r.feedback[ch]);
        // The per-input value travels as one hexadecimal digit: its low nibble.
        editor += hex1(static_cast<unsigned>(r.eqEditorValue[ch]) & 0xF);
    }
    for (std::size_t ch = 0; ch < std::size(r.inputMute); ++ch)
        if (r.inputMute[ch] != 0) mutes |= 1 << ch;
    for (int ch = kInputCount - 1; ch >= 0; --ch) {
        highPass += hex1(static_cast<unsigned>(std::clamp(r.highPassIndex[ch], 0, 15)));
        lowPass += hex1(static_cast<unsigned>(std::clamp(r.lowPassIndex[ch], 0, 15)));
    }
    for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
        groups += digitText(links.group[ch]);
        flags += hex2(links.flags[ch]);
    }
    return buildFrame(
        'S', {byteText(unit), digitText(r.limiterEnable[0]) + digitText(r.limiterEnable[1]), fbk,
              editor, byteText(r.routing[0]) + byteText(r.routing[1]), "0000", switchBytes(r),
              hex2(outputSwitchByte(r)), hex2(unitSwitchByte(r)), gainsText(r), outputGains(r),
              byteText(r.threshold), byteText(r.maxOpenChannels), byteText(r.holdTime), highPass,
              lowPass, groups, byteText(mutes), flags});
}

std::string buildReplyN(int unit, const LinkTable& links)
{
    std::string groups, flags;
    for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
        groups += digitText(links.group[ch]);
        flags += hex2(links.flags[ch]);
    }
    return buildFrame('N', {byteText(unit), groups, flags});
}

std::string buildReplyD(const UnitRecord& r, int unit)
{
    return buildFrame(
        'D', {byteText(unit), switchBytes(r), hex2(outputSwitchByte(r)), hex2(unitSwitchByte(r))});
}

} // namespace sonaro
