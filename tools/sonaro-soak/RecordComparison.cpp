#include "RecordComparison.h"

#include "protocol/ParameterWords.h"

#include <string>

namespace sonaro {

namespace {

class Comparison
{
public:
    void check(const std::string& name, long long program, long long unit)
    {
        if (program != unit) differing.push_back(name);
    }
    std::vector<std::string> differing;
};

std::string indexed(const char* name, int i)
{
    return std::string(name) + '[' + std::to_string(i) + ']';
}

// One EQ band as the E frame carries it: frequency, Q and gain words and the band type.
void checkBand(Comparison& c, const std::string& name, double pf, double pq, double pg, int pt,
               double uf, double uq, double ug, int ut)
{
    c.check(name + ".frequency", frequencyWord(pf), frequencyWord(uf));
    c.check(name + ".q", QWord(pq, 0), QWord(uq, 0));
    c.check(name + ".gain", gainWord(pg), gainWord(ug));
    c.check(name + ".type", pt & 3, ut & 3);
}

} // namespace

std::vector<std::string> differingFields(const UnitRecord& p, const UnitRecord& u)
{
    Comparison c;
    // V: gains, threshold, input mutes; a muted output travels as gain 0.
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(indexed("inputGain", ch), p.inputGain[ch], u.inputGain[ch]);
        c.check(indexed("inputMute", ch), p.inputMute[ch] != 0, u.inputMute[ch] != 0);
    }
    for (int out = 0; out < kOutputCount; ++out)
        c.check(indexed("outputGain", out), p.outputMute[out] ? 0 : p.outputGain[out],
                u.outputGain[out]);
    c.check("threshold", p.threshold, u.threshold);
    // M: switches.
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(indexed("inputPhantom", ch), p.inputPhantom[ch] != 0, u.inputPhantom[ch] != 0);
        c.check(indexed("inputLine", ch), p.inputLine[ch] != 0, u.inputLine[ch] != 0);
        c.check(indexed("inputLowCut", ch), p.inputLowCut[ch] != 0, u.inputLowCut[ch] != 0);
        c.check(indexed("inputPriority", ch), p.inputPriority[ch] != 0, u.inputPriority[ch] != 0);
    }
    c.check("outputFlagA", p.outputFlagA != 0, u.outputFlagA != 0);
    c.check("outputFlagB", p.outputFlagB != 0, u.outputFlagB != 0);
    c.check("outputFlagC", p.outputFlagC != 0, u.outputFlagC != 0);
    for (int out = 0; out < kOutputCount; ++out)
        c.check(indexed("outputLevelType", out), p.outputLevelType[out] != 0,
                u.outputLevelType[out] != 0);
    c.check("thresholdMode", p.thresholdMode != 0, u.thresholdMode != 0);
    c.check("deviceMode", p.deviceMode != 0, u.deviceMode != 0);
    c.check("panelLock", p.panelLock != 0, u.panelLock != 0);
    // G: feedback, limiter switches, editor values, routing, automix, filters.
    for (int out = 0; out < kOutputCount; ++out)
        c.check(indexed("limiterEnable", out), p.limiterEnable[out] != 0,
                u.limiterEnable[out] != 0);
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(indexed("feedback", ch), p.feedback[ch] != 0, u.feedback[ch] != 0);
        c.check(indexed("eqEditorValue", ch), p.eqEditorValue[ch] & 0xFF,
                u.eqEditorValue[ch] & 0xFF);
        c.check(indexed("highPassIndex", ch), p.highPassIndex[ch], u.highPassIndex[ch]);
        c.check(indexed("lowPassIndex", ch), p.lowPassIndex[ch], u.lowPassIndex[ch]);
    }
    for (int out = 0; out < kOutputCount; ++out)
        c.check(indexed("routing", out), p.routing[out] & 0xFF, u.routing[out] & 0xFF);
    c.check("maxOpenChannels", p.maxOpenChannels & 0xFF, u.maxOpenChannels & 0xFF);
    c.check("holdTime", p.holdTime & 0xFF, u.holdTime & 0xFF);
    // E: every band of every input and output.
    for (int ch = 0; ch < kInputCount; ++ch)
        for (int b = 0; b < kInputEqBands; ++b)
            checkBand(c, "inputEq[ch " + std::to_string(ch) + " band " + std::to_string(b) + "]",
                      p.inputEqAt(b, kEqFrequency, ch), p.inputEqAt(b, kEqQ, ch),
                      p.inputEqAt(b, kEqGain, ch), p.inputEqType[b][ch],
                      u.inputEqAt(b, kEqFrequency, ch), u.inputEqAt(b, kEqQ, ch),
                      u.inputEqAt(b, kEqGain, ch), u.inputEqType[b][ch]);
    for (int out = 0; out < kOutputCount; ++out)
        for (int b = 0; b < kOutputEqBands; ++b)
            checkBand(c, "outputEq[out " + std::to_string(out) + " band " + std::to_string(b) + "]",
                      p.outputEqAt(out, kEqFrequency, b), p.outputEqAt(out, kEqQ, b),
                      p.outputEqAt(out, kEqGain, b), p.outputEqType[out][b],
                      u.outputEqAt(out, kEqFrequency, b), u.outputEqAt(out, kEqQ, b),
                      u.outputEqAt(out, kEqGain, b), u.outputEqType[out][b]);
    // B: limiter settings.
    for (int out = 0; out < kOutputCount; ++out) {
        c.check(indexed("limiterRatio", out), ratioWord(p.limiterRatio[out]),
                ratioWord(u.limiterRatio[out]));
        c.check(indexed("limiterThreshold", out), thresholdWord(p.limiterThreshold[out]),
                thresholdWord(u.limiterThreshold[out]));
        c.check(indexed("limiterAttack", out), static_cast<long long>(p.limiterAttack[out]),
                static_cast<long long>(u.limiterAttack[out]));
        c.check(indexed("limiterRelease", out), static_cast<long long>(p.limiterRelease[out]),
                static_cast<long long>(u.limiterRelease[out]));
    }
    return c.differing;
}

} // namespace sonaro
